// frmMain: the program's single window. The handlers gather the fields, call the operations and
// show what they did; the work itself lives in the operations.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "change_log_file.h"
#include "drive_list_view.h"
#include "help.h"
#include "ini_file.h"
#include "pictures.h"
#include "resource.h"
#include "safe_text.h"
#include "shares.h"

namespace corvane {

class MainWindow {
public:
  MainWindow();
  // Creates the window from its template; null when that fails.
  HWND create(HINSTANCE instance);
  HWND hwnd() const { return hwnd_; }

private:
  // What the window is doing; one value, so that no two steps overlap and a stop or a close
  // asked for in the middle of one is honoured when it ends.
  enum class State {
    idle,
    asking,     // a modal step is open: a question, the save dialog, the picker, Preview
    searching,  // "Find Drives" reads "Stop"
    running,    // Add/Update or Delete Shares works on the drives; its button reads "Stop"
    stopping,   // stop asked for: the search or command ends after the drives in progress
    closing,    // close asked for during a step: it stops, and the window closes when it ends
    ended,      // the session's end is recorded: the window is going
  };
  class Step;
  friend class Step;
  friend class WindowSearch;
  friend class WindowCommand;
  static INT_PTR CALLBACK dialog_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK label_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);
  INT_PTR handle(UINT msg, WPARAM wp, LPARAM lp);

  void start();
  void command(int id, int code);
  void find_drives();
  // "Find Drives" is usable with domains to search or servers typed.
  void enable_find();
  void add_update();
  void preview();
  ShareRequest share_request() const;
  // Whether the account resolves, asked off the window's thread; a box says so when it does not.
  bool account_found(const ShareRequest& request, RunAccount& account, const wchar_t* title, const wchar_t* outcome);
  // Runs work that waits on the network or a directory on a thread of its own (in an apartment
  // of its own) and keeps the window answering until it ends.
  void off_thread(const std::function<void()>& work);
  void delete_shares();
  // Runs Add/Update or Delete Shares with the window alive: `button` reads "Stop" meanwhile;
  // afterwards the summary goes to the status line, and a lost change-log line to a box.
  void run_command(Step& step, int button, const wchar_t* title,
                   const std::function<CommandReport(CommandProgress&)>& run);
  void export_list();
  void browse_account();
  void open_log();
  void request_close();
  void close_session();
  // Lets pending messages through while a search or command runs; false once it should stop.
  bool pump();
  // Whether the step in progress should end now (a stop or a close was asked for).
  bool winding_down() const { return state_ == State::stopping || state_ == State::closing || state_ == State::ended; }
  bool closing() const { return state_ == State::closing || state_ == State::ended; }
  bool working() const { return state_ == State::searching || state_ == State::running || winding_down(); }

  void add_tool_tip(int id, const wchar_t* text);
  void set_link_colour(COLORREF colour);
  std::wstring field(int id) const;
  int box(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED ? 1 : 0; }
  // Server names and texts reach the status line: control characters are shown, not obeyed.
  void set_status(const std::wstring& text) { SetDlgItemTextW(hwnd_, IDC_STATUS, display_text(text).c_str()); }
  void enable(int id, bool on) { EnableWindow(GetDlgItem(hwnd_, id), on ? TRUE : FALSE); }

  HWND hwnd_ = nullptr;
  HWND tips_ = nullptr;
  IniFile ini_;
  ChangeLogFile log_;
  Help help_;
  DriveListView volumes_{nullptr};
  Pictures pictures_;
  COLORREF link_colour_;
  unsigned parallel_ = 8;       // servers a search probes at once
  bool has_domains_ = false;    // the browse list gave domains to search
  State state_ = State::idle;
  int stop_button_ = 0;         // the button that reads "Stop" while a search or command runs
};

}  // namespace corvane
