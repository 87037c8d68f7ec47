#include "cmd_args.h"

#include "disk_text.h"
#include "safe_text.h"

#include <algorithm>
#include <cwctype>

namespace corvane {

namespace {

bool take_access(const std::wstring& value, CmdArgs& a) {
  for (std::wstring v : split_list(value)) {
    std::transform(v.begin(), v.end(), v.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    if (v == L"read") a.read = true;
    else if (v == L"change") a.change = true;
    else if (v == L"full") a.full = true;
    else return false;
  }
  return true;
}

constexpr unsigned bit(Command c) { return 1u << static_cast<unsigned>(c); }

enum : unsigned {
  kFind = bit(Command::find),
  kAdd = bit(Command::add),
  kDelete = bit(Command::remove),
  kExport = bit(Command::export_list),
  kUndo = bit(Command::undo),
  kShares = bit(Command::shares),
  kCheck = bit(Command::check),
  kRevoke = bit(Command::revoke),
  kAll = kFind | kAdd | kDelete | kExport | kUndo | kShares | kCheck | kRevoke,
  kSearching = kFind | kAdd | kDelete | kExport | kShares | kCheck | kRevoke,
  kOnDrives = kAdd | kDelete | kExport | kCheck | kRevoke,
};

std::wstring no_check(const CmdArgs&) { return {}; }

// One row per option: its name, its value's placeholder (none: a switch), the commands that take
// it, its help text and what it sets. Parsing, the per-command checks and --help all read it.
struct OptionRow {
  const wchar_t* name;
  const wchar_t* value;
  unsigned commands;
  const wchar_t* help;
  // Takes the value (or, for a switch, the empty string); false with `error` set on a bad value.
  bool (*take)(CmdArgs& a, const std::wstring& v, std::wstring& error);
};

bool list_or_file(const std::wstring& v, std::vector<std::wstring>& list, std::wstring& file) {
  if (!v.empty() && v[0] == L'@') file = v.substr(1);
  else list = split_list(v);
  return !(v.empty() || (v[0] == L'@' ? file.empty() : list.empty()));
}

const OptionRow kOptions[] = {
    {L"--domain", L"NAME", kSearching, L"search this domain (repeat for more); default: every domain listed",
     [](CmdArgs& a, const std::wstring& v, std::wstring& e) {
       if (v.empty()) return e = L"--domain needs a name", false;
       a.domains.push_back(v);
       return true;
     }},
    {L"--servers", L"A,B|@FILE", kSearching, L"search these servers instead of domains",
     [](CmdArgs& a, const std::wstring& v, std::wstring& e) {
       return list_or_file(v, a.servers, a.servers_file) || (e = L"--servers needs a list or @file", false);
     }},
    {L"--drives", L"\\\\S\\C,...|@FILE", kOnDrives, L"take these drives as listed, without searching",
     [](CmdArgs& a, const std::wstring& v, std::wstring& e) {
       return list_or_file(v, a.drives, a.drives_file) || (e = L"--drives needs a list or @file", false);
     }},
    {L"--parallel", L"N", kSearching,
     L"servers searched, drives changed at once, 1 to 64 (default: setting Parallel, else 8)",
     [](CmdArgs& a, const std::wstring& v, std::wstring& e) {
       unsigned long long n = 0;
       if (!parse_decimal(v, 64, n) || n < 1) return e = L"--parallel takes a number from 1 to 64", false;
       a.parallel = static_cast<unsigned>(n);
       return true;
     }},
    {L"--pattern", L"P", kOnDrives | kShares,
     L"share name; <drive> stands for the drive letter (default: setting Sharname; shares: any letter)",
     [](CmdArgs& a, const std::wstring& v, std::wstring& e) {
       if (v.empty()) return e = L"--pattern needs a share-name pattern", false;
       a.pattern = v;
       return true;
     }},
    {L"--account", L"A", kAdd | kShares | kCheck | kRevoke,
     L"the account (default for add and check: setting Account; shares: only shares with an entry for it)",
     [](CmdArgs& a, const std::wstring& v, std::wstring& e) {
       if (v.empty()) return e = L"--account needs an account name", false;
       a.account = v;
       return true;
     }},
    {L"--access", L"read|change|full", kAdd | kCheck,
     L"the access granted or expected, combined when repeated (default: read)",
     [](CmdArgs& a, const std::wstring& v, std::wstring& e) {
       return take_access(v, a) || (e = L"--access takes read, change or full", false);
     }},
    {L"--what-if", nullptr, kAdd | kRevoke, L"show what would change, change nothing",
     [](CmdArgs& a, const std::wstring&, std::wstring&) { return a.what_if = true; }},
    {L"--local-account-ok", nullptr, kAdd,
     L"use the account though it is one of this computer's own, which no server knows",
     [](CmdArgs& a, const std::wstring&, std::wstring&) { return a.local_account_ok = true; }},
    {L"--yes", nullptr, kAdd | kDelete | kUndo | kRevoke, L"do not ask before changing shares",
     [](CmdArgs& a, const std::wstring&, std::wstring&) { return a.yes = true; }},
    {L"--out", L"FILE", kExport, L"the list file to write",
     [](CmdArgs& a, const std::wstring& v, std::wstring&) { return a.out_file = v, true; }},
    {L"--since", L"\"dd-mmm-yyyy hh:mm\"", kUndo, L"every session started at or after this time",
     [](CmdArgs& a, const std::wstring& v, std::wstring&) { return a.since = v, true; }},
    {L"--list", nullptr, kUndo, L"show the recent sessions that changed shares, change nothing",
     [](CmdArgs& a, const std::wstring&, std::wstring&) { return a.list = true; }},
    {L"--all", nullptr, kShares, L"also the IPC and printer shares",
     [](CmdArgs& a, const std::wstring&, std::wstring&) { return a.all = true; }},
    {L"--entries", nullptr, kShares, L"one row per entry of each access list",
     [](CmdArgs& a, const std::wstring&, std::wstring&) { return a.entries = true; }},
    {L"--deny-too", nullptr, kRevoke, L"remove the account's deny entries as well",
     [](CmdArgs& a, const std::wstring&, std::wstring&) { return a.deny_too = true; }},
    {L"--allow-empty", nullptr, kRevoke,
     L"give a share an empty list (it then refuses everyone) when nothing else is left",
     [](CmdArgs& a, const std::wstring&, std::wstring&) { return a.allow_empty = true; }},
    {L"--log", L"FILE", kAll, L"the change log (default: ShareChanges.log beside cv.ini)",
     [](CmdArgs& a, const std::wstring& v, std::wstring&) { return a.log_file = v, true; }},
    {L"--csv", nullptr, kAll, L"results as CSV, for Import-Csv",
     [](CmdArgs& a, const std::wstring&, std::wstring&) { return a.csv = true; }},
    {L"--csv-exact", nullptr, kAll,
     L"CSV cells exactly as sent, also those starting with = + - @ ' (else an apostrophe goes before them)",
     [](CmdArgs& a, const std::wstring&, std::wstring&) { return a.csv = a.csv_exact = true; }},
};

const CommandRow* command_row(const std::wstring& name) {
  for (const CommandRow& c : command_table())
    if (name == c.name) return &c;
  return nullptr;
}

std::wstring command_names() {
  std::wstring s;
  for (const CommandRow& c : command_table()) s += (s.empty() ? L"" : L", ") + std::wstring(c.name);
  return s;
}

}  // namespace

const std::vector<CommandRow>& command_table() {
  // name, command, help, gathers, needs_account, reads_log, check
  static const std::vector<CommandRow> rows = {
      {L"find", Command::find, L"list the drives of the servers whose administrative shares can be reached", true,
       false, false, no_check},
      {L"add", Command::add, L"create or update the share the pattern names on each drive, with the account's access",
       true, true, false, no_check},
      {L"delete", Command::remove, L"delete the share the pattern names on each drive", true, false, false, no_check},
      {L"export", Command::export_list, L"write the shares the pattern names to a list file (--out)", true, false,
       false, [](const CmdArgs& a) { return a.out_file.empty() ? std::wstring(L"export needs --out FILE") : L""; }},
      {L"undo", Command::undo, L"put back the shares changed by the last session that changed shares (an undo too)",
       false, false, true,
       [](const CmdArgs& a) {
         return a.list && !a.since.empty() ? std::wstring(L"give --list or --since, not both") : L"";
       }},
      {L"shares", Command::shares, L"list every disk share of the servers with its access list; changes nothing", false,
       false, false, no_check},
      {L"check", Command::check, L"say per drive whether the account has exactly the access given on the share", true,
       true, false, no_check},
      {L"revoke", Command::revoke, L"remove the account's allow entries from the share the pattern names on each drive",
       true, false, false, [](const CmdArgs& a) { return a.account ? std::wstring() : L"revoke needs --account A"; }},
  };
  return rows;
}

std::vector<std::wstring> split_list(const std::wstring& text) {
  std::vector<std::wstring> out;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find_first_of(L",\r\n", pos);
    if (end == std::wstring::npos) end = text.size();
    std::wstring item = trim_blanks(text.substr(pos, end - pos));
    while (!item.empty() && (item.back() == L'\t')) item.pop_back();
    if (!item.empty()) out.push_back(item);
    pos = end + 1;
  }
  return out;
}

CmdArgs parse_cmd_args(const std::vector<std::wstring>& args, std::wstring& error) {
  CmdArgs a;
  error.clear();
  std::vector<const OptionRow*> given;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    if (arg == L"/?" || arg == L"-?" || arg == L"--help" || arg == L"-h") {
      a.help = true;
      continue;
    }
    if (arg.compare(0, 2, L"--") != 0) {
      if (!a.command.empty()) {
        error = L"unexpected argument '" + arg + L"'";
        return a;
      }
      a.command = arg;
      a.row = command_row(arg);
      if (!a.row) {
        error = L"unknown command '" + arg + L"' (" + command_names() + L")";
        return a;
      }
      continue;
    }
    const OptionRow* row = nullptr;
    for (const OptionRow& o : kOptions)
      if (arg == o.name) row = &o;
    if (!row) {
      error = L"unknown option '" + arg + L"'";
      return a;
    }
    std::wstring value;
    if (row->value) {
      if (i + 1 >= args.size()) {
        error = L"option " + arg + L" needs a value";
        return a;
      }
      value = args[++i];
    }
    if (!row->take(a, value, error)) return a;
    given.push_back(row);
  }
  if (a.help) return a;
  if (a.command.empty()) {
    error = L"no command given (" + command_names() + L"); --help shows the usage";
    return a;
  }
  for (const OptionRow* o : given)
    if (!(o->commands & bit(a.row->command))) {
      error = a.command + L" does not take " + o->name;
      return a;
    }
  if (!a.domains.empty() && (!a.servers.empty() || !a.servers_file.empty()))
    error = L"give --domain or --servers, not both";
  else error = a.row->check(a);
  return a;
}

