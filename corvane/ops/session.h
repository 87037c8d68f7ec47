// What a session starts from: the settings the window and the command line both read, the
// current user's account (a first run's offer), and the domains visible from here.
#pragma once
#include "reports.h"

#include <optional>
#include <string>
#include <vector>

namespace corvane {

class IniFile;

// The window's remembered values. A box without a usable setting keeps its designed state.
struct FormValues {
  std::wstring pattern, account;
  std::optional<int> read, change, full;
  unsigned parallel = 8;  // servers a search probes at once ("Parallel"; read, never written)
};

// Reads "cv.ini" as the window and the command line both take it: the pattern ("<drive>" when
// empty), the account, the boxes and Parallel.
FormValues load_settings(const IniFile& ini);
// A first run (no account remembered) offers `user`, the current user's account, with only
// "Read" ticked. False when it is no first run.
bool first_run_values(FormValues& values, const std::wstring& user);
// The window's values: load_settings, and on a first run the current user's account (a
// directory look-up) with only "Read" ticked.
FormValues load_form(const IniFile& ini);
// Writes the five keys in order: pattern, account, read, change, full.
void save_form(IniFile& ini, const std::wstring& pattern, const std::wstring& account, int read, int change, int full);

// The account name of the user running the program, through a zrSid object; empty when it
// cannot be resolved.
std::wstring current_account();

// The domains visible from this workstation, each logged as "Domain NAME"; none when the
// enumeration fails (its status in `status`: 6118 where the network keeps no browse list). A
// list the browser gave only in part is used so, with a line that says so.
std::vector<std::wstring> list_domains(ChangeLog& log, long* status = nullptr);

}  // namespace corvane
