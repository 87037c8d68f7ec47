#include "shares.h"

#include "app.h"
#include "change_log.h"
#include "change_log_file.h"
#include "drive_item.h"
#include "ordered_pool.h"
#include "permission_plan.h"
#include "safe_file.h"
#include "safe_text.h"

#include <lm.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

#include "net_buffer.h"

namespace corvane {

ShareNow read_share(const std::wstring& server, const std::wstring& share) {
  ShareNow now;
  corv::NetBuffer buf;
  now.status = static_cast<long>(
      NetShareGetInfo(const_cast<LPWSTR>(server.c_str()), const_cast<LPWSTR>(share.c_str()), 502, buf.out()));
  if (now.status != 0) return now;
  const SHARE_INFO_502* info = buf.as<SHARE_INFO_502>();
  if (!info || records_in_answer(buf.get(), sizeof(SHARE_INFO_502)) < 1) {
    now.status = ERROR_INVALID_DATA;
    return now;
  }
  now.record.path = info->shi502_path ? info->shi502_path : L"";
  now.record.remark = info->shi502_remark ? info->shi502_remark : L"";
  now.record.max_uses = info->shi502_max_uses;
  now.record.has_access_list = true;
  now.record.sddl = sddl_of_descriptor(buf.get(), info->shi502_security_descriptor);
  if (info->shi502_security_descriptor && now.record.sddl.empty()) now.status = ERROR_INVALID_SECURITY_DESCR;
  return now;
}

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

// The change log as the workers of one command share it: the first line that cannot be written
// stops every change that has not begun.
class RunLog {
public:
  explicit RunLog(ChangeLog& log) : log_(log) {}
  // A change's record, on stable storage before the change is made.
  bool record(const std::wstring& line) { return put(line, true); }
  bool write(const std::wstring& line) { return put(line, false); }
  // Checked right before each remote change: once a line is lost no further change starts.
  bool lost() const { return lost_; }
  std::wstring error() const {
    std::lock_guard<std::mutex> hold(lock_);
    return error_;
  }
  void refuse(const std::wstring& error) {
    std::lock_guard<std::mutex> hold(lock_);
    error_ = error;
    lost_ = true;
  }

private:
  bool put(const std::wstring& line, bool durable) {
    if (durable && lost_) return false;
    LogResult r = log_.write(line, durable);
    if (r.ok()) return true;
    std::lock_guard<std::mutex> hold(lock_);
    if (!lost_) {
      error_ = L"A line could not be written to " + log_.where() + L" (" + r.text +
               L") No further share change was started, so that every change stays on record.";
      lost_ = true;
    }
    return false;
  }
  ChangeLog& log_;
  mutable std::mutex lock_;
  std::atomic<bool> lost_{false};
  std::wstring error_;
};

const wchar_t kNoRecord[] = L"not changed: its record could not be written to the change log";
const wchar_t kLogLost[] = L"the change log cannot be written";

ShareOutcome fail(ShareOutcome& out, const std::wstring& why) {
  out.ok = false;
  out.result = L"failed";
  out.detail = why;
  return out;
}

ShareOutcome not_done(ShareOutcome& out) {
  out.ok = false;
  out.result = L"not done";
  out.detail = kLogLost;
  return out;
}

// Names the drive's share in its outcome; false ("not done") when a lost log line has already
// stopped the run.
bool start(const ShareTarget& t, const RunLog& log, ShareOutcome& out) {
  out.object = t.server + L"\\" + t.share;
  if (!log.lost()) return true;
  not_done(out);
  return false;
}

// Deletes a share this run made whose list could not be written: made with the server's
// default list, it must not stay open. Empty when it is gone, else why it stands.
std::wstring take_back(const ShareTarget& t, const std::wstring& object, RunLog& log) {
  ShareNow now = read_share(t.server, t.share);
  if (now.status != 0) return L"it cannot be read (" + status_words(now.status) + L")";
  if (!log.record(deleting_line(object, now.record)) || log.lost()) return L"its record could not be written to the change log";
  long status = static_cast<long>(NetShareDel(const_cast<LPWSTR>(t.server.c_str()), const_cast<LPWSTR>(t.share.c_str()), 0));
  log.write(deleted_line(object, status ? status_text(static_cast<unsigned long>(status)) : L""));
  return status ? status_words(status) : L"";
}

// Creates the share (or finds it there) and gives the account its entry, each change on
// record before it is made.
ShareOutcome add_share_with_permission(const ShareTarget& t, const std::wstring& remark, const ShareRequest& request,
                                       RunLog& log) {
  ShareOutcome out;
  if (!start(t, log, out)) return out;
  Account account;
  const bool resolved = resolve(request.account, account);
  const std::wstring who = resolved ? account.qualified() : request.account;
  ShareNow now = read_share(t.server, t.share);
  if (now.status != 0 && now.status != NERR_NetNameNotFound) {
    // There or not, nobody can tell: what it was could not be put back, so it is left alone.
    out.status = now.status;
    log.write(added_line(out.object, who, not_changed(L"its settings cannot be read (" + status_words(now.status) + L")")));
    return fail(out, status_words(now.status));
  }
  const bool on_record = now.status == 0;
  if (on_record) {
    // There already: its list is on record before anything else happens to it.
    if (!log.record(previous_line(out.object, now.record.sddl))) return fail(out, kNoRecord);
  } else {
    ShareRecord made;
    made.path = t.root;
    made.remark = remark;
    made.max_uses = 1;
    if (!log.record(creating_line(out.object, made))) return fail(out, kNoRecord);
  }
  if (log.lost()) return not_done(out);
  out.status = create_share(t, remark);
  out.result = out.status == 0 ? L"created" : out.status == kDuplicateShare ? L"updated" : L"failed";
  if (out.status != 0 && out.status != kDuplicateShare) {
    log.write(added_line(out.object, who, not_created(status_words(out.status))));
    return fail(out, status_words(out.status));
  }
  if (out.status == kDuplicateShare && !on_record) {
    // Made meanwhile by someone else: its list goes on record before it is rewritten.
    now = read_share(t.server, t.share);
    std::wstring why;
    if (now.status != 0)
      why = L"its access list cannot be read (" + status_text(static_cast<unsigned long>(now.status)) + L")";
    else if (!log.record(previous_line(out.object, now.record.sddl)))
      why = L"its previous access list could not be written to the change log";
    if (!why.empty()) {
      log.write(added_line(out.object, who, permissions_not_written(why + L".")));
      return fail(out, why);
    }
  }

  std::wstring why;
  Plan plan;
  if (!resolved) {
    // It resolved when the command began; an account deleted since leaves the share as made.
    why = L"the account " + request.account + L" cannot be found.";
  } else {
    plan = plan_permissions(out.object, account, request.mask);
    if (!plan.ready) why = plan.reason;
    else if (!write_share_dacl(plan.info.get(), out.object, plan.new_bytes, &why) && why.empty())
      why = L"the access list was not written.";
  }
  std::wstring tail = why.empty() ? (plan.deny_remains ? kDenyRemains : L"") : permissions_not_written(why);
  std::wstring line = added_line(out.object, who, tail);
  log.write(line);
  if (!why.empty() && out.status == 0) {
    std::wstring stands = take_back(t, out.object, log);
    out.gone = stands.empty();
    return fail(out, L"Permissions not written: " + why +
                         (out.gone ? L" The share was deleted again." : L" It could not be deleted again (" + stands +
                                                                             L") and stands with the server's default access list."));
  }
  if (!why.empty()) return fail(out, L"Permissions not written: " + why);
  out.ok = true;
  out.detail = unescape_text(line);
  return out;
}

// Deletes one share, its settings on record first so that it can be made again.
ShareOutcome delete_one(const ShareTarget& t, RunLog& log) {
  ShareOutcome out;
  if (!start(t, log, out)) return out;
  ShareNow now = read_share(t.server, t.share);
  out.status = now.status;
  if (now.status == 0) {
    if (!log.record(deleting_line(out.object, now.record))) return fail(out, kNoRecord);
    if (log.lost()) return not_done(out);
    out.status = static_cast<long>(
        NetShareDel(const_cast<LPWSTR>(t.server.c_str()), const_cast<LPWSTR>(t.share.c_str()), 0));
  }
  // Not there, or not readable (and so left alone): the status says which.
  std::wstring why = out.status ? status_text(static_cast<unsigned long>(out.status)) : L"";
  log.write(deleted_line(out.object, why));
  out.ok = out.status == 0;
  out.result = out.ok ? L"deleted" : L"failed";
  if (!out.ok) out.detail = status_words(out.status);
  return out;
}

// Takes the account's entries out of one share's list, its list on record first.
// `sid` and `who` are the account's identifier and its "DOMAIN\name", read on the caller's thread.
ShareOutcome revoke_one(const ShareTarget& t, const RevokeRequest& request, const std::wstring& sid,
                        const std::wstring& who, bool apply, RunLog& log) {
  ShareOutcome out;
  if (!start(t, log, out) && apply) return out;
  ShareNow now = read_share(t.server, t.share);
  out.status = now.status;
  out.result = L"unchanged";
  out.ok = true;
  if (now.status == NERR_NetNameNotFound) {
    out.detail = L"no such share";
    return out;
  }
  if (now.status != 0) return fail(out, status_words(now.status));
  if (now.record.sddl.empty()) {
    out.detail = L"no access list of its own (the server's default applies)";
    return out;
  }
  RevokePlan plan = plan_revoke(now.record.sddl, sid, request.deny_too);
  if (!plan.ready) return fail(out, plan.reason);
  if (plan.removed == 0) {
    out.detail = L"no entry for the account";
    return out;
  }
  if (plan.left == 0 && !request.allow_empty) {
    out.ok = false;
    out.result = L"left";
    out.detail = L"its list would be empty and refuse everyone (--allow-empty does that)";
    return out;
  }
  const std::wstring entries = std::to_wstring(plan.removed) + (plan.removed == 1 ? L" entry" : L" entries");
  if (!apply) {
    out.result = L"would revoke";
    out.detail = entries + L" taken out; the list then: " + plan.new_sddl;
    return out;
  }
  if (!log.record(previous_line(out.object, now.record.sddl))) return fail(out, kNoRecord);
  if (log.lost()) return not_done(out);
  corv::ComPtr<IzrSecurityInfo> info;
  std::wstring why;
  HRESULT hr = create_object(CLSID_zrSecurityInfo, IID_IzrSecurityInfo, info);
  if (FAILED(hr)) why = hresult_text(hr);
  else write_share_dacl(info.get(), out.object, plan.new_bytes, &why);
  log.write(revoked_line(out.object, who, why.empty() ? L"" : permissions_not_written(why)));
  if (!why.empty()) return fail(out, L"Permissions not written: " + why);
  out.result = L"revoked";
  out.detail = entries + L" taken out";
  return out;
}

void beside(CommandProgress* progress, const std::function<void()>& work) {
  if (progress) progress->beside(work);
  else work();
}

// The ticked items a share command works on, in list order.
std::vector<size_t> ticked_items(const DriveList& list, const std::wstring& pattern) {
  std::vector<size_t> items;
  for (size_t i = 0; i < list.count(); ++i)
    if (list.ticked(i) && share_target(list.text(i), pattern).usable) items.push_back(i);
  return items;
}

// Runs one command on every item, `parallel` share at a time: items that name the same share
// form one job and run one after another in list order, so they never race. Markers are set and
// progress is reported on the caller's thread; lines are written as the changes happen.
CommandReport over_items(const std::vector<size_t>& items, const std::wstring& pattern, unsigned parallel, bool com,
                         bool changes, DriveList& list, ChangeLog& log, CommandProgress* progress,
                         const std::function<ShareOutcome(const std::wstring& item, RunLog&)>& command,
                         const std::function<int(const ShareOutcome&)>& marker) {
  CommandReport report;
  report.outcomes.resize(items.size());
  std::vector<std::wstring> texts;
  std::vector<std::vector<size_t>> groups;  // positions in `items`, grouped by share
  std::vector<std::wstring> objects;
  for (size_t k = 0; k < items.size(); ++k) {
    texts.push_back(list.text(items[k]));
    ShareTarget t = share_target(texts[k], pattern);
    std::wstring object = t.server + L"\\" + t.share;
    report.outcomes[k].item = texts[k];
    report.outcomes[k].object = object;
    report.outcomes[k].result = L"not done";
    size_t g = 0;
    while (g < objects.size() && !same_name(objects[g], object)) ++g;
    if (g == objects.size()) {
      objects.push_back(object);
      groups.emplace_back();
    }
    groups[g].push_back(k);
  }

  RunLog run_log(log);
  // A command that changes shares keeps the log to itself while it runs.
  std::optional<LogHold> hold;
  if (changes) {
    hold.emplace(log, [&] { return !progress || progress->pump(); });
    if (!hold->result().ok())
      run_log.refuse(L"The change log cannot be had: " + hold->result().text + L". No share was changed.");
  }
  size_t done = 0;
  OrderedPool pool;
  pool.com = com;
  pool.job = [&](size_t g, size_t) {
    for (size_t k : groups[g]) {
      ShareOutcome out = command(texts[k], run_log);
      out.item = texts[k];
      report.outcomes[k] = out;
    }
  };
  pool.deliver = [&](size_t g) {
    for (size_t k : groups[g])
      if (int m = marker(report.outcomes[k])) list.set_marker(items[k], m);
    done += groups[g].size();
    if (progress) progress->done(done, items.size());
  };
  pool.pump = [&] {
    if (progress && !progress->pump()) report.stopped = true;
    return !report.stopped && !run_log.lost();
  };
  pool.run(groups.size(), std::max(1u, parallel));
  report.log_error = run_log.error();
  for (ShareOutcome& o : report.outcomes)
    if (o.result == L"not done" && o.detail.empty())
      o.detail = report.stopped ? L"stopped before this drive" : L"the change log cannot be written";
  return report;
}

}  // namespace