std::wstring cmd_usage() {
  std::wstring u = L"Usage: corvanecmd <command> [options]\r\n\r\nCommands:\r\n";
  for (const CommandRow& c : command_table()) {
    std::wstring name = c.name;
    u += L"  " + name + std::wstring(9 - name.size(), L' ') + c.help + L"\r\n";
  }
  u += L"\r\nOptions (the commands that take them in brackets):\r\n";
  for (const OptionRow& o : kOptions) {
    std::wstring head = std::wstring(L"  ") + o.name + (o.value ? std::wstring(L" ") + o.value : L"");
    std::wstring takers;
    if (o.commands == kAll) {
      takers = L"all";
    } else {
      for (const CommandRow& c : command_table())
        if (o.commands & bit(c.command)) takers += (takers.empty() ? L"" : L", ") + std::wstring(c.name);
    }
    u += head + L"\r\n      " + o.help + L" [" + takers + L"]\r\n";
  }
  return u + L"  --help, /?\r\n      this text\r\n\r\n"
             L"Exit status: 0 everything succeeded (check: every share as expected), 1 a drive or share failed,\r\n"
             L"drifted or could not be read (or nothing was confirmed), 2 bad usage.\r\n";
}

std::wstring format_table(const std::vector<std::wstring>& header, const std::vector<std::vector<std::wstring>>& rows,
                          bool csv, bool exact) {
  std::wstring out;
  if (csv) {
    auto field = [exact](const std::wstring& cell) {
      const std::wstring f = exact ? cell : formula_guard(cell);
      if (f.find_first_of(L",\"\r\n") == std::wstring::npos) return f;
      std::wstring q = L"\"";
      for (wchar_t c : f) {
        if (c == L'"') q += L'"';
        q += c;
      }
      return q + L"\"";
    };
    auto line = [&](const std::vector<std::wstring>& cells) {
      for (size_t k = 0; k < header.size(); ++k) {
        if (k) out += L",";
        out += field(k < cells.size() ? cells[k] : L"");
      }
      out += L"\r\n";
    };
    line(header);
    for (const auto& r : rows) line(r);
    return out;
  }
  std::vector<std::vector<std::wstring>> shown;
  for (const auto& r : rows) {
    shown.emplace_back();
    for (const std::wstring& c : r) shown.back().push_back(display_text(c));
  }
  std::vector<size_t> width(header.size());
  for (size_t k = 0; k < header.size(); ++k) width[k] = header[k].size();
  for (const auto& r : shown)
    for (size_t k = 0; k < header.size() && k < r.size(); ++k) width[k] = std::max(width[k], r[k].size());
  auto line = [&](const std::vector<std::wstring>& cells) {
    std::wstring l;
    for (size_t k = 0; k < header.size(); ++k) {
      std::wstring c = k < cells.size() ? cells[k] : L"";
      l += c;
      if (k + 1 < header.size()) l += std::wstring(width[k] - c.size() + 2, L' ');
    }
    while (!l.empty() && l.back() == L' ') l.pop_back();
    out += l + L"\r\n";
  };
  line(header);
  std::vector<std::wstring> rule;
  for (size_t w : width) rule.push_back(std::wstring(w, L'-'));
  line(rule);
  for (const auto& r : shown) line(r);
  return out;
}

}  // namespace corvane
