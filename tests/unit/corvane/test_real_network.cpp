// corvanecmd on a lab that answers as a real network does: a profile that remembers
// connections, other processes of the logon session mapping letters, servers whose disks cannot
// be listed, a browse list that comes in part, accounts of the workstation itself.
#include "lab_runs.h"

#include <thread>

#include "class_disk.h"

using namespace corvane_test;

namespace {

std::wstring log_arg(const corvlab::TempLab& lab, const wchar_t* name = L"changes.log") {
  return L" --log \"" + lab.folder() + L"\\" + name + L"\"";
}

// Mappings made and not ended, from the journal (any process).
int live_mappings(const corvlab::TempLab& lab) {
  int live = 0;
  for (const auto& e : lab.journal()) {
    if (e.status != 0) continue;
    if (e.function.rfind(L"WNetAddConnection", 0) == 0) ++live;
    if (e.function.rfind(L"WNetCancelConnection", 0) == 0) --live;
  }
  return live;
}

// The default network with lines of its [faults] section added and sections appended.
std::wstring with_faults(const std::wstring& faults, const std::wstring& extra = L"") {
  return lab_with(L"refuse_1501=", L"refuse_1501=\r\n" + faults, extra);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) out.push_back(line);
    pos = end + 1;
  }
  return out;
}

}  // namespace

// The probes connect for this logon only and end their connections forced, so the user's profile
// keeps nothing of a search however it ends; a letter the profile remembers (1202 though nothing
// is live on it) is never taken.
TEST(CorvaneRealNetwork, ProbesLeaveNothingInTheProfile) {
  // The first free letter is remembered by the profile: it is the one a search would take first.
  std::wstring remembered = corvane::ClassDisk().GetNextFreedrive();
  ASSERT_FALSE(remembered.empty());
  const std::wstring entry = remembered + L"=\\\\FS01\\PUBLIC";
  const std::wstring profile = L"[profile]\r\n" + entry + L"\r\n";
  struct Case {
    const wchar_t* name;
    std::wstring description, args;
    DWORD exit;
  };
  const Case cases[] = {
      // A cancel that is not forced is refused while files are open.
      {L"whole search, files open", with_faults(L"open_files=*", profile), L"--servers FS01,FS02,BR01", 0},
      // Killed with eight probes under way, several letters connected.
      {L"killed at the sixth connection",
       corvlab::TempLab::generated(8, 30) + L"die_at=WNetAddConnectionA:6,WNetAddConnection2W:6\r\n" + profile, L"",
       0xDEAD},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    corvlab::TempLab lab(c.description);
    Result r = corvanecmd(L"find " + c.args + L" --parallel 8 --csv" + log_arg(lab));
    EXPECT_EQ(r.exit, c.exit) << r.err;
    EXPECT_EQ(lab.remembered(), std::vector<std::wstring>{entry});
    for (const auto& e : lab.journal()) {
      if (e.function.rfind(L"WNetAddConnection", 0) == 0) {
        EXPECT_EQ(e.args.find(L"local=\"" + remembered + L"\""), std::wstring::npos)
            << "remembered letter taken: " << e.args;
      }
    }
    if (c.exit == 0) {
      EXPECT_EQ(lines_of(r.out).size(), 6u) << r.out;  // the header and FS01 C, D, FS02 C, BR01 C, D
      EXPECT_EQ(live_mappings(lab), 0);
    } else {
      EXPECT_GT(live_mappings(lab), 0) << "nothing was connected when it ended";
    }
  }
}

