#include "shares.h"

#include <windows.h>
#include <lm.h>

#include "app.h"
#include "change_log.h"
#include "change_log_file.h"
#include "drive_item.h"
#include "permission_plan.h"
#include "revoke_plan.h"
#include "share_calls.h"
#include "safe_text.h"

namespace corvane {

namespace {

// Deletes a share this run made whose list could not be written: made with the server's
// default list, it must not stay open. Empty when it is gone, else why it stands.
std::wstring take_back(const ShareTarget& t, const std::wstring& object, RunLog& log) {
  ShareNow now = read_share(t.server, t.share);
  if (now.status != 0) return L"it cannot be read (" + status_words(now.status) + L")";
  if (!log.record(deleting_line(object, now.record)) || log.lost())
    return L"its record could not be written to the change log";
  long status = delete_share(t);
  log.write(deleted_line(object, status ? status_text(static_cast<unsigned long>(status)) : L""));
  return status ? status_words(status) : L"";
}

// Creates the share (or finds it there) and gives the account its entry, each change on
// record before it is made.
ShareOutcome add_share_with_permission(const RunTarget& target, const std::wstring& remark, const ShareRequest& request,
                                       const RunAccount& account, RunLog& log) {
  bool go = false;
  ShareOutcome out = begin(target, log, go);
  if (!go) return out;
  const ShareTarget& t = target.target;
  const std::wstring& who = account.qualified;
  ShareNow now = read_share(t.server, t.share);
  if (now.status != 0 && now.status != NERR_NetNameNotFound) {
    // There or not, nobody can tell: what it was could not be put back, so it is left alone.
    out.status = now.status;
    log.write(added_line(out.object, who,
                         not_changed(L"its settings cannot be read (" + status_words(now.status) + L")")));
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
  out.result = out.status == 0 ? Outcome::created : out.status == kDuplicateShare ? Outcome::updated : Outcome::failed;
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
  Plan plan = plan_permissions(out.object, account.sid, request.mask);
  if (!plan.ready) why = plan.reason;
  else if (!write_share_dacl(plan.info.get(), out.object, plan.new_bytes, &why) && why.empty())
    why = L"the access list was not written.";
  std::wstring tail = why.empty() ? (plan.deny_remains ? kDenyRemains : L"") : permissions_not_written(why);
  std::wstring line = added_line(out.object, who, tail);
  log.write(line);
  if (!why.empty() && out.status == 0) {
    std::wstring stands = take_back(t, out.object, log);
    out.gone = stands.empty();
    return fail(out, L"Permissions not written: " + why +
                         (out.gone ? L" The share was deleted again."
                                   : L" It could not be deleted again (" + stands +
                                         L") and stands with the server's default access list."));
  }
  if (!why.empty()) return fail(out, L"Permissions not written: " + why);
  out.ok = true;
  out.detail = unescape_text(line);
  return out;
}

// Deletes one share, its settings on record first so that it can be made again.
ShareOutcome delete_one(const RunTarget& target, RunLog& log) {
  bool go = false;
  ShareOutcome out = begin(target, log, go);
  if (!go) return out;
  const ShareTarget& t = target.target;
  ShareNow now = read_share(t.server, t.share);
  out.status = now.status;
  if (now.status == 0) {
    if (!log.record(deleting_line(out.object, now.record))) return fail(out, kNoRecord);
    if (log.lost()) return not_done(out);
    out.status = delete_share(t);
  }
  // Not there, or not readable (and so left alone): the status says which.
  std::wstring why = out.status ? status_text(static_cast<unsigned long>(out.status)) : L"";
  log.write(deleted_line(out.object, why));
  out.ok = out.status == 0;
  out.result = out.ok ? Outcome::deleted : Outcome::failed;
  if (!out.ok) out.detail = status_words(out.status);
  return out;
}

// Takes the account's entries out of one share's list, its list on record first.
ShareOutcome revoke_one(const RunTarget& target, const RevokeRequest& request, const RunAccount& account, bool apply,
                        RunLog& log) {
  bool go = false;
  ShareOutcome out = begin(target, log, go);
  if (!go && apply) return out;
  const ShareTarget& t = target.target;
  ShareNow now = read_share(t.server, t.share);
  out.status = now.status;
  out.result = Outcome::unchanged;
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
  RevokePlan plan = plan_revoke(now.record.sddl, account.sid, request.deny_too);
  if (!plan.ready) return fail(out, plan.reason);
  if (plan.removed == 0) {
    out.detail = L"no entry for the account";
    return out;
  }
  if (plan.left == 0 && !request.allow_empty) {
    out.ok = false;
    out.result = Outcome::left;
    out.detail = L"its list would be empty and refuse everyone (--allow-empty does that)";
    return out;
  }
  const std::wstring entries = std::to_wstring(plan.removed) + (plan.removed == 1 ? L" entry" : L" entries");
  if (!apply) {
    out.result = Outcome::would_revoke;
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
  log.write(revoked_line(out.object, account.qualified, why.empty() ? L"" : permissions_not_written(why)));
  if (!why.empty()) return fail(out, L"Permissions not written: " + why);
  out.result = Outcome::revoked;
  out.detail = entries + L" taken out";
  return out;
}

}  // namespace

CommandReport add_shares(const ShareRequest& request, const RunAccount& account, const std::vector<RunTarget>& targets,
                         DriveList& list, ChangeLog& log, unsigned parallel, CommandProgress* progress) {
  // An account that was not found touches no share at all.
  if (account.sid.empty()) return {};
  return over_items(
      targets, parallel, true, true, list, log, progress,
      [&](const RunTarget& t, RunLog& run_log) {
        return add_share_with_permission(t, share_remark(request.version, now_stamp()), request, account, run_log);
      },
      [](const ShareOutcome& out) {
        const bool refused = out.status != 0 && out.status != kDuplicateShare;
        return out.gone || (out.result != Outcome::not_done && refused) ? 1 : 0;
      });
}

CommandReport delete_shares(const std::wstring& pattern, DriveList& list, ChangeLog& log, unsigned parallel,
                            CommandProgress* progress) {
  return over_items(
      run_targets(list, pattern), parallel, false, true, list, log, progress,
      [&](const RunTarget& t, RunLog& run_log) { return delete_one(t, run_log); },
      [](const ShareOutcome& out) { return out.ok ? 1 : 0; });
}

CommandReport revoke_shares(const RevokeRequest& request, const RunAccount& account,
                            const std::vector<RunTarget>& targets, DriveList& list, ChangeLog& log, unsigned parallel,
                            bool apply, CommandProgress* progress) {
  // An account that was not found touches no share at all.
  if (account.sid.empty()) return {};
  return over_items(
      targets, parallel, true, apply, list, log, progress,
      [&](const RunTarget& t, RunLog& run_log) { return revoke_one(t, request, account, apply, run_log); },
      [](const ShareOutcome&) { return 0; });
}

}  // namespace corvane
