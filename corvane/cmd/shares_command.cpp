// shares: every disk share of the servers with its access list; changes nothing.
#include "run.h"

#include "app.h"
#include "console.h"
#include "inventory.h"
#include "net_api.h"

namespace corvane {

namespace {

// The inventory changes nothing, so it logs nothing but its session's start and end.
struct Unlogged : ChangeLog {
  LogResult write(const std::wstring&, bool) override { return {}; }
};

std::wstring uses(const ShareListing& s) {
  return std::to_wstring(s.current_uses) + L"/" +
         (s.max_uses == 0xFFFFFFFFul ? L"unlimited" : std::to_wstring(s.max_uses));
}

}  // namespace

// The servers to take stock of: as named, or those of the domains (each domain listed first).
int Run::shares() {
  std::vector<std::vector<std::wstring>> rows;
  bool failed = false;
  std::vector<std::wstring> servers = servers_;
  if (servers.empty()) {
    Unlogged unlogged;
    std::vector<std::wstring> domains = a_.domains;
    if (domains.empty()) domains = list_domains(unlogged);
    for (const std::wstring& d : domains) {
      std::vector<std::wstring> names;
      long st = domain_servers(d, unlogged, names);
      if (st != 0) {
        rows.push_back({L"(domain " + d + L")", L"", L"error", L"", L"", L"", L"",
                        L"cannot be listed: " + status_words(st)});
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
    out(format_table({L"Server", L"Share", L"Kind", L"Path", L"Account", L"Entry", L"Rights", L"Inheritance"}, rows,
                     a_.csv, a_.csv_exact));
  else
    out(format_table({L"Server", L"Share", L"Kind", L"Path", L"Remark", L"Uses", L"SDDL", L"Access"}, rows, a_.csv,
                     a_.csv_exact));
  return failed ? 1 : 0;
}

}  // namespace corvane
