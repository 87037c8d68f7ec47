#include "main_window.h"

#include "preview_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "app.h"
#include "cmd_args.h"
#include "net_api.h"
#include "permission_plan.h"
#include "raii.h"
#include "search.h"
#include "session.h"
#include "settings_form.h"
#include "preview.h"
#include "share_export.h"
#include "shares.h"
#include "tern_h.h"

namespace corvane {

namespace {

constexpr UINT WM_APP_NOT_NT = WM_APP + 1;
constexpr UINT WM_APP_NO_DOMAINS = WM_APP + 2;
constexpr UINT WM_APP_CLOSE_NOW = WM_APP + 3;  // a step that ended while a close was pending

// The account picker: one account; users, their extended kinds and global groups
// (USER_BROWSER_DISALLOW_MULTIPLE_CHOICE + USERS + USERS_EX + GLOBAL_GROUPS).
constexpr long kUserBrowserFlags = 4110;

constexpr wchar_t kStartTitle[] = L"Tallyra Corvane";
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);

// The wait cursor while a command that pumps no messages runs.
class WaitCursor {
public:
  WaitCursor() : old_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(old_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

private:
  HCURSOR old_;
};

std::wstring list_box_text(HWND list, int i) {
  LRESULT n = SendMessageW(list, LB_GETTEXTLEN, i, 0);
  if (n == LB_ERR) return {};
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  n = SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&s[0]));
  s.resize(n == LB_ERR ? 0 : static_cast<size_t>(n));
  return s;
}

std::wstring drives_text(size_t n) { return std::to_wstring(n) + (n == 1 ? L" drive" : L" drives"); }

}  // namespace

// The search's progress on the status line, and the message pump that keeps the window
// alive (and "Stop" clickable) between servers and drives.
class WindowSearch : public SearchProgress {
public:
  explicit WindowSearch(MainWindow& w) : w_(w) {}
  void domain(const std::wstring& name) override {
    domain_ = name;
    server_.clear();
    show();
  }
  void server(size_t n, size_t m, const std::wstring& name) override {
    server_ = L"server " + std::to_wstring(n) + L" of " + std::to_wstring(m) + L" (\\\\" + name + L")";
    show();
  }
  void drives_found(size_t total) override {
    found_ = total;
    show();
  }
  bool pump() override { return w_.pump(); }
  void beside(const std::function<void()>& work) override { w_.off_thread(work); }

private:
  void show() {
    std::wstring s = L"Searching " + domain_;
    if (!server_.empty()) s += L": " + server_;
    s += L" - " + drives_text(found_) + L" found so far";
    w_.set_status(s);
  }
  MainWindow& w_;
  std::wstring domain_, server_;
  size_t found_ = 0;
};

// A share command's progress on the status line ("12 of 200 drives done"), and the same message
// pump as the search's.
class WindowCommand : public CommandProgress {
public:
  WindowCommand(MainWindow& w, std::wstring what) : w_(w), what_(std::move(what)) {}
  void done(size_t n, size_t m) override {
    w_.set_status(what_ + std::to_wstring(n) + L" of " + drives_text(m) + L" done");
  }
  bool pump() override { return w_.pump(); }
  void beside(const std::function<void()>& work) override { w_.off_thread(work); }

private:
  MainWindow& w_;
  std::wstring what_;
};

// One step of the window (a search, a command with its question, a modal dialog) for its whole
// scope: none starts while another runs, and a close asked for meanwhile happens when it ends.
class MainWindow::Step {
public:
  Step(MainWindow& w, State state) : w_(w), taken_(w.state_ == State::idle) {
    if (taken_) w_.state_ = state;
  }
  ~Step() {
    if (!taken_) return;
    // A close asked for meanwhile is carried out by the message loop, not from here: the
    // handler that holds this step still runs on the window. The state stays "closing", so no
    // other step starts before it.
    if (w_.closing()) PostMessageW(w_.hwnd_, WM_APP_CLOSE_NOW, 0, 0);
    else w_.state_ = State::idle;
  }
  Step(const Step&) = delete;
  Step& operator=(const Step&) = delete;
  explicit operator bool() const { return taken_; }
  // The next phase of the step; false when a stop or close came first.
  bool to(State state) {
    if (w_.winding_down()) return false;
    w_.state_ = state;
    return true;
  }

private:
  MainWindow& w_;
  bool taken_;
};

MainWindow::MainWindow()
    : ini_(data_folder() + L"cv.ini"),
      log_(data_folder() + L"ShareChanges.log"),
      help_(exe_folder()),
      link_colour_(GetSysColor(COLOR_BTNTEXT)) {}

