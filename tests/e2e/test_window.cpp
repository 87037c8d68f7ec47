// The window end to end: start-up, settings, searching, closing.
#include <gtest/gtest.h>

#include "driver.h"
#include "labtest.h"

namespace e2e {
namespace {

const wchar_t kFindDrivesLabel[] = L"Uncheck volumes you don't want changed";

TEST(Window, FirstRunShowsTheDefaultsEveryControlAndLogsTheSession) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  AppFolder app;
  Program p(app);
  ASSERT_TRUE(p.start());

  // Every control of the window with its caption; fields and lists right after their labels.
  for (
      const wchar_t* caption :
      {L"CORVANE is designed to complement our leading centralised storage management tool - TALLYRA Pro.  Click for details.",
       L"Read more about TALLYRA Pro", L"Only look in these Domains:", L"Find Drives", L"Drives to update:",
       kFindDrivesLabel, L"Share name to use:", L"<drive> will be substituted with drive letter",
       L"Allow access as follows:", L"...", L"Full Control", L"Change", L"Read", L"Add/Update", L"Delete Shares",
       L"Create TALLYRA list", L"Log", L"Help", L"Exit"})
    EXPECT_NE(p.control(caption), nullptr)
        << "no control reads \"" << std::string(caption, caption + wcslen(caption)) << "\"";
  HWND pattern = p.after_label(L"Share name to use:");
  HWND account = p.after_label(L"Allow access as follows:");
  HWND domains = p.after_label(L"Only look in these Domains:");
  ASSERT_TRUE(pattern && account && domains && p.after_label(kFindDrivesLabel));
  wchar_t cls[64];
  GetClassNameW(p.after_label(kFindDrivesLabel), cls, 64);
  EXPECT_STREQ(cls, L"SysListView32");
  EXPECT_EQ(p.tool_tip(p.control(L"Create TALLYRA list")), L"Create a Tallyra pro space collection list");
  EXPECT_EQ(p.tool_tip(p.control(L"Log")), L"Log");

  // First run: the pattern's default, the signed-in user, only "Read".
  EXPECT_EQ(p.text(pattern), L"<drive>");
  EXPECT_EQ(p.text(account), user_name());
  EXPECT_TRUE(p.checked(p.control(L"Read")));
  EXPECT_FALSE(p.checked(p.control(L"Change")));
  EXPECT_FALSE(p.checked(p.control(L"Full Control")));

  // The domains, a disabled list until "Only look in these Domains:" is ticked, and no share
  // command before a search.
  EXPECT_EQ(p.list_box_items(domains), (std::vector<std::wstring>{L"CORP", L"BRANCH"}));
  EXPECT_FALSE(p.enabled(domains));
  p.set_checked(p.control(L"Only look in these Domains:"), true);
  EXPECT_TRUE(p.enabled(domains));
  EXPECT_TRUE(p.enabled(p.control(L"Find Drives")));
  EXPECT_FALSE(p.enabled(p.control(L"Add/Update")));
  EXPECT_FALSE(p.enabled(p.control(L"Delete Shares")));

  // "Log" opens the change log in Notepad, as its own process.
  p.click(L"Log");
  HWND notepad = nullptr;
  EXPECT_TRUE(wait_until(
      [&] {
        return (notepad = FindWindowW(nullptr, L"ShareChanges.log - Notepad")) != nullptr ||
               (notepad = FindWindowW(nullptr, L"ShareChanges - Notepad")) != nullptr;
      },
      20000));
  if (notepad) PostMessageW(notepad, WM_CLOSE, 0, 0);

