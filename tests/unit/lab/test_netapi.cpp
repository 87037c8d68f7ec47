// The network-management stand-in, reached through the platform's own import names.
#include <windows.h>
#include <lm.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lab_support.h"

using corvlab::TempLab;
using labtests::with_section;

namespace {

LPWSTR w(const wchar_t* s) { return const_cast<LPWSTR>(s); }

std::vector<uint8_t> sddl_bytes(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  ULONG len = 0;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, &len));
  std::vector<uint8_t> out(static_cast<uint8_t*>(sd), static_cast<uint8_t*>(sd) + len);
  LocalFree(sd);
  return out;
}

// Every pointer of a returned record must lie inside the one block the buffer is.
void expect_inside(LPBYTE buf, const void* p) {
  DWORD size = 0;
  ASSERT_EQ(0u, NetApiBufferSize(buf, &size));
  EXPECT_GE(static_cast<const BYTE*>(p), buf);
  EXPECT_LT(static_cast<const BYTE*>(p), buf + size);
}

std::vector<std::wstring> server_names(LMCSTR domain, DWORD type, NET_API_STATUS& status, DWORD& total) {
  LPBYTE buf = nullptr;
  DWORD read = 0;
  total = 0;
  status = NetServerEnum(nullptr, 101, &buf, MAX_PREFERRED_LENGTH, &read, &total, type, domain, nullptr);
  std::vector<std::wstring> names;
  auto* e = reinterpret_cast<SERVER_INFO_101*>(buf);
  for (DWORD i = 0; buf && i < read; ++i) {
    names.push_back(e[i].sv101_name);
    expect_inside(buf, e[i].sv101_name);
  }
  NetApiBufferFree(buf);
  return names;
}

NET_API_STATUS add_share(const wchar_t* server, const wchar_t* name, const wchar_t* path,
                         const wchar_t* remark = L"made by a test") {
  SHARE_INFO_2 si = {};
  si.shi2_netname = w(name);
  si.shi2_type = STYPE_DISKTREE;
  si.shi2_remark = w(remark);
  si.shi2_max_uses = SHI_USES_UNLIMITED;
  si.shi2_path = w(path);
  DWORD parm = 0;
  return NetShareAdd(w(server), 2, reinterpret_cast<LPBYTE>(&si), &parm);
}

// The descriptor of a share as level 502 returns it; "absent" when the record holds none.
std::vector<uint8_t> share_sd(const wchar_t* server, const wchar_t* name, bool& absent) {
  LPBYTE buf = nullptr;
  EXPECT_EQ(0u, NetShareGetInfo(w(server), w(name), 502, &buf));
  std::vector<uint8_t> out;
  absent = true;
  if (!buf) return out;
  auto* r = reinterpret_cast<SHARE_INFO_502*>(buf);
  if (r->shi502_security_descriptor) {
    absent = false;
    expect_inside(buf, r->shi502_security_descriptor);
    const BYTE* p = static_cast<const BYTE*>(r->shi502_security_descriptor);
    out.assign(p, p + GetSecurityDescriptorLength(r->shi502_security_descriptor));
  }
  NetApiBufferFree(buf);
  return out;
}

}  // namespace

TEST(NetServerEnum, ListsDomainsThenServersOfADomain) {
  TempLab lab(TempLab::default_description());
  NET_API_STATUS st;
  DWORD total;
  EXPECT_EQ((std::vector<std::wstring>{L"CORP", L"BRANCH"}), server_names(nullptr, SV_TYPE_DOMAIN_ENUM, st, total));
  EXPECT_EQ(0u, st);
  // The unreachable server is still on the browse list.
  EXPECT_EQ((std::vector<std::wstring>{L"FS01", L"FS02", L"ARCHIVE"}),
            server_names(L"CORP", SV_TYPE_SERVER, st, total));
  EXPECT_EQ(0u, st);
  EXPECT_EQ((std::vector<std::wstring>{L"BR01"}), server_names(L"BRANCH", SV_TYPE_SERVER, st, total));
  EXPECT_TRUE(server_names(L"NOWHERE", SV_TYPE_SERVER, st, total).empty());
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_BROWSER_SERVERS_FOUND), st);

  LPBYTE buf = nullptr;
  DWORD read = 0;
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), NetServerEnum(nullptr, 102, &buf, MAX_PREFERRED_LENGTH, &read,
                                                                   &total, SV_TYPE_SERVER, w(L"CORP"), nullptr));
  EXPECT_EQ(nullptr, buf);
}

