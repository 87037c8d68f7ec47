// The command line of corvanecmd: parsed into plain values, and tables printed as text or CSV.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct CmdArgs;

// The commands; corvanecmd binds each to its handler.
enum class Command { find, add, remove, export_list, undo, shares, check, revoke };

// One row per command, in the order --help lists them. Parsing, the checks, --help and the
// dispatch all read it.
struct CommandRow {
  const wchar_t* name;
  Command command;
  const wchar_t* help;
  bool gathers;        // works on a drive list: the drives given, or those a search finds
  bool needs_account;  // without --account the setting Account is taken; none is bad usage
  bool reads_log;      // the change log must be readable before the session starts
  // What the command demands of its arguments beyond the options it takes: the usage error, or
  // empty.
  std::wstring (*check)(const CmdArgs& a);
};
const std::vector<CommandRow>& command_table();

struct CmdArgs {
  std::wstring command;                 // the command's name, as the log's start line gives it
  const CommandRow* row = nullptr;      // its row; set whenever the arguments parsed
  std::vector<std::wstring> domains;    // --domain, repeated
  std::vector<std::wstring> servers;    // --servers a,b or @file (names, read by the caller)
  std::wstring servers_file;            // the file of --servers @file
  std::vector<std::wstring> drives;     // --drives \\S\C,\\S\D
  std::wstring drives_file;             // --drives @file
  std::optional<std::wstring> pattern, account;
  bool read = false, change = false, full = false;  // --access, repeated or comma-separated
  bool what_if = false, yes = false, csv = false, help = false;
  bool csv_exact = false;               // --csv-exact: no apostrophe before a formula-like cell
  bool list = false;                    // undo --list
  bool all = false, entries = false;    // shares --all, --entries
  bool deny_too = false, allow_empty = false;  // revoke
  bool local_account_ok = false;        // add: an account of this computer is meant
  std::optional<unsigned> parallel;
  std::wstring log_file, out_file, since;
};

// Parses the arguments after the program name from one table of options (which commands take
// each, its help text). On a mistake, `error` gets one line that says what is wrong (an option
// the command does not take included) and the result is not to be used.
CmdArgs parse_cmd_args(const std::vector<std::wstring>& args, std::wstring& error);

// Names or items from a comma-separated list, or from a file's lines; blanks trimmed, empties
// dropped.
std::vector<std::wstring> split_list(const std::wstring& text);

// The usage text.
std::wstring cmd_usage();

// A table of rows under a header, as aligned columns or as CSV (every field quoted when it
// holds a comma, a quote or a line break; quotes doubled). Columns are for reading: every cell
// through display_text, so a control character a server sent is shown, not obeyed. CSV keeps
// each value exactly, except that a cell a spreadsheet would run as a formula gets an
// apostrophe in front (formula_guard) unless `exact`.
std::wstring format_table(const std::vector<std::wstring>& header, const std::vector<std::vector<std::wstring>>& rows,
                          bool csv, bool exact = false);

}  // namespace corvane