HWND MainWindow::create(HINSTANCE instance) {
  return CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, dialog_proc,
                            reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK MainWindow::dialog_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* self = reinterpret_cast<MainWindow*>(lp);
    SetWindowLongPtrW(hwnd, DWLP_USER, lp);
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  return self ? self->handle(msg, wp, lp) : FALSE;
}

// Label1 looks like a link: blue while the mouse is over it, the button-text colour again when
// the mouse moves over Label3 or leaves it.
LRESULT CALLBACK MainWindow::label_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
  auto* self = reinterpret_cast<MainWindow*>(data);
  switch (msg) {
    case WM_MOUSEMOVE:
      if (id == IDC_LABEL1) {
        self->set_link_colour(kLinkBlue);
        TRACKMOUSEEVENT t = {sizeof t, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&t);
      } else {
        self->set_link_colour(GetSysColor(COLOR_BTNTEXT));
      }
      break;
    case WM_MOUSELEAVE:
      if (id == IDC_LABEL1) self->set_link_colour(GetSysColor(COLOR_BTNTEXT));
      break;
    case WM_SETCURSOR:
      if (id == IDC_LABEL1) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, label_proc, id);
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

INT_PTR MainWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      start();
      return TRUE;
    case WM_COMMAND:
      command(LOWORD(wp), HIWORD(wp));
      return TRUE;
    case WM_MOUSEMOVE:  // over the window's background
      set_link_colour(GetSysColor(COLOR_BTNTEXT));
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lp) == GetDlgItem(hwnd_, IDC_LABEL1)) {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, link_colour_);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      return FALSE;
    case WM_SETCURSOR:
      // A search or command keeps the window usable ("Stop"): working-in-background cursor.
      if (working()) {
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_APP_NOT_NT:
      MessageBoxW(hwnd_, L"Tallyra Corvane needs Windows NT or later to function.  Sorry!", kStartTitle,
                  MB_OK | MB_ICONINFORMATION);
      return TRUE;
    case WM_APP_NO_DOMAINS:
      MessageBoxW(hwnd_, L"No domains have been found - this is may be because you're not logged in to one.",
                  kStartTitle, MB_OK | MB_ICONINFORMATION);
      return TRUE;
    case WM_CLOSE:
      request_close();
      return TRUE;
    case WM_APP_CLOSE_NOW:
      close_session();
      DestroyWindow(hwnd_);
      return TRUE;
    case WM_QUERYENDSESSION:
      // Closing is never refused.
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_ENDSESSION:
      if (wp) {
        // The process may end as soon as this returns: record the end now. A step in progress
        // stops and closes the window when it ends.
        bool idle = state_ == State::idle;
        close_session();
        if (idle) DestroyWindow(hwnd_);
      }
      return TRUE;
    case WM_DESTROY:
      close_session();
      help_.close_all();
      PostQuitMessage(0);
      return TRUE;
  }
  return FALSE;
}

