#include "driver.h"

#include "labtest.h"

#include <commctrl.h>

#include <regex>

namespace e2e {

namespace {

std::wstring strip_access_keys(const std::wstring& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'&' && i + 1 < s.size()) ++i;  // "&&" stands for one "&"
    out += s[i];
  }
  return out;
}

std::wstring window_text(HWND h) {
  // WM_GETTEXT is carried across the process boundary by the system.
  wchar_t buf[1024] = {};
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, &n)) return {};
  return std::wstring(buf, n);
}

std::wstring class_of(HWND h) {
  wchar_t buf[256] = {};
  GetClassNameW(h, buf, 256);
  return buf;
}

// The windows of one process, collected by EnumWindows. Named callbacks, not lambdas: the system
// calls them as stdcall on i686, which a lambda's conversion does not give under GCC.
struct WindowsOf {
  DWORD pid;
  std::vector<HWND> out;
};

BOOL CALLBACK collect_visible(HWND h, LPARAM lp) {
  auto* c = reinterpret_cast<WindowsOf*>(lp);
  DWORD p = 0;
  GetWindowThreadProcessId(h, &p);
  if (p == c->pid && IsWindowVisible(h)) c->out.push_back(h);
  return TRUE;
}

BOOL CALLBACK collect_tool_tips(HWND h, LPARAM lp) {
  auto* c = reinterpret_cast<WindowsOf*>(lp);
  DWORD p = 0;
  GetWindowThreadProcessId(h, &p);
  if (p == c->pid && class_of(h) == TOOLTIPS_CLASSW) c->out.push_back(h);
  return TRUE;
}

std::vector<HWND> top_windows(DWORD pid) {
  WindowsOf ctx{pid, {}};
  EnumWindows(collect_visible, reinterpret_cast<LPARAM>(&ctx));
  return ctx.out;
}

// Memory in the program's process for messages whose arguments are pointers (list view, tool tips).
class Remote {
public:
  Remote(HANDLE process, size_t size)
      : process_(process), p_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
  ~Remote() {
    if (p_) VirtualFreeEx(process_, p_, 0, MEM_RELEASE);
  }
  Remote(const Remote&) = delete;
  Remote& operator=(const Remote&) = delete;
  char* at(size_t offset) const { return static_cast<char*>(p_) + offset; }
  LPARAM param(size_t offset = 0) const { return reinterpret_cast<LPARAM>(at(offset)); }
  bool put(const void* data, size_t size, size_t offset = 0) const {
    return WriteProcessMemory(process_, at(offset), data, size, nullptr) != FALSE;
  }
  bool get(void* data, size_t size, size_t offset = 0) const {
    return ReadProcessMemory(process_, at(offset), data, size, nullptr) != FALSE;
  }
  std::wstring text(size_t offset, size_t chars) const {
    std::wstring s(chars, L'\0');
    if (!get(&s[0], chars * sizeof(wchar_t), offset)) return {};
    return s.substr(0, s.find(L'\0'));
  }

private:
  HANDLE process_;
  void* p_;
};

constexpr size_t kTextOffset = 1024, kTextChars = 512;

}  // namespace

// ---- folders ----

std::wstring stage_folder() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring s(buf, n);
  return s.substr(0, s.find_last_of(L"\\/") + 1);
}

AppFolder::AppFolder() {
  static LONG counter = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"corvane-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(InterlockedIncrement(&counter)) + L"\\";
  populate();
}

AppFolder::AppFolder(const std::wstring& path) : path_(path), keep_(true) {
  if (path_.empty() || path_.back() != L'\\') path_ += L'\\';
  populate();
}

void AppFolder::populate() {
  CreateDirectoryW(path_.c_str(), nullptr);
  std::wstring stage = stage_folder();
  for (const wchar_t* f : {L"corvane.exe", L"netapi32.dll", L"mpr.dll", L"corvane.chm"})
    CopyFileW((stage + f).c_str(), (path_ + f).c_str(), FALSE);
}

AppFolder::~AppFolder() {
  if (!keep_) {
    std::wstring folder = path_;
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    corvlab::TempLab::remove_tree(folder);
  }
}

// ---- the program ----

