#include "preview.h"

#include <windows.h>
#include <lm.h>

#include "app.h"
#include "permission_plan.h"
#include "safe_text.h"
#include "share_calls.h"

namespace corvane {

std::vector<PreviewItem> preview_shares(const ShareRequest& request, const RunAccount& account,
                                        const std::vector<RunTarget>& targets) {
  std::vector<PreviewItem> items;
  for (const RunTarget& target : targets) {
    const ShareTarget& t = target.target;
    PreviewItem p;
    p.item = target.item;
    p.object = target.object;
    p.path = t.root;
    ShareNow now = read_share(t.server, t.share);
    if (now.status != 0 && now.status != NERR_NetNameNotFound) {
      // There or not, nobody can tell: never guess "to be created".
      p.unreadable = status_words(now.status);
      p.possible = false;
      p.entry = L"none: the share cannot be read";
      items.push_back(p);
      continue;
    }
    p.exists = now.status == 0;
    if (p.exists) p.path = now.record.path;
    if (account.sid.empty()) {
      p.possible = false;
      p.entry = L"none: the account " + request.account + L" cannot be found";
      items.push_back(p);
      continue;
    }
    Plan plan = plan_permissions(p.object, account.sid, request.mask);
    if (!plan.ready) {
      p.possible = false;
      p.entry = L"none: the share's descriptor is not valid";
      items.push_back(p);
      continue;
    }
    p.old_sddl = plan.old_sddl;
    for (const EntryWords& w : entries_of_sddl(plan.old_sddl, t.server))
      p.old_words.push_back(w.account + L": " + w.rights + L" (" + w.kind + L")");
    p.entry = plan.replaced ? L"replaced" : L"added";
    if (plan.deny_remains) p.entry += L" (a deny entry for this account remains)";
    p.new_sddl = sddl_of(plan.new_bytes, true);  // only the list is written
    for (const EntryWords& w : entries_in_words(plan.acl.get(), t.server))
      p.words.push_back(w.account + L": " + w.rights + L" (" + w.kind + L")");
    items.push_back(p);
  }
  return items;
}

std::wstring preview_report(const ShareRequest& request, const std::vector<PreviewItem>& items) {
  // Every field a server or a setting gave goes through display_text: a line break or an escape
  // sequence in a name or a path would otherwise forge or erase lines of the report.
  auto shown = [](const std::wstring& t) { return display_text(t); };
  std::wstring r = L"Preview of Add/Update: pattern " + shown(request.pattern) + L", account " +
                   shown(request.account) + L". Nothing has been changed.\r\n";
  if (items.empty()) r += L"\r\nNo drive is ticked.\r\n";
  for (const PreviewItem& p : items) {
    r += L"\r\n" + shown(p.object) + L"\r\n";
    if (!p.unreadable.empty()) r += L"  Share: cannot be read (" + shown(p.unreadable) + L"); it may exist already\r\n";
    else
      r += p.exists ? L"  Share: already there, path " + shown(p.path) + L"\r\n"
                    : L"  Share: to be created, path " + shown(p.path) + L"\r\n";
    if (!p.possible) {
      r += L"  Entry: " + shown(p.entry) + L"\r\n";
      continue;
    }
    r += L"  Access list now: " +
         (p.old_sddl.empty() ? std::wstring(p.exists ? L"none" : L"the server's default") : shown(p.old_sddl)) +
         L"\r\n";
    for (const std::wstring& w : p.old_words) r += L"    " + shown(w) + L"\r\n";
    r += L"  Entry for the account: " + shown(p.entry) + L"\r\n";
    r += L"  Access list then: " + shown(p.new_sddl) + (p.exists ? L"" : L" (with the server's default entries)") +
         L"\r\n";
    for (const std::wstring& w : p.words) r += L"    " + shown(w) + L"\r\n";
  }
  return r;
}

}  // namespace corvane
