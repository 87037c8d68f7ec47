// zrSecurityInfo's share path against the lab network: level 1501 first, the 502 fallback for a
// server without level 1501 only, descriptors that lie about their extent, and the failure
// messages with the network message module as the source of error texts.
#include "storage_test.h"
#include <lm.h>
#include "labtest.h"

using corv::Bstr;
using corv::ComPtr;
using corvtest::bytes;
using corvtest::bytes_of;
using corvtest::create;
using namespace storagetest;

namespace {

constexpr long kShare = 5;
constexpr DWORD kDacl = DACL_SECURITY_INFORMATION;

std::wstring network(const std::wstring& refuse_1501, const std::wstring& sd_lies = L"") {
  return L"[network]\r\ndomains=CORP\r\nworkstation_domain=CORP\r\n"
         L"[domain CORP]\r\nservers=FS01,FS02,ARCHIVE\r\n"
         L"[server FS01]\r\ndrives=D\r\n[drive FS01 D]\r\nlabel=DATA\r\n"
         L"[server FS02]\r\ndrives=D\r\nshare_status=5\r\n[drive FS02 D]\r\nlabel=DATA\r\n"
         L"[server ARCHIVE]\r\nunreachable=yes\r\ndrives=C\r\n[drive ARCHIVE C]\r\nlabel=SYSTEM\r\n"
         L"[share FS01 PUBLIC]\r\npath=D:\\Public\r\nremark=Public documents\r\nmax_uses=10\r\nsddl=D:(A;;0x1200a9;;;WD)\r\n"
         L"[share FS01 PLAIN]\r\npath=D:\\Plain\r\n"
         L"[share FS02 DOCS]\r\npath=D:\\Docs\r\nsddl=D:(A;;FA;;;BA)\r\n"
         L"[faults]\r\nrefuse_1501=" +
         refuse_1501 + L"\r\nshare_sd_lies=" + sd_lies + L"\r\n";
}

class ShareSecurity : public ::testing::Test {
protected:
  void SetUp() override {
    si = create<IzrSecurityInfo>(CLSID_zrSecurityInfo);
    ASSERT_TRUE(si);
    log = attach_real_log(si.get(), real_log);
    ASSERT_TRUE(real_log);
  }
  HRESULT read(const wchar_t* name, VARIANT_BOOL& ok, std::vector<uint8_t>& out, bool& untouched) {
    Bstr n(name);
    BSTR sentinel = SysAllocString(L"untouched");
    BSTR sd = sentinel;
    HRESULT hr = si->read(n.get(), kShare, kDacl, &sd, &ok);
    untouched = sd == sentinel;
    out = untouched ? std::vector<uint8_t>() : bytes_of(sd);
    if (!untouched) SysFreeString(sd);
    SysFreeString(sentinel);
    return hr;
  }
  HRESULT write(const wchar_t* name, const std::vector<uint8_t>& sd, VARIANT_BOOL& ok) {
    Bstr n(name), b = bytes(sd);
    BSTR p = b.get();
    return si->write(n.get(), kShare, kDacl, &p, &ok);
  }
  ComPtr<IzrSecurityInfo> si;
  ComPtr<IzrLog> real_log;
  ComPtr<LogRecorder> log;
};

// The share calls of the journal, as "function level status".
std::vector<std::wstring> share_calls(const corvlab::TempLab& lab) {
  std::vector<std::wstring> out;
  for (const auto& e : lab.journal()) {
    if (e.function != L"NetShareGetInfo" && e.function != L"NetShareSetInfo") continue;
    size_t at = e.args.find(L"level=");
    std::wstring level = at == std::wstring::npos ? L"?" : e.args.substr(at + 6, e.args.find(L' ', at) - at - 6);
    out.push_back(e.function + L" " + level + L" " + std::to_wstring(e.status));
  }
  return out;
}

}  // namespace

TEST_F(ShareSecurity, ReadGivesTheSharesDescriptor) {
  corvlab::TempLab lab(network(L""));
  VARIANT_BOOL ok = 7;
  std::vector<uint8_t> sd;
  bool untouched = false;
  ASSERT_EQ(S_OK, read(L"\\\\FS01\\PUBLIC", ok, sd, untouched));
  EXPECT_EQ(VARIANT_TRUE, ok);
  EXPECT_EQ(normal_sddl(L"D:(A;;0x1200a9;;;WD)", kDacl), to_sddl(sd, kDacl));
  expect_one_record(log.get(), 2, 0,
                    L"Network share '\\\\FS01\\PUBLIC' security descriptor has been read successfully.");
  auto calls = lab.journal(L"NetShareGetInfo");
  ASSERT_EQ(1u, calls.size());
  EXPECT_NE(std::wstring::npos, calls[0].args.find(L"server=\"\\\\FS01\" netname=\"PUBLIC\" level=502"));

  // A share without a descriptor: true, and the caller's output stays.
  log->records.clear();
  ASSERT_EQ(S_OK, read(L"\\\\FS01\\PLAIN", ok, sd, untouched));
  EXPECT_EQ(VARIANT_TRUE, ok);
  EXPECT_TRUE(untouched);
  EXPECT_EQ(1u, log->records.size());
}