Program::~Program() {
  if (pi_.hProcess) {
    if (running()) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
}

bool Program::start(DWORD timeout_ms) {
  std::wstring exe = folder_.file(L"corvane.exe");
  std::wstring cmd = L"\"" + exe + L"\"";
  // Started from another folder: the program must find its files beside itself.
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, temp, &si, &pi_)) return false;
  pid_ = pi_.dwProcessId;
  wait_until(
      [&] {
        for (HWND h : top_windows(pid_))
          if (window_text(h) == L"CORVANE - Velmora") window_ = h;
        return window_ != nullptr || !running();
      },
      timeout_ms);
  // The domains are listed once the window is up; the status line says when that is done.
  return window_ != nullptr && wait_until([&] { return !status().empty() || !running(); }, timeout_ms);
}

bool Program::running() const { return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

bool Program::wait_exit(DWORD timeout_ms) {
  return pi_.hProcess && WaitForSingleObject(pi_.hProcess, timeout_ms) == WAIT_OBJECT_0;
}

HWND Program::control(const std::wstring& caption) const {
  for (HWND h = GetWindow(window_, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if (strip_access_keys(window_text(h)) == caption) return h;
  return nullptr;
}

HWND Program::after_label(const std::wstring& label) const {
  HWND l = control(label);
  return l ? GetWindow(l, GW_HWNDNEXT) : nullptr;
}

std::wstring Program::text(HWND h) const { return window_text(h); }

void Program::set_text(HWND h, const std::wstring& text) const {
  DWORD_PTR r = 0;
  SendMessageTimeoutW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000, &r);
}

bool Program::checked(HWND box) const { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Program::set_checked(HWND box, bool on) const {
  SendMessageW(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  DWORD_PTR r = 0;
  SendMessageTimeoutW(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), BN_CLICKED),
                      reinterpret_cast<LPARAM>(box), SMTO_ABORTIFHUNG, 5000, &r);
}

void Program::click(HWND button) const {
  PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

std::vector<std::wstring> Program::list_box_items(HWND list) const {
  std::vector<std::wstring> out;
  LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    wchar_t buf[512] = {};
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
    out.push_back(buf);
  }
  return out;
}

void Program::select_list_box_item(HWND list, int i, bool on) const { SendMessageW(list, LB_SETSEL, on, i); }

std::vector<ListItem> Program::drives() const {
  std::vector<ListItem> out;
  HWND list = after_label(L"Uncheck volumes you don't want changed");
  if (!list) return out;
  Remote mem(pi_.hProcess, kTextOffset + kTextChars * sizeof(wchar_t));
  int n = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    ListItem item;
    std::wstring* columns[] = {&item.text, &item.label, &item.filesystem, &item.capacity, &item.free};
    for (int c = 0; c < 5; ++c) {
      LVITEMW it = {};
      it.iSubItem = c;
      it.pszText = reinterpret_cast<wchar_t*>(mem.at(kTextOffset));
      it.cchTextMax = static_cast<int>(kTextChars);
      mem.put(&it, sizeof it);
      SendMessageW(list, LVM_GETITEMTEXTW, i, mem.param());
      *columns[c] = mem.text(kTextOffset, kTextChars);
    }
    item.ticked = (SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK) >> 12) == 2;
    LVITEMW it = {};
    it.mask = LVIF_PARAM;
    it.iItem = i;
    mem.put(&it, sizeof it);
    if (SendMessageW(list, LVM_GETITEMW, 0, mem.param()) && mem.get(&it, sizeof it))
      item.marker = static_cast<long>(it.lParam);
    out.push_back(item);
  }
  return out;
}

void Program::tick(int i, bool on) const {
  HWND list = after_label(L"Uncheck volumes you don't want changed");
  Remote mem(pi_.hProcess, sizeof(LVITEMW));
  LVITEMW it = {};
  it.stateMask = LVIS_STATEIMAGEMASK;
  it.state = INDEXTOSTATEIMAGEMASK(on ? 2 : 1);
  mem.put(&it, sizeof it);
  SendMessageW(list, LVM_SETITEMSTATE, i, mem.param());
}