  // Without corvane.hlp, "Help" and the link label open the compiled help in the program's own
  // HTML Help window (the label's topic 5000 must be in the help's map, or no window opens).
  for (const wchar_t* opener : {L"Help", L"CORVANE is designed to complement our leading centralised storage "
                                         L"management tool - TALLYRA Pro.  Click for details."}) {
    p.click(opener);
    std::vector<HWND> help;
    EXPECT_TRUE(wait_until([&] { return !(help = p.other_windows()).empty(); }, 20000))
        << std::string(opener, opener + wcslen(opener));
    for (HWND h : help) {
      EXPECT_EQ(p.text(h), L"Velmora Corvane Help");
      PostMessageW(h, WM_CLOSE, 0, 0);
    }
    EXPECT_TRUE(wait_until([&] { return p.other_windows().empty(); }, 10000));
  }

  // "Exit" closes: the five keys and the end line.
  p.close_by_exit();
  ASSERT_TRUE(p.wait_exit());
  bool well_formed = false;
  auto log = log_entries(app.file(L"ShareChanges.log"), &well_formed);
  EXPECT_TRUE(well_formed);
  EXPECT_EQ(log, (std::vector<std::wstring>{L"Started Velmora Corvane session.", L"Using Corvane v1.0.4",
                                            L"Domain CORP", L"Domain BRANCH", L"Corvane session terminated."}));
  // The session names itself once, right after its start lines.
  const std::string raw = file_bytes(app.file(L"ShareChanges.log"));
  EXPECT_NE(raw.find("> Using Corvane v1.0.4\r\n"), std::string::npos);
  EXPECT_EQ(raw.find("> Log session "), raw.find("> Using Corvane v1.0.4\r\n") + 41) << raw;
  EXPECT_EQ(raw.find("> Log session ", raw.find("> Log session ") + 1), std::string::npos) << raw;
  std::wstring ini = app.file(L"cv.ini");
  EXPECT_EQ(ini_value(ini, L"Sharname"), L"<drive>");
  EXPECT_EQ(ini_value(ini, L"Account"), user_name());
  EXPECT_EQ(ini_value(ini, L"AccessRead"), L"1");
  EXPECT_EQ(ini_value(ini, L"AccessChange"), L"0");
  EXPECT_EQ(ini_value(ini, L"AccessFull"), L"0");
}

TEST(Window, SettingsAreRememberedAndEveryWayOfClosingWritesTheEndOnce) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  AppFolder app;
  std::wstring ini = app.file(L"cv.ini");
  {
    Program p(app);
    ASSERT_TRUE(p.start());
    p.set_text(p.after_label(L"Share name to use:"), L"data<drive>");
    p.set_text(p.after_label(L"Allow access as follows:"), L"Users");
    p.set_checked(p.control(L"Read"), false);
    p.set_checked(p.control(L"Change"), true);
    p.set_checked(p.control(L"Full Control"), true);
    p.close_by_title_bar();
    ASSERT_TRUE(p.wait_exit());
  }
  EXPECT_EQ(ini_value(ini, L"Sharname"), L"data<drive>");
  EXPECT_EQ(ini_value(ini, L"Account"), L"Users");
  EXPECT_EQ(ini_value(ini, L"AccessRead"), L"0");
  EXPECT_EQ(ini_value(ini, L"AccessChange"), L"1");
  EXPECT_EQ(ini_value(ini, L"AccessFull"), L"1");
  {
    Program p(app);
    ASSERT_TRUE(p.start());
    EXPECT_EQ(p.text(p.after_label(L"Share name to use:")), L"data<drive>");
    EXPECT_EQ(p.text(p.after_label(L"Allow access as follows:")), L"Users");
    EXPECT_FALSE(p.checked(p.control(L"Read")));
    EXPECT_TRUE(p.checked(p.control(L"Change")));
    EXPECT_TRUE(p.checked(p.control(L"Full Control")));
    p.set_checked(p.control(L"Full Control"), false);
    p.close_by_alt_f4();
    ASSERT_TRUE(p.wait_exit());
  }
  EXPECT_EQ(ini_value(ini, L"AccessFull"), L"0");
  {
    Program p(app);
    ASSERT_TRUE(p.start());
    p.set_text(p.after_label(L"Share name to use:"), L"<drive>$");
    EXPECT_TRUE(p.close_by_end_session());
    // The end of the session is recorded before the message returns.
    EXPECT_EQ(ini_value(ini, L"Sharname"), L"<drive>$");
    ASSERT_TRUE(p.wait_exit());
  }
  // Three sessions, each started and ended exactly once, in order.
  auto log = log_entries(app.file(L"ShareChanges.log"));
  std::vector<std::wstring> marks;
  for (const auto& e : log)
    if (e == L"Started Velmora Corvane session." || e == L"Corvane session terminated.") marks.push_back(e);
  EXPECT_EQ(marks, (std::vector<std::wstring>{L"Started Velmora Corvane session.", L"Corvane session terminated.",
                                              L"Started Velmora Corvane session.", L"Corvane session terminated.",
                                              L"Started Velmora Corvane session.", L"Corvane session terminated."}));
}

