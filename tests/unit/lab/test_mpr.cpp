// The connection stand-in: a mapped letter answers the volume functions from the simulated drive.
#include <windows.h>
#include <lm.h>
#include <winnetwk.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "lab_support.h"

using corvlab::TempLab;

namespace {

// Maps the first letter that stays free (another test program may take one meanwhile).
DWORD connect_free(const char* remote, std::string& letter) {
  for (int tries = 0; tries < 5; ++tries) {
    letter = labtests::free_letter();
    if (letter.empty()) return ERROR_NO_MORE_DEVICES;
    DWORD st = WNetAddConnectionA(remote, nullptr, letter.c_str());
    if (st != ERROR_ALREADY_ASSIGNED) return st;
  }
  return ERROR_ALREADY_ASSIGNED;
}

}  // namespace

TEST(Connections, MapsTheDriveSoVolumeFunctionsAnswerFromIt) {
  TempLab lab(TempLab::default_description());
  std::string letter;
  ASSERT_EQ(0u, connect_free("\\\\FS01\\C$", letter));
  std::string root = letter + "\\";
  EXPECT_EQ(static_cast<UINT>(DRIVE_REMOTE), GetDriveTypeA(root.c_str()));
  char label[256] = "", fs[256] = "";
  DWORD serial = 0, maxlen = 0, flags = 0;
  ASSERT_TRUE(GetVolumeInformationA(root.c_str(), label, 255, &serial, &maxlen, &flags, fs, 255));
  EXPECT_STREQ("SYSTEM", label);
  EXPECT_EQ(0x1A2B3C4Du, serial);
  EXPECT_STREQ("NTFS", fs);  // Wine names every folder-backed volume NTFS
  DWORD spc = 0, bps = 0, free_clusters = 0, clusters = 0;
  EXPECT_TRUE(GetDiskFreeSpaceA(root.c_str(), &spc, &bps, &free_clusters, &clusters));
  EXPECT_GT(clusters, 0u);

  char remote[64] = "";
  DWORD len = sizeof remote;
  ASSERT_EQ(0u, WNetGetConnectionA(letter.c_str(), remote, &len));
  EXPECT_STREQ("\\\\FS01\\C$", remote);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_ASSIGNED), WNetAddConnectionA("\\\\FS01\\D$", nullptr, letter.c_str()));

  EXPECT_EQ(0u, WNetCancelConnection2A(letter.c_str(), CONNECT_UPDATE_PROFILE, FALSE));
  EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA(root.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_CONNECTED), WNetCancelConnection2A(letter.c_str(), 0, FALSE));

  // An empty label reads back empty; WNetCancelConnectionA undoes a mapping as well.
  ASSERT_EQ(0u, connect_free("\\\\BR01\\C$", letter));
  root = letter + "\\";
  ASSERT_TRUE(GetVolumeInformationA(root.c_str(), label, 255, &serial, &maxlen, &flags, fs, 255));
  EXPECT_STREQ("", label);
  EXPECT_EQ(0x0BADF00Du, serial);
  EXPECT_EQ(0u, WNetCancelConnectionA(letter.c_str(), FALSE));
  EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA(root.c_str()));

  auto adds = lab.journal(L"WNetAddConnectionA");
  ASSERT_GE(adds.size(), 3u);
  EXPECT_NE(std::wstring::npos, adds.front().args.find(L"remote=\"\\\\FS01\\C$\""));
}

TEST(Connections, StatusesAsDescribedPerDriveAndServer) {
  TempLab lab(TempLab::default_description());
  struct {
    const char* remote;
    DWORD status;
  } cases[] = {
      {"\\\\FS01\\A$", ERROR_BAD_NET_NAME},   // floppy without an administrative share
      {"\\\\FS01\\Z$", ERROR_BAD_NET_NAME},   {"\\\\FS02\\E$", ERROR_ACCESS_DENIED},  // the drive that refuses access
      {"\\\\ARCHIVE\\C$", ERROR_BAD_NETPATH}, {"\\\\NOSUCH\\C$", ERROR_BAD_NETPATH}, {"FS01\\C$", ERROR_BAD_NET_NAME},
  };
  for (const auto& c : cases) {
    // Without a local name the connection is only checked; with one, no letter is left mapped.
    EXPECT_EQ(c.status, WNetAddConnectionA(c.remote, nullptr, nullptr)) << c.remote;
    std::string letter;
    EXPECT_EQ(c.status, connect_free(c.remote, letter)) << c.remote;
    std::string root = letter + "\\";
    EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA(root.c_str())) << c.remote;
  }
  EXPECT_EQ(0u, WNetAddConnectionA("\\\\FS01\\C$", nullptr, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_ASSIGNED), WNetAddConnectionA("\\\\FS01\\C$", nullptr, "C:"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_DEVICE), WNetAddConnectionA("\\\\FS01\\C$", nullptr, "LPT9"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_CONNECTED), WNetCancelConnectionA("C:", FALSE));
}