size_t CommandReport::succeeded() const {
  size_t n = 0;
  for (const ShareOutcome& o : outcomes) n += o.ok ? 1 : 0;
  return n;
}

size_t CommandReport::failed() const { return outcomes.size() - succeeded(); }

std::wstring command_summary(const CommandReport& report, bool add) {
  size_t ok = report.succeeded(), bad = report.failed();
  std::wstring s = report.stopped ? L"Stopped: " : L"";
  s += std::to_wstring(ok) + (ok == 1 ? L" share " : L" shares ") + (add ? L"added or updated" : L"deleted");
  if (bad) {
    s += L", " + std::to_wstring(bad) + L" failed - see Log";
    for (const ShareOutcome& o : report.outcomes)
      if (!o.ok) {
        s += L" (" + o.object + L": " + o.detail + L")";
        break;
      }
  }
  if (!report.log_error.empty()) s += L". " + report.log_error;
  return s;
}

bool account_resolves(const std::wstring& account) {
  Account a;
  return resolve(account, a);
}

std::wstring workstation_account(const std::wstring& account) {
  Account a;
  if (!resolve(account, a)) return {};
  corv::Bstr domain;
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
  if (FAILED(a.sid->get_Domain(domain.out())) || !GetComputerNameW(computer, &n)) return {};
  // Well-known accounts resolve in "NT AUTHORITY", "BUILTIN" or no domain, never the computer's.
  return same_name(domain.c_str(), computer) ? a.qualified() : std::wstring();
}