TEST(Window, SearchListsTheReachableDrivesAndCanBeRestricted) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  AppFolder app;
  Program p(app);
  ASSERT_TRUE(p.start());

  // Only the chosen domains: BRANCH alone, then none at all.
  HWND domains = p.after_label(L"Only look in these Domains:");
  p.set_checked(p.control(L"Only look in these Domains:"), true);
  p.select_list_box_item(domains, 1, true);
  ASSERT_TRUE(p.find_drives());
  auto items = p.drives();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].text, L"\\\\BR01\\C");
  p.select_list_box_item(domains, 1, false);
  ASSERT_TRUE(p.find_drives());
  EXPECT_TRUE(p.drives().empty());
  EXPECT_FALSE(p.enabled(p.control(L"Add/Update")));
  EXPECT_FALSE(p.enabled(p.control(L"Delete Shares")));

  // Every domain: the reachable drives, ticked, with what was read of each volume.
  p.set_checked(p.control(L"Only look in these Domains:"), false);
  ASSERT_TRUE(p.find_drives());
  items = p.drives();
  std::vector<std::wstring> texts;
  for (const auto& i : items) texts.push_back(i.text);
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"\\\\FS01\\C", L"\\\\FS01\\D", L"\\\\FS02\\C", L"\\\\BR01\\C",
                                              L"\\\\BR01\\D"}));
  for (const auto& i : items) {
    EXPECT_TRUE(i.ticked);
    EXPECT_EQ(i.marker, 0);
    EXPECT_FALSE(i.filesystem.empty());
    EXPECT_NE(i.capacity.find(L"MB"), std::wstring::npos);
  }
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].label, L"SYSTEM");
  EXPECT_EQ(items[3].label, L"No label");
  EXPECT_TRUE(p.enabled(p.control(L"Add/Update")));
  EXPECT_TRUE(p.enabled(p.control(L"Delete Shares")));
  // The switched-off ARCHIVE is counted, its reason on the change log.
  EXPECT_EQ(p.text(GetWindow(p.after_label(kFindDrivesLabel), GW_HWNDNEXT)),
            L"Search finished: 5 drives found; 1 server not listed - see Log");

  // Found lines of the last search (the first two listed only BRANCH's drives).
  auto found = entries_starting(log_entries(app.file(L"ShareChanges.log")), L"Found drive");
  ASSERT_EQ(found.size(), 8u);
  EXPECT_EQ(std::vector<std::wstring>(found.begin() + 2, found.end()),
            (std::vector<std::wstring>{L"Found drive \\\\FS01\\C", L"Found drive \\\\FS01\\D",
                                       L"Found drive \\\\FS02\\C", L"Found drive \\\\FS02\\E Unrecognized Error  5.",
                                       L"Found drive \\\\BR01\\C", L"Found drive \\\\BR01\\D"}));

  // Kept for a look: the window after a search. Last, because Wine's start of a host program
  // loses this process's later output.
  std::string root = build_root();
  if (!root.empty()) {
    EXPECT_TRUE(screenshot(root + "/e2e-search.png"));
  }
  p.close_by_exit();
  EXPECT_TRUE(p.wait_exit());
}