TEST(Connections, ADeletedAdministrativeShareCannotBeConnected) {
  TempLab lab(TempLab::default_description());
  ASSERT_EQ(0u, NetShareDel(const_cast<LPWSTR>(L"\\\\FS01"), const_cast<LPWSTR>(L"D$"), 0));
  std::string letter;
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_NET_NAME), connect_free("\\\\FS01\\D$", letter));
  // A share of another name on the drive is reachable.
  EXPECT_EQ(0u, connect_free("\\\\FS01\\PUBLIC", letter));
  EXPECT_EQ(0u, WNetCancelConnection2A("\\\\FS01\\PUBLIC", 0, TRUE));
}

// Letters are mapped and unmapped with the folder unlocked, under a lock of their own: threads
// with letters of their own never get in each other's way, and two threads wanting one letter
// never both get it.
TEST(Connections, ThreadsMappingAtOnceKeepTheirLettersApart) {
  TempLab lab(TempLab::default_description());
  std::vector<std::string> letters;
  for (int i = 0; i < 5; ++i) letters.push_back(labtests::free_letter());
  ASSERT_FALSE(letters.back().empty());
  const int rounds = 5;
  std::vector<std::thread> own;
  for (int t = 0; t < 4; ++t) {
    own.emplace_back([&, t] {
      const std::string root = letters[t] + "\\";
      for (int r = 0; r < rounds; ++r) {
        ASSERT_EQ(0u, WNetAddConnectionA(t % 2 ? "\\\\FS01\\C$" : "\\\\BR01\\C$", nullptr, letters[t].c_str()));
        char label[256] = "";
        DWORD serial = 0;
        ASSERT_TRUE(GetVolumeInformationA(root.c_str(), label, 255, &serial, nullptr, nullptr, nullptr, 0));
        EXPECT_EQ(t % 2 ? 0x1A2B3C4Du : 0x0BADF00Du, serial) << letters[t];
        EXPECT_EQ(0u, WNetCancelConnection2A(letters[t].c_str(), CONNECT_UPDATE_PROFILE, FALSE));
      }
    });
  }
  // Meanwhile two threads race for one letter, round after round.
  const std::string& shared = letters[4];
  for (int r = 0; r < rounds; ++r) {
    std::atomic<int> ready{0};
    DWORD status[2] = {1, 1};
    auto racer = [&](int i) {
      ++ready;
      while (ready.load() < 2) Sleep(0);
      status[i] = WNetAddConnectionA("\\\\FS01\\D$", nullptr, shared.c_str());
    };
    std::thread a(racer, 0), b(racer, 1);
    a.join();
    b.join();
    EXPECT_EQ((std::multiset<DWORD>{0u, static_cast<DWORD>(ERROR_ALREADY_ASSIGNED)}),
              (std::multiset<DWORD>{status[0], status[1]}));
    // WNetAddConnectionA's connection is remembered by the profile: the cancel forgets it too, or
    // the next round would find the letter remembered (1202).
    EXPECT_EQ(0u, WNetCancelConnection2A(shared.c_str(), CONNECT_UPDATE_PROFILE, FALSE));
  }
  for (std::thread& t : own) t.join();
  for (const std::string& l : letters) {
    EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA((l + "\\").c_str())) << l;
    char remote[64];
    DWORD len = sizeof remote;
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_CONNECTED), WNetGetConnectionA(l.c_str(), remote, &len)) << l;
  }
}

