// corvanecmd end to end: each command as a scheduled task would run it, its CSV read back, its
// exit statuses, and bad usage changing nothing.
#include "corvane_test.h"

#include <lm.h>

#include <sstream>

using namespace corvane_test;

namespace {

struct Result {
  DWORD exit = 99;
  std::string out, err;
};

// Reads what the pipe holds now, without waiting for more.
void take_available(HANDLE h, std::string& s) {
  char buf[4096];
  DWORD avail = 0, got = 0;
  while (PeekNamedPipe(h, nullptr, 0, nullptr, &avail, nullptr) && avail &&
         ReadFile(h, buf, avail < sizeof buf ? avail : sizeof buf, &got, nullptr) && got)
    s.append(buf, got);
}

// Runs the staged corvanecmd.exe with the arguments and the given standard input.
Result corvanecmd(const std::wstring& args, const std::string& input = "") {
  Result r;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out_r, out_w, err_r, err_w, in_r, in_w;
  CreatePipe(&out_r, &out_w, &sa, 0);
  CreatePipe(&err_r, &err_w, &sa, 0);
  CreatePipe(&in_r, &in_w, &sa, 0);
  for (HANDLE h : {out_r, err_r, in_w}) SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{sizeof si};
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out_w;
  si.hStdError = err_w;
  si.hStdInput = in_r;
  PROCESS_INFORMATION pi{};
  std::wstring exe = corvlab::TempLab::program_folder() + L"corvanecmd.exe";
  std::wstring line = L"\"" + exe + L"\" " + args;
  BOOL started = CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
  CloseHandle(out_w);
  CloseHandle(err_w);
  CloseHandle(in_r);
  if (!started) {
    ADD_FAILURE() << "corvanecmd.exe did not start: " << GetLastError();
    for (HANDLE h : {out_r, err_r, in_w}) CloseHandle(h);
    return r;
  }
  DWORD w = 0;
  if (!input.empty()) WriteFile(in_w, input.data(), static_cast<DWORD>(input.size()), &w, nullptr);
  CloseHandle(in_w);
  // Stderr is small (a question, a line): read it after the output, which may be larger.
  // Read while it runs, and stop at its end rather than at the pipes' end: a process it caused
  // Wine to start (the mount manager's helpers) may hold the pipes open for longer.
  ULONGLONG deadline = GetTickCount64() + 120000;
  for (;;) {
    take_available(out_r, r.out);
    take_available(err_r, r.err);
    if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) break;
    if (GetTickCount64() > deadline) {
      TerminateProcess(pi.hProcess, 99);
      ADD_FAILURE() << "corvanecmd.exe did not end";
      break;
    }
  }
  take_available(out_r, r.out);
  take_available(err_r, r.err);
  GetExitCodeProcess(pi.hProcess, &r.exit);
  for (HANDLE h : {pi.hProcess, pi.hThread, out_r, err_r}) CloseHandle(h);
  return r;
}

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