TEST(Window, StopEndsASearchAfterTheDriveInProgressAndKeepsWhatWasFound) {
  corvlab::TempLab lab(lab_with(L"\nslow=\nslow_ms=1500", L"\nslow=FS01,FS02,BR01\nslow_ms=700"));
  AppFolder app;
  // One server at a time, so that a stop finds the search half way.
  WritePrivateProfileStringW(L"Defaults", L"Parallel", L"1", app.file(L"cv.ini").c_str());
  Program p(app);
  ASSERT_TRUE(p.start());
  HWND button = p.control(L"Find Drives");
  HWND status = GetWindow(p.after_label(kFindDrivesLabel), GW_HWNDNEXT);
  p.click(button);
  // The program answers only between drives, so each look waits for the next one: one look at
  // the status line until drives are in, one at the button, then the click on "Stop".
  ASSERT_TRUE(wait_until(
      [&] {
        std::wstring s = p.text(status);
        return s.find(L" found so far") != std::wstring::npos && s.find(L" - 0 drives found") == std::wstring::npos;
      },
      60000));
  EXPECT_EQ(p.text(button), L"&Stop");
  p.click(button);
  ASSERT_TRUE(wait_until([&] { return p.text(button) == L"&Find Drives"; }, 60000));
  size_t listed = p.drives().size();
  EXPECT_GE(listed, 1u);
  EXPECT_LT(listed, 5u);
  EXPECT_EQ(p.text(status).rfind(L"Search stopped: " + std::to_wstring(listed) + L" drive", 0), 0u);
  // Every mapping made was cancelled again.
  size_t mapped = 0, cancelled = 0;
  for (const auto& e : lab.journal(L"WNetAddConnection2W")) mapped += e.status == 0;
  for (const auto& e : lab.journal(L"WNetCancelConnection2W")) cancelled += e.status == 0;
  EXPECT_EQ(mapped, listed);
  EXPECT_EQ(cancelled, listed);
  // Closing while nothing runs still works after a stop.
  p.close_by_exit();
  EXPECT_TRUE(p.wait_exit());
}

TEST(Window, ACloseAskedForDuringAModalStepHappensWhenTheStepEnds) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  AppFolder app;
  std::wstring log_path = app.file(L"ShareChanges.log");
  // The step's window, how the close is asked for, how the step is ended.
  struct Case {
    const wchar_t* button;
    const wchar_t* title;
    bool by_exit;
    int answer;
  };
  for (const Case& c :
       {Case{L"Add/Update", L"Add Shares", false, IDYES}, Case{L"Delete Shares", L"Delete Shares", true, IDNO},
        Case{L"Create TALLYRA list", L"Velmora Tallyra List export", true, IDCANCEL},
        Case{L"Preview", L"Preview of Add/Update", false, IDCANCEL}}) {
    SCOPED_TRACE(std::string(c.title, c.title + wcslen(c.title)));
    Program p(app);
    ASSERT_TRUE(p.start());
    p.set_text(p.after_label(L"Share name to use:"), L"<drive>$");
    p.set_text(p.after_label(L"Allow access as follows:"), L"Users");
    ASSERT_TRUE(p.find_drives());
    p.click(c.button);
    HWND step = p.wait_dialog(c.title);
    ASSERT_NE(step, nullptr);
    if (c.by_exit) p.close_by_exit();
    else PostMessageW(p.window(), WM_CLOSE, 0, 0);
    // The step stays open until it is answered; then the window closes.
    Sleep(500);
    EXPECT_TRUE(p.running());
    EXPECT_EQ(p.find_dialog(c.title), step);
    p.answer(step, c.answer);
    ASSERT_TRUE(p.wait_exit());
  }
  // Yes after the close asked for changed nothing; every session ended once.
  EXPECT_TRUE(lab.journal(L"NetShareAdd").empty());
  auto log = log_entries(log_path);
  EXPECT_TRUE(entries_starting(log, L"Added").empty());
  EXPECT_TRUE(entries_starting(log, L"Deleted").empty());
  EXPECT_EQ(count_of(log, L"Started Velmora Corvane session."), 4u);
  EXPECT_EQ(count_of(log, L"Corvane session terminated."), 4u);
}

