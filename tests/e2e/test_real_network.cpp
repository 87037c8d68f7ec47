// The window on a network that keeps no browse list (no computer browser service): it says why
// no domain was found and searches the servers typed under "Servers:", kept in cv.ini. An account
// of this computer is named before any share is touched.
#include <gtest/gtest.h>

#include "driver.h"
#include "labtest.h"

namespace e2e {
namespace {

TEST(RealNetwork, WithoutABrowseListTheWindowSearchesTheServersTyped) {
  corvlab::TempLab lab(lab_with(L"workstation=", L"browser=off\r\nworkstation="));
  AppFolder app;
  {
    Program p(app);
    ASSERT_TRUE(p.start());
    HWND box = p.wait_dialog(L"Tallyra Corvane");
    ASSERT_NE(box, nullptr);
    p.answer(box, IDOK);
    std::wstring status = p.status();
    EXPECT_EQ(status.rfind(L"No domains found (status 6118: ", 0), 0u) << std::string(status.begin(), status.end());
    HWND servers = p.after_label(L"Servers:");
    ASSERT_NE(servers, nullptr);
    EXPECT_FALSE(p.enabled(p.control(L"Find Drives")));
    p.set_text(servers, L"FS01, BR01");
    ASSERT_TRUE(wait_until([&] { return p.enabled(p.control(L"Find Drives")); }, 5000));
    ASSERT_TRUE(p.find_drives());
    std::vector<std::wstring> found;
    for (const ListItem& i : p.drives()) found.push_back(i.text);
    EXPECT_EQ(found, (std::vector<std::wstring>{L"\\\\FS01\\C", L"\\\\FS01\\D", L"\\\\BR01\\C", L"\\\\BR01\\D"}));
    EXPECT_EQ(p.status(), L"Search finished: 4 drives found");

    // The signed-in user, the default account, is one of this computer's own: a question says
    // so, and No leaves every share as it was.
    p.set_text(p.after_label(L"Share name to use:"), L"<drive>$");
    p.set_text(p.after_label(L"Allow access as follows:"), user_name());
    p.click(L"Add/Update");
    box = p.wait_dialog(L"Add Shares");
    ASSERT_NE(box, nullptr);
    p.answer(box, IDYES);
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(computer, &n);
    ASSERT_TRUE(wait_until(
        [&] {
          HWND b = p.find_dialog(L"Add Shares");
          return b && p.box_text(b).find(std::wstring(computer) + L"\\" + user_name()) != std::wstring::npos;
        },
        20000));
    p.answer(p.find_dialog(L"Add Shares"), IDNO);
    ASSERT_TRUE(wait_until([&] { return !p.find_dialog(L"Add Shares"); }, 10000));
    EXPECT_TRUE(lab.journal(L"NetShareAdd").empty());
    p.close_by_exit();
    ASSERT_TRUE(p.wait_exit());
  }
  EXPECT_EQ(ini_value(app.file(L"cv.ini"), L"Servers"), L"FS01, BR01");

  // Next start: the servers are there, no box, and the search can start at once.
  Program again(app);
  ASSERT_TRUE(again.start());
  EXPECT_EQ(again.text(again.after_label(L"Servers:")), L"FS01, BR01");
  EXPECT_TRUE(again.enabled(again.control(L"Find Drives")));
  Sleep(500);
  EXPECT_EQ(again.find_dialog(L"Tallyra Corvane"), nullptr);
  again.close_by_exit();
  ASSERT_TRUE(again.wait_exit());
}

}  // namespace
}  // namespace e2e