size_t ticked_count(const DriveList& list) {
  size_t n = 0;
  for (size_t i = 0; i < list.count(); ++i)
    if (list.ticked(i)) ++n;
  return n;
}

CommandReport add_shares(const ShareRequest& request, DriveList& list, ChangeLog& log, unsigned parallel,
                         CommandProgress* progress) {
  // An account that does not resolve touches no share at all.
  bool found = false;
  beside(progress, [&] { found = account_resolves(request.account); });
  if (!found) return {};
  return over_items(
      ticked_items(list, request.pattern), request.pattern, parallel, true, true, list, log, progress,
      [&](const std::wstring& item, RunLog& run_log) {
        return add_share_with_permission(share_target(item, request.pattern),
                                         share_remark(request.version, now_stamp()), request, run_log);
      },
      [](const ShareOutcome& out) {
        return out.gone || (out.result != L"not done" && out.status != 0 && out.status != kDuplicateShare) ? 1 : 0;
      });
}

CommandReport delete_shares(const std::wstring& pattern, DriveList& list, ChangeLog& log, unsigned parallel,
                            CommandProgress* progress) {
  return over_items(
      ticked_items(list, pattern), pattern, parallel, false, true, list, log, progress,
      [&](const std::wstring& item, RunLog& run_log) { return delete_one(share_target(item, pattern), run_log); },
      [](const ShareOutcome& out) { return out.ok ? 1 : 0; });
}

