#include "cmd_args.h"

#include "disk_text.h"

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

bool known_command(const std::wstring& c) {
  return c == L"find" || c == L"add" || c == L"delete" || c == L"export" || c == L"undo";
}

}  // namespace

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
      if (!known_command(arg)) {
        error = L"unknown command '" + arg + L"' (find, add, delete, export or undo)";
        return a;
      }
      continue;
    }
    // Switches without a value.
    if (arg == L"--what-if") { a.what_if = true; continue; }
    if (arg == L"--yes") { a.yes = true; continue; }
    if (arg == L"--csv") { a.csv = true; continue; }
    if (arg == L"--list") { a.list = true; continue; }
    // Switches with a value.
    static const wchar_t* const with_value[] = {L"--domain", L"--servers", L"--drives", L"--pattern", L"--account",
                                               L"--access", L"--parallel", L"--log", L"--out", L"--since"};
    if (std::find_if(std::begin(with_value), std::end(with_value), [&](const wchar_t* s) { return arg == s; }) ==
        std::end(with_value)) {
      error = L"unknown option '" + arg + L"'";
      return a;
    }
    if (i + 1 >= args.size()) {
      error = L"option " + arg + L" needs a value";
      return a;
    }
    const std::wstring& v = args[++i];
    if (arg == L"--domain") {
      if (v.empty()) { error = L"--domain needs a name"; return a; }
      a.domains.push_back(v);
    } else if (arg == L"--servers" || arg == L"--drives") {
      bool file = !v.empty() && v[0] == L'@';
      std::wstring& f = arg == L"--servers" ? a.servers_file : a.drives_file;
      std::vector<std::wstring>& list = arg == L"--servers" ? a.servers : a.drives;
      if (file) f = v.substr(1);
      else list = split_list(v);
      if ((file && f.empty()) || (!file && list.empty())) { error = arg + L" needs a list or @file"; return a; }
    } else if (arg == L"--pattern") {
      if (v.empty()) { error = L"--pattern needs a share-name pattern"; return a; }
      a.pattern = v;
    } else if (arg == L"--account") {
      if (v.empty()) { error = L"--account needs an account name"; return a; }
      a.account = v;
    } else if (arg == L"--access") {
      if (!take_access(v, a)) { error = L"--access takes read, change or full"; return a; }
    } else if (arg == L"--parallel") {
      bool digits = !v.empty() && v.size() <= 2 && std::all_of(v.begin(), v.end(), [](wchar_t c) { return std::iswdigit(c); });
      unsigned n = digits ? static_cast<unsigned>(std::stoul(v)) : 0;
      if (n < 1 || n > 64) { error = L"--parallel takes a number from 1 to 64"; return a; }
      a.parallel = n;
    } else if (arg == L"--log") {
      a.log_file = v;
    } else if (arg == L"--out") {
      a.out_file = v;
    } else if (arg == L"--since") {
      a.since = v;
    }
  }
  if (a.help) return a;
  if (a.command.empty()) {
    error = L"no command given (find, add, delete, export or undo); --help shows the usage";
    return a;
  }
  if (!a.domains.empty() && (!a.servers.empty() || !a.servers_file.empty())) {
    error = L"give --domain or --servers, not both";
    return a;
  }
  if (a.command == L"export" && a.out_file.empty()) error = L"export needs --out FILE";
  if (a.command != L"undo" && !a.since.empty()) error = L"--since belongs to undo";
  if (a.what_if && a.command != L"add") error = L"--what-if belongs to add";
  if (a.list && a.command != L"undo") error = L"--list belongs to undo";
  return a;
}

std::wstring cmd_usage() {
  return L"Usage: corvanecmd <command> [options]\r\n"
         L"\r\n"
         L"Commands:\r\n"
         L"  find     list the drives of the servers whose administrative shares can be reached\r\n"
         L"  add      create or update the share the pattern names on each drive, with the account's access\r\n"
         L"  delete   delete the share the pattern names on each drive\r\n"
         L"  export   write the shares the pattern names to a list file (--out)\r\n"
         L"  undo     put back the shares changed by the last session that changed shares (an undo too)\r\n"
         L"\r\n"
         L"Which drives (find, add, delete, export):\r\n"
         L"  --domain NAME        search this domain (repeat for more); default: every domain listed\r\n"
         L"  --servers A,B|@FILE  search these servers instead of domains\r\n"
         L"  --drives \\\\S\\C,...|@FILE  take these drives as listed, without searching\r\n"
         L"  --parallel N         servers searched, drives changed at once, 1 to 64 (default: setting Parallel, else 8)\r\n"
         L"\r\n"
         L"Options:\r\n"
         L"  --pattern P          share name; <drive> stands for the drive letter (default: setting Sharname)\r\n"
         L"  --account A          the account given access (default: setting Account)\r\n"
         L"  --access read|change|full   the access granted, combined when repeated (default: read)\r\n"
         L"  --what-if            add: show what would change, change nothing\r\n"
         L"  --yes                do not ask before changing shares\r\n"
         L"  --out FILE           export: the list file to write\r\n"
         L"  --since \"dd-mmm-yyyy hh:mm\"  undo: every session started at or after this time\r\n"
         L"  --list               undo: show the recent sessions that changed shares, change nothing\r\n"
         L"  --log FILE           the change log (default: ShareChanges.log beside cv.ini)\r\n"
         L"  --csv                results as CSV, for Import-Csv\r\n"
         L"  --help, /?           this text\r\n"
         L"\r\n"
         L"Exit status: 0 everything succeeded, 1 a drive or share failed (or nothing was confirmed), 2 bad usage.\r\n";
}

std::wstring format_table(const std::vector<std::wstring>& header, const std::vector<std::vector<std::wstring>>& rows,
                          bool csv) {
  std::wstring out;
  if (csv) {
    auto field = [](const std::wstring& f) {
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
  std::vector<size_t> width(header.size());
  for (size_t k = 0; k < header.size(); ++k) width[k] = header[k].size();
  for (const auto& r : rows)
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
  for (const auto& r : rows) line(r);
  return out;
}

}  // namespace corvane