// Two searches of one logon session at once (a scheduled corvanecmd beside another) never take
// one letter together: each lists every drive, read from that drive.
TEST(CorvaneRealNetwork, TwoSearchesAtOnceEachListEveryDriveFromItsOwnDrive) {
  corvlab::TempLab lab(corvlab::TempLab::generated(24, 5));
  Result first, second;
  std::thread other([&] { first = corvanecmd(L"find --parallel 8 --csv" + log_arg(lab, L"first.log")); });
  second = corvanecmd(L"find --parallel 8 --csv" + log_arg(lab, L"second.log"));
  other.join();
  for (const Result* r : {&first, &second}) {
    EXPECT_EQ(r->exit, 0u) << r->err;
    std::vector<std::string> rows = lines_of(r->out);
    ASSERT_EQ(rows.size(), 97u) << r->out;
    // "\\SRV007\D,SRV007D,...": the label read is the drive's own.
    for (size_t k = 1; k < rows.size(); ++k) {
      const std::string& row = rows[k];
      ASSERT_GE(row.size(), 20u) << row;
      EXPECT_EQ(row.substr(11, 8), row.substr(2, 6) + row.substr(9, 1) + ",") << row;
    }
  }
  EXPECT_EQ(live_mappings(lab), 0);
}

// A server whose disks cannot be listed (not an administrator: 5; switched off: 53, checked with
// corvanecmd find) is named with its reason, and find exits 1.
// A browse list that comes in part (234) is searched as far as it goes, and said so.
TEST(CorvaneRealNetwork, WhatASearchCannotSeeIsNamed) {
  std::wstring d = lab_with(L"more_data=", L"more_data=CORP");
  d.replace(d.find(L"[server FS02]"), 13, L"[server FS02]\r\ndisk_status=5");
  corvlab::TempLab lab(d);
  Result r = corvanecmd(L"find --parallel 1 --csv" + log_arg(lab));
  EXPECT_EQ(r.exit, 1u) << r.err;
  // CORP's browser gave FS01 and FS02 of its three servers; BRANCH was searched after it.
  std::vector<std::string> drives;
  for (const std::string& row : lines_of(r.out)) drives.push_back(row.substr(0, row.find(',')));
  EXPECT_EQ(drives, (std::vector<std::string>{"Drive", "\\\\FS01\\C", "\\\\FS01\\D", "\\\\BR01\\C", "\\\\BR01\\D"}));
  std::wstring log = corvlab::TempLab::read_text(lab.folder() + L"\\changes.log");
  EXPECT_NE(log.find(L"> Browse list of CORP incomplete, 2 names read: status 234: "), std::wstring::npos) << log;
  EXPECT_NE(log.find(L"> Drives of \\\\FS02 not listed: status 5: "), std::wstring::npos) << log;
  EXPECT_NE(r.err.find("1 server not listed"), std::string::npos) << r.err;
}

// A bare name that resolves to an account of this computer is named before anything changes:
// exit 2 unless --local-account-ok; then the log names the account with its computer.
TEST(CorvaneRealNetwork, AnAccountOfThisComputerIsNamedBeforeAnyChange) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  wchar_t user[256], computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = 256, m = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetUserNameW(user, &n) && GetComputerNameW(computer, &m));
  const std::wstring drives = L" --drives \\\\FS01\\C --pattern w<drive> --yes --csv" + log_arg(lab);

  Result refused = corvanecmd(L"add --account " + std::wstring(user) + drives);
  EXPECT_EQ(refused.exit, 2u) << refused.out;
  std::string qualified;
  for (wchar_t c : std::wstring(computer) + L"\\" + user) qualified += static_cast<char>(c);
  EXPECT_NE(refused.err.find(qualified), std::string::npos) << refused.err;
  EXPECT_TRUE(lab.journal(L"NetShareAdd").empty());

  Result meant = corvanecmd(L"add --local-account-ok --account " + std::wstring(user) + drives);
  EXPECT_EQ(meant.exit, 0u) << meant.err;
  std::wstring log = corvlab::TempLab::read_text(lab.folder() + L"\\changes.log");
  EXPECT_NE(log.find(L"> Added \\\\FS01\\wC " + std::wstring(computer) + L"\\" + user + L"\r\n"), std::wstring::npos)
      << log;
}
