// frmMain: the program's single window. The handlers gather the fields, call the operations and
// show what they did; the work itself lives in the operations.
#pragma once
#include <windows.h>

#include <string>

#include "change_log_file.h"
#include "drive_list_view.h"
#include "help.h"
#include "ini_file.h"
#include "resource.h"
#include "shares.h"

namespace corvane {

class MainWindow {
public:
  MainWindow();
  // Creates the window from its template; null when that fails.
  HWND create(HINSTANCE instance);
  HWND hwnd() const { return hwnd_; }

private:
  friend class WindowSearch;
  static INT_PTR CALLBACK dialog_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK label_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);
  INT_PTR handle(UINT msg, WPARAM wp, LPARAM lp);

  void start();
  void command(int id, int code);
  void find_drives();
  void add_update();
  void preview();
  ShareRequest share_request() const;
  // Whether the account resolves; a box says so when it does not.
  bool account_found(const ShareRequest& request, const wchar_t* title, const wchar_t* outcome);
  void delete_shares();
  void export_list();
  void browse_account();
  void open_log();
  void request_close();
  void close_session();

  void add_tool_tip(int id, const wchar_t* text);
  void set_link_colour(COLORREF colour);
  std::wstring field(int id) const;
  int box(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED ? 1 : 0; }
  void set_status(const std::wstring& text) { SetDlgItemTextW(hwnd_, IDC_STATUS, text.c_str()); }
  void enable(int id, bool on) { EnableWindow(GetDlgItem(hwnd_, id), on ? TRUE : FALSE); }

  HWND hwnd_ = nullptr;
  HWND tips_ = nullptr;
  IniFile ini_;
  ChangeLogFile log_;
  Help help_;
  DriveListView volumes_{nullptr};
  COLORREF link_colour_;
  unsigned parallel_ = 8;       // servers a search probes at once
  bool busy_ = false;           // a command runs: no other starts
  bool searching_ = false;      // "Find Drives" reads "Stop"
  bool stop_requested_ = false;
  bool close_pending_ = false;  // closing asked for while a search runs
  bool closed_ = false;         // the closing steps ran
};

}  // namespace corvane
