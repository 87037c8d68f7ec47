// The window's buttons: each gathers the fields, asks what needs asking, and hands the work to
// the operations, off the window's thread wherever it waits on the network or a disk.
#include "main_window.h"

#include "preview_dialog.h"

#include <commdlg.h>

#include <vector>

#include "app.h"
#include "cmd_args.h"
#include "descriptor_text.h"
#include "preview.h"
#include "share_export.h"
#include "raii.h"
#include "search.h"
#include "settings_form.h"
#include "tern_h.h"

namespace corvane {

namespace {

// The account picker: one account; users, their extended kinds and global groups
// (USER_BROWSER_DISALLOW_MULTIPLE_CHOICE + USERS + USERS_EX + GLOBAL_GROUPS).
constexpr long kUserBrowserFlags = 4110;

std::wstring list_box_text(HWND list, int i) {
  LRESULT n = SendMessageW(list, LB_GETTEXTLEN, i, 0);
  if (n == LB_ERR) return {};
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  n = SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&s[0]));
  s.resize(n == LB_ERR ? 0 : static_cast<size_t>(n));
  return s;
}

}  // namespace

void MainWindow::find_drives() {
  Step step(*this, State::searching);
  if (!step) return;
  for (int id : {IDC_CMDADD, IDC_CMDPREVIEW, IDC_CMDDEL}) enable(id, false);
  SetDlgItemTextW(hwnd_, IDC_CMDDRIVES, L"&Stop");
  stop_button_ = IDC_CMDDRIVES;
  SearchOutcome outcome;
  corv::ScopeExit restore([&] {
    stop_button_ = 0;
    SetDlgItemTextW(hwnd_, IDC_CMDDRIVES, L"&Find Drives");
    for (int id : {IDC_CMDADD, IDC_CMDPREVIEW, IDC_CMDDEL}) enable(id, outcome.commands_enabled());
  });

  WindowSearch progress(*this);
  // Servers typed are searched instead of the domains (a network without a browse list).
  std::vector<std::wstring> servers = split_list(field(IDC_TXTSERVERS));
  if (!servers.empty()) {
    outcome = search_servers(servers, log_, volumes_, progress, parallel_);
  } else {
    std::vector<std::wstring> taken;
    HWND list = GetDlgItem(hwnd_, IDC_LSTDOMAINS);
    bool only_chosen = box(IDC_CHKWINDOM) != 0;
    int n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i)
      if (!only_chosen || SendMessageW(list, LB_GETSEL, i, 0) > 0) taken.push_back(list_box_text(list, i));
    outcome = search_drives(taken, log_, volumes_, progress, parallel_);
  }
  set_status(search_summary(outcome));
}

void MainWindow::enable_find() { enable(IDC_CMDDRIVES, has_domains_ || !split_list(field(IDC_TXTSERVERS)).empty()); }

