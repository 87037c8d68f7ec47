// corvanecmd end to end: each command as a scheduled task would run it, its CSV read back, its
// exit statuses, and bad usage changing nothing.
#include "corvane_test.h"
#include "lab_runs.h"

#include <lm.h>

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

  Result find = corvanecmd(L"find --csv --parallel 4 --log " + log.arg());
  EXPECT_EQ(find.exit, 0u) << find.err;
  auto rows = csv_rows(find.out);
  ASSERT_EQ(rows.size(), 6u) << find.out;
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Drive", "Label", "FileSystem", "CapacityMB", "FreeMB"}));
  EXPECT_EQ(rows[1][0], "\\\\FS01\\C");
  EXPECT_EQ(rows[1][1], "SYSTEM");
  EXPECT_EQ(rows[5][0], "\\\\BR01\\D");
  std::string logged = log.text();
  EXPECT_NE(logged.find("> Started Velmora Corvane command-line session (corvanecmd find).\r\n"), std::string::npos) << logged;
  EXPECT_NE(logged.find("> Found drive \\\\FS02\\E Unrecognized Error  5.\r\n"), std::string::npos) << logged;
  EXPECT_NE(logged.find("> Corvane command-line session terminated.\r\n"), std::string::npos) << logged;

  // A preview changes nothing.
  Result what_if = corvanecmd(L"add --drives \\\\FS01\\C,\\\\FS01\\D --pattern c<drive> --account Users --what-if --log " + log.arg());
  EXPECT_EQ(what_if.exit, 0u) << what_if.err;
  EXPECT_NE(what_if.out.find("Share: to be created, path C:\\"), std::string::npos) << what_if.out;
  EXPECT_TRUE(lab.journal(L"NetShareAdd").empty());

  // Not confirmed (no answer on the input): nothing happens, and the status says so.
  Result unconfirmed = corvanecmd(L"add --drives \\\\FS01\\C --pattern c<drive> --account Users --log " + log.arg());
  EXPECT_EQ(unconfirmed.exit, 1u);
  EXPECT_TRUE(lab.journal(L"NetShareAdd").empty());

  Result add = corvanecmd(L"add --drives \\\\FS01\\C,\\\\FS01\\D --pattern c<drive> --account Users --access change --csv --log " +
                          log.arg(), "y\r\n");
  EXPECT_EQ(add.exit, 0u) << add.err << add.out;
  auto added = csv_rows(add.out);
  ASSERT_EQ(added.size(), 3u) << add.out;
  EXPECT_EQ(added[1], (std::vector<std::string>{"\\\\FS01\\C", "\\\\FS01\\cC", "created", "Added \\\\FS01\\cC BUILTIN\\Users"}));
  EXPECT_TRUE(share_exists(L"\\\\FS01", L"cD"));

  // A change log that cannot be written (here a folder): nothing is changed, and it says so.
  Result no_log = corvanecmd(L"add --drives \\\\FS01\\C --pattern z<drive> --account Users --yes --log \"" +
                             lab.folder() + L"\"");
  EXPECT_EQ(no_log.exit, 1u);
  EXPECT_NE(no_log.err.find("No further share was changed"), std::string::npos) << no_log.err;
  EXPECT_FALSE(share_exists(L"\\\\FS01", L"zC"));

  // One refused drive makes the run's status 1.
  Result refused = corvanecmd(L"add --drives \\\\FS02\\C --pattern c<drive> --account Users --yes --csv --log " + log.arg());
  EXPECT_EQ(refused.exit, 1u) << refused.out;
  EXPECT_NE(refused.out.find(",failed,"), std::string::npos) << refused.out;

  Result exported = corvanecmd(L"export --drives \\\\FS01\\C,\\\\FS01\\D --pattern c<drive> --out " + list.arg() + L" --log " + log.arg());
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