TEST(Window, APartialServerListIsSearchedAsFarAsItGoesOneByOneAndSeveralAtOnce) {
  // BRANCH's server list answers 234 with one of its two servers: that one is searched too, and
  // the status line says the list was incomplete.
  std::wstring description = lab_with(L"\nmore_data=\n", L"\nmore_data=BRANCH\n");
  const std::wstring branch = L"servers=BR01\n";
  description.replace(description.find(branch), branch.size(), L"servers=BR01,ARCHIVE\n");
  corvlab::TempLab lab(description);
  for (const wchar_t* parallel : {L"1", L"8"}) {
    SCOPED_TRACE(std::string("Parallel=") + char(parallel[0]));
    AppFolder app;
    WritePrivateProfileStringW(L"Defaults", L"Parallel", parallel, app.file(L"cv.ini").c_str());
    Program p(app);
    ASSERT_TRUE(p.start());
    ASSERT_TRUE(p.find_drives());
    EXPECT_EQ(p.drives().size(), 5u);
    EXPECT_EQ(p.status(), L"Search finished: 5 drives found; 1 server not listed; 1 browse list incomplete - see Log");
    for (const wchar_t* command : {L"Add/Update", L"Preview", L"Delete Shares"})
      EXPECT_TRUE(p.enabled(p.control(command))) << std::string(command, command + wcslen(command));
    p.close_by_exit();
    ASSERT_TRUE(p.wait_exit());
  }

  // Several at once, stopped while CORP's slow servers are probed: what was listed stays, and
  // the commands are on only for drives listed.
  std::wstring slow = description;
  const std::wstring fast = L"\nslow=\nslow_ms=1500";
  slow.replace(slow.find(fast), fast.size(), L"\nslow=FS01,FS02\nslow_ms=700");
  corvlab::TempLab slow_lab(slow);
  AppFolder app;
  Program p(app);
  ASSERT_TRUE(p.start());
  HWND button = p.control(L"Find Drives");
  p.click(button);
  // Each call to FS01 and FS02 takes 700 ms: a second into the search, their drives are still
  // being read.
  ASSERT_TRUE(wait_until([&] { return p.text(button) == L"&Stop"; }, 30000));
  Sleep(1000);
  p.click(button);
  ASSERT_TRUE(wait_until([&] { return p.text(button) == L"&Find Drives"; }, 60000));
  EXPECT_LT(p.drives().size(), 5u);  // FS01's and FS02's drives are not all read
  EXPECT_EQ(p.status().rfind(L"Search stopped: ", 0), 0u);
  for (const wchar_t* command : {L"Add/Update", L"Preview", L"Delete Shares"})
    EXPECT_EQ(p.enabled(p.control(command)), !p.drives().empty()) << std::string(command, command + wcslen(command));
  p.close_by_exit();
  ASSERT_TRUE(p.wait_exit());
}

