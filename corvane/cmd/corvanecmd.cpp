// corvanecmd: the program's operations for scheduled and scripted runs, with the same settings
// and change log as the window. Each run is a session of its own in the change log.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app.h"
#include "change_log_file.h"
#include "cmd_args.h"
#include "disk_text.h"
#include "drive_item.h"
#include "ini_file.h"
#include "safe_file.h"
#include "safe_text.h"
#include "inventory.h"
#include "net_api.h"
#include "log_parse.h"
#include "search.h"
#include "session.h"
#include "settings_form.h"
#include "preview.h"
#include "share_export.h"
#include "shares.h"
#include "undo.h"

using namespace corvane;

namespace {

// Text to the console, or UTF-8 when redirected (a file, a pipe into a script). Server texts are
// made safe field by field where they are put into a message or table; whatever reaches a
// console is passed through display_text once more, so that no escape sequence is ever obeyed
// there (CSV on a console included, whose values are exact only when redirected).
void print(HANDLE out, const std::wstring& text) {
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(out, &mode)) {
    std::wstring shown = display_text(text, true);
    WriteConsoleW(out, shown.data(), static_cast<DWORD>(shown.size()), &written, nullptr);
    return;
  }
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
void out(const std::wstring& t) { print(GetStdHandle(STD_OUTPUT_HANDLE), t); }
void err(const std::wstring& t) { print(GetStdHandle(STD_ERROR_HANDLE), t); }

// An @FILE list, never read through a link (open_plain_file).
std::wstring read_file_text(const std::wstring& path, bool& ok) {
  std::string bytes;
  ok = read_plain_file(path, bytes);
  if (!ok) return {};
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  return from_acp(bytes);
}

// The drive list of a command-line run.
struct Drives : DriveList {
  std::vector<FoundDrive> items;
  std::vector<int> markers;
  void clear() override { items.clear(); markers.clear(); }
  void add(const FoundDrive& d) override { items.push_back(d); markers.push_back(0); }
  size_t count() const override { return items.size(); }
  std::wstring text(size_t i) const override { return items[i].item; }
  bool ticked(size_t) const override { return true; }
  int marker(size_t i) const override { return markers[i]; }
  void set_marker(size_t i, int m) override { markers[i] = m; }
};

// Progress to the error stream, so that the results on the output stay clean.
struct ConsoleProgress : SearchProgress {
  bool quiet;
  explicit ConsoleProgress(bool q) : quiet(q) {}
  void server(size_t n, size_t m, const std::wstring& name) override {
    if (!quiet) err(L"  server " + std::to_wstring(n) + L" of " + std::to_wstring(m) + L": " + display_text(name) + L"\r\n");
  }
};

bool confirm(const std::wstring& question) {
  err(question + L" [y/N] ");
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  char c[16] = {};
  DWORD got = 0;
  if (!ReadFile(in, c, sizeof c - 1, &got, nullptr) || got == 0) {
    err(L"\r\n");
    return false;
  }
  return c[0] == 'y' || c[0] == 'Y';
}

std::wstring mb(double v) { return std::to_wstring(static_cast<long long>(v)); }

class Run {
public:
  Run(const CmdArgs& a, ChangeLogFile& log, const IniFile& ini) : a_(a), log_(log), ini_(ini) {}

  // Checks everything the arguments name before anything is logged or changed.
  int prepare() {
    if (!a_.since.empty() && !parse_stamp(a_.since, locale_months(), since_))
      return usage_error(L"--since takes \"dd-mmm-yyyy hh:mm\" as the log writes it");
    drives_ = a_.drives;
    if (!a_.drives_file.empty()) {
      bool ok = false;
      drives_ = split_list(read_file_text(a_.drives_file, ok));
      if (!ok) return usage_error(L"cannot read " + a_.drives_file);
    }
    for (const std::wstring& d : drives_)
      if (!is_drive_item(d)) return usage_error(L"'" + d + L"' is no drive like \\\\SERVER\\C");
    servers_ = a_.servers;
    if (!a_.servers_file.empty()) {
      bool ok = false;
      servers_ = split_list(read_file_text(a_.servers_file, ok));
      if (!ok) return usage_error(L"cannot read " + a_.servers_file);
    }
    if ((a_.command == L"add" || a_.command == L"check") && !a_.account && load_form_settings().account.empty())
      return usage_error(L"no account: give --account");
    // Undo needs a log to read: a missing or unreadable one is no log without changes.
    if (a_.command == L"undo") {
      LogText log = read_log_file(log_.path());
      if (!log.error.ok()) {
        err(L"corvanecmd: " + log.error.text + L"; nothing was changed\r\n");
        return 1;
      }
    }
    return 0;
  }