TEST(NetServerEnum, NamesOutsideTheEightBitRangeComeBackAsDescribed) {
  TempLab lab(with_section(L"domain BRANCH", L"servers=BR01,\u042F\u03A9-SRV"));
  NET_API_STATUS st;
  DWORD total;
  EXPECT_EQ((std::vector<std::wstring>{L"BR01", L"\u042F\u03A9-SRV"}),
            server_names(L"BRANCH", SV_TYPE_SERVER, st, total));
}

TEST(NetServerEnum, MoreDataFaultGivesPartOfTheList) {
  TempLab lab(with_section(L"faults", L"more_data=CORP"));
  NET_API_STATUS st;
  DWORD total;
  std::vector<std::wstring> names = server_names(L"CORP", SV_TYPE_SERVER, st, total);
  EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), st);
  EXPECT_EQ(3u, total);
  EXPECT_LT(names.size(), 3u);
  server_names(L"BRANCH", SV_TYPE_SERVER, st, total);
  EXPECT_EQ(0u, st);
}

TEST(NetServerDiskEnum, ThreeUnitsPerDriveAndBadPaths) {
  TempLab lab(TempLab::default_description());
  LPBYTE buf = nullptr;
  DWORD read = 0, total = 0;
  ASSERT_EQ(0u, NetServerDiskEnum(w(L"\\\\FS01"), 0, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr));
  EXPECT_EQ(3u, read);
  EXPECT_EQ(3u, total);
  DWORD size = 0;
  NetApiBufferSize(buf, &size);
  ASSERT_GE(size, 10u * sizeof(wchar_t));
  EXPECT_EQ(0, memcmp(buf, L"A:\0C:\0D:\0", 10 * sizeof(wchar_t)));
  LPBYTE freed = buf;
  NetApiBufferFree(buf);

  for (const wchar_t* bad : {L"\\\\ARCHIVE", L"\\\\NOSUCH"}) {
    buf = nullptr;
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_NETPATH),
              NetServerDiskEnum(w(bad), 0, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr))
        << bad;
    EXPECT_EQ(nullptr, buf);
  }
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL),
            NetServerDiskEnum(w(L"FS01"), 1, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr));

  // The journal pairs the returned buffer with its release.
  auto calls = lab.journal(L"NetServerDiskEnum");
  ASSERT_EQ(4u, calls.size());
  EXPECT_EQ(0u, calls[0].status);
  wchar_t addr[32];
  swprintf(addr, 32, L"%p", static_cast<void*>(freed));
  EXPECT_NE(std::wstring::npos, calls[0].args.find(std::wstring(L"buf=") + addr));
  auto frees = lab.journal(L"NetApiBufferFree");
  ASSERT_FALSE(frees.empty());
  EXPECT_EQ(std::wstring(L"buf=") + addr, frees[0].args);
}

