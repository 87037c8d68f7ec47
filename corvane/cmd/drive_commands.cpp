// The commands that work on a drive list: find, export, delete, add, check, revoke.
#include "run.h"

#include <windows.h>

#include "app.h"
#include "console.h"
#include "inventory.h"
#include "safe_text.h"
#include "settings_form.h"
#include "preview.h"
#include "share_export.h"
#include "shares.h"

namespace corvane {

namespace {
std::wstring mb(double v) { return std::to_wstring(static_cast<long long>(v)); }
}  // namespace

int Run::find() {
  std::vector<std::vector<std::wstring>> rows;
  for (const FoundDrive& d : list_.items)
    rows.push_back({d.item, d.label, d.filesystem, mb(d.capacity_mb), mb(d.free_mb)});
  out(format_table({L"Drive", L"Label", L"FileSystem", L"CapacityMB", L"FreeMB"}, rows, a_.csv, a_.csv_exact));
  // Servers whose drives could not be listed, and browse lists that came incomplete, are on
  // the change log with their reasons; the list is then not the whole network's.
  if (search_.servers_unlisted || search_.partial_lists) err(L"corvanecmd: " + search_summary(search_) + L"\r\n");
  return search_.ended_early || search_.servers_unlisted || search_.partial_lists ? 1 : 0;
}

int Run::export_list() {
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
    err(L"corvanecmd: " + display_text(r) +
        L" left out of the list: its name holds a control character or one the "
        L"code page cannot write\r\n");
  return refused.empty() ? 0 : 1;
}

int Run::remove() {
  std::wstring p = pattern();
  if (!a_.yes && !confirm(L"Delete the share " + p + L" on " + std::to_wstring(list_.count()) + L" drives?")) {
    err(L"Nothing was changed.\r\n");
    return 1;
  }
  return results(delete_shares(p, list_, log_, parallel_count()));
}

int Run::add() {
  ShareRequest r;
  r.pattern = pattern();
  r.account = account();
  r.mask = access_mask(a_.read, a_.change, a_.full);
  r.version = program_version();
  RunAccount account;
  if (!look_up(r.account, account, L"; nothing was changed")) return 1;
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

bool Run::look_up(const std::wstring& name, RunAccount& account, const wchar_t* tail) {
  if (account_directory().look_up(name, account)) return true;
  err(L"corvanecmd: the account " + name + L" cannot be found" + tail + L"\r\n");
  return false;
}

int Run::check() {
  RunAccount account;
  if (!look_up(this->account(), account, L"")) return 1;
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

int Run::revoke() {
  RevokeRequest r;
  r.pattern = pattern();
  r.account = *a_.account;
  r.deny_too = a_.deny_too;
  r.allow_empty = a_.allow_empty;
  RunAccount account;
  if (!look_up(r.account, account, L"; nothing was changed")) return 1;
  if (!a_.what_if && !a_.yes &&
      !confirm(L"Remove the entries of " + r.account + L" from the share " + r.pattern + L" on " +
               std::to_wstring(list_.count()) + L" drives?")) {
    err(L"Nothing was changed.\r\n");
    return 1;
  }
  return results(revoke_shares(r, account, run_targets(list_, r.pattern), list_, log_, parallel_count(), !a_.what_if));
}

}  // namespace corvane
