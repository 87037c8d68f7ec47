// undo: the recent sessions that changed shares, or putting back what one (or more) changed.
#include "run.h"

#include <optional>

#include "console.h"
#include "safe_text.h"
#include "undo.h"

namespace corvane {

int Run::undo() {
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

}  // namespace corvane