void MainWindow::start() {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  HICON big = static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(IDI_CORVANE), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  HICON small = static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(IDI_CORVANE), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));

  pictures_.show(hwnd_,
                 {{IDC_IMAGE1, IDB_IMAGE1, IDB_IMAGE1_150, IDB_IMAGE1_200},
                  {IDC_IMAGE2, IDB_IMAGE2, IDB_IMAGE2_150, IDB_IMAGE2_200},
                  {IDC_IMAGE3, IDB_IMAGE3, IDB_IMAGE3_150, IDB_IMAGE3_200}},
                 screen_dpi());

  tips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, inst, nullptr);
  add_tool_tip(IDC_COMMAND4, L"Create a Tallyra pro space collection list");
  add_tool_tip(IDC_CMDLOG, L"Log");
  SetWindowSubclass(GetDlgItem(hwnd_, IDC_LABEL1), label_proc, IDC_LABEL1, reinterpret_cast<DWORD_PTR>(this));
  SetWindowSubclass(GetDlgItem(hwnd_, IDC_LABEL3), label_proc, IDC_LABEL3, reinterpret_cast<DWORD_PTR>(this));
  volumes_ = DriveListView(GetDlgItem(hwnd_, IDC_LSTVOLUMES));
  volumes_.setup();

  classNetAPI net;
  if (!net.isNT()) {
    // Only the pattern is shown; nothing is logged and no domain is listed.
    std::wstring pattern = ini_.read(kSettingsSection, kKeyPattern);
    SetDlgItemTextW(hwnd_, IDC_TXTSHARENAME, pattern.empty() ? kDefaultPattern : pattern.c_str());
    PostMessageW(hwnd_, WM_APP_NOT_NT, 0, 0);
    return;
  }

  FormValues form = load_form(ini_);
  parallel_ = form.parallel;
  SetDlgItemTextW(hwnd_, IDC_TXTSHARENAME, form.pattern.c_str());
  SetDlgItemTextW(hwnd_, IDC_TXTUSERNAME, form.account.c_str());
  SetDlgItemTextW(hwnd_, IDC_TXTSERVERS, ini_.read_long(kSettingsSection, kKeyServers).c_str());
  if (form.read) CheckDlgButton(hwnd_, IDC_CHKACCESS0, *form.read ? BST_CHECKED : BST_UNCHECKED);
  if (form.change) CheckDlgButton(hwnd_, IDC_CHKACCESS1, *form.change ? BST_CHECKED : BST_UNCHECKED);
  if (form.full) CheckDlgButton(hwnd_, IDC_CHKACCESS2, *form.full ? BST_CHECKED : BST_UNCHECKED);

  log_.begin(L"", program_version());

  std::vector<std::wstring> domains;
  long browse_status = 0;
  {
    WaitCursor wait;
    domains = list_domains(log_, &browse_status);
  }
  HWND list = GetDlgItem(hwnd_, IDC_LSTDOMAINS);
  for (const std::wstring& d : domains) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(d.c_str()));
  has_domains_ = !domains.empty();
  enable_find();
  if (domains.empty()) {
    // Why the browse list gave nothing (6118: the network keeps none, as without the browser
    // service), and what can be searched instead.
    std::wstring why = browse_status ? L" (status " + std::to_wstring(browse_status) + L": " +
                                           status_text(static_cast<unsigned long>(browse_status)) + L")"
                                     : std::wstring();
    set_status(L"No domains found" + why + L". Find Drives searches the servers typed under Servers.");
    // Shown once the window is up, unless servers to search are set already.
    if (field(IDC_TXTSERVERS).empty()) PostMessageW(hwnd_, WM_APP_NO_DOMAINS, 0, 0);
  } else {
    set_status(std::to_wstring(domains.size()) + (domains.size() == 1 ? L" domain" : L" domains") +
               L" found. Find Drives searches " + (domains.size() == 1 ? L"it." : L"them all, or only those chosen."));
  }
  // Installed where it may not write, the program keeps its files in the user's folder: say where.
  if (data_folder() != exe_folder()) {
    wchar_t shown[MAX_PATH];
    GetDlgItemTextW(hwnd_, IDC_STATUS, shown, MAX_PATH);
    set_status(std::wstring(shown) + L" Change log and settings: " + data_folder() + L" (" + data_folder_note() + L")");
  }
}

void MainWindow::command(int id, int code) {
  if (id == stop_button_ && working()) {
    // "Stop": the search or command ends after the drives in progress.
    if (state_ == State::searching || state_ == State::running) state_ = State::stopping;
    return;
  }
  switch (id) {
    case IDC_LABEL1:
      if (code == STN_CLICKED) help_.topic(hwnd_, kTallyraTopic);
      break;
    case IDC_CHKWINDOM:
      enable(IDC_LSTDOMAINS, box(IDC_CHKWINDOM) != 0);
      break;
    case IDC_TXTSERVERS:
      if (code == EN_CHANGE && state_ == State::idle) enable_find();
      break;
    case IDC_CMDDRIVES: find_drives(); break;
    case IDC_CMDADD: add_update(); break;
    case IDC_CMDPREVIEW: preview(); break;
    case IDC_CMDDEL: delete_shares(); break;
    case IDC_COMMAND4: export_list(); break;
    case IDC_CMDUSERBROWSE: browse_account(); break;
    case IDC_CMDLOG: open_log(); break;
    case IDC_COMMAND3: help_.index(hwnd_); break;
    case IDC_CANCELBUTTON: request_close(); break;
  }
}

