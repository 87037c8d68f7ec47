// Undo from the change log: every share that a session changed is put back as it was before
// the session. An undo is a session like any other, its changes on record before they are made,
// so an undo can be undone in turn.
#pragma once
#include "log_parse.h"
#include "reports.h"

#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct UndoStep {
  ShareBefore before;       // the state to return to
  UndoDecision decision;    // as judged from the share when the plan was made
};

struct UndoPlan {
  std::vector<std::wstring> sessions;  // start stamps of the sessions undone
  std::vector<UndoStep> steps;
  std::wstring error;                  // the log cannot be read: why (no steps then)
};

// The sessions to undo: the one whose change came last, or the first one started at or after
// `since` and every one after it in the log, each share returned to its state before its first
// change among them. Reads the log file and the shares as they are now.
UndoPlan plan_undo(const std::wstring& log_path, const std::optional<Stamp>& since);

// What a step will do, in words: "deleted (it was created then)".
std::wstring describe_step(const UndoStep& step);

struct UndoOutcome {
  std::wstring object;
  std::wstring
      result;  // "deleted", "restored", "made again", "replaced", "unchanged", "not put back", "failed", "not done"
  bool ok = false;
  std::wstring detail;
};

struct UndoReport {
  std::vector<UndoOutcome> outcomes;
  std::wstring log_error;  // a line could not be written: no further change was made
};

// Carries the plan out, keeping the log meanwhile; each change is on record before it is made.
UndoReport run_undo(const UndoPlan& plan, ChangeLog& log);

// The sessions that changed shares, the latest `most` of them, oldest first.
struct SessionSummary {
  std::wstring stamp, kind;
  size_t shares = 0;
};
// `error` tells why the log cannot be read.
std::vector<SessionSummary> recent_sessions(const std::wstring& log_path, std::wstring& error, size_t most = 20);

// The twelve abbreviated month names of the user's locale, as the log writes them.
std::vector<std::wstring> locale_months();

}  // namespace corvane
