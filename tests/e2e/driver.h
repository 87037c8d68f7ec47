// Drives corvane.exe from outside, as a user (or a UI-automation tool) would: finds its window
// and controls by caption and label, reads and sets fields, ticks list items, clicks buttons,
// answers message boxes, closes it. Every wait is bounded.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// A private copy of the program with the lab stand-ins beside it (cv.ini and ShareChanges.log
// then live there too). Removed again at the end.
class AppFolder {
public:
  // A fresh folder under %TEMP%, removed at the end.
  AppFolder();
  // The given folder (created when missing), kept at the end (the demo shows its files).
  explicit AppFolder(const std::wstring& path);
  ~AppFolder();
  AppFolder(const AppFolder&) = delete;
  AppFolder& operator=(const AppFolder&) = delete;
  const std::wstring& path() const { return path_; }  // trailing backslash
  std::wstring file(const wchar_t* name) const { return path_ + name; }

private:
  void populate();
  std::wstring path_;
  bool keep_ = false;
};

struct ListItem {
  std::wstring text, label, filesystem, capacity, free;
  bool ticked = false;
  long marker = -1;
};

class Program {
public:
  explicit Program(const AppFolder& folder) : folder_(folder) {}
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Starts corvane.exe (current folder elsewhere) and waits for its visible main window.
  bool start(DWORD timeout_ms = 30000);
  HWND window() const { return window_; }
  DWORD pid() const { return pid_; }
  bool running() const;
  bool wait_exit(DWORD timeout_ms = 15000);

  // Controls by caption (access-key ampersands ignored); the control after a label in tab order.
  HWND control(const std::wstring& caption) const;
  HWND after_label(const std::wstring& label) const;

  std::wstring text(HWND h) const;
  void set_text(HWND h, const std::wstring& text) const;
  bool checked(HWND box) const;
  void set_checked(HWND box, bool on) const;  // and tells the window, as a click does
  bool enabled(HWND h) const { return IsWindowEnabled(h) != FALSE; }
  // Posts the button's click to the window (handlers may show modal boxes).
  void click(HWND button) const;
  void click(const std::wstring& caption) const { click(control(caption)); }

  std::vector<std::wstring> list_box_items(HWND list) const;
  void select_list_box_item(HWND list, int i, bool on) const;

  std::vector<ListItem> drives() const;  // lstVolumes, read across the process boundary
  void tick(int i, bool on) const;
  std::wstring tool_tip(HWND control) const;

  // A message box or dialog of the program with this title; null when none came in time.
  HWND wait_dialog(const std::wstring& title, DWORD timeout_ms = 15000) const;
  HWND find_dialog(const std::wstring& title) const;
  std::wstring box_text(HWND box) const;  // the message (static 0xFFFF)
  void answer(HWND box, int button_id) const;
  // Windows of the program other than the main window and message boxes.
  std::vector<HWND> other_windows() const;

  // Waits until the window handles messages again, i.e. a command that pumps none has ended.
  bool settle(DWORD timeout_ms = 30000) const;

  // The status line under the drive list.
  std::wstring status() const;

  // Waits until a running Add/Update or Delete Shares has ended: no button reads "Stop" and the
  // status line no longer counts drives. Clicks meanwhile are ignored by the window.
  bool wait_command_end(DWORD timeout_ms = 60000) const;

  // Runs a search and waits until "Find Drives" is back; false on timeout.
  bool find_drives(DWORD timeout_ms = 60000) const;

  // "Create TALLYRA list" saved as `name` through the save dialog (an empty name cancels it), and
  // waits until the file is written: the button is off while it is. `answering` (optional) is
  // called right before the dialog is answered.
  bool save_list(const std::wstring& name, const std::function<void()>& answering = {}, DWORD timeout_ms = 15000) const;

  // Ways of closing.
  void close_by_exit() const { click(L"Exit"); }
  void close_by_title_bar() const;
  void close_by_alt_f4() const;
  bool close_by_end_session() const;

private:
  const AppFolder& folder_;
  PROCESS_INFORMATION pi_ = {};
  DWORD pid_ = 0;
  HWND window_ = nullptr;
};

// Polls a condition every 50 ms until it holds or the time is up.
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms);

// The change log's entries (texts after "dd-mmm-yyyy hh:mm> ") but the lines that name and resume
// sessions; `well_formed` false when a line lacks the stamp or its CR LF.
std::vector<std::wstring> log_entries(const std::wstring& path, bool* well_formed = nullptr);
// The entries that start with `prefix`, in order.
std::vector<std::wstring> entries_starting(const std::vector<std::wstring>& all, const std::wstring& prefix);
// The default lab's description with one piece of text replaced.
std::wstring lab_with(const std::wstring& from, const std::wstring& to);
size_t count_of(const std::vector<std::wstring>& entries, const std::wstring& text);
std::wstring ini_value(const std::wstring& path, const wchar_t* key);  // section "Defaults"
std::string file_bytes(const std::wstring& path);
bool file_exists(const std::wstring& path);

// The name of the signed-in user, as the account lookup gives it.
std::wstring user_name();

// Starts a host program (a command line on Wine's "/" drive) with standard handles of its own.
bool start_host(std::string cmd);
// Saves a picture of the whole X screen (the Wine desktop) as PNG at a host path.
bool screenshot(const std::string& host_path);
// A folder of the build tree (host path) for pictures, from CORV_BUILD_ROOT.
std::string build_root();

// The staging folder (where this driver runs).
std::wstring stage_folder();

}  // namespace e2e