std::wstring Program::tool_tip(HWND control) const {
  // Tool-tip windows stay hidden until they show: look at every window of the program's thread.
  WindowsOf ctx{pid_, {}};
  EnumWindows(collect_tool_tips, reinterpret_cast<LPARAM>(&ctx));
  Remote mem(pi_.hProcess, kTextOffset + kTextChars * sizeof(wchar_t));
  for (HWND tips : ctx.out) {
    int n = static_cast<int>(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      TTTOOLINFOW ti = {};
      ti.cbSize = sizeof ti;
      ti.lpszText = reinterpret_cast<wchar_t*>(mem.at(kTextOffset));
      mem.put(&ti, sizeof ti);
      mem.put(L"", sizeof(wchar_t), kTextOffset);
      if (!SendMessageW(tips, TTM_ENUMTOOLSW, i, mem.param()) || !mem.get(&ti, sizeof ti)) continue;
      if (reinterpret_cast<HWND>(ti.uId) == control) return mem.text(kTextOffset, kTextChars);
    }
  }
  return {};
}

HWND Program::find_dialog(const std::wstring& title) const {
  for (HWND h : top_windows(pid_))
    if (h != window_ && class_of(h) == L"#32770" && window_text(h) == title) return h;
  return nullptr;
}

HWND Program::wait_dialog(const std::wstring& title, DWORD timeout_ms) const {
  HWND found = nullptr;
  wait_until([&] { return (found = find_dialog(title)) != nullptr; }, timeout_ms);
  return found;
}

std::wstring Program::box_text(HWND box) const { return window_text(GetDlgItem(box, 0xFFFF)); }

void Program::answer(HWND box, int button_id) const {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, button_id)));
}

std::vector<HWND> Program::other_windows() const {
  std::vector<HWND> out;
  for (HWND h : top_windows(pid_))
    if (h != window_ && class_of(h) != TOOLTIPS_CLASSW && class_of(h) != L"#32770") out.push_back(h);
  return out;
}

bool Program::settle(DWORD timeout_ms) const {
  DWORD_PTR r = 0;
  return SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeout_ms, &r) != 0;
}

std::wstring Program::status() const {
  // The status line follows the drive list.
  return text(GetWindow(after_label(L"Uncheck volumes you don't want changed"), GW_HWNDNEXT));
}

bool Program::wait_command_end(DWORD timeout_ms) const {
  return wait_until([&] { return !control(L"Stop") && status().find(L" drives done") == std::wstring::npos; },
                    timeout_ms);
}

bool Program::save_list(const std::wstring& name, const std::function<void()>& answering, DWORD timeout_ms) const {
  const wchar_t title[] = L"Velmora Tallyra List export";
  click(L"Create TALLYRA list");
  HWND dlg = wait_dialog(title, timeout_ms);
  if (!dlg) return false;
  HWND field = GetDlgItem(dlg, 0x47C);  // cmb13, or edt1 in older dialogs
  if (!field) field = GetDlgItem(dlg, 0x480);
  if (!name.empty() && !field) return false;
  if (!name.empty()) set_text(field, name);
  if (answering) answering();
  answer(dlg, name.empty() ? IDCANCEL : IDOK);
  // The file is written after the dialog has returned, its button off meanwhile; look only after
  // that (a look while it is written would make the program's exclusive open fail).
  return wait_until([&] { return !find_dialog(title); }, timeout_ms) && settle(timeout_ms) &&
         wait_until([&] { return enabled(control(L"Create TALLYRA list")); }, timeout_ms);
}

bool Program::find_drives(DWORD timeout_ms) const {
  HWND button = control(L"Find Drives");
  if (!button) return false;
  click(button);
  // The button reads "Stop" while the search runs, then "Find Drives" again with a final status.
  return wait_until(
      [&] {
        std::wstring status = this->status();
        return strip_access_keys(text(button)) == L"Find Drives" && status.rfind(L"Search ", 0) == 0 &&
               status.rfind(L"Searching", 0) != 0;
      },
      timeout_ms);
}

void Program::close_by_title_bar() const { PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0); }

void Program::close_by_alt_f4() const {
  // A key press of F4 with Alt held (context code, bit 29), as the keyboard sends it.
  LPARAM lp = 1 | (static_cast<LPARAM>(MapVirtualKeyW(VK_F4, MAPVK_VK_TO_VSC)) << 16) | (1 << 29);
  PostMessageW(window_, WM_SYSKEYDOWN, VK_F4, lp);
}