// What a real network does that the lab must do too: the profile remembers the connections
// WNetAddConnection and CONNECT_UPDATE_PROFILE make, a remembered letter that is not live answers
// 1202 (and WNetGetConnection 1201), a cancel forgets only with CONNECT_UPDATE_PROFILE and is
// refused without force while files are open; no browse list (6118); a server that lets only its
// administrators list its disks (5); a switched-off server that costs its timeout.
TEST(RealNetworkLab, ProfileBrowserDisksAndTimeoutsAnswerAsWindowsDoes) {
  std::string kept = labtests::free_letter();
  ASSERT_FALSE(kept.empty());
  std::wstring remembered(kept.begin(), kept.end());
  std::wstring d = labtests::with_section(L"profile", remembered + L"=\\\\FS01\\PUBLIC\r\n");
  d.replace(d.find(L"[server FS02]"), 13, L"[server FS02]\r\ndisk_status=5");
  d.replace(d.find(L"workstation="), 12, L"browser=off\r\nworkstation=");
  d = labtests::with_section(L"faults", L"timeout_ms=300\r\nopen_files=BR01\r\n", d);
  TempLab lab(d);
  auto connect = [](const std::wstring& letter, const wchar_t* remote, DWORD flags) {
    NETRESOURCEW res = {};
    res.dwType = RESOURCETYPE_DISK;
    res.lpLocalName = const_cast<LPWSTR>(letter.c_str());
    res.lpRemoteName = const_cast<LPWSTR>(remote);
    return WNetAddConnection2W(&res, nullptr, nullptr, flags);
  };
  auto connected_to = [](const std::wstring& letter, DWORD expected) {
    wchar_t remote[MAX_PATH] = L"";
    DWORD length = MAX_PATH;
    EXPECT_EQ(WNetGetConnectionW(letter.c_str(), remote, &length), expected) << letter.c_str();
    return std::wstring(remote);
  };

  // Remembered, not live.
  EXPECT_EQ(connected_to(remembered, ERROR_CONNECTION_UNAVAIL), L"\\\\FS01\\PUBLIC");
  EXPECT_EQ(connect(remembered, L"\\\\FS01\\C$", 0), static_cast<DWORD>(ERROR_DEVICE_ALREADY_REMEMBERED));
  EXPECT_EQ(lab.remembered(), std::vector<std::wstring>{remembered + L"=\\\\FS01\\PUBLIC"});

  std::wstring letter;
  for (wchar_t c = L'Y'; c > L'G' && letter.empty(); --c) {
    wchar_t root[] = {c, L':', L'\\', 0};
    if (c != remembered[0] && GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR) letter = std::wstring(1, c) + L":";
  }
  ASSERT_FALSE(letter.empty());
  struct Step {
    const char* what;
    std::function<DWORD()> call;
    DWORD status;
    bool remembered_after, live_after;
  };
  const Step steps[] = {
      {"WNetAddConnectionW remembers", [&] { return WNetAddConnectionW(L"\\\\FS01\\C$", nullptr, letter.c_str()); }, 0,
       true, true},
      {"a cancel without the profile leaves it remembered",
       [&] { return WNetCancelConnection2W(letter.c_str(), 0, TRUE); }, 0, true, false},
      {"so the letter is refused", [&] { return connect(letter, L"\\\\FS01\\D$", 0); }, ERROR_DEVICE_ALREADY_REMEMBERED,
       true, false},
      {"a cancel with the profile forgets it",
       [&] { return WNetCancelConnection2W(letter.c_str(), CONNECT_UPDATE_PROFILE, TRUE); }, 0, false, false},
      {"WNetAddConnection2 without the profile", [&] { return connect(letter, L"\\\\BR01\\C$", 0); }, 0, false, true},
      {"files open refuse a cancel not forced", [&] { return WNetCancelConnection2W(letter.c_str(), 0, FALSE); },
       ERROR_OPEN_FILES, false, true},
      {"a forced cancel ends it", [&] { return WNetCancelConnection2W(letter.c_str(), 0, TRUE); }, 0, false, false},
      {"WNetAddConnection2 with the profile", [&] { return connect(letter, L"\\\\FS01\\C$", CONNECT_UPDATE_PROFILE); },
       0, true, true},
      {"its cancel with the profile",
       [&] { return WNetCancelConnection2W(letter.c_str(), CONNECT_UPDATE_PROFILE, TRUE); }, 0, false, false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    EXPECT_EQ(s.call(), s.status);
    auto now = lab.remembered();
    EXPECT_EQ(now.size(), s.remembered_after ? 2u : 1u);
    connected_to(letter, s.live_after ? NO_ERROR : s.remembered_after ? ERROR_CONNECTION_UNAVAIL : ERROR_NOT_CONNECTED);
  }

  LPBYTE buf = nullptr;
  DWORD read = 0, total = 0;
  for (DWORD type : {DWORD{SV_TYPE_DOMAIN_ENUM}, DWORD{SV_TYPE_SERVER}})
    EXPECT_EQ(NetServerEnum(nullptr, 101, &buf, MAX_PREFERRED_LENGTH, &read, &total, type, L"CORP", nullptr),
              static_cast<DWORD>(ERROR_NO_BROWSER_SERVERS_FOUND));
  struct Disks {
    const wchar_t* server;
    DWORD status, at_least_ms, below_ms;
  };
  for (const Disks& c : {Disks{L"\\\\FS01", 0, 0, 300}, Disks{L"\\\\FS02", ERROR_ACCESS_DENIED, 0, 300},
                         Disks{L"\\\\ARCHIVE", ERROR_BAD_NETPATH, 300, 5000}}) {
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(NetServerDiskEnum(const_cast<LPWSTR>(c.server), 0, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr),
              c.status);
    ULONGLONG took = GetTickCount64() - start;
    EXPECT_GE(took, c.at_least_ms) << c.server;
    EXPECT_LT(took, c.below_ms) << c.server;
    if (buf) NetApiBufferFree(buf);
    buf = nullptr;
  }
}
