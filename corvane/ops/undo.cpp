#include "undo.h"

#include "app.h"
#include "change_log.h"
#include "change_log_file.h"
#include "permission_plan.h"
#include "share_calls.h"
#include "shares.h"

#include <lm.h>

#include <vector>

#include "byte_string.h"

namespace corvane {

namespace {

bool split_object(const std::wstring& object, std::wstring& server, std::wstring& share) {
  size_t cut = object.size() > 2 ? object.find(L'\\', 2) : std::wstring::npos;
  if (cut == std::wstring::npos) return false;
  server = object.substr(0, cut);
  share = object.substr(cut + 1);
  return !share.empty();
}

// An earlier version's "Added" line may name the share in several ways: the one that is there.
std::wstring current_reading(const ShareBefore& b, ShareNow& now) {
  std::wstring server, share;
  for (const std::wstring& o : b.readings) {
    if (!split_object(o, server, share)) continue;
    ShareNow n = read_share(server, share);
    if (n.status == 0) {
      now = n;
      return o;
    }
  }
  if (split_object(b.object, server, share)) now = read_share(server, share);
  return b.object;
}

ShareNow look(const ShareBefore& b, std::wstring& object) {
  ShareNow now;
  now.status = ERROR_INVALID_NAME;
  object = b.object;
  if (!b.readings.empty()) {
    object = current_reading(b, now);
    return now;
  }
  std::wstring server, share;
  if (split_object(b.object, server, share)) now = read_share(server, share);
  return now;
}

long recreate(const std::wstring& server, const std::wstring& share, const ShareRecord& r) {
  corv::Bstr sd = bytes_of(r.sddl);
  if (!r.sddl.empty() && !sd) return ERROR_INVALID_SECURITY_DESCR;
  std::vector<uint8_t> aligned;
  corv::ByteView v = corv::read_bytes(sd.get());
  if (sd) aligned.assign(v.data, v.data + v.size);
  SHARE_INFO_502 rec = {};
  rec.shi502_netname = const_cast<LPWSTR>(share.c_str());
  rec.shi502_type = STYPE_DISKTREE;
  rec.shi502_remark = r.remark.empty() ? nullptr : const_cast<LPWSTR>(r.remark.c_str());
  rec.shi502_permissions = ACCESS_READ;
  rec.shi502_max_uses = r.max_uses;
  rec.shi502_path = const_cast<LPWSTR>(r.path.c_str());
  rec.shi502_security_descriptor = aligned.empty() ? nullptr : aligned.data();
  return static_cast<long>(NetShareAdd(const_cast<LPWSTR>(server.c_str()), 502, reinterpret_cast<LPBYTE>(&rec),
                                       nullptr));
}

// The log's sessions; `error` set when it cannot be read.
std::vector<LogSession> read_sessions(const std::wstring& path, std::wstring& error) {
  LogText log = read_log_file(path);
  error = log.error.ok() ? L"" : log.error.text;
  return log_sessions(parse_log(log.text));
}

}  // namespace

std::vector<std::wstring> locale_months() {
  std::vector<std::wstring> months;
  for (LCTYPE m = 0; m < 12; ++m) {
    wchar_t name[80] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVMONTHNAME1 + m, name, 80);
    months.push_back(name);
  }
  return months;
}

UndoPlan plan_undo(const std::wstring& log_path, const std::optional<Stamp>& since) {
  UndoPlan plan;
  std::vector<LogSession> sessions = read_sessions(log_path, plan.error);
  if (!plan.error.empty()) return plan;
  std::vector<const LogSession*> chosen = sessions_to_undo(sessions, since, locale_months());
  for (const LogSession* s : chosen) plan.sessions.push_back(s->stamp);
  for (const ShareBefore& b : changes_of(chosen)) {
    UndoStep step;
    step.before = b;
    std::wstring object;
    ShareNow now = look(b, object);
    step.before.object = object;
    step.decision = decide_undo(b, now);
    if (step.decision.action == UndoDecision::Fail && step.decision.reason.empty())
      step.decision.reason = L"it cannot be read (" + status_words(now.status) + L")";
    plan.steps.push_back(step);
  }
  return plan;
}

std::wstring describe_step(const UndoStep& step) {
  const UndoDecision& d = step.decision;
  switch (d.action) {
    case UndoDecision::Delete: return L"deleted (it was created then)";
    case UndoDecision::Restore: return L"previous access list put back";
    case UndoDecision::Recreate: return L"made again at " + step.before.record.path + L" (it was deleted then)";
    case UndoDecision::Replace:
      return L"the share made since deleted and the one at " + step.before.record.path + L" made again as it was";
    case UndoDecision::Nothing: return L"nothing to do (" + d.reason + L")";
    case UndoDecision::NotPutBack: return L"cannot be put back (" + d.reason + L")";
    case UndoDecision::Fail: break;
  }
  return L"cannot be put back (" + d.reason + L")";
}

