// The window's frame: its creation, its messages, the session's start and end, and the pump that
// keeps it answering while a step runs. The buttons' handlers are in window_commands.cpp.
#include "main_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "app.h"
#include "net_api.h"
#include "raii.h"
#include "session.h"
#include "settings_form.h"

namespace corvane {

namespace {

constexpr UINT WM_APP_NOT_NT = WM_APP + 1;
constexpr UINT WM_APP_NO_DOMAINS = WM_APP + 2;
constexpr wchar_t kStartTitle[] = L"Tallyra Corvane";
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);

}  // namespace

MainWindow::MainWindow()
    : ini_(data_folder() + L"cv.ini"),
      log_(data_folder() + L"ShareChanges.log"),
      help_(exe_folder()),
      link_colour_(GetSysColor(COLOR_BTNTEXT)) {}

HWND MainWindow::create(HINSTANCE instance) {
  return CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, dialog_proc, reinterpret_cast<LPARAM>(this));
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
    case WM_NCDESTROY: RemoveWindowSubclass(hwnd, label_proc, id); break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

INT_PTR MainWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: start(); return TRUE;
    case WM_COMMAND: command(LOWORD(wp), HIWORD(wp)); return TRUE;
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
    case WM_CLOSE: request_close(); return TRUE;
    case kListDomains: list_domains_step(); return TRUE;
    case kCloseNow:
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
    SetDlgItemTextW(hwnd_, IDC_TXTSHARENAME, load_settings(ini_).pattern.c_str());
    PostMessageW(hwnd_, WM_APP_NOT_NT, 0, 0);
    return;
  }

  // On a first run the current user's account is looked up with the domains, off the window's
  // thread; the boxes show the first run's choice at once.
  FormValues form = load_settings(ini_);
  first_run_ = first_run_values(form, L"");
  parallel_ = form.parallel;
  SetDlgItemTextW(hwnd_, IDC_TXTSHARENAME, form.pattern.c_str());
  SetDlgItemTextW(hwnd_, IDC_TXTUSERNAME, form.account.c_str());
  SetDlgItemTextW(hwnd_, IDC_TXTSERVERS, ini_.read_long(kSettingsSection, kKeyServers).c_str());
  if (form.read) CheckDlgButton(hwnd_, IDC_CHKACCESS0, *form.read ? BST_CHECKED : BST_UNCHECKED);
  if (form.change) CheckDlgButton(hwnd_, IDC_CHKACCESS1, *form.change ? BST_CHECKED : BST_UNCHECKED);
  if (form.full) CheckDlgButton(hwnd_, IDC_CHKACCESS2, *form.full ? BST_CHECKED : BST_UNCHECKED);

  session_.begin(L"", program_version());
  // The browse list is asked for once the window is up, off its thread: on a real network it
  // can take seconds. Find Drives waits for it.
  enable(IDC_CMDDRIVES, false);
  PostMessageW(hwnd_, kListDomains, 0, 0);
}

void MainWindow::list_domains_step() {
  Step step(*this, State::asking);
  if (!step) return;
  std::vector<std::wstring> domains;
  long browse_status = 0;
  std::wstring user;
  off_thread([&] {
    if (first_run_) user = current_account();
    domains = list_domains(log_, &browse_status);
  });
  if (closing()) return;
  // Unless something was typed meanwhile.
  if (first_run_ && field(IDC_TXTUSERNAME).empty()) SetDlgItemTextW(hwnd_, IDC_TXTUSERNAME, user.c_str());
  HWND list = GetDlgItem(hwnd_, IDC_LSTDOMAINS);
  for (const std::wstring& d : domains) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(d.c_str()));
  has_domains_ = !domains.empty();
  enable_find();
  if (domains.empty()) {
    // Why the browse list gave nothing (6118: the network keeps none, as without the browser
    // service), and what can be searched instead.
    std::wstring why = browse_status ? L" (" + status_words(browse_status) + L")" : std::wstring();
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
    case IDC_CHKWINDOM: enable(IDC_LSTDOMAINS, box(IDC_CHKWINDOM) != 0); break;
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

void MainWindow::off_thread(const std::function<void()>& work) {
  corv::WaitCursor wait;
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

void MainWindow::request_close() {
  switch (state_) {
    case State::idle:
      close_session();
      DestroyWindow(hwnd_);
      break;
    case State::closing:
    case State::ended: break;  // the step in progress closes the window when it ends
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
  session_.end();
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
