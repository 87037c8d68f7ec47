// The lab across processes: state seen by the next process, concurrent writers, labctl, and the
// overrides as the only switch between the lab and Wine's own DLLs.
#include <windows.h>
#include <lm.h>
#include <winnetwk.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

#include "lab_support.h"

using corvlab::TempLab;
using labtests::run;

namespace {

LPWSTR w(const wchar_t* s) { return const_cast<LPWSTR>(s); }

NET_API_STATUS add_share(const wchar_t* server, const wchar_t* name, const wchar_t* path, const wchar_t* remark) {
  SHARE_INFO_2 si = {w(name), STYPE_DISKTREE, w(remark), 0, SHI_USES_UNLIMITED, 0, w(path), nullptr};
  return NetShareAdd(w(server), 2, reinterpret_cast<LPBYTE>(&si), nullptr);
}

std::set<std::wstring> share_names(const wchar_t* server) {
  std::set<std::wstring> out;
  LPBYTE buf = nullptr;
  DWORD read = 0, total = 0;
  EXPECT_EQ(0u, NetShareEnum(w(server), 0, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr));
  for (DWORD i = 0; i < read; ++i) out.insert(reinterpret_cast<SHARE_INFO_0*>(buf)[i].shi0_netname);
  NetApiBufferFree(buf);
  return out;
}

bool lab_overrides_on() {
  wchar_t buf[512];
  DWORD n = GetEnvironmentVariableW(L"WINEDLLOVERRIDES", buf, 512);
  return n && n < 512 && wcsstr(buf, L"netapi32,mpr,netui2=n,b");
}

}  // namespace

TEST(Persistence, ChangesOfOneProcessAreSeenByTheNext) {
  TempLab lab(TempLab::default_description());
  // A remark that an INI line would not keep as it is: blanks at both ends, '%', '=' and '['.
  ASSERT_EQ(0u, add_share(L"\\\\FS01", L"HANDOVER", L"D:\\", L" left by the first, 100% [x]=%41 "));
  auto got = run(L"lab_peer.exe", L"get \\\\FS01 HANDOVER");
  EXPECT_EQ(0u, got.exit_code);
  EXPECT_EQ(" left by the first, 100% [x]=%41 ", got.output.substr(0, got.output.find_first_of("\r\n")));

  EXPECT_EQ(0u, run(L"lab_peer.exe", L"del \\\\FS01 PUBLIC").exit_code);
  LPBYTE buf = nullptr;
  EXPECT_EQ(static_cast<DWORD>(NERR_NetNameNotFound), NetShareGetInfo(w(L"\\\\FS01"), w(L"PUBLIC"), 2, &buf));
  EXPECT_EQ(static_cast<DWORD>(NERR_NetNameNotFound), run(L"lab_peer.exe", L"del \\\\FS01 PUBLIC").exit_code);

  // The journal names both processes.
  std::set<DWORD> pids;
  for (const auto& e : lab.journal()) pids.insert(e.pid);
  EXPECT_GE(pids.size(), 3u);
}