UndoReport run_undo(const UndoPlan& plan, ChangeLog& log) {
  UndoReport report;
  LogHold hold(log);
  bool lost = !hold.result().ok();
  if (lost) report.log_error = L"The change log cannot be had: " + hold.result().text + L". No share was changed.";
  // A record on stable storage before its change; an outcome after it.
  auto put = [&](const std::wstring& line, bool durable) {
    if (lost) return false;
    LogResult r = log.write(line, durable);
    if (r.ok()) return true;
    report.log_error = L"A line could not be written to " + log.where() + L" (" + r.text +
                       L") No further share change was started, so that every change stays on record.";
    lost = true;
    return false;
  };
  const std::wstring no_record = L"not changed: its record could not be written to the change log";
  for (const UndoStep& step : plan.steps) {
    UndoOutcome out;
    out.object = step.before.object;
    if (lost) {
      out.result = L"not done";
      out.detail = L"the change log cannot be written";
      report.outcomes.push_back(out);
      continue;
    }
    // Judged again now: the share may have changed since the plan was shown.
    std::wstring object;
    ShareNow now = look(step.before, object);
    UndoDecision d = decide_undo(step.before, now);
    std::wstring server, share;
    split_object(object, server, share);
    out.object = object;
    out.detail = d.reason;
    out.result = L"failed";
    switch (d.action) {
      case UndoDecision::Nothing:
        out.result = L"unchanged";
        out.ok = true;
        break;
      case UndoDecision::NotPutBack: out.result = L"not put back"; break;
      case UndoDecision::Fail:
        if (out.detail.empty()) out.detail = L"it cannot be read (" + status_words(now.status) + L")";
        break;
      case UndoDecision::Delete:
      case UndoDecision::Replace: {
        if (!put(deleting_line(object, now.record), true)) {
          out.detail = no_record;
          break;
        }
        long status = static_cast<long>(NetShareDel(const_cast<LPWSTR>(server.c_str()),
                                                    const_cast<LPWSTR>(share.c_str()), 0));
        put(deleted_line(object, status ? status_text(static_cast<unsigned long>(status)) : L""), false);
        out.ok = status == 0;
        out.result = out.ok ? L"deleted" : L"failed";
        out.detail = out.ok ? L"" : status_words(status);
        if (!out.ok || d.action == UndoDecision::Delete) break;
        out.ok = false;
        [[fallthrough]];
      }
      case UndoDecision::Recreate: {
        const ShareRecord r = step.before.to_make();
        if (!put(creating_line(object, r), true)) {
          out.detail = no_record;
          break;
        }
        long status = recreate(server, share, r);
        std::wstring why = status ? status_words(status) : L"";
        put(restored_line(object, r.sddl, why), false);
        out.ok = why.empty();
        out.result = out.ok ? (d.action == UndoDecision::Replace ? L"replaced" : L"made again") : L"failed";
        out.detail = why;
        break;
      }
      case UndoDecision::Restore: {
        if (!put(previous_line(object, now.record.sddl), true)) {
          out.detail = no_record;
          break;
        }
        std::wstring why;
        corv::ComPtr<IzrSecurityInfo> info;
        corv::Bstr bytes = bytes_of(step.before.sddl);
        HRESULT hr = bytes ? create_object(CLSID_zrSecurityInfo, IID_IzrSecurityInfo, info) : E_INVALIDARG;
        if (!bytes) why = L"the saved access list cannot be read.";
        else if (FAILED(hr)) why = hresult_text(hr);
        else write_share_dacl(info.get(), object, bytes, &why);
        put(restored_line(object, step.before.sddl, why), false);
        out.ok = why.empty();
        out.result = out.ok ? L"restored" : L"failed";
        out.detail = why;
        break;
      }
    }
    report.outcomes.push_back(out);
  }
  return report;
}

std::vector<SessionSummary> recent_sessions(const std::wstring& log_path, std::wstring& error, size_t most) {
  std::vector<SessionSummary> out;
  for (const LogSession& s : read_sessions(log_path, error))
    if (!s.changes.empty()) out.push_back({s.stamp, s.kind, s.changes.size()});
  if (out.size() > most) out.erase(out.begin(), out.end() - static_cast<std::ptrdiff_t>(most));
  return out;
}

}  // namespace corvane