void MainWindow::add_update() {
  Step step(*this, State::asking);
  if (!step) return;
  std::wstring pattern = field(IDC_TXTSHARENAME);
  std::wstring question = L"This action will add or update share " + pattern +
                          L" on every selected drive. To undo this action you will need to delete these shares. "
                          L"Are you sure you wish to continue?";
  if (MessageBoxW(hwnd_, question.c_str(), L"Add Shares", MB_YESNO | MB_ICONQUESTION) != IDYES || closing()) return;

  ShareRequest request = share_request();
  // Checked once, before any share is touched.
  RunAccount account;
  if (!account_found(request, account, L"Add Shares", L"No share has been added or changed.") || closing()) return;
  // A bare name is looked up on this computer first: one of its own accounts names nobody on the
  // servers, so the user says whether that is meant.
  std::wstring local = workstation_account(account);
  if (!local.empty()) {
    std::wstring text = L"The account \"" + request.account + L"\" is " + local +
                        L", an account of this computer. No server knows it, so its entry would give "
                        L"nobody access there. To use a domain account, type it as DOMAIN\\name.\n\n"
                        L"Use " +
                        local + L" anyway?";
    if (MessageBoxW(hwnd_, text.c_str(), L"Add Shares", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES ||
        closing())
      return;
  }
  run_command(step, IDC_CMDADD, L"Add Shares", [&](CommandProgress& progress) {
    return add_shares(request, account, run_targets(volumes_, request.pattern), volumes_, log_, parallel_, &progress);
  });
}

ShareRequest MainWindow::share_request() const {
  ShareRequest request;
  request.pattern = field(IDC_TXTSHARENAME);
  request.account = field(IDC_TXTUSERNAME);
  request.mask = access_mask(box(IDC_CHKACCESS0) != 0, box(IDC_CHKACCESS1) != 0, box(IDC_CHKACCESS2) != 0);
  request.version = program_version();
  return request;
}

bool MainWindow::account_found(const ShareRequest& request, RunAccount& account, const wchar_t* title,
                               const wchar_t* outcome) {
  bool found = false;
  off_thread([&] { found = account_directory().look_up(request.account, account); });
  if (found || closing()) return found;
  std::wstring text = L"The account \"" + request.account + L"\" could not be found. " + outcome;
  MessageBoxW(hwnd_, text.c_str(), title, MB_OK | MB_ICONEXCLAMATION);
  return false;
}

void MainWindow::preview() {
  Step step(*this, State::asking);
  if (!step) return;
  ShareRequest request = share_request();
  RunAccount account;
  if (!account_found(request, account, L"Preview", L"Nothing would be changed.") || closing()) return;
  // Every ticked drive's share is read: off the window's thread, from the targets as the list
  // stands now (the list view belongs to the window's thread).
  std::vector<RunTarget> targets = run_targets(volumes_, request.pattern);
  std::wstring report;
  off_thread([&] { report = preview_report(request, preview_shares(request, account, targets)); });
  if (closing()) return;
  show_preview(hwnd_, report);
}

void MainWindow::delete_shares() {
  Step step(*this, State::asking);
  if (!step) return;
  std::wstring pattern = field(IDC_TXTSHARENAME);
  size_t n = ticked_count(volumes_);
  std::wstring question = L"This action will delete share " + pattern + L" on " + std::to_wstring(n) +
                          (n == 1 ? L" selected drive." : L" selected drives.") +
                          L" Are you sure you wish to continue?";
  if (MessageBoxW(hwnd_, question.c_str(), L"Delete Shares", MB_YESNO | MB_ICONQUESTION) != IDYES || closing()) return;
  run_command(step, IDC_CMDDEL, L"Delete Shares", [&](CommandProgress& progress) {
    return corvane::delete_shares(pattern, volumes_, log_, parallel_, &progress);
  });
}

void MainWindow::run_command(Step& step, int button, const wchar_t* title,
                             const std::function<CommandReport(CommandProgress&)>& run) {
  if (!step.to(State::running)) return;
  const bool add = button == IDC_CMDADD;
  // Only "Stop" and what cannot disturb the run (Log, Help, Exit) stay usable.
  const int others[] = {IDC_CMDDRIVES, IDC_CMDPREVIEW,    add ? IDC_CMDDEL : IDC_CMDADD,
                        IDC_COMMAND4,  IDC_CMDUSERBROWSE, IDC_LSTVOLUMES};
  for (int id : others) enable(id, false);
  SetDlgItemTextW(hwnd_, button, L"&Stop");
  stop_button_ = button;
  CommandReport report;
  {
    corv::ScopeExit restore([&] {
      stop_button_ = 0;
      SetDlgItemTextW(hwnd_, button, add ? L"&Add/Update" : L"&Delete Shares");
      for (int id : others) enable(id, true);
    });
    WindowCommand progress(*this, add ? L"Adding or updating shares: " : L"Deleting shares: ");
    report = run(progress);
  }
  set_status(command_summary(report, add));
  // A change-log line that could not be written stopped the command: that must not pass unseen.
  if (!report.log_error.empty()) MessageBoxW(hwnd_, report.log_error.c_str(), title, MB_OK | MB_ICONERROR);
}

void MainWindow::export_list() {
  Step step(*this, State::asking);
  if (!step) return;
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hwnd_;
  ofn.lpstrFilter = L"Tallyra list (*.lst)\0*.lst\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = L"Velmora Tallyra List export";
  ofn.lpstrDefExt = L"lst";
  // The program's own files are found from its folder; the dialog must not move the current one.
  ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameW(&ofn) || !file[0]) return;  // cancelled: nothing is written
  // A file chosen is written even when closing was asked for meanwhile: the user chose it. It
  // may be on a slow share: written off the window's thread, its button off until it is done.
  std::vector<std::wstring> refused;
  const std::vector<std::wstring> lines = export_lines(field(IDC_TXTSHARENAME), volumes_, &refused);
  bool written = false;
  DWORD error = 0;
  enable(IDC_COMMAND4, false);
  off_thread([&] {
    written = write_export(file.data(), lines);
    if (!written) error = GetLastError();
  });
  enable(IDC_COMMAND4, true);
  if (!written) {
    set_status(L"The list could not be written to " + std::wstring(file.data()) + L": " + status_text(error));
    return;
  }
  if (!refused.empty())
    set_status(std::to_wstring(refused.size()) +
               L" share(s) left out of the list: a name holds a control character or "
               L"one the code page cannot write (" +
               refused.front() + L")");
}

void MainWindow::browse_account() {
  Step step(*this, State::asking);
  if (!step) return;
  corv::ComPtr<IzrUserBrowser> browser;
  HRESULT made = CoCreateInstance(CLSID_zrUserBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IzrUserBrowser,
                                  browser.out_void());
  if (FAILED(made)) {
    set_status(L"The account picker cannot be opened: " + hresult_text(made));
    return;
  }
  corv::Bstr title(L"Select Account"), server(L""), help_file(L"");
  long chosen = 0;
  HRESULT hr = browser->Open(HandleToLong(hwnd_), title.get(), server.get(), help_file.get(), kUserBrowserFlags, 0,
                             &chosen);
  if (FAILED(hr)) {
    set_status(L"The account picker cannot be opened: " + hresult_text(hr));
    return;
  }
  if (chosen <= 0 || closing()) return;  // nothing chosen
  corv::Bstr domain, account, description;
  hr = browser->GetSelection(0, domain.out(), account.out(), description.out());
  if (FAILED(hr)) {
    set_status(L"The account chosen cannot be read from the picker: " + hresult_text(hr));
    return;
  }
  SetDlgItemTextW(hwnd_, IDC_TXTUSERNAME, account.c_str());
}

void MainWindow::open_log() {
  // Notepad from the system folder by its full path (a "notepad" found by search could be one
  // planted in the program's or the current folder), the log's path quoted.
  const std::wstring notepad = system_file(L"notepad.exe");
  if (notepad.empty()) {
    set_status(L"Notepad cannot be found in the system folder; the log is " + log_.path());
    return;
  }
  std::wstring cmd = L"\"" + notepad + L"\" \"" + log_.path() + L"\"";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(notepad.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    const DWORD error = GetLastError();
    set_status(L"Notepad could not be started (" + status_text(error) + L"); the log is " + log_.path());
    return;
  }
  corv::Handle process(pi.hProcess), thread(pi.hThread);
}

}  // namespace corvane
