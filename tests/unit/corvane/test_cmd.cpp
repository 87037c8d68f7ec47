// corvanecmd end to end: each command as a scheduled task would run it, its CSV read back, its
// exit statuses, and bad usage changing nothing.
#include "corvane_test.h"
#include "lab_runs.h"

#include <lm.h>

#include <sddl.h>

#include <algorithm>
#include <map>
#include <sstream>

using namespace corvane_test;

namespace {

// CSV rows split into fields (the program quotes only what needs it; none of these fields does).
std::vector<std::vector<std::string>> csv_rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> f;
    std::string cell;
    std::istringstream cells(line);
    while (std::getline(cells, cell, ',')) f.push_back(cell);
    rows.push_back(f);
  }
  return rows;
}

bool share_exists(const wchar_t* server, const wchar_t* share) {
  LPBYTE buf = nullptr;
  NET_API_STATUS st = NetShareGetInfo(const_cast<LPWSTR>(server), const_cast<LPWSTR>(share), 1, &buf);
  if (buf) NetApiBufferFree(buf);
  return st == 0;
}

struct TempFile {
  std::wstring path;
  explicit TempFile(const wchar_t* name) {
    wchar_t t[MAX_PATH];
    GetTempPathW(MAX_PATH, t);
    path = std::wstring(t) + L"corvanecmd-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
    DeleteFileW(path.c_str());
  }
  ~TempFile() { DeleteFileW(path.c_str()); }
  std::wstring arg() const { return L"\"" + path + L"\""; }
  std::string text() const {
    std::wstring w = corvlab::TempLab::read_text(path);
    return std::string(w.begin(), w.end());
  }
};

}  // namespace