TEST(NetShare, AddGetDeleteWithWindowsStatuses) {
  TempLab lab(TempLab::default_description());
  ASSERT_EQ(0u, add_share(L"\\\\FS01", L"D$TEST", L"d:\\"));
  EXPECT_EQ(static_cast<DWORD>(NERR_DuplicateShare), add_share(L"\\\\FS01", L"d$test", L"D:\\"));
  EXPECT_EQ(static_cast<DWORD>(NERR_UnknownDevDir), add_share(L"\\\\FS01", L"NODRIVE", L"Q:\\"));
  EXPECT_EQ(static_cast<DWORD>(NERR_UnknownDevDir), add_share(L"\\\\FS01", L"NOTAPATH", L"relative"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_NETPATH), add_share(L"\\\\ARCHIVE", L"X", L"C:\\"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_NETPATH), add_share(L"\\\\NOSUCH", L"X", L"C:\\"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), add_share(L"\\\\FS01", L"a<drive>", L"C:\\"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), NetShareAdd(w(L"\\\\FS01"), 2, nullptr, nullptr));
  SHARE_INFO_1 one = {w(L"L1"), STYPE_DISKTREE, w(L"")};
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL),
            NetShareAdd(w(L"\\\\FS01"), 1, reinterpret_cast<LPBYTE>(&one), nullptr));
  std::wstring long_remark(MAXCOMMENTSZ + 1, L'r');
  SHARE_INFO_2 si = {w(L"LONG"), STYPE_DISKTREE, &long_remark[0], 0, SHI_USES_UNLIMITED, 0, w(L"C:\\"), nullptr};
  DWORD parm = 0;
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
            NetShareAdd(w(L"FS01"), 2, reinterpret_cast<LPBYTE>(&si), &parm));
  EXPECT_EQ(static_cast<DWORD>(SHARE_REMARK_PARMNUM), parm);

  // Level 2: every field, the strings inside the block.
  LPBYTE buf = nullptr;
  ASSERT_EQ(0u, NetShareGetInfo(w(L"FS01"), w(L"d$test"), 2, &buf));
  auto* r = reinterpret_cast<SHARE_INFO_2*>(buf);
  EXPECT_STREQ(L"D$TEST", r->shi2_netname);
  EXPECT_STREQ(L"D:\\", r->shi2_path);
  EXPECT_STREQ(L"made by a test", r->shi2_remark);
  EXPECT_EQ(static_cast<DWORD>(STYPE_DISKTREE), r->shi2_type);
  EXPECT_EQ(static_cast<DWORD>(SHI_USES_UNLIMITED), r->shi2_max_uses);
  expect_inside(buf, r->shi2_netname);
  expect_inside(buf, r->shi2_path);
  expect_inside(buf, r->shi2_remark);
  NetApiBufferFree(buf);

  // A share made without a descriptor has the default share permission: Everyone, read.
  bool absent = true;
  EXPECT_EQ(sddl_bytes(L"D:(A;;0x1200a9;;;WD)"), share_sd(L"\\\\FS01", L"D$TEST", absent));
  EXPECT_FALSE(absent);

  buf = nullptr;
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), NetShareGetInfo(w(L"FS01"), w(L"D$TEST"), 3, &buf));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_NETPATH), NetShareGetInfo(w(L"\\\\ARCHIVE"), w(L"C$"), 2, &buf));
  EXPECT_EQ(0u, NetShareDel(w(L"\\\\FS01"), w(L"D$TEST"), 0));
  EXPECT_EQ(static_cast<DWORD>(NERR_NetNameNotFound), NetShareGetInfo(w(L"FS01"), w(L"D$TEST"), 2, &buf));
  EXPECT_EQ(static_cast<DWORD>(NERR_NetNameNotFound), NetShareDel(w(L"\\\\FS01"), w(L"D$TEST"), 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_NETPATH), NetShareDel(w(L"\\\\NOSUCH"), w(L"C$"), 0));
  EXPECT_EQ(nullptr, buf);
}

TEST(NetShare, DescribedDescriptorsAndAdministrativeShares) {
  TempLab lab(TempLab::default_description());
  bool absent = false;
  EXPECT_EQ(sddl_bytes(L"D:(A;;FA;;;BA)(A;;0x1301bf;;;AU)"), share_sd(L"\\\\FS01", L"PROJECTS", absent));
  EXPECT_FALSE(absent);
  share_sd(L"\\\\FS01", L"C$", absent);
  EXPECT_TRUE(absent);
  share_sd(L"\\\\BR01", L"SCANS", absent);
  EXPECT_TRUE(absent);
  // The floppy has no administrative share.
  LPBYTE buf = nullptr;
  EXPECT_EQ(static_cast<DWORD>(NERR_NetNameNotFound), NetShareGetInfo(w(L"\\\\FS01"), w(L"A$"), 2, &buf));
  ASSERT_EQ(0u, NetShareGetInfo(w(L"\\\\FS01"), w(L"C$"), 1, &buf));
  EXPECT_EQ(static_cast<DWORD>(STYPE_DISKTREE | STYPE_SPECIAL), reinterpret_cast<SHARE_INFO_1*>(buf)->shi1_type);
  NetApiBufferFree(buf);
}

