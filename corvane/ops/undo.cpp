#include "undo.h"

#include "app.h"
#include "log_parse.h"
#include "permission_plan.h"
#include "shares.h"

#include <lm.h>

#include "net_buffer.h"

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
  size_t cut = object.find(L'\\', 2);
  if (object.size() < 3 || cut == std::wstring::npos) return false;
  server = object.substr(0, cut);
  share = object.substr(cut + 1);
  return !share.empty();
}

// Whether the share is there with the remark this program gives the shares it creates.
bool ours(const std::wstring& object) {
  std::wstring server, share;
  if (!split_object(object, server, share)) return false;
  corv::NetBuffer buf;
  if (NetShareGetInfo(const_cast<LPWSTR>(server.c_str()), const_cast<LPWSTR>(share.c_str()), 1, buf.out()) != 0 ||
      !buf.get())
    return false;
  const wchar_t* remark = buf.as<SHARE_INFO_1>()->shi1_remark;
  return remark && std::wstring(remark).rfind(L"Added via Velmora Corvane v", 0) == 0;
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
  std::vector<LogEntry> entries = parse_log(read_log(log_path));
  std::vector<LogSession> sessions = log_sessions(entries);
  std::vector<std::wstring> months = locale_months();

  std::vector<const LogSession*> chosen;
  if (since) {
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
  if (chosen.empty()) return plan;
  const size_t after = chosen.back()->end;

  // The first line after the undone sessions that names the share, if any.
  auto changed_later = [&](const std::wstring& object) -> std::wstring {
    for (size_t i = after; i < entries.size(); ++i)
      if (line_names_share(entries[i].text, object))
        return L"changed again on " + entries[i].stamp + L": " + entries[i].text;
    return {};
  };

  std::vector<std::wstring> planned;
  for (const LogSession* s : chosen) {
    plan.sessions.push_back(s->stamp);
    for (const ShareChange& c : s->changes) {
      UndoStep step;
      for (const std::wstring& o : c.objects) {
        std::wstring later = changed_later(o);
        if (!later.empty()) {
          step.object = o;
          step.reason = later;
        }
      }
      if (!step.reason.empty()) {
        // Changed again since: reported, never overwritten blindly.
      } else if (c.existed) {
        step.object = c.objects.front();
        step.kind = c.previous_sddl.empty() ? UndoStep::Leave : UndoStep::Restore;
        step.sddl = c.previous_sddl;
        if (c.previous_sddl.empty()) step.reason = L"it had no access list of its own before";
      } else {
        // A created share: the reading of its name that is there with this program's remark.
        for (const std::wstring& o : c.objects)
          if (ours(o)) step.object = o;
        if (step.object.empty()) {
          step.object = c.objects.back();
          step.reason = L"no share of that name made by this program is there";
        } else {
          step.kind = UndoStep::Delete;
        }
      }
      // The earliest session's change tells how a share was before all of them.
      bool seen = false;
      for (const std::wstring& p : planned) seen = seen || p == step.object;
      if (seen) continue;
      planned.push_back(step.object);
      plan.steps.push_back(step);
    }
  }
  return plan;
}

std::vector<UndoOutcome> run_undo(const UndoPlan& plan, ChangeLog& log) {
  std::vector<UndoOutcome> outcomes;
  for (const UndoStep& step : plan.steps) {
    UndoOutcome out;
    out.object = step.object;
    if (step.kind == UndoStep::Leave) {
      out.result = L"left";
      out.ok = true;
      out.detail = step.reason;
    } else if (step.kind == UndoStep::Delete) {
      std::wstring server, share;
      split_object(step.object, server, share);
      long status = delete_share(server, share, log);
      out.ok = status == 0;
      out.result = out.ok ? L"deleted" : L"failed";
      if (!out.ok) out.detail = status_text(static_cast<unsigned long>(status));
    } else {
      corv::ComPtr<IzrSecurityInfo> info;
      corv::Bstr bytes = bytes_of(step.sddl);
      out.ok = bytes && SUCCEEDED(create_object(CLSID_zrSecurityInfo, IID_IzrSecurityInfo, info)) &&
               write_share_dacl(info.get(), step.object, bytes);
      out.result = out.ok ? L"restored" : L"failed";
      std::wstring line = L"Restored " + step.object + L": " + step.sddl;
      if (!out.ok) {
        out.detail = bytes ? L"the access list could not be written" : L"the saved access list cannot be read";
        line += L" Failed: " + out.detail + L".";
      }
      log.write(line);
    }
    outcomes.push_back(out);
  }
  return outcomes;
}

}  // namespace corvane