CommandReport revoke_shares(const RevokeRequest& request, DriveList& list, ChangeLog& log, unsigned parallel, bool apply,
                            CommandProgress* progress) {
  // An account that does not resolve touches no share at all. Only its texts leave the look-up,
  // which may run on a thread of its own.
  std::wstring sid, who;
  beside(progress, [&] {
    Account account;
    if (!resolve(request.account, account)) return;
    sid = account.text;
    who = account.qualified();
  });
  if (sid.empty()) return {};
  return over_items(
      ticked_items(list, request.pattern), request.pattern, parallel, true, apply, list, log, progress,
      [&](const std::wstring& item, RunLog& run_log) {
        return revoke_one(share_target(item, request.pattern), request, sid, who, apply, run_log);
      },
      [](const ShareOutcome&) { return 0; });
}

std::vector<std::wstring> export_lines(const std::wstring& pattern, const DriveList& list,
                                       std::vector<std::wstring>* refused) {
  std::vector<std::wstring> lines;
  for (size_t i = 0; i < list.count(); ++i) {
    if (!list.ticked(i) || list.marker(i) != 0) continue;
    ShareTarget t = share_target(list.text(i), pattern);
    std::wstring line = t.server + L"\\" + t.share;
    if (has_control(line) || !fits_acp(line)) {
      if (refused) refused->push_back(line);
      continue;
    }
    lines.push_back(line);
  }
  return lines;
}