TEST(NetShareSetInfo, Level1501And502KeepTheCallersDescriptor) {
  TempLab lab(TempLab::default_description());
  ASSERT_EQ(0u, add_share(L"\\\\FS01", L"DATA", L"D:\\"));
  // Owner and a two-entry list: the bytes read back are the bytes written.
  std::vector<uint8_t> sd = sddl_bytes(L"O:BAD:(A;CIIO;0x1200a9;;;AU)(D;;FA;;;AN)");
  SHARE_INFO_1501 r1501 = {0, sd.data()};
  ASSERT_EQ(0u, NetShareSetInfo(w(L"\\\\FS01"), w(L"DATA"), 1501, reinterpret_cast<LPBYTE>(&r1501), nullptr));
  bool absent = true;
  EXPECT_EQ(sd, share_sd(L"\\\\FS01", L"DATA", absent));

  // Level 502: remark, maximum uses and descriptor change; name and path do not.
  LPBYTE buf = nullptr;
  ASSERT_EQ(0u, NetShareGetInfo(w(L"FS01"), w(L"DATA"), 502, &buf));
  auto* r = reinterpret_cast<SHARE_INFO_502*>(buf);
  std::vector<uint8_t> sd2 = sddl_bytes(L"D:(A;;0x1301bf;;;WD)");
  r->shi502_remark = w(L"new remark");
  r->shi502_max_uses = 7;
  r->shi502_path = w(L"C:\\elsewhere");
  r->shi502_security_descriptor = sd2.data();
  ASSERT_EQ(0u, NetShareSetInfo(w(L"FS01"), w(L"DATA"), 502, buf, nullptr));
  NetApiBufferFree(buf);
  EXPECT_EQ(sd2, share_sd(L"\\\\FS01", L"DATA", absent));
  ASSERT_EQ(0u, NetShareGetInfo(w(L"FS01"), w(L"DATA"), 2, &buf));
  r = reinterpret_cast<SHARE_INFO_502*>(buf);
  EXPECT_STREQ(L"new remark", r->shi502_remark);
  EXPECT_EQ(7u, r->shi502_max_uses);
  EXPECT_STREQ(L"D:\\", r->shi502_path);
  NetApiBufferFree(buf);

  // An absolute descriptor is taken too, stored self-relative.
  SECURITY_DESCRIPTOR abs;
  InitializeSecurityDescriptor(&abs, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&abs, TRUE, nullptr, FALSE);
  r1501.shi1501_security_descriptor = &abs;
  EXPECT_EQ(0u, NetShareSetInfo(w(L"FS01"), w(L"DATA"), 1501, reinterpret_cast<LPBYTE>(&r1501), nullptr));
  std::vector<uint8_t> back = share_sd(L"\\\\FS01", L"DATA", absent);
  ASSERT_GE(back.size(), 4u);
  EXPECT_EQ(SE_SELF_RELATIVE | SE_DACL_PRESENT, back[2] | (back[3] << 8));

  DWORD parm = 0;
  std::vector<uint8_t> junk(20, 0);  // revision 0: not a descriptor
  r1501.shi1501_security_descriptor = junk.data();
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
            NetShareSetInfo(w(L"FS01"), w(L"DATA"), 1501, reinterpret_cast<LPBYTE>(&r1501), &parm));
  EXPECT_EQ(static_cast<DWORD>(SHARE_FILE_SD_PARMNUM), parm);
  r1501.shi1501_security_descriptor = sd.data();
  EXPECT_EQ(static_cast<DWORD>(NERR_NetNameNotFound),
            NetShareSetInfo(w(L"FS01"), w(L"NOSHARE"), 1501, reinterpret_cast<LPBYTE>(&r1501), nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_NETPATH),
            NetShareSetInfo(w(L"ARCHIVE"), w(L"C$"), 1501, reinterpret_cast<LPBYTE>(&r1501), nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL),
            NetShareSetInfo(w(L"FS01"), w(L"DATA"), 1, reinterpret_cast<LPBYTE>(&r1501), nullptr));
}

TEST(NetShareSetInfo, Refuse1501FaultLeaves502Working) {
  TempLab lab(with_section(L"faults", L"refuse_1501=FS01"));
  std::vector<uint8_t> sd = sddl_bytes(L"D:(A;;FA;;;BA)");
  SHARE_INFO_1501 r1501 = {0, sd.data()};
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL),
            NetShareSetInfo(w(L"FS01"), w(L"PUBLIC"), 1501, reinterpret_cast<LPBYTE>(&r1501), nullptr));
  bool absent = true;
  EXPECT_EQ(sddl_bytes(L"D:(A;;0x1200a9;;;WD)"), share_sd(L"FS01", L"PUBLIC", absent));
  LPBYTE buf = nullptr;
  ASSERT_EQ(0u, NetShareGetInfo(w(L"FS01"), w(L"PUBLIC"), 502, &buf));
  reinterpret_cast<SHARE_INFO_502*>(buf)->shi502_security_descriptor = sd.data();
  EXPECT_EQ(0u, NetShareSetInfo(w(L"FS01"), w(L"PUBLIC"), 502, buf, nullptr));
  NetApiBufferFree(buf);
  EXPECT_EQ(sd, share_sd(L"FS01", L"PUBLIC", absent));
  // Other servers still take level 1501.
  EXPECT_EQ(0u, add_share(L"BR01", L"X", L"D:\\"));
  EXPECT_EQ(0u, NetShareSetInfo(w(L"BR01"), w(L"X"), 1501, reinterpret_cast<LPBYTE>(&r1501), nullptr));
}