  int execute() {
    if (a_.command == L"undo") return undo();
    if (a_.command == L"shares") return shares();
    gather();
    if (a_.command == L"check") return check();
    if (a_.command == L"revoke") return revoke();
    if (a_.command == L"find") return find();
    if (a_.command == L"export") return exportlist();
    if (a_.command == L"delete") return remove();
    return add();
  }

private:
  // The drives to work on: as given, or found by a search.
  void gather() {
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

  FormValues load_form_settings() {
    // Settings without the first-run account lookup: only what the command line leaves open.
    FormValues v;
    v.pattern = ini_.read(kSettingsSection, kKeyPattern);
    if (v.pattern.empty()) v.pattern = kDefaultPattern;
    v.account = ini_.read(kSettingsSection, kKeyAccount);
    v.parallel = parallel_value(ini_.read(kSettingsSection, kKeyParallel));
    return v;
  }

  int find() {
    std::vector<std::vector<std::wstring>> rows;
    for (const FoundDrive& d : list_.items)
      rows.push_back({d.item, d.label, d.filesystem, mb(d.capacity_mb), mb(d.free_mb)});
    out(format_table({L"Drive", L"Label", L"FileSystem", L"CapacityMB", L"FreeMB"}, rows, a_.csv, a_.csv_exact));
    // Servers whose drives could not be listed, and browse lists that came incomplete, are on
    // the change log with their reasons; the list is then not the whole network's.
    if (search_.servers_unlisted || search_.partial_lists) err(L"corvanecmd: " + search_summary(search_) + L"\r\n");
    return search_.ended_early || search_.servers_unlisted || search_.partial_lists ? 1 : 0;
  }

  std::wstring pattern() { return a_.pattern ? *a_.pattern : load_form_settings().pattern; }
  unsigned parallel_count() { return a_.parallel ? *a_.parallel : load_form_settings().parallel; }

  int exportlist() {
    std::vector<std::wstring> refused;
    std::vector<std::wstring> lines = export_lines(pattern(), list_, &refused);
    if (!write_export(a_.out_file, lines)) {
      err(L"corvanecmd: cannot write " + a_.out_file + L" (" + status_text(GetLastError()) + L")\r\n");
      return 1;
    }
    std::vector<std::vector<std::wstring>> rows;
    for (const std::wstring& l : lines) rows.push_back({l});
    out(format_table({L"Share"}, rows, a_.csv, a_.csv_exact));
    // A name the list cannot hold as one line is left out, and that is a failure.
    for (const std::wstring& r : refused)
      err(L"corvanecmd: " + display_text(r) + L" left out of the list: its name holds a control character or one the "
          L"code page cannot write\r\n");
    return refused.empty() ? 0 : 1;
  }

  int results(const CommandReport& report) {
    std::vector<std::vector<std::wstring>> rows;
    for (const ShareOutcome& o : report.outcomes) rows.push_back({o.item, o.object, outcome_text(o.result), o.detail});
    out(format_table({L"Drive", L"Share", L"Result", L"Detail"}, rows, a_.csv, a_.csv_exact));
    if (!report.log_error.empty()) err(L"corvanecmd: " + report.log_error + L"\r\n");
    return report.failed() || !report.log_error.empty() ? 1 : 0;
  }

  int remove() {
    std::wstring p = pattern();
    if (!a_.yes && !confirm(L"Delete the share " + p + L" on " + std::to_wstring(list_.count()) + L" drives?")) {
      err(L"Nothing was changed.\r\n");
      return 1;
    }
    return results(delete_shares(p, list_, log_, parallel_count()));
  }

  int add() {
    ShareRequest r;
    r.pattern = pattern();
    r.account = a_.account ? *a_.account : load_form_settings().account;
    r.mask = access_mask(a_.read, a_.change, a_.full);
    r.version = program_version();
    RunAccount account;
    if (!account_directory().look_up(r.account, account)) {
      err(L"corvanecmd: the account " + r.account + L" cannot be found; nothing was changed\r\n");
      return 1;
    }
    // A bare name is looked up on this computer first: one of its own accounts names nobody on
    // the servers, so it is used only when that is what is meant.
    std::wstring local = workstation_account(account);
    if (!local.empty() && !a_.local_account_ok)
      return usage_error(L"the account " + r.account + L" is " + local +
                         L", an account of this computer that no server knows; give DOMAIN\\name, or "
                         L"--local-account-ok to use it; nothing was changed");
    if (a_.what_if) {
      std::vector<PreviewItem> items = preview_shares(r, account, run_targets(list_, r.pattern));
      out(preview_report(r, items));
      // A drive whose share cannot be read (or changed) could not be previewed: status 1.
      for (const PreviewItem& p : items)
        if (!p.possible) return 1;
      return 0;
    }
    if (!a_.yes && !confirm(L"Add or update the share " + r.pattern + L" for " + r.account + L" on " +
                            std::to_wstring(list_.count()) + L" drives?")) {
      err(L"Nothing was changed.\r\n");
      return 1;
    }
    return results(add_shares(r, account, run_targets(list_, r.pattern), list_, log_, parallel_count()));
  }

  int undo() {
    if (a_.list) {
      std::vector<std::vector<std::wstring>> rows;
      std::wstring error;
      for (const SessionSummary& s : recent_sessions(log_.path(), error))
        rows.push_back({s.stamp, s.kind, std::to_wstring(s.shares)});
      if (!error.empty()) {
        err(L"corvanecmd: " + error + L"\r\n");
        return 1;
      }
      out(format_table({L"Started", L"Kind", L"Shares"}, rows, a_.csv, a_.csv_exact));
      return 0;
    }
    std::optional<Stamp> since;
    if (!a_.since.empty()) since = since_;
    UndoPlan plan = plan_undo(log_.path(), since);
    if (!plan.error.empty()) {
      err(L"corvanecmd: " + plan.error + L"; nothing was changed\r\n");
      return 1;
    }
    if (plan.steps.empty()) {
      out(L"No share changes to undo in " + log_.path() + L".\r\n");
      return 0;
    }
    std::wstring what;
    // Names, paths and remarks come from servers through the log: shown, never obeyed, so that
    // no line of the plan can be forged or erased before its question.
    for (const UndoStep& s : plan.steps)
      what += L"  " + display_text(s.before.object) + L": " + display_text(describe_step(s)) + L"\r\n";
    err(L"Undo of the session(s) started " + display_text(plan.sessions.front()) + L":\r\n" + what);
    if (!a_.yes && !confirm(L"Undo these changes?")) {
      err(L"Nothing was changed.\r\n");
      return 1;
    }
    std::vector<std::vector<std::wstring>> rows;
    bool failed = false;
    UndoReport report = run_undo(plan, log_);
    for (const UndoOutcome& o : report.outcomes) {
      rows.push_back({o.object, o.result, o.detail});
      failed = failed || !o.ok;
    }
    out(format_table({L"Share", L"Result", L"Detail"}, rows, a_.csv, a_.csv_exact));
    if (!report.log_error.empty()) err(L"corvanecmd: " + report.log_error + L"\r\n");
    return failed || !report.log_error.empty() ? 1 : 0;
  }

  // The servers to take stock of: as named, or those of the domains (each domain listed first).
  int shares() {
    std::vector<std::vector<std::wstring>> rows;
    bool failed = false;
    std::vector<std::wstring> servers = servers_;
    if (servers.empty()) {
      classNetAPI net;
      std::vector<std::wstring> domains = a_.domains;
      // The inventory changes nothing, so it logs nothing but its session's start and end.
      struct Unlogged : ChangeLog {
        LogResult write(const std::wstring&, bool) override { return {}; }
      } unlogged;
      if (domains.empty()) domains = list_domains(unlogged);
      for (const std::wstring& d : domains) {
        std::vector<std::wstring> names;
        long st = net.fnNetServerEnum(d, kSvTypeServer, names);
        if (st != 0) {
          rows.push_back({L"(domain " + d + L")", L"", L"error", L"", L"", L"", L"",
                          L"cannot be listed: status " + std::to_wstring(st) + L": " + status_text(static_cast<unsigned long>(st))});
          failed = true;
        }
        servers.insert(servers.end(), names.begin(), names.end());
      }
    }
    InventoryRequest r;
    if (a_.pattern) r.pattern = *a_.pattern;
    if (a_.account) r.account = *a_.account;
    r.all = a_.all;
    std::wstring account_error;
    std::vector<ServerListing> listed = list_shares(servers, r, parallel_count(), account_error);
    if (!account_error.empty()) {
      err(L"corvanecmd: " + account_error + L"\r\n");
      return 1;
    }
    auto uses = [](const ShareListing& s) {
      return std::to_wstring(s.current_uses) + L"/" + (s.max_uses == 0xFFFFFFFFul ? L"unlimited" : std::to_wstring(s.max_uses));
    };
    for (const ServerListing& server : listed) {
      if (server.status != 0) {
        failed = true;
        std::wstring why = L"cannot be listed: " + server.reason;
        rows.push_back(a_.entries ? std::vector<std::wstring>{server.server, L"", L"error", L"", why}
                                  : std::vector<std::wstring>{server.server, L"", L"error", L"", L"", L"", L"", why});
        continue;
      }
      for (const ShareListing& s : server.shares) {
        failed = failed || !s.unreadable.empty();  // who may reach it is unknown
        if (!a_.entries) {
          rows.push_back({s.server, s.share, s.kind(), s.path, s.remark, uses(s), s.sddl, access_in_words(s)});
          continue;
        }
        if (!s.has_descriptor || s.entries.empty())
          rows.push_back({s.server, s.share, s.kind(), s.path, access_in_words(s), L"", L"", L""});
        for (const EntryWords& e : s.entries)
          rows.push_back({s.server, s.share, s.kind(), s.path, e.account, e.kind, e.rights, e.inheritance});
      }
    }
    if (a_.entries)
      out(format_table({L"Server", L"Share", L"Kind", L"Path", L"Account", L"Entry", L"Rights", L"Inheritance"}, rows, a_.csv, a_.csv_exact));
    else
      out(format_table({L"Server", L"Share", L"Kind", L"Path", L"Remark", L"Uses", L"SDDL", L"Access"}, rows, a_.csv, a_.csv_exact));
    return failed ? 1 : 0;
  }

  int check() {
    RunAccount account;
    std::wstring name = a_.account ? *a_.account : load_form_settings().account;
    if (!account_directory().look_up(name, account)) {
      err(L"corvanecmd: the account " + name + L" cannot be found\r\n");
      return 1;
    }
    std::vector<std::vector<std::wstring>> rows;
    bool drift = search_.ended_early;
    for (const CheckOutcome& c : check_shares(account, run_targets(list_, pattern()),
                                              access_mask(a_.read, a_.change, a_.full), parallel_count())) {
      rows.push_back({c.item, c.object, c.result, c.detail});
      drift = drift || !c.ok;
    }
    out(format_table({L"Drive", L"Share", L"Result", L"Detail"}, rows, a_.csv, a_.csv_exact));
    return drift ? 1 : 0;
  }

  int revoke() {
    RevokeRequest r;
    r.pattern = pattern();
    r.account = *a_.account;
    r.deny_too = a_.deny_too;
    r.allow_empty = a_.allow_empty;
    RunAccount account;
    if (!account_directory().look_up(r.account, account)) {
      err(L"corvanecmd: the account " + r.account + L" cannot be found; nothing was changed\r\n");
      return 1;
    }
    if (!a_.what_if && !a_.yes &&
        !confirm(L"Remove the entries of " + r.account + L" from the share " + r.pattern + L" on " +
                 std::to_wstring(list_.count()) + L" drives?")) {
      err(L"Nothing was changed.\r\n");
      return 1;
    }
    return results(revoke_shares(r, account, run_targets(list_, r.pattern), list_, log_, parallel_count(), !a_.what_if));
  }

  int usage_error(const std::wstring& what) {
    err(L"corvanecmd: " + what + L"\r\n");
    return 2;
  }

  const CmdArgs& a_;
  ChangeLogFile& log_;
  const IniFile& ini_;
  Drives list_;
  SearchOutcome search_;
  std::vector<std::wstring> drives_, servers_;
  Stamp since_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Before anything is loaded: later DLLs from the system folder only.
  restrict_dll_search();
  std::vector<std::wstring> args(argv + 1, argv + argc);
  std::wstring error;
  CmdArgs a = parse_cmd_args(args, error);
  const std::wstring folder = data_folder();
  if (a.help) {
    std::wstring note = data_folder_note();
    out(cmd_usage() + L"\r\nSettings: " + folder + L"cv.ini\r\nChange log: " + folder + L"ShareChanges.log\r\n" +
        (note.empty() ? L"" : L"(not beside the program: " + note + L")\r\n"));
    return 0;
  }
  if (!error.empty()) {
    err(L"corvanecmd: " + error + L"\r\n");
    return 2;
  }
  corv::ComApartment apartment;
  if (!apartment.joined()) {
    err(L"corvanecmd: the component system cannot be started\r\n");
    return 1;
  }
  int status;
  {
    IniFile ini(folder + L"cv.ini");
    ChangeLogFile log(a.log_file.empty() ? folder + L"ShareChanges.log" : a.log_file);
    Run run(a, log, ini);
    status = run.prepare();
    if (status == 0) {
      LogResult begun = log.begin(a.command, program_version());
      if (!begun.ok()) {
        err(L"corvanecmd: " + log.where() + L" cannot be written: " + begun.text + L"; nothing was changed\r\n");
        status = 1;
      } else {
        status = run.execute();
        log.end();
      }
    }
  }
  return status;
}
