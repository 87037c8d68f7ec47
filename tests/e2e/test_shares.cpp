// The share commands through the real window: add/update, delete, the list export, the picker.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver.h"
#include "labtest.h"

namespace e2e {
namespace {

// Searches and leaves only FS01's C and D ticked.
void find_and_tick_fs01(Program& p) {
  ASSERT_TRUE(p.find_drives());
  auto items = p.drives();
  ASSERT_EQ(items.size(), 5u);
  for (int i = 0; i < 5; ++i) p.tick(i, items[i].text.rfind(L"\\\\FS01\\", 0) == 0);
  items = p.drives();
  for (const auto& i : items)
    EXPECT_EQ(i.ticked, i.text.rfind(L"\\\\FS01\\", 0) == 0) << std::string(i.text.begin(), i.text.end());
}

// Saves the list through the save dialog; an empty name cancels it.
void export_list(Program& p, const std::wstring& name) { ASSERT_TRUE(p.save_list(name)); }

TEST(Shares, WalkThroughAddWithYesNoChangingNothingDeleteAndExport) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  AppFolder app;
  Program p(app);
  ASSERT_TRUE(p.start());
  ASSERT_NO_FATAL_FAILURE(find_and_tick_fs01(p));
  p.set_text(p.after_label(L"Share name to use:"), L"<drive>$");
  p.set_text(p.after_label(L"Allow access as follows:"), L"Users");
  std::wstring log_path = app.file(L"ShareChanges.log");

  // The question; No changes nothing.
  p.click(L"Add/Update");
  HWND box = p.wait_dialog(L"Add Shares");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(p.box_text(box),
            L"This action will add or update share <drive>$ on every selected drive. To undo this action you will "
            L"need to delete these shares. Are you sure you wish to continue?");
  p.answer(box, IDNO);
  ASSERT_TRUE(wait_until([&] { return !p.find_dialog(L"Add Shares"); }, 10000));
  ASSERT_TRUE(p.settle());
  EXPECT_TRUE(lab.journal(L"NetShareAdd").empty());
  EXPECT_TRUE(entries_starting(log_entries(log_path), L"Added").empty());

  // Yes: both drives get their share with the account's read entry.
  p.click(L"Add/Update");
  box = p.wait_dialog(L"Add Shares");
  ASSERT_NE(box, nullptr);
  p.answer(box, IDYES);
  ASSERT_TRUE(wait_until([&] { return entries_starting(log_entries(log_path), L"Added").size() == 2; }, 30000));
  ASSERT_TRUE(p.wait_command_end());
  EXPECT_EQ(p.status(), L"2 shares added or updated");
  // Several drives at once: their lines come in the order the changes end.
  auto added = entries_starting(log_entries(log_path), L"Added");
  std::sort(added.begin(), added.end());
  EXPECT_EQ(added,
            (std::vector<std::wstring>{L"Added \\\\FS01\\C$ BUILTIN\\Users", L"Added \\\\FS01\\D$ BUILTIN\\Users"}));
  // The administrative shares C$ and D$ exist (2118): they keep path and remark and get a
  // list holding just the account's read entry (they had no descriptor).
  auto adds = lab.journal(L"NetShareAdd");
  ASSERT_EQ(adds.size(), 2u);
  for (const auto& a : adds) {
    EXPECT_EQ(a.status, 2118u);
    EXPECT_NE(a.args.find(L"Added via Velmora Corvane v1.0 at "), std::wstring::npos)
        << std::string(a.args.begin(), a.args.end());
  }
  EXPECT_EQ(lab.state(L"share FS01 D$", L"path"), L"D:\\");
  EXPECT_EQ(lab.state(L"share FS01 C$", L"sddl"), L"O:BUD:(A;CINP;0x1200a9;;;BU)");
  EXPECT_EQ(lab.state(L"share FS01 D$", L"sddl"), L"O:BUD:(A;CINP;0x1200a9;;;BU)");
  for (const auto& i : p.drives()) EXPECT_EQ(i.marker, 0);