TEST(Persistence, ProcessesAndThreadsAddingAtOnceLoseNothing) {
  TempLab lab(TempLab::default_description());
  const int n = 25;
  HANDLE a = labtests::start(L"lab_peer.exe", L"add-many \\\\FS01 ONE " + std::to_wstring(n) + L" D:\\");
  HANDLE b = labtests::start(L"lab_peer.exe", L"add-many \\\\FS01 TWO " + std::to_wstring(n) + L" C:\\");
  ASSERT_TRUE(a && b);
  // This process writes meanwhile too, from two threads.
  std::thread t([&] {
    for (int i = 0; i < n; i += 2)
      EXPECT_EQ(0u, add_share(L"FS01", (L"THREE" + std::to_wstring(i)).c_str(), L"D:\\", L""));
  });
  for (int i = 1; i < n; i += 2)
    EXPECT_EQ(0u, add_share(L"FS01", (L"THREE" + std::to_wstring(i)).c_str(), L"D:\\", L""));
  t.join();
  HANDLE both[] = {a, b};
  ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, both, TRUE, 120000));
  DWORD ca = 1, cb = 1;
  GetExitCodeProcess(a, &ca);
  GetExitCodeProcess(b, &cb);
  CloseHandle(a);
  CloseHandle(b);
  EXPECT_EQ(0u, ca);
  EXPECT_EQ(0u, cb);
  std::set<std::wstring> names = share_names(L"FS01");
  EXPECT_EQ(4u + 3 * n, names.size());
  for (const wchar_t* prefix : {L"ONE", L"TWO", L"THREE"})
    for (int i = 0; i < n; ++i) EXPECT_EQ(1u, names.count(prefix + std::to_wstring(i))) << prefix << i;
  size_t added = 0;
  for (const auto& e : lab.journal(L"NetShareAdd")) added += e.status == 0;
  EXPECT_EQ(static_cast<size_t>(3 * n), added);
}

TEST(Labctl, ListsSharesAndResetsToTheDescription) {
  TempLab lab(TempLab::default_description());
  ASSERT_EQ(0u, add_share(L"\\\\BR01", L"FRESH", L"D:\\", L"new one"));
  ASSERT_EQ(0u, NetShareDel(w(L"\\\\FS01"), w(L"PROJECTS"), 0));

  auto shares = run(L"labctl.exe", L"shares");
  EXPECT_EQ(0u, shares.exit_code);
  EXPECT_NE(std::string::npos, shares.output.find("FRESH"));
  EXPECT_NE(std::string::npos, shares.output.find("remark \"new one\""));
  EXPECT_NE(std::string::npos, shares.output.find("descriptor D:(A;;0x1200a9;;;WD)"));
  EXPECT_EQ(std::string::npos, shares.output.find("PROJECTS"));
  auto journal = run(L"labctl.exe", L"journal");
  EXPECT_NE(std::string::npos, journal.output.find("NetShareDel\tserver=\"\\\\FS01\" netname=\"PROJECTS\"\t0"));

  EXPECT_EQ(0u, run(L"labctl.exe", L"reset").exit_code);
  EXPECT_EQ((std::set<std::wstring>{L"C$", L"D$", L"PUBLIC", L"PROJECTS"}), share_names(L"FS01"));
  EXPECT_EQ((std::set<std::wstring>{L"C$", L"D$", L"SCANS"}), share_names(L"BR01"));
  // Reset empties the journal; the enumerations above are its only calls.
  for (const auto& e : lab.journal())
    EXPECT_TRUE(e.function == L"NetShareEnum" || e.function == L"NetApiBufferFree") << e.function;

  EXPECT_NE(0u, run(L"labctl.exe", L"-lab C:\\no\\such\\lab shares").exit_code);
}

TEST(Labctl, CreateReportsProblemsOfADescription) {
  TempLab lab(labtests::with_section(L"share FS01 BROKEN", L"path=Q:\\x\r\nsddl=not a descriptor"));
  std::wstring desc = lab.folder() + L"\\network.ini";
  auto made = run(L"labctl.exe", L"-lab \"" + lab.folder() + L"\\again\" create \"" + desc + L"\"");
  EXPECT_EQ(0u, made.exit_code);
  EXPECT_NE(std::string::npos, made.output.find("warning: share FS01\\BROKEN: path Q:\\x is on no drive"));
  EXPECT_NE(std::string::npos, made.output.find("descriptor \"not a descriptor\" is not valid"));
}

