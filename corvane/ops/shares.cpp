#include "shares.h"

#include "app.h"
#include "change_log_file.h"
#include "drive_item.h"
#include "ordered_pool.h"
#include "permission_plan.h"

#include <lm.h>

#include <functional>

#include "net_buffer.h"

namespace corvane {

namespace {

long create_share(const ShareTarget& t, const std::wstring& remark) {
  SHARE_INFO_2 rec = {};
  rec.shi2_netname = const_cast<LPWSTR>(t.share.c_str());
  rec.shi2_type = STYPE_DISKTREE;
  rec.shi2_remark = remark.empty() ? nullptr : const_cast<LPWSTR>(remark.c_str());
  rec.shi2_permissions = ACCESS_READ;
  rec.shi2_max_uses = 1;
  rec.shi2_current_uses = 0;
  rec.shi2_path = const_cast<LPWSTR>(t.root.c_str());
  rec.shi2_passwd = nullptr;
  return static_cast<long>(NetShareAdd(const_cast<LPWSTR>(t.server.c_str()), 2, reinterpret_cast<LPBYTE>(&rec), nullptr));
}

// Creates the share (or finds it there) and gives the account its entry.
ShareOutcome add_share_with_permission(const ShareTarget& t, const std::wstring& remark, const ShareRequest& request,
                                       ChangeLog& log) {
  ShareOutcome out;
  out.object = t.server + L"\\" + t.share;
  out.status = create_share(t, remark);
  out.result = out.status == 0 ? L"created" : out.status == kDuplicateShare ? L"updated" : L"failed";

  // The account's identifier finds the entry to replace, whatever the name's spelling. One
  // that no longer resolves leaves the share as created.
  Account account;
  if (!resolve(request.account, account)) {
    out.result = L"failed";
    return out;
  }
  Plan plan = plan_permissions(out.object, account, request.mask);
  if (!plan.ready) {
    out.result = L"failed";
    return out;
  }
  // A share that was there before: what its list was, so it can be put back (empty: it had none).
  if (out.status != 0 && (plan.had_descriptor || out.status == kDuplicateShare))
    log.write(L"Previous permissions of " + out.object + L": " + plan.old_sddl);
  bool written = write_share_dacl(plan.info.get(), out.object, plan.new_bytes);

  std::wstring line = L"Added " + out.object + L" " + account.qualified();
  // A failure is never logged as a success: the creation's and the write's failures follow.
  if (out.status != 0 && out.status != kDuplicateShare) line += L" " + status_text(static_cast<unsigned long>(out.status));
  if (!written) line += L" Permissions not written.";
  if (plan.deny_remains) line += L" (a deny entry for this account remains)";
  log.write(line);
  out.ok = written && (out.status == 0 || out.status == kDuplicateShare);
  if (!out.ok) out.result = L"failed";
  out.detail = line;
  return out;
}

}  // namespace

bool account_resolves(const std::wstring& account) {
  Account a;
  return resolve(account, a);
}

size_t ticked_count(const DriveList& list) {
  size_t n = 0;
  for (size_t i = 0; i < list.count(); ++i)
    if (list.ticked(i)) ++n;
  return n;
}

namespace {

// The change-log lines of one drive, held until its turn.
struct HeldLines : ChangeLog {
  std::vector<std::wstring> lines;
  void write(const std::wstring& text) override { lines.push_back(text); }
};

// The ticked items a share command works on, in list order.
std::vector<size_t> ticked_items(const DriveList& list, const std::wstring& pattern) {
  std::vector<size_t> items;
  for (size_t i = 0; i < list.count(); ++i)
    if (list.ticked(i) && share_target(list.text(i), pattern).usable) items.push_back(i);
  return items;
}

// Runs one command on every item, `parallel` at a time; the log gets each item's lines and the
// list its marker in list order, on the caller's thread, as the one-by-one run gives them.
std::vector<ShareOutcome> over_items(const std::vector<size_t>& items, unsigned parallel, bool com, DriveList& list,
                                     ChangeLog& log,
                                     const std::function<ShareOutcome(const std::wstring& item, ChangeLog&)>& command,
                                     const std::function<int(const ShareOutcome&)>& marker) {
  std::vector<ShareOutcome> outcomes(items.size());
  auto settle = [&](size_t k) {
    if (int m = marker(outcomes[k])) list.set_marker(items[k], m);
  };
  if (parallel <= 1 || items.size() <= 1) {
    for (size_t k = 0; k < items.size(); ++k) {
      outcomes[k] = command(list.text(items[k]), log);
      settle(k);
    }
    return outcomes;
  }
  std::vector<std::wstring> texts;
  for (size_t i : items) texts.push_back(list.text(i));
  std::vector<HeldLines> held(items.size());
  OrderedPool pool;
  pool.com = com;
  pool.job = [&](size_t k, size_t) { outcomes[k] = command(texts[k], held[k]); };
  pool.deliver = [&](size_t k) {
    for (const std::wstring& line : held[k].lines) log.write(line);
    settle(k);
  };
  pool.run(items.size(), parallel);
  return outcomes;
}

}  // namespace

std::vector<ShareOutcome> add_shares(const ShareRequest& request, DriveList& list, ChangeLog& log, unsigned parallel) {
  // An account that does not resolve touches no share at all.
  if (!account_resolves(request.account)) return {};
  return over_items(
      ticked_items(list, request.pattern), parallel, true, list, log,
      [&](const std::wstring& item, ChangeLog& out_log) {
        ShareTarget t = share_target(item, request.pattern);
        std::wstring remark = share_remark(request.version, now_stamp());
        ShareOutcome out = add_share_with_permission(t, remark, request, out_log);
        out.item = item;
        return out;
      },
      [](const ShareOutcome& out) { return out.status != 0 && out.status != kDuplicateShare ? 1 : 0; });
}

long delete_share(const std::wstring& server, const std::wstring& share, ChangeLog& log) {
  long status = static_cast<long>(NetShareDel(const_cast<LPWSTR>(server.c_str()), const_cast<LPWSTR>(share.c_str()), 0));
  std::wstring line = L"Deleted " + server + L"\\" + share;
  if (status != 0) line += L" " + status_text(static_cast<unsigned long>(status));
  log.write(line);
  return status;
}

std::vector<ShareOutcome> delete_shares(const std::wstring& pattern, DriveList& list, ChangeLog& log,
                                        unsigned parallel) {
  return over_items(
      ticked_items(list, pattern), parallel, false, list, log,
      [&](const std::wstring& item, ChangeLog& out_log) {
        ShareTarget t = share_target(item, pattern);
        ShareOutcome out;
        out.item = item;
        out.object = t.server + L"\\" + t.share;
        out.status = delete_share(t.server, t.share, out_log);
        out.ok = out.status == 0;
        out.result = out.ok ? L"deleted" : L"failed";
        out.detail = out.ok ? L"" : status_text(static_cast<unsigned long>(out.status));
        return out;
      },
      [](const ShareOutcome& out) { return out.ok ? 1 : 0; });
}

std::vector<std::wstring> export_lines(const std::wstring& pattern, const DriveList& list) {
  std::vector<std::wstring> lines;
  for (size_t i = 0; i < list.count(); ++i) {
    if (!list.ticked(i) || list.marker(i) != 0) continue;
    ShareTarget t = share_target(list.text(i), pattern);
    lines.push_back(t.server + L"\\" + t.share);
  }
  return lines;
}

bool write_export(const std::wstring& path, const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& l : lines) text += to_acp(l) + "\r\n";
  corv::Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  return WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

std::vector<PreviewItem> preview_shares(const ShareRequest& request, const DriveList& list) {
  std::vector<PreviewItem> items;
  Account account;
  bool resolved = resolve(request.account, account);
  for (size_t i = 0; i < list.count(); ++i) {
    if (!list.ticked(i)) continue;
    ShareTarget t = share_target(list.text(i), request.pattern);
    if (!t.usable) continue;
    PreviewItem p;
    p.item = list.text(i);
    p.object = t.server + L"\\" + t.share;
    p.path = t.root;
    corv::NetBuffer buf;
    if (NetShareGetInfo(const_cast<LPWSTR>(t.server.c_str()), const_cast<LPWSTR>(t.share.c_str()), 2, buf.out()) == 0 &&
        buf.get()) {
      p.exists = true;
      if (const wchar_t* path = buf.as<SHARE_INFO_2>()->shi2_path) p.path = path;
    }
    if (!resolved) {
      p.possible = false;
      p.entry = L"none: the account " + request.account + L" cannot be found";
      items.push_back(p);
      continue;
    }
    Plan plan = plan_permissions(p.object, account, request.mask);
    if (!plan.ready) {
      p.possible = false;
      p.entry = L"none: the share's descriptor is not valid";
      items.push_back(p);
      continue;
    }
    p.old_sddl = plan.old_sddl;
    p.entry = plan.replaced ? L"replaced" : L"added";
    if (plan.deny_remains) p.entry += L" (a deny entry for this account remains)";
    p.new_sddl = sddl_of(plan.new_bytes, true);  // only the list is written
    for (const EntryWords& w : entries_in_words(plan.acl.get()))
      p.words.push_back(w.account + L": " + w.rights + L" (" + w.kind + L")");
    items.push_back(p);
  }
  return items;
}

std::wstring preview_report(const ShareRequest& request, const std::vector<PreviewItem>& items) {
  std::wstring r = L"Preview of Add/Update: pattern " + request.pattern + L", account " + request.account +
                   L". Nothing has been changed.\r\n";
  if (items.empty()) r += L"\r\nNo drive is ticked.\r\n";
  for (const PreviewItem& p : items) {
    r += L"\r\n" + p.object + L"\r\n";
    r += p.exists ? L"  Share: already there, path " + p.path + L"\r\n" : L"  Share: to be created, path " + p.path + L"\r\n";
    if (!p.possible) {
      r += L"  Entry: " + p.entry + L"\r\n";
      continue;
    }
    r += L"  Access list now: " + (p.old_sddl.empty() ? std::wstring(p.exists ? L"none" : L"the server's default") : p.old_sddl) + L"\r\n";
    r += L"  Entry for the account: " + p.entry + L"\r\n";
    r += L"  Access list then: " + p.new_sddl + (p.exists ? L"" : L" (with the server's default entries)") + L"\r\n";
    for (const std::wstring& w : p.words) r += L"    " + w + L"\r\n";
  }
  return r;
}

}  // namespace corvane