TEST_F(ShareSecurity, WriteUsesLevel1501) {
  corvlab::TempLab lab(network(L""));
  const wchar_t* dacl = L"D:(A;;0x1200a9;;;AU)(A;;FA;;;BA)";
  VARIANT_BOOL ok = 7;
  ASSERT_EQ(S_OK, write(L"\\\\FS01\\PUBLIC", sddl_bytes(dacl), ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  expect_one_record(log.get(), 2, 0,
                    L"Network share '\\\\FS01\\PUBLIC' security descriptor has been written successfully.");
  EXPECT_EQ(std::vector<std::wstring>{L"NetShareSetInfo 1501 0"}, share_calls(lab));

  std::vector<uint8_t> sd;
  bool untouched;
  ASSERT_EQ(S_OK, read(L"\\\\FS01\\PUBLIC", ok, sd, untouched));
  EXPECT_EQ(normal_sddl(dacl, kDacl), to_sddl(sd, kDacl));
}

TEST_F(ShareSecurity, WriteFallsBackToLevel502) {
  corvlab::TempLab lab(network(L"FS01"));
  const wchar_t* dacl = L"D:(A;;FA;;;WD)";
  VARIANT_BOOL ok = 7;
  ASSERT_EQ(S_OK, write(L"\\\\FS01\\PUBLIC", sddl_bytes(dacl), ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  expect_one_record(log.get(), 2, 0,
                    L"Network share '\\\\FS01\\PUBLIC' security descriptor has been written successfully.");
  std::vector<std::wstring> expected = {L"NetShareSetInfo 1501 " + std::to_wstring(ERROR_INVALID_LEVEL),
                                        L"NetShareGetInfo 502 0", L"NetShareSetInfo 502 0"};
  EXPECT_EQ(expected, share_calls(lab));
  // The rest of the record went back as it was.
  auto sets = lab.journal(L"NetShareSetInfo");
  ASSERT_EQ(2u, sets.size());
  EXPECT_NE(std::wstring::npos, sets[1].args.find(L"remark=\"Public documents\" max_uses=10"));

  std::vector<uint8_t> sd;
  bool untouched;
  ASSERT_EQ(S_OK, read(L"\\\\FS01\\PUBLIC", ok, sd, untouched));
  EXPECT_EQ(normal_sddl(dacl, kDacl), to_sddl(sd, kDacl));
}

TEST_F(ShareSecurity, FailuresNameTheShareAndServer) {
  corvlab::TempLab lab(network(L"FS02"));
  VARIANT_BOOL ok = 7;
  std::vector<uint8_t> sd;
  bool untouched;
  ASSERT_EQ(S_OK, read(L"\\\\FS01\\NOPE", ok, sd, untouched));
  EXPECT_EQ(VARIANT_FALSE, ok);
  EXPECT_FALSE(untouched);  // a failure gives the null string back
  EXPECT_TRUE(sd.empty());
  // No network message module under Wine, and no system text for 2310: the description is
  // the message after one space.
  expect_one_record(log.get(), 0, NERR_NetNameNotFound,
                    L"Cannot read share security descriptor 'NOPE' (System \\\\FS01, NetShareGetInfo, level 502).");

  // Both levels of a write fail: the read step reports when the record cannot be fetched...
  log->records.clear();
  ASSERT_EQ(S_OK, write(L"\\\\FS02\\NOPE", sddl_bytes(L"D:(A;;FA;;;WD)"), ok));
  EXPECT_EQ(VARIANT_FALSE, ok);
  expect_one_record(log.get(), 0, NERR_NetNameNotFound,
                    L"Cannot read share security descriptor 'NOPE' (System \\\\FS02, NetShareGetInfo, level 502).");

  // ...and the write message when level 502 itself is refused.
  log->records.clear();
  ASSERT_EQ(S_OK, write(L"\\\\FS02\\DOCS", sddl_bytes(L"D:(A;;FA;;;WD)"), ok));
  EXPECT_EQ(VARIANT_FALSE, ok);
  expect_one_record(log.get(), 0, ERROR_ACCESS_DENIED,
                    L"Cannot write share security descriptor 'DOCS' (System \\\\FS02, NetShareSetInfo, level 502).");
  std::vector<std::wstring> expected = {L"NetShareSetInfo 1501 " + std::to_wstring(ERROR_INVALID_LEVEL),
                                        L"NetShareGetInfo 502 0", L"NetShareSetInfo 502 5"};
  auto calls = share_calls(lab);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(expected, std::vector<std::wstring>(calls.end() - 3, calls.end()));
}

// Level 502 is only for a server that knows no level 1501 (124): any other refusal of 1501 is the
// answer, with its own reason, after one round trip; the record is neither read nor written back.
TEST_F(ShareSecurity, WriteRefusedAtLevel1501IsNotAskedAgain) {
  corvlab::TempLab lab(network(L""));
  const struct {
    const wchar_t* share;
    DWORD status;
    const wchar_t* message;
  } cases[] = {
      {L"\\\\FS02\\DOCS", ERROR_ACCESS_DENIED,
       L"Cannot write share security descriptor 'DOCS' (System \\\\FS02, NetShareSetInfo, level 1501)."},
      {L"\\\\ARCHIVE\\C$", ERROR_BAD_NETPATH,
       L"Cannot write share security descriptor 'C$' (System \\\\ARCHIVE, NetShareSetInfo, level 1501)."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.share, c.share + wcslen(c.share)));
    log->records.clear();
    const size_t before = share_calls(lab).size();
    VARIANT_BOOL ok = 7;
    ASSERT_EQ(S_OK, write(c.share, sddl_bytes(L"D:(A;;FA;;;WD)"), ok));
    EXPECT_EQ(VARIANT_FALSE, ok);
    expect_one_record(log.get(), 0, static_cast<long>(c.status), c.message);
    auto calls = share_calls(lab);
    EXPECT_EQ(std::vector<std::wstring>{L"NetShareSetInfo 1501 " + std::to_wstring(c.status)},
              std::vector<std::wstring>(calls.begin() + static_cast<ptrdiff_t>(before), calls.end()));
  }
}

// A descriptor whose length or offsets reach past the answer's buffer, or that lies outside it,
// is refused without reading past the buffer: false, and the reason to the log.
TEST_F(ShareSecurity, ReadRefusesADescriptorThatDoesNotFitItsAnswer) {
  for (const wchar_t* lie : {L"length", L"offset", L"pointer"}) {
    SCOPED_TRACE(std::string(lie, lie + wcslen(lie)));
    corvlab::TempLab lab(network(L"", std::wstring(L"FS01:") + lie));
    log->records.clear();
    VARIANT_BOOL ok = 7;
    std::vector<uint8_t> sd;
    bool untouched = true;
    ASSERT_EQ(S_OK, read(L"\\\\FS01\\PUBLIC", ok, sd, untouched));
    EXPECT_EQ(VARIANT_FALSE, ok);
    EXPECT_FALSE(untouched);
    EXPECT_TRUE(sd.empty());
    expect_one_record(log.get(), 0, ERROR_INVALID_SECURITY_DESCR,
                      L"Cannot read share security descriptor 'PUBLIC' (System \\\\FS01, NetShareGetInfo, level 502).");
    auto calls = lab.journal(L"NetShareGetInfo");
    ASSERT_EQ(1u, calls.size());
    EXPECT_NE(std::wstring::npos, calls[0].args.find(std::wstring(L"lie=") + lie));  // the lab did lie
  }
}

// The network message module is read from the system folder only: one of its name in the
// current folder (here a copy of tern.dll, whose message 1 reads "Log") is never read.
TEST_F(ShareSecurity, NetworkMessagesComeFromTheSystemFolderOnly) {
  std::wstring desc = network(L"");
  desc.replace(desc.find(L"share_status=5"), 14, L"share_status=1");
  corvlab::TempLab lab(desc);
  std::wstring folder = temp_folder() + L"tern_planted_" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring planted = folder + L"\\netmsg.dll";
  ASSERT_TRUE(CopyFileW((corvtest::program_folder() + L"tern.dll").c_str(), planted.c_str(), FALSE));
  wchar_t previous[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  VARIANT_BOOL ok = 7;
  HRESULT hr = write(L"\\\\FS02\\DOCS", sddl_bytes(L"D:(A;;FA;;;WD)"), ok);
  SetCurrentDirectoryW(previous);
  DeleteFileW(planted.c_str());
  RemoveDirectoryW(folder.c_str());
  ASSERT_EQ(S_OK, hr);
  EXPECT_EQ(VARIANT_FALSE, ok);
  expect_one_record(log.get(), 0, ERROR_INVALID_FUNCTION,
                    L"Cannot write share security descriptor 'DOCS' (System \\\\FS02, NetShareSetInfo, level 1501).");
}
