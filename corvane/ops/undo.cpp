#include "undo.h"

#include "app.h"
#include "change_lines.h"
#include "permission_plan.h"
#include "shares.h"

#include <lm.h>

#include <vector>

#include "byte_string.h"

namespace corvane {

namespace {

std::wstring read_log(const std::wstring& path) {
  corv::Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr));
  if (!file.valid()) return {};
  std::string bytes;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
  return from_acp(bytes);
}

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
  return static_cast<long>(NetShareAdd(const_cast<LPWSTR>(server.c_str()), 502, reinterpret_cast<LPBYTE>(&rec), nullptr));
}

std::wstring status_words(long status) {
  return L"status " + std::to_wstring(status) + L": " + status_text(static_cast<unsigned long>(status));
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
  std::vector<LogSession> sessions = log_sessions(parse_log(read_log(log_path)));
  std::vector<std::wstring> months = locale_months();
  std::vector<const LogSession*> chosen;
  if (since) {
    // Every session from that minute on; what they did among themselves never blocks undo.
    for (const LogSession& s : sessions) {
      Stamp at;
      if (!s.changes.empty() && parse_stamp(s.stamp, months, at) && compare_stamps(at, *since) >= 0) chosen.push_back(&s);
    }
  } else {
    for (auto it = sessions.rbegin(); it != sessions.rend(); ++it)
      if (!it->changes.empty()) {
        chosen.push_back(&*it);
        break;
      }
  }
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
    case UndoDecision::Nothing: return L"nothing to do (" + d.reason + L")";
    case UndoDecision::NotPutBack: return L"cannot be put back (" + d.reason + L")";
    case UndoDecision::Fail: break;
  }
  return L"cannot be put back (" + d.reason + L")";
}

UndoReport run_undo(const UndoPlan& plan, ChangeLog& log) {
  UndoReport report;
  bool lost = false;
  auto record = [&](const std::wstring& line) {
    if (log.write(line)) return true;
    if (!lost)
      report.log_error = L"A line could not be written to " + log.where() + L" (" + status_text(GetLastError()) +
                         L") No further share was changed, so that every change stays on record.";
    lost = true;
    return false;
  };
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
    switch (d.action) {
      case UndoDecision::Nothing:
        out.result = L"unchanged";
        out.ok = true;
        break;
      case UndoDecision::NotPutBack:
        out.result = L"not put back";
        break;
      case UndoDecision::Fail:
        out.result = L"failed";
        if (out.detail.empty()) out.detail = L"it cannot be read (" + status_words(now.status) + L")";
        break;
      case UndoDecision::Delete: {
        if (!record(deleting_line(object, now.record))) {
          out.result = L"failed";
          out.detail = L"not changed: its record could not be written to the change log";
          break;
        }
        long status =
            static_cast<long>(NetShareDel(const_cast<LPWSTR>(server.c_str()), const_cast<LPWSTR>(share.c_str()), 0));
        record(deleted_line(object, status ? status_text(static_cast<unsigned long>(status)) : L""));
        out.ok = status == 0;
        out.result = out.ok ? L"deleted" : L"failed";
        out.detail = out.ok ? L"" : status_words(status);
        break;
      }
      case UndoDecision::Restore:
      case UndoDecision::Recreate: {
        const bool again = d.action == UndoDecision::Recreate;
        if (!record(again ? creating_line(object, step.before.record) : previous_line(object, now.record.sddl))) {
          out.result = L"failed";
          out.detail = L"not changed: its record could not be written to the change log";
          break;
        }
        std::wstring why;
        if (again) {
          long status = recreate(server, share, step.before.record);
          if (status) why = status_words(status);
        } else {
          corv::ComPtr<IzrSecurityInfo> info;
          corv::Bstr bytes = bytes_of(step.before.sddl);
          HRESULT hr = bytes ? create_object(CLSID_zrSecurityInfo, IID_IzrSecurityInfo, info) : E_INVALIDARG;
          if (!bytes) why = L"the saved access list cannot be read.";
          else if (FAILED(hr)) why = hresult_text(hr);
          else write_share_dacl(info.get(), object, bytes, &why);
        }
        record(restored_line(object, step.before.sddl, why));
        out.ok = why.empty();
        out.result = out.ok ? (again ? L"made again" : L"restored") : L"failed";
        out.detail = why;
        break;
      }
    }
    report.outcomes.push_back(out);
  }
  return report;
}

std::vector<SessionSummary> recent_sessions(const std::wstring& log_path, size_t most) {
  std::vector<SessionSummary> out;
  for (const LogSession& s : log_sessions(parse_log(read_log(log_path))))
    if (!s.changes.empty()) out.push_back({s.stamp, s.kind, s.changes.size()});
  if (out.size() > most) out.erase(out.begin(), out.end() - static_cast<std::ptrdiff_t>(most));
  return out;
}

}  // namespace corvane