TEST(Corvanecmd, FindAddExportDeleteAndUndo) {
  corvlab::TempLab lab(lab_with(L"comment=Project file server", L"comment=Project file server\r\nshare_status=5"));
  TempFile log(L"changes.log"), list(L"shares.lst");

  // The switched-off ARCHIVE's drives cannot be listed: it is counted, and find exits 1.
  Result find = corvanecmd(L"find --csv --parallel 4 --log " + log.arg());
  EXPECT_EQ(find.exit, 1u) << find.err;
  EXPECT_NE(find.err.find("1 server not listed"), std::string::npos) << find.err;
  auto rows = csv_rows(find.out);
  ASSERT_EQ(rows.size(), 6u) << find.out;
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Drive", "Label", "FileSystem", "CapacityMB", "FreeMB"}));
  EXPECT_EQ(rows[1][0], "\\\\FS01\\C");
  EXPECT_EQ(rows[1][1], "SYSTEM");
  EXPECT_EQ(rows[5][0], "\\\\BR01\\D");
  std::string logged = log.text();
  EXPECT_NE(logged.find("> Started Velmora Corvane command-line session (corvanecmd find).\r\n"), std::string::npos)
      << logged;
  EXPECT_NE(logged.find("> Found drive \\\\FS02\\E Unrecognized Error  5.\r\n"), std::string::npos) << logged;
  EXPECT_NE(logged.find("> Corvane command-line session terminated.\r\n"), std::string::npos) << logged;

  // A preview changes nothing.
  Result what_if = corvanecmd(
      L"add --drives \\\\FS01\\C,\\\\FS01\\D --pattern c<drive> --account Users --what-if --log " + log.arg());
  EXPECT_EQ(what_if.exit, 0u) << what_if.err;
  EXPECT_NE(what_if.out.find("Share: to be created, path C:\\"), std::string::npos) << what_if.out;
  EXPECT_TRUE(lab.journal(L"NetShareAdd").empty());

  // Not confirmed (no answer on the input): nothing happens, and the status says so.
  Result unconfirmed = corvanecmd(L"add --drives \\\\FS01\\C --pattern c<drive> --account Users --log " + log.arg());
  EXPECT_EQ(unconfirmed.exit, 1u);
  EXPECT_TRUE(lab.journal(L"NetShareAdd").empty());

  Result add = corvanecmd(
      L"add --drives \\\\FS01\\C,\\\\FS01\\D --pattern c<drive> --account Users --access change --csv --log " +
          log.arg(),
      "y\r\n");
  EXPECT_EQ(add.exit, 0u) << add.err << add.out;
  auto added = csv_rows(add.out);
  ASSERT_EQ(added.size(), 3u) << add.out;
  EXPECT_EQ(added[1],
            (std::vector<std::string>{"\\\\FS01\\C", "\\\\FS01\\cC", "created", "Added \\\\FS01\\cC BUILTIN\\Users"}));
  EXPECT_TRUE(share_exists(L"\\\\FS01", L"cD"));

  // A change log that cannot be written (here a folder): nothing is changed, and it says so.
  Result no_log = corvanecmd(L"add --drives \\\\FS01\\C --pattern z<drive> --account Users --yes --log \"" +
                             lab.folder() + L"\"");
  EXPECT_EQ(no_log.exit, 1u);
  EXPECT_NE(no_log.err.find("nothing was changed"), std::string::npos) << no_log.err;
  EXPECT_FALSE(share_exists(L"\\\\FS01", L"zC"));

  // One refused drive makes the run's status 1.
  Result refused = corvanecmd(L"add --drives \\\\FS02\\C --pattern c<drive> --account Users --yes --csv --log " +
                              log.arg());
  EXPECT_EQ(refused.exit, 1u) << refused.out;
  EXPECT_NE(refused.out.find(",failed,"), std::string::npos) << refused.out;

  Result exported = corvanecmd(L"export --drives \\\\FS01\\C,\\\\FS01\\D --pattern c<drive> --out " + list.arg() +
                               L" --log " + log.arg());
  EXPECT_EQ(exported.exit, 0u) << exported.err;
  EXPECT_EQ(list.text(), "\\\\FS01\\cC\r\n\\\\FS01\\cD\r\n");

  Result deleted = corvanecmd(L"delete --drives \\\\FS01\\D --pattern c<drive> --yes --log " + log.arg());
  EXPECT_EQ(deleted.exit, 0u) << deleted.out;
  EXPECT_FALSE(share_exists(L"\\\\FS01", L"cD"));

  // Undo the last session that changed shares: the deleted share comes back. Then from the
  // first add on (the undo among them): both shares go, the refused one was never made.
  Result undo_last = corvanecmd(L"undo --yes --csv --log " + log.arg());
  EXPECT_EQ(undo_last.exit, 0u) << undo_last.out << undo_last.err;
  EXPECT_NE(undo_last.out.find("\\\\FS01\\cD,made again"), std::string::npos) << undo_last.out;
  EXPECT_TRUE(share_exists(L"\\\\FS01", L"cD"));
  Result listed = corvanecmd(L"undo --list --csv --log " + log.arg());
  auto sessions = csv_rows(listed.out);
  ASSERT_EQ(sessions.size(), 5u) << listed.out;
  EXPECT_EQ(sessions[0], (std::vector<std::string>{"Started", "Kind", "Shares"}));
  EXPECT_EQ(sessions[1][1], "add");
  EXPECT_EQ(sessions[1][2], "2");
  EXPECT_EQ(sessions[4][1], "undo");
  auto stamp_at = logged.find("> Started");
  std::string first_stamp = logged.substr(0, stamp_at);
  Result undo_all = corvanecmd(L"undo --yes --csv --since \"" + std::wstring(first_stamp.begin(), first_stamp.end()) +
                               L"\" --log " + log.arg());
  EXPECT_EQ(undo_all.exit, 0u) << undo_all.out << undo_all.err;
  EXPECT_NE(undo_all.out.find("\\\\FS01\\cC,deleted"), std::string::npos) << undo_all.out;
  EXPECT_NE(undo_all.out.find("\\\\FS01\\cD,deleted"), std::string::npos) << undo_all.out;
  EXPECT_FALSE(share_exists(L"\\\\FS01", L"cC"));
  EXPECT_FALSE(share_exists(L"\\\\FS01", L"cD"));
}

