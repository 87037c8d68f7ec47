// The demo: what an administrator does with the program, driven from outside on the lab network.
#include <cstdio>
#include <string>

#include "driver.h"

namespace e2e {

namespace {

void say(const char* text) {
  std::printf("\n== %s\n", text);
  std::fflush(stdout);
}

// labctl's view of the shares (the lab is named by CORV_LAB_DIR, inherited).
void show_shares() {
  std::wstring cmd = L"\"" + stage_folder() + L"labctl.exe\" shares";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return;
  WaitForSingleObject(pi.hProcess, 30000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
}

bool confirm(Program& p, const wchar_t* title) {
  HWND box = p.wait_dialog(title);
  if (!box) return false;
  std::wstring text = p.box_text(box);
  std::printf("   [%ls] %ls -> Yes\n", title, text.c_str());
  p.answer(box, IDYES);
  return wait_until([&] { return !p.find_dialog(title); }, 10000);
}

size_t entries(const AppFolder& app, const std::wstring& prefix) {
  size_t n = 0;
  for (const auto& e : log_entries(app.file(L"ShareChanges.log"))) n += e.rfind(prefix, 0) == 0;
  return n;
}

}  // namespace

int run_demo(const std::wstring& folder, const std::string& picture, bool keep_open) {
  AppFolder app(folder);
  Program p(app);
  say("Starting corvane.exe");
  if (!p.start()) {
    std::printf("demo: the window did not appear\n");
    return 1;
  }
  say("Find Drives");
  if (!p.find_drives()) return 1;
  for (const auto& i : p.drives())
    std::printf("   %-10ls %-10ls %-5ls %12ls %12ls\n", i.text.c_str(), i.label.c_str(), i.filesystem.c_str(),
                i.capacity.c_str(), i.free.c_str());

  say("Add/Update: share <drive>$ on every found drive, read access for Users");
  p.set_text(p.after_label(L"Share name to use:"), L"<drive>$");
  p.set_text(p.after_label(L"Allow access as follows:"), L"Users");
  p.set_checked(p.control(L"Read"), true);
  size_t drives = p.drives().size();
  p.click(L"Add/Update");
  if (!confirm(p, L"Add Shares")) return 1;
  if (!wait_until([&] { return entries(app, L"Added") >= drives; }, 60000) || !p.wait_command_end()) return 1;
  say("The shares now (labctl shares)");
  show_shares();

  say("Delete Shares on \\\\FS02\\C only");
  auto items = p.drives();
  for (size_t i = 0; i < items.size(); ++i) p.tick(static_cast<int>(i), items[i].text == L"\\\\FS02\\C");
  p.click(L"Delete Shares");
  if (!confirm(p, L"Delete Shares")) return 1;
  if (!wait_until([&] { return entries(app, L"Deleted") >= 1; }, 30000) || !p.wait_command_end()) return 1;
  for (size_t i = 0; i < items.size(); ++i) p.tick(static_cast<int>(i), true);

  say("Create TALLYRA list (the deleted share is left out)");
  if (!p.save_list(app.file(L"tallyra"))) return 1;

  if (keep_open) {
    say("The window is yours now: close it when you are done");
    return p.wait_exit(INFINITE) ? 0 : 1;
  }
  say("Picture of the window, then Exit");
  // The picture last: Wine's start of a host program loses this process's later output.
  if (!picture.empty() && !screenshot(picture)) return 1;
  p.close_by_exit();
  return p.wait_exit() ? 0 : 1;
}

}  // namespace e2e
