// Settings, the change-log file and the start of a session.
#include "corvane_test.h"

#include <regex>

#include "app.h"
#include "change_log_file.h"
#include "ini_file.h"
#include "log_parse.h"
#include "session.h"

using namespace corvane;
using namespace corvane_test;

namespace {

std::string read_bytes(const std::wstring& path) { return corvlab::TempLab::read_bytes(path); }

struct TempDir {
  std::wstring path;
  TempDir() {
    wchar_t t[MAX_PATH];
    GetTempPathW(MAX_PATH, t);
    path = std::wstring(t) + L"corvane-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount64());
    CreateDirectoryW(path.c_str(), nullptr);
  }
  ~TempDir() {
    for (const wchar_t* f : {L"\\cv.ini", L"\\ShareChanges.log"}) DeleteFileW((path + f).c_str());
    RemoveDirectoryW(path.c_str());
  }
};

std::wstring signed_in_account() {
  wchar_t name[256];
  DWORD n = 256;
  return GetUserNameW(name, &n) ? std::wstring(name) : L"";
}

}  // namespace

TEST(CorvaneSession, FirstRunThenRememberedValues) {
  ComScope com;
  TempDir dir;
  IniFile ini(dir.path + L"\\cv.ini");

  FormValues first = load_form(ini);
  EXPECT_EQ(first.pattern, L"<drive>");
  EXPECT_EQ(first.account, signed_in_account());
  EXPECT_FALSE(first.account.empty());
  EXPECT_EQ(first.read, 1);
  EXPECT_EQ(first.change, 0);
  EXPECT_EQ(first.full, 0);
  EXPECT_EQ(first.parallel, 8u);

  save_form(ini, L"<drive>$", L"CORP\\collector", 0, 1, 0);
  std::string text = read_bytes(ini.path());
  EXPECT_NE(text.find("[Defaults]"), std::string::npos);
  // The five keys, in the order they are written.
  std::regex order(
      "Sharname=<drive>\\$\\r\\nAccount=CORP\\\\collector\\r\\nAccessRead=0\\r\\nAccessChange=1\\r\\nAccessFull=0");
  EXPECT_TRUE(std::regex_search(text, order)) << text;

  ini.write(L"Defaults", L"Parallel", L"3");
  FormValues again = load_form(ini);
  EXPECT_EQ(again.parallel, 3u);
  EXPECT_EQ(again.pattern, L"<drive>$");
  EXPECT_EQ(again.account, L"CORP\\collector");
  EXPECT_EQ(again.read, 0);
  EXPECT_EQ(again.change, 1);
  EXPECT_EQ(again.full, 0);

  // An account without box settings keeps the boxes as designed; long values are cut to 79.
  ini.write(L"Defaults", L"AccessRead", L"");
  ini.write(L"Defaults", L"AccessFull", L"maybe");
  ini.write(L"Defaults", L"Sharname", L"  " + std::wstring(90, L'p') + L"  ");
  FormValues partial = load_form(ini);
  EXPECT_FALSE(partial.read.has_value());
  EXPECT_FALSE(partial.full.has_value());
  EXPECT_EQ(partial.change, 1);
  EXPECT_EQ(partial.pattern, std::wstring(79, L'p'));  // the profile functions drop the blanks; 79 come back
}

TEST(CorvaneSession, ChangeLogLinesAreDatedAppendedAndEightBit) {
  TempDir dir;
  ChangeLogFile log(dir.path + L"\\ShareChanges.log");
  ASSERT_TRUE(log.begin(L"", {1, 0, 4}).ok());
  log.write(L"Domain CORP");
  const std::wstring added = added_line(L"\\\\FS01\\D$", L"CORP\\Zo\u00eb \u4e2d|\r\n%", L"");
  log.write(added);  // one character the code page has, one it lacks, and what would end the line

  std::string text = read_bytes(log.path());
  std::regex line("\\d\\d-[^-\\r\\n]{2,12}-\\d{4} \\d\\d:\\d\\d> ([^\\r\\n]*)\\r\\n");
  std::vector<std::string> bodies;
  size_t covered = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
    bodies.push_back((*it)[1]);
    covered += static_cast<size_t>(it->length());
  }
  ASSERT_EQ(bodies.size(), 5u) << text;
  EXPECT_EQ(covered, text.size()) << "bytes outside the dated lines: " << text;  // no mark, no blank line
  EXPECT_EQ(bodies[0], "Started Velmora Corvane session.");
  EXPECT_EQ(bodies[1], "Using Corvane v1.0.4");
  EXPECT_TRUE(std::regex_match(bodies[2], std::regex("Log session [0-9A-F]{16} in process \\d+\\."))) << bodies[2];
  EXPECT_EQ(bodies[3], "Domain CORP");
  EXPECT_NE(bodies[4].find("%4E2D|%000D%000A%0025"), std::string::npos) << bodies[4];
  // Read back as undo reads it: exactly what was written.
  LogText back = read_log_file(log.path());
  auto entries = parse_log(back.text);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(read_change_line(entries[4].text, true).object, L"\\\\FS01\\D$ CORP\\Zo\u00eb \u4e2d|\r\n%");

  // The log stays appendable while a reader holds it open.
  HANDLE reader = CreateFileW(log.path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  log.end();
  CloseHandle(reader);
  EXPECT_NE(read_bytes(log.path()).find("> Corvane session terminated.\r\n"), std::string::npos);
}

TEST(CorvaneSession, DomainsAreListedAndLoggedOrNoneOnFailure) {
  {
    corvlab::TempLab lab(corvlab::TempLab::default_description());
    MemoryLog log;
    EXPECT_EQ(list_domains(log), (std::vector<std::wstring>{L"CORP", L"BRANCH"}));
    EXPECT_EQ(log.lines, (std::vector<std::wstring>{L"Domain CORP", L"Domain BRANCH"}));
  }
  {
    // The browser gave part of its list (234): that part is used, and a line says so.
    corvlab::TempLab lab(lab_with(L"more_data=", L"more_data=*"));
    MemoryLog log;
    long status = 0;
    EXPECT_EQ(list_domains(log, &status), std::vector<std::wstring>{L"CORP"});
    EXPECT_EQ(status, 234);
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], L"Domain CORP");
    EXPECT_EQ(log.lines[1].rfind(L"Browse list of domains incomplete, 1 name read: status 234: ", 0), 0u)
        << log.lines[1];
  }
  {
    corvlab::TempLab lab(lab_with(L"domains=", L"domains="));
    MemoryLog log;
    EXPECT_TRUE(list_domains(log).empty());
  }
  {
    // No browse list at all: nothing, and the status that says why.
    corvlab::TempLab lab(lab_with(L"workstation=", L"browser=off\r\nworkstation="));
    MemoryLog log;
    long status = 0;
    EXPECT_TRUE(list_domains(log, &status).empty());
    EXPECT_EQ(status, 6118);
    EXPECT_TRUE(log.lines.empty());
  }
}