TEST(Corvanecmd, BadUsageSaysOneLineAndChangesNothing) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  TempFile log(L"usage.log");
  for (const wchar_t* args : {L"", L"frobnicate", L"add --access write", L"find --parallel 0", L"export",
                              L"find --domain CORP --servers FS01", L"add --drives nonsense --account Users",
                              L"undo --since yesterday", L"find --log"}) {
    Result r = corvanecmd(std::wstring(args) + (std::wstring(args) == L"find --log" ? L"" : L" --log " + log.arg()));
    EXPECT_EQ(r.exit, 2u) << "args: " << std::string(args, args + wcslen(args));
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind("corvanecmd: ", 0), 0u) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
  EXPECT_EQ(GetFileAttributesW(log.path.c_str()), INVALID_FILE_ATTRIBUTES) << "a bad command line wrote the log";
  EXPECT_TRUE(lab.journal().empty());

  for (const wchar_t* help : {L"/?", L"--help"}) {
    Result r = corvanecmd(help);
    EXPECT_EQ(r.exit, 0u);
    EXPECT_EQ(r.out.rfind("Usage: corvanecmd <command> [options]", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("Change log: "), std::string::npos);
  }
}

// The inventory against the lab's own account of its shares, the check after an add and after
// each kind of drift, and revoke undone list for list.
TEST(Corvanecmd, SharesCheckAndRevoke) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  TempFile log(L"inventory.log");
  const std::wstring L = L" --csv --log " + log.arg();

  Result inventory = corvanecmd(L"shares" + L);
  EXPECT_EQ(inventory.exit, 1u) << inventory.err;  // ARCHIVE does not answer
  // What labctl shows (the lab exists once a call has been made): "  NAME  PATH ..." then "descriptor SDDL" per share,
  // under "\\SERVER".
  std::map<std::string, std::string> labctl;
  Result shown = run_staged(L"labctl.exe", L"shares");
  {
    std::istringstream in(shown.out);
    std::string line, server, share;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("\\\\", 0) == 0) server = line;
      else if (line.rfind("  ", 0) == 0 && line[2] != ' ') share = line.substr(2, line.find(' ', 2) - 2);
      else if (line.find("descriptor ") != std::string::npos)
        labctl[server + "\\" + share] = line.substr(line.find("descriptor ") + 11);
    }
  }
  ASSERT_GE(labctl.size(), 8u) << shown.out << shown.err;
  std::map<std::string, std::string> listed;
  bool archive_row = false;
  for (const auto& row : csv_rows(inventory.out)) {
    if (row[0] == "\\\\ARCHIVE")
      archive_row = row[2] == "error" && row.size() > 7 && row[7].find("status 53") != std::string::npos;
    if (row.size() >= 7 && row[0] != "Server" && row[2] != "error")
      listed[row[0] + "\\" + row[1]] = row[6].empty() ? "(none)" : row[6];
  }
  EXPECT_TRUE(archive_row) << inventory.out;
  labctl.erase("\\\\ARCHIVE\\C$");  // described, but its server does not answer
  EXPECT_EQ(listed, labctl);
  // In words, one row per entry; "<drive>" stands for any letter.
  Result words = corvanecmd(L"shares --entries --servers FS01,BR01" + L);
  EXPECT_EQ(words.exit, 0u) << words.err;
  EXPECT_NE(words.out.find("\\\\FS01,PROJECTS,disk,D:\\Projects,BUILTIN\\Administrators,allow,Full Control,"),
            std::string::npos)
      << words.out;
  EXPECT_NE(words.out.find(",NT AUTHORITY\\Authenticated Users,allow,Change,"), std::string::npos) << words.out;
  EXPECT_NE(words.out.find("\\\\BR01,SCANS,disk,D:\\Scans,(server default)"), std::string::npos) << words.out;
  Result admin = corvanecmd(L"shares --pattern <drive>$ --servers FS01" + L);
  EXPECT_EQ(csv_rows(admin.out).size(), 3u) << admin.out;
  EXPECT_NE(admin.out.find(",disk (administrative),"), std::string::npos);
  // It changed nothing, and logged nothing but its session.
  std::string logged = log.text();
  EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 12) << logged;  // three sessions' start and end

  // check: ok right after add with the same access, then each drift in words.
  const std::wstring drives = L" --drives \\\\FS01\\C,\\\\FS01\\D,\\\\BR01\\C --pattern k<drive> --account Users";
  ASSERT_EQ(corvanecmd(L"add --access change --yes" + drives + L).exit, 0u);
  Result ok = corvanecmd(L"check --access change" + drives + L);
  EXPECT_EQ(ok.exit, 0u) << ok.out;
  EXPECT_EQ(std::count(ok.out.begin(), ok.out.end(), '\n'), 4) << ok.out;
  EXPECT_EQ(ok.out.find(",drift,"), std::string::npos) << ok.out;
  auto set_list = [](const wchar_t* server, const wchar_t* share, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr));
    SHARE_INFO_1501 info{0, sd};
    EXPECT_EQ(NetShareSetInfo(const_cast<LPWSTR>(server), const_cast<LPWSTR>(share), 1501,
                              reinterpret_cast<LPBYTE>(&info), nullptr),
              0u);
    LocalFree(sd);
  };
  set_list(L"\\\\FS01", L"kC", L"D:(A;;0x1200a9;;;BU)(D;;FA;;;BU)");
  set_list(L"\\\\FS01", L"kD", L"D:(A;;FA;;;WD)");
  NetShareDel(const_cast<LPWSTR>(L"\\\\BR01"), const_cast<LPWSTR>(L"kC"), 0);
  Result drift = corvanecmd(L"check --access change" + drives + L);
  EXPECT_EQ(drift.exit, 1u);
  EXPECT_NE(drift.out.find("\\\\FS01\\kC,drift,Read instead of Change; deny entry present"), std::string::npos)
      << drift.out;
  EXPECT_NE(drift.out.find("\\\\FS01\\kD,drift,no entry"), std::string::npos) << drift.out;
  EXPECT_NE(drift.out.find("\\\\BR01\\kC,drift,missing share"), std::string::npos) << drift.out;

  // revoke keeps every other entry in its order; a list that would be left empty stays unless
  // allowed; undo gives every list back exactly.
  set_list(L"\\\\FS01", L"kC", L"D:(A;;FA;;;BA)(A;;0x1200a9;;;BU)(D;;FA;;;BU)(A;;0x1301bf;;;AU)(A;;FA;;;BU)");
  set_list(L"\\\\FS01", L"kD", L"D:(A;;0x1200a9;;;BU)");
  const auto before = shares_now({L"\\\\FS01"});
  const std::wstring revoke =
      L"revoke --yes --drives \\\\FS01\\C,\\\\FS01\\D --pattern k<drive> --account BUILTIN\\Users";
  Result revoked = corvanecmd(revoke + L);
  EXPECT_EQ(revoked.exit, 1u) << revoked.out;  // kD left
  EXPECT_NE(revoked.out.find("\\\\FS01\\kC,revoked,2 entries taken out"), std::string::npos) << revoked.out;
  EXPECT_NE(revoked.out.find("\\\\FS01\\kD,left,"), std::string::npos) << revoked.out;
  EXPECT_EQ(corvane::read_share(L"\\\\FS01", L"kC").record.sddl, L"D:(A;;FA;;;BA)(D;;FA;;;BU)(A;;0x1301bf;;;AU)");
  EXPECT_NE(log.text().find("> Revoked \\\\FS01\\kC BUILTIN\\Users\r\n"), std::string::npos) << log.text();
  Result undone = corvanecmd(L"undo --yes" + L);
  EXPECT_EQ(undone.exit, 0u) << undone.out << undone.err;
  EXPECT_EQ(shares_now({L"\\\\FS01"}), before);

  Result emptied = corvanecmd(revoke + L" --deny-too --allow-empty" + L);
  EXPECT_EQ(emptied.exit, 0u) << emptied.out;
  EXPECT_NE(emptied.out.find("\\\\FS01\\kD,revoked,1 entry taken out"), std::string::npos) << emptied.out;
  const std::wstring empty = corvane::read_share(L"\\\\FS01", L"kD").record.sddl;
  EXPECT_TRUE(empty.find(L"D:") != std::wstring::npos && empty.find(L"(") == std::wstring::npos)
      << empty;  // a list, empty
  undone = corvanecmd(L"undo --yes" + L);
  EXPECT_EQ(undone.exit, 0u) << undone.out << undone.err;
  EXPECT_EQ(shares_now({L"\\\\FS01"}), before);
}