bool write_export(const std::wstring& path, const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& l : lines) text += to_acp(l) + "\r\n";
  return write_plain_file(path, text);
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
  std::wstring r = L"Preview of Add/Update: pattern " + shown(request.pattern) + L", account " + shown(request.account) +
                   L". Nothing has been changed.\r\n";
  if (items.empty()) r += L"\r\nNo drive is ticked.\r\n";
  for (const PreviewItem& p : items) {
    r += L"\r\n" + shown(p.object) + L"\r\n";
    if (!p.unreadable.empty())
      r += L"  Share: cannot be read (" + shown(p.unreadable) + L"); it may exist already\r\n";
    else
      r += p.exists ? L"  Share: already there, path " + shown(p.path) + L"\r\n"
                    : L"  Share: to be created, path " + shown(p.path) + L"\r\n";
    if (!p.possible) {
      r += L"  Entry: " + shown(p.entry) + L"\r\n";
      continue;
    }
    r += L"  Access list now: " + (p.old_sddl.empty() ? std::wstring(p.exists ? L"none" : L"the server's default") : shown(p.old_sddl)) + L"\r\n";
    for (const std::wstring& w : p.old_words) r += L"    " + shown(w) + L"\r\n";
    r += L"  Entry for the account: " + shown(p.entry) + L"\r\n";
    r += L"  Access list then: " + shown(p.new_sddl) + (p.exists ? L"" : L" (with the server's default entries)") + L"\r\n";
    for (const std::wstring& w : p.words) r += L"    " + shown(w) + L"\r\n";
  }
  return r;
}

}  // namespace corvane