bool Program::close_by_end_session() const {
  DWORD_PTR agreed = 0, r = 0;
  if (!SendMessageTimeoutW(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &agreed))
    return false;
  SendMessageTimeoutW(window_, WM_ENDSESSION, agreed ? TRUE : FALSE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &r);
  return agreed != 0;
}

// ---- files ----

bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeout_ms) return false;
    Sleep(50);
  }
}

std::string file_bytes(const std::wstring& path) { return corvlab::TempLab::read_bytes(path); }

bool file_exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> entries_starting(const std::vector<std::wstring>& all, const std::wstring& prefix) {
  std::vector<std::wstring> out;
  for (const auto& e : all)
    if (e.rfind(prefix, 0) == 0) out.push_back(e);
  return out;
}

std::wstring lab_with(const std::wstring& from, const std::wstring& to) {
  std::wstring d = corvlab::TempLab::default_description();
  size_t at = d.find(from);
  if (at != std::wstring::npos) d.replace(at, from.size(), to);
  return d;
}

std::vector<std::wstring> log_entries(const std::wstring& path, bool* well_formed) {
  std::string bytes = file_bytes(path);
  int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(n), L'\0');
  if (n) MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], n);
  static const std::wregex stamped(L"^\\d{2}-[^ -]{3,}-\\d{4} \\d{2}:\\d{2}> (.*)$");
  bool ok = text.empty() || (text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0);
  std::vector<std::wstring> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(L"\r\n", pos);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(pos, end - pos);
    pos = end + 2;
    std::wsmatch m;
    static const std::wregex bookkeeping(L"(Resumed log|Log) session [0-9A-F]{16}.*");
    if (std::regex_match(line, m, stamped)) {
      if (!std::regex_match(m[1].str(), bookkeeping)) out.push_back(m[1].str());
    } else {
      ok = false;
      out.push_back(L"?" + line);
    }
  }
  if (well_formed) *well_formed = ok;
  return out;
}

size_t count_of(const std::vector<std::wstring>& entries, const std::wstring& text) {
  size_t n = 0;
  for (const auto& e : entries) n += e == text;
  return n;
}

std::wstring ini_value(const std::wstring& path, const wchar_t* key) {
  wchar_t buf[256] = {};
  DWORD n = GetPrivateProfileStringW(L"Defaults", key, L"(missing)", buf, 256, path.c_str());
  return std::wstring(buf, n);
}

std::wstring user_name() {
  wchar_t buf[256];
  DWORD n = 256;
  return GetUserNameW(buf, &n) ? std::wstring(buf) : std::wstring();
}

std::string build_root() {
  char buf[1024];
  DWORD n = GetEnvironmentVariableA("CORV_BUILD_ROOT", buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

bool start_host(std::string cmd) {
  // The host program gets its own standard handles: handing it ours loses our output after it.
  HANDLE null = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = si.hStdOutput = si.hStdError = null;
  PROCESS_INFORMATION pi = {};
  BOOL started = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
  if (!started) return false;
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return true;
}

bool screenshot(const std::string& host_path) {
  char display[256];
  DWORD n = GetEnvironmentVariableA("DISPLAY", display, sizeof display);
  if (n == 0 || n >= sizeof display) return false;
  // Wine starts a host program when given its path on the drive that maps "/". Its process
  // handle tells nothing about the end, so the program leaves a marker of this call when done.
  std::string done = host_path + ".done-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(GetTickCount());
  std::string cmd = "Z:\\bin\\sh -c \"xwd -root -silent -display " + std::string(display, n) +
                    " | /usr/bin/convert xwd:- '" + host_path + ".tmp.png' && mv '" + host_path + ".tmp.png' '" +
                    host_path + "' && touch '" + done + "'\"";
  std::wstring marker;
  for (char c : "Z:" + done) marker += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  if (!start_host(cmd)) return false;
  bool taken = wait_until([&] { return file_exists(marker); }, 30000);
  DeleteFileW(marker.c_str());
  return taken;
}

}  // namespace e2e
