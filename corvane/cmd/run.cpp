#include "run.h"

#include "console.h"
#include "drive_item.h"
#include "log_parse.h"
#include "safe_file.h"
#include "safe_text.h"
#include "shares.h"
#include "undo.h"

namespace corvane {

namespace {

// Progress to the error stream, so that the results on the output stay clean.
struct ConsoleProgress : SearchProgress {
  bool quiet;
  explicit ConsoleProgress(bool q) : quiet(q) {}
  void server(size_t n, size_t m, const std::wstring& name) override {
    if (!quiet)
      err(L"  server " + std::to_wstring(n) + L" of " + std::to_wstring(m) + L": " + display_text(name) + L"\r\n");
  }
};

}  // namespace

Run::Run(const CmdArgs& a, ChangeLogFile& log, const IniFile& ini) : a_(a), log_(log), settings_(load_settings(ini)) {}

int Run::prepare() {
  if (!a_.since.empty() && !parse_stamp(a_.since, locale_months(), since_))
    return usage_error(L"--since takes \"dd-mmm-yyyy hh:mm\" as the log writes it");
  // @FILE lists, never read through a link (open_plain_file).
  std::wstring text;
  drives_ = a_.drives;
  if (!a_.drives_file.empty()) {
    bool ok = read_text_file(a_.drives_file, text);
    drives_ = split_list(text);
    if (!ok) return usage_error(L"cannot read " + a_.drives_file);
  }
  for (const std::wstring& d : drives_)
    if (!is_drive_item(d)) return usage_error(L"'" + d + L"' is no drive like \\\\SERVER\\C");
  servers_ = a_.servers;
  if (!a_.servers_file.empty()) {
    bool ok = read_text_file(a_.servers_file, text);
    servers_ = split_list(text);
    if (!ok) return usage_error(L"cannot read " + a_.servers_file);
  }
  if (a_.row->needs_account && account().empty()) return usage_error(L"no account: give --account");
  // A log to read: a missing or unreadable one is no log without changes.
  if (a_.row->reads_log) {
    LogText log = read_log_file(log_.path());
    if (!log.error.ok()) {
      err(L"corvanecmd: " + log.error.text + L"; nothing was changed\r\n");
      return 1;
    }
  }
  return 0;
}

int Run::execute() {
  if (a_.row->gathers) gather();
  switch (a_.row->command) {
    case Command::find: return find();
    case Command::add: return add();
    case Command::remove: return remove();
    case Command::export_list: return export_list();
    case Command::undo: return undo();
    case Command::shares: return shares();
    case Command::check: return check();
    case Command::revoke: return revoke();
  }
  return 2;  // every command is a case above
}

// The drives to work on: as given, or found by a search.
void Run::gather() {
  if (!drives_.empty()) {
    for (const std::wstring& d : drives_) list_.add({d});
    return;
  }
  unsigned parallel = parallel_count();
  ConsoleProgress progress(a_.csv);
  if (!servers_.empty()) {
    search_ = search_servers(servers_, log_, list_, progress, parallel);
  } else {
    std::vector<std::wstring> domains = a_.domains;
    if (domains.empty()) domains = list_domains(log_);
    search_ = search_drives(domains, log_, list_, progress, parallel);
  }
}

int Run::usage_error(const std::wstring& what) {
  err(L"corvanecmd: " + what + L"\r\n");
  return 2;
}

int Run::results(const CommandReport& report) {
  std::vector<std::vector<std::wstring>> rows;
  for (const ShareOutcome& o : report.outcomes) rows.push_back({o.item, o.object, outcome_text(o.result), o.detail});
  out(format_table({L"Drive", L"Share", L"Result", L"Detail"}, rows, a_.csv, a_.csv_exact));
  if (!report.log_error.empty()) err(L"corvanecmd: " + report.log_error + L"\r\n");
  return report.failed() || !report.log_error.empty() ? 1 : 0;
}

}  // namespace corvane