TEST(Window, TheVersionIsReadWhateverTheLengthOfTheProgramsPath) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  // A folder whose path is longer than MAX_PATH, removed again at the end.
  struct LongFolder {
    std::wstring top, path;
    LongFolder() {
      wchar_t temp[MAX_PATH];
      GetTempPathW(MAX_PATH, temp);
      top = std::wstring(temp) + L"corvane-e2e-long-" + std::to_wstring(GetCurrentProcessId());
      path = top;
      CreateDirectoryW(path.c_str(), nullptr);
      for (int k = 0; k < 4; ++k) {
        path += L"\\" + std::wstring(70, static_cast<wchar_t>(L'a' + k));
        CreateDirectoryW(path.c_str(), nullptr);
      }
    }
    ~LongFolder() { corvlab::TempLab::remove_tree(top); }
  } folder;
  ASSERT_GT(folder.path.size() + wcslen(L"\\corvane.exe"), static_cast<size_t>(MAX_PATH));
  AppFolder app(folder.path);
  ASSERT_TRUE(file_exists(app.file(L"corvane.exe")));
  std::wstring log_path = app.file(L"ShareChanges.log");

  // Wine's CreateProcess refuses a program path this long (2), as Windows does without long-path
  // support; its loader started from the host takes it, as Explorer would on Windows.
  auto unix_name = reinterpret_cast<char*(CDECL*)(LPCWSTR)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  ASSERT_NE(unix_name, nullptr);
  char* unix_folder = unix_name(folder.path.c_str());
  ASSERT_NE(unix_folder, nullptr);
  std::string where = unix_folder;
  HeapFree(GetProcessHeap(), 0, unix_folder);
  auto env = [](const char* name) {
    char buf[2048];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
  };
  std::string prefix = env("WINEPREFIX");
  if (prefix.empty()) prefix = build_root() + "/wineprefix";
  // The program is of this test's own build: the loader of its bitness.
  std::string loader = sizeof(void*) == 8 ? "/usr/lib/wine/wine64" : "/usr/lib/wine/wine";
  std::string cmd = "Z:\\bin\\sh -c \"cd '" + where + "' && WINEPREFIX='" + prefix + "' WINEDLLOVERRIDES='" +
                    env("WINEDLLOVERRIDES") + "' CORV_LAB_DIR='" + env("CORV_LAB_DIR") + "' DISPLAY='" +
                    env("DISPLAY") + "' exec " + loader + " ./corvane.exe >/dev/null 2>&1\"";
  ASSERT_TRUE(start_host(cmd));

  // The session's start lines are written before the window shows; then it is closed.
  ASSERT_TRUE(wait_until([&] { return count_of(log_entries(log_path), L"Domain BRANCH") == 1; }, 30000));
  HWND window = nullptr;
  ASSERT_TRUE(wait_until([&] { return (window = FindWindowW(nullptr, L"CORVANE - Velmora")) != nullptr; }, 30000));
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(wait_until([&] { return count_of(log_entries(log_path), L"Corvane session terminated.") == 1; }, 30000));
  ASSERT_TRUE(wait_until([&] { return !IsWindow(window); }, 30000));
  auto log = log_entries(log_path);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[1], L"Using Corvane v1.0.4");
}

TEST(Window, WithoutDomainsTheBoxSaysSoAndFindDrivesStaysDisabled) {
  corvlab::TempLab lab(lab_with(L"domains=CORP,BRANCH", L"domains="));
  AppFolder app;
  Program p(app);
  ASSERT_TRUE(p.start());
  HWND box = p.wait_dialog(L"Tallyra Corvane");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(p.box_text(box), L"No domains have been found - this is may be because you're not logged in to one.");
  p.answer(box, IDOK);
  EXPECT_TRUE(wait_until([&] { return !p.find_dialog(L"Tallyra Corvane"); }, 10000));
  EXPECT_FALSE(p.enabled(p.control(L"Find Drives")));
  EXPECT_TRUE(p.list_box_items(p.after_label(L"Only look in these Domains:")).empty());
  p.close_by_exit();
  ASSERT_TRUE(p.wait_exit());
  EXPECT_EQ(log_entries(app.file(L"ShareChanges.log")),
            (std::vector<std::wstring>{L"Started Velmora Corvane session.", L"Using Corvane v1.0.4",
                                       L"Corvane session terminated."}));
}

}  // namespace
}  // namespace e2e