TEST(NetShareEnum, PagesThroughTheResumeHandle) {
  TempLab lab(TempLab::default_description());
  std::vector<std::wstring> names;
  DWORD resume = 0;
  NET_API_STATUS st;
  do {
    LPBYTE buf = nullptr;
    DWORD read = 0, total = 0;
    st = NetShareEnum(w(L"FS01"), 502, &buf, 1, &read, &total, &resume);
    ASSERT_TRUE(st == 0 || st == ERROR_MORE_DATA) << st;
    EXPECT_EQ(1u, read);
    for (DWORD i = 0; i < read; ++i) names.push_back(reinterpret_cast<SHARE_INFO_502*>(buf)[i].shi502_netname);
    NetApiBufferFree(buf);
  } while (st == ERROR_MORE_DATA && names.size() < 10);
  EXPECT_EQ((std::vector<std::wstring>{L"C$", L"D$", L"PUBLIC", L"PROJECTS"}), names);
}

TEST(NetWkstaAndUserModals, DomainAndAccountDomainPerComputer) {
  TempLab lab(with_section(L"server FS01", L"drives=C\r\nsid=S-1-5-21-1-2-3\r\naccount_domain=CORP"));
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(computer, &n);

  LPBYTE buf = nullptr;
  ASSERT_EQ(0u, NetWkstaGetInfo(nullptr, 100, &buf));
  auto* wk = reinterpret_cast<WKSTA_INFO_100*>(buf);
  EXPECT_STREQ(computer, wk->wki100_computername);
  EXPECT_STREQ(L"CORP", wk->wki100_langroup);
  EXPECT_EQ(static_cast<DWORD>(PLATFORM_ID_NT), wk->wki100_platform_id);
  NetApiBufferFree(buf);
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), NetWkstaGetInfo(nullptr, 999, &buf));

  // Locally: this computer's account domain, the same identifier the account functions use.
  ASSERT_EQ(0u, NetUserModalsGet(nullptr, 2, &buf));
  auto* m = reinterpret_cast<USER_MODALS_INFO_2*>(buf);
  EXPECT_STREQ(computer, m->usrmod2_domain_name);
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sid_len = sizeof sid;
  wchar_t dom[256];
  DWORD dom_len = 256;
  SID_NAME_USE use;
  ASSERT_TRUE(LookupAccountNameW(nullptr, computer, sid, &sid_len, dom, &dom_len, &use));
  EXPECT_TRUE(EqualSid(sid, m->usrmod2_domain_id));
  expect_inside(buf, m->usrmod2_domain_id);
  NetApiBufferFree(buf);

  ASSERT_EQ(0u, NetUserModalsGet(L"\\\\FS01", 2, &buf));
  m = reinterpret_cast<USER_MODALS_INFO_2*>(buf);
  EXPECT_STREQ(L"CORP", m->usrmod2_domain_name);
  LPWSTR text = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidW(m->usrmod2_domain_id, &text));
  EXPECT_STREQ(L"S-1-5-21-1-2-3", text);
  LocalFree(text);
  NetApiBufferFree(buf);
  buf = nullptr;
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_NETPATH), NetUserModalsGet(L"\\\\ARCHIVE", 2, &buf));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), NetUserModalsGet(nullptr, 0, &buf));
  EXPECT_EQ(nullptr, buf);
}

TEST(SlowServer, AnswersAfterTheDelayWithoutBlockingOthers) {
  TempLab lab(with_section(L"faults", L"slow=FS02\r\nslow_ms=800"));
  LPBYTE buf = nullptr;
  DWORD read = 0, total = 0;
  DWORD t0 = GetTickCount();
  ASSERT_EQ(0u, NetServerDiskEnum(w(L"\\\\FS02"), 0, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr));
  EXPECT_GE(GetTickCount() - t0, 750u);
  NetApiBufferFree(buf);
  t0 = GetTickCount();
  ASSERT_EQ(0u, NetServerDiskEnum(w(L"\\\\FS01"), 0, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr));
  EXPECT_LT(GetTickCount() - t0, 700u);
  NetApiBufferFree(buf);
}