// Registered twice: with the overrides (the lab answers) and without them (Wine's own DLLs).
TEST(Overrides, SwitchBetweenTheLabAndWine) {
  TempLab lab(TempLab::default_description());
  LPBYTE buf = nullptr;
  DWORD read = 0, total = 0;
  NET_API_STATUS st = NetServerEnum(nullptr, 101, &buf, MAX_PREFERRED_LENGTH, &read, &total, SV_TYPE_DOMAIN_ENUM,
                                    nullptr, nullptr);
  NetApiBufferFree(buf);
  HMODULE netui2 = LoadLibraryW(L"NETUI2.DLL");
  DWORD load_error = netui2 ? 0 : GetLastError();
  if (netui2) FreeLibrary(netui2);
  if (lab_overrides_on()) {
    EXPECT_EQ(0u, st);
    EXPECT_EQ(2u, read);
    EXPECT_EQ(0u, load_error);
    EXPECT_EQ(1u, lab.journal(L"NetServerEnum").size());
  } else {
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_BROWSER_SERVERS_FOUND), st);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_NETWORK), WNetAddConnectionA("\\\\FS01\\C$", nullptr, "Q:"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), load_error);
    EXPECT_TRUE(lab.journal().empty());
  }
}

// Shares are kept one file per server: a change rewrites its server's file and no other, so a
// call's cost does not grow with the network. A lab written when state.ini held every share is
// moved to that layout at its first call, its shares kept.
TEST(Persistence, ShareChangesRewriteOnlyTheirServersFile) {
  TempLab lab(TempLab::default_description());
  ASSERT_EQ(0u, add_share(L"\\\\FS01", L"FIRST", L"D:\\", L""));  // the state exists from here on
  auto stamp = [&](const wchar_t* server) {
    WIN32_FILE_ATTRIBUTE_DATA a = {};
    EXPECT_TRUE(GetFileAttributesExW((lab.folder() + L"\\shares\\" + server + L".ini").c_str(), GetFileExInfoStandard,
                                     &a))
        << server;
    return (static_cast<ULONGLONG>(a.ftLastWriteTime.dwHighDateTime) << 32) | a.ftLastWriteTime.dwLowDateTime;
  };
  const std::string fs02 = TempLab::read_bytes(lab.folder() + L"\\shares\\FS02.ini");
  const ULONGLONG fs01_before = stamp(L"FS01"), fs02_before = stamp(L"FS02"), br01_before = stamp(L"BR01");
  Sleep(50);
  ASSERT_EQ(0u, add_share(L"\\\\FS01", L"SECOND", L"C:\\", L""));
  ASSERT_EQ(0u, NetShareDel(w(L"\\\\FS01"), w(L"FIRST"), 0));
  EXPECT_NE(fs01_before, stamp(L"FS01"));
  EXPECT_EQ(fs02_before, stamp(L"FS02"));
  EXPECT_EQ(br01_before, stamp(L"BR01"));
  EXPECT_EQ(fs02, TempLab::read_bytes(lab.folder() + L"\\shares\\FS02.ini"));
  EXPECT_EQ(1u, share_names(L"FS01").count(L"SECOND"));
  EXPECT_EQ(0u, share_names(L"FS01").count(L"FIRST"));

  // The earlier layout: every share in state.ini, no shares folder.
  std::wstring old = L"[share FS01 KEPT]\r\npath=D:\\\r\nremark=from before\r\ntype=0x00000000\r\n"
                     L"permissions=0\r\nmax_uses=-1\r\n\r\n[share FS02 C$]\r\npath=C:\\\r\nremark=Default share\r\n"
                     L"type=0x80000000\r\npermissions=0\r\nmax_uses=-1\r\n";
  HANDLE h = CreateFileW((lab.folder() + L"\\state.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD written = 0;
  WriteFile(h, "\xFF\xFE", 2, &written, nullptr);
  WriteFile(h, old.data(), static_cast<DWORD>(old.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(h);
  TempLab::remove_tree(lab.folder() + L"\\shares");
  EXPECT_EQ((std::set<std::wstring>{L"KEPT"}), share_names(L"FS01"));
  EXPECT_EQ((std::set<std::wstring>{L"C$"}), share_names(L"FS02"));
  EXPECT_EQ(std::string::npos, TempLab::read_bytes(lab.folder() + L"\\state.ini").find("s\0h\0a\0r\0e\0", 0, 10));
}
