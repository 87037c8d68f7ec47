// frmMain: the program's single window. The handlers gather the fields, call the operations and
// show what they did; the work itself lives in the operations.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "account.h"
#include "change_log_file.h"
#include "drive_list_view.h"
#include "help.h"
#include "ini_file.h"
#include "pictures.h"
#include "resource.h"
#include "safe_text.h"
#include "shares.h"
#include "step_progress.h"

namespace corvane {

class MainWindow : private StepHost {
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
  // One step of the window (a search, a command with its question, a modal dialog) for its whole
  // scope: none starts while another runs, and a close asked for meanwhile happens when it ends.
  class Step {
  public:
    Step(MainWindow& w, State state) : w_(w), taken_(w.state_ == State::idle) {
      if (taken_) w_.state_ = state;
    }
    ~Step() {
      if (!taken_) return;
      // A close asked for meanwhile is carried out by the message loop, not from here: the
      // handler that holds this step still runs on the window. The state stays "closing", so no
      // other step starts before it.
      if (w_.closing()) PostMessageW(w_.hwnd_, kCloseNow, 0, 0);
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
  static constexpr UINT kCloseNow = WM_APP + 3;  // a step that ended while a close was pending
  static constexpr UINT kListDomains = WM_APP + 4;
  static INT_PTR CALLBACK dialog_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK label_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);
  INT_PTR handle(UINT msg, WPARAM wp, LPARAM lp);

  void start();
  // Lists the domains into their box once the window is up, and says on the status line what
  // Find Drives will search.
  void list_domains_step();
  void command(int id, int code);
  void find_drives();
  // "Find Drives" is usable with domains to search or servers typed.
  void enable_find();
  void add_update();
  void preview();
  ShareRequest share_request() const;
  // Whether the account resolves, asked off the window's thread; a box says so when it does not.
  bool account_found(const ShareRequest& request, RunAccount& account, const wchar_t* title, const wchar_t* outcome);
  // StepHost: the status line, the pump, and work off the window's thread (in an apartment of
  // its own).
  void show_progress(const std::wstring& text) override { set_status(text); }
  bool pump() override;
  void off_thread(const std::function<void()>& work) override;
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
  SessionScope session_{log_};  // the window's session on the log
  Help help_;
  DriveListView volumes_{nullptr};
  Pictures pictures_;
  COLORREF link_colour_;
  unsigned parallel_ = 8;       // servers a search probes at once
  bool has_domains_ = false;    // the browse list gave domains to search
  bool first_run_ = false;      // no account remembered: the current user's is offered
  State state_ = State::idle;
  int stop_button_ = 0;         // the button that reads "Stop" while a search or command runs
};

}  // namespace corvane