  // The export: cancelled writes nothing; then the two shares, CR LF each.
  std::wstring list = app.file(L"shares.lst");
  ASSERT_NO_FATAL_FAILURE(export_list(p, L""));
  EXPECT_FALSE(file_exists(list));
  ASSERT_NO_FATAL_FAILURE(export_list(p, app.file(L"shares")));  // the dialog adds ".lst"
  const std::string both = "\\\\FS01\\C$\r\n\\\\FS01\\D$\r\n";
  EXPECT_EQ(file_bytes(list), both);

  // Delete asks first, naming the pattern and the number of ticked drives.
  p.click(L"Delete Shares");
  box = p.wait_dialog(L"Delete Shares");
  ASSERT_NE(box, nullptr);
  std::wstring question = p.box_text(box);
  EXPECT_NE(question.find(L"<drive>$"), std::wstring::npos) << std::string(question.begin(), question.end());
  EXPECT_NE(question.find(L"2 selected drives"), std::wstring::npos);
  p.answer(box, IDYES);
  ASSERT_TRUE(wait_until([&] { return entries_starting(log_entries(log_path), L"Deleted").size() == 2; }, 30000));
  ASSERT_TRUE(p.wait_command_end());
  EXPECT_EQ(p.status(), L"2 shares deleted");
  EXPECT_EQ(entries_starting(log_entries(log_path), L"Deleted"),
            (std::vector<std::wstring>{L"Deleted \\\\FS01\\C$", L"Deleted \\\\FS01\\D$"}));
  EXPECT_EQ(lab.state(L"share FS01 C$", L"path"), L"(missing)");
  auto items = p.drives();
  EXPECT_EQ(items[0].marker, 1);
  EXPECT_EQ(items[1].marker, 1);
  EXPECT_EQ(items[2].marker, 0);

  // Deleted drives leave the export: the file is replaced by an empty one.
  ASSERT_NO_FATAL_FAILURE(export_list(p, app.file(L"shares")));
  EXPECT_TRUE(file_exists(list));
  EXPECT_EQ(file_bytes(list), "");

  p.close_by_exit();
  ASSERT_TRUE(p.wait_exit());
  bool well_formed = false;
  log_entries(log_path, &well_formed);
  EXPECT_TRUE(well_formed);
}

TEST(Shares, AnUnknownAccountStopsBeforeAnyShareAndThePickerFillsTheAccount) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  AppFolder app;
  Program p(app);
  ASSERT_TRUE(p.start());
  ASSERT_NO_FATAL_FAILURE(find_and_tick_fs01(p));
  HWND account = p.after_label(L"Allow access as follows:");
  p.set_text(account, L"nobody-corvane-e2e");
  p.click(L"Add/Update");
  HWND box = p.wait_dialog(L"Add Shares");
  ASSERT_NE(box, nullptr);
  p.answer(box, IDYES);
  // A second box names the account; nothing was created and nothing logged.
  ASSERT_TRUE(wait_until(
      [&] {
        HWND b = p.find_dialog(L"Add Shares");
        return b && p.box_text(b).find(L"nobody-corvane-e2e") != std::wstring::npos;
      },
      20000));
  box = p.find_dialog(L"Add Shares");
  p.answer(box, IDOK);
  ASSERT_TRUE(wait_until([&] { return !p.find_dialog(L"Add Shares"); }, 10000));
  EXPECT_TRUE(lab.journal(L"NetShareAdd").empty());
  EXPECT_TRUE(entries_starting(log_entries(app.file(L"ShareChanges.log")), L"Added").empty());

  // "...": the lab's picker hands back the signed-in user first; its bare name lands in the field.
  p.click(L"...");
  ASSERT_TRUE(wait_until([&] { return p.text(account) != L"nobody-corvane-e2e"; }, 20000));
  EXPECT_EQ(p.text(account), user_name());
  EXPECT_EQ(lab.state(L"picker request", L"title"), L"Select Account");
  EXPECT_EQ(lab.state(L"picker request", L"flags"), L"4110");
  p.close_by_exit();
  ASSERT_TRUE(p.wait_exit());
}

}  // namespace
}  // namespace e2e
