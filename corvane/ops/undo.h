// Undo from the change log: every share that a session changed is put back as it was before
// the session; shares that changed again since are reported, not overwritten.
#pragma once
#include "log_layout.h"
#include "reports.h"

#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct UndoStep {
  std::wstring object;         // "\\SERVER\SHARE"
  enum Kind { Restore, Delete, Leave } kind = Leave;
  std::wstring sddl;           // the list to put back (Restore)
  std::wstring reason;         // why a share is left as it is (Leave)
};

struct UndoPlan {
  std::vector<std::wstring> sessions;  // start stamps of the sessions undone
  std::vector<UndoStep> steps;
};

// The sessions to undo: the last one that changed shares, or every one started at or after
// `since`. Reads the log file; checks the servers for created shares (by their remark).
UndoPlan plan_undo(const std::wstring& log_path, const std::optional<Stamp>& since);

struct UndoOutcome {
  std::wstring object, result;  // "restored", "deleted", "left", "failed"
  bool ok = false;
  std::wstring detail;
};

// Carries the plan out, one change-log line per share touched.
std::vector<UndoOutcome> run_undo(const UndoPlan& plan, ChangeLog& log);

// The twelve abbreviated month names of the user's locale, as the log writes them.
std::vector<std::wstring> locale_months();

}  // namespace corvane