void MainWindow::find_drives() {
  Step step(*this, State::searching);
  if (!step) return;
  for (int id : {IDC_CMDADD, IDC_CMDPREVIEW, IDC_CMDDEL}) enable(id, false);
  SetDlgItemTextW(hwnd_, IDC_CMDDRIVES, L"&Stop");
  stop_button_ = IDC_CMDDRIVES;

  WindowSearch progress(*this);
  SearchOutcome outcome;
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

  stop_button_ = 0;
  SetDlgItemTextW(hwnd_, IDC_CMDDRIVES, L"&Find Drives");
  for (int id : {IDC_CMDADD, IDC_CMDPREVIEW, IDC_CMDDEL}) enable(id, outcome.commands_enabled());
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
                        L"Use " + local + L" anyway?";
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

void MainWindow::off_thread(const std::function<void()>& work) {
  WaitCursor wait;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    corv::ComApartment apartment;
    work();
    done = true;
  });
  while (!done) {
    pump();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  worker.join();
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
  const int others[] = {IDC_CMDDRIVES, IDC_CMDPREVIEW, add ? IDC_CMDDEL : IDC_CMDADD, IDC_COMMAND4,
                        IDC_CMDUSERBROWSE, IDC_LSTVOLUMES};
  for (int id : others) enable(id, false);
  SetDlgItemTextW(hwnd_, button, L"&Stop");
  stop_button_ = button;

  WindowCommand progress(*this, add ? L"Adding or updating shares: " : L"Deleting shares: ");
  CommandReport report = run(progress);

  stop_button_ = 0;
  SetDlgItemTextW(hwnd_, button, add ? L"&Add/Update" : L"&Delete Shares");
  for (int id : others) enable(id, true);
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
  // A file chosen is written even when closing was asked for meanwhile: the user chose it.
  std::vector<std::wstring> refused;
  if (!write_export(file.data(), export_lines(field(IDC_TXTSHARENAME), volumes_, &refused))) {
    const DWORD error = GetLastError();
    set_status(L"The list could not be written to " + std::wstring(file.data()) + L": " + status_text(error));
    return;
  }
  if (!refused.empty())
    set_status(std::to_wstring(refused.size()) + L" share(s) left out of the list: a name holds a control character or "
               L"one the code page cannot write (" + refused.front() + L")");
}

void MainWindow::browse_account() {
  Step step(*this, State::asking);
  if (!step) return;
  corv::ComPtr<IzrUserBrowser> browser;
  HRESULT made = CoCreateInstance(CLSID_zrUserBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IzrUserBrowser, browser.out_void());
  if (FAILED(made)) {
    set_status(L"The account picker cannot be opened: " + hresult_text(made));
    return;
  }
  corv::Bstr title(L"Select Account"), server(L""), help_file(L"");
  long chosen = 0;
  if (FAILED(browser->Open(HandleToLong(hwnd_), title.get(), server.get(), help_file.get(), kUserBrowserFlags, 0,
                           &chosen)) ||
      chosen <= 0)
    return;
  corv::Bstr domain, account, description;
  if (closing() || FAILED(browser->GetSelection(0, domain.out(), account.out(), description.out()))) return;
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

void MainWindow::request_close() {
  switch (state_) {
    case State::idle:
      close_session();
      DestroyWindow(hwnd_);
      break;
    case State::closing:
    case State::ended:
      break;  // the step in progress closes the window when it ends
    default:
      // A modal step, a search or a command: it stops (after the drives in progress) and the
      // window closes once it has ended.
      state_ = State::closing;
      break;
  }
}

void MainWindow::close_session() {
  if (state_ == State::ended) return;
  state_ = State::ended;
  save_form(ini_, field(IDC_TXTSHARENAME), field(IDC_TXTUSERNAME), box(IDC_CHKACCESS0), box(IDC_CHKACCESS1),
            box(IDC_CHKACCESS2));
  // Kept like the other settings; no key is added for a field that was never used.
  std::wstring servers = field(IDC_TXTSERVERS);
  if (!servers.empty() || !ini_.read_long(kSettingsSection, kKeyServers).empty())
    ini_.write(kSettingsSection, kKeyServers, servers);
  log_.end();
}

bool MainWindow::pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the main loop, once we are back
      if (!closing()) state_ = State::closing;
      break;
    }
    if (!IsDialogMessageW(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return !winding_down();
}

void MainWindow::add_tool_tip(int id, const wchar_t* text) {
  TTTOOLINFOW ti = {};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = hwnd_;
  ti.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(hwnd_, id));
  ti.lpszText = const_cast<wchar_t*>(text);
  SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void MainWindow::set_link_colour(COLORREF colour) {
  if (colour == link_colour_) return;
  link_colour_ = colour;
  InvalidateRect(GetDlgItem(hwnd_, IDC_LABEL1), nullptr, TRUE);
}

std::wstring MainWindow::field(int id) const {
  HWND h = GetDlgItem(hwnd_, id);
  int n = GetWindowTextLengthW(h);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(h, &s[0], n + 1);
  s.resize(static_cast<size_t>(n > 0 ? n : 0));
  return s;
}

}  // namespace corvane
