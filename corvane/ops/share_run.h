// How a share command runs over the ticked drives: the drives and their shares worked out once,
// the change log its workers share, what became of each drive, and the line that sums it up.
#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "drive_item.h"
#include "reports.h"

namespace corvane {

// What became of one drive's share; outcome_text gives the word shown for it.
enum class Outcome { not_done, created, updated, deleted, failed, unchanged, left, would_revoke, revoked };
// "not done", "created", "updated", "deleted", "failed", "unchanged", "left", "would revoke", "revoked".
std::wstring outcome_text(Outcome outcome);

struct ShareOutcome {
  std::wstring item;    // "\\FS01\D"
  std::wstring object;  // "\\FS01\D$"
  long status = 0;      // of the share creation or deletion
  bool ok = false;      // everything the command meant to do was done
  Outcome result = Outcome::not_done;
  std::wstring detail;  // why it failed (status or HRESULT and its text); the log line otherwise
  bool gone = false;    // made by this run, its list not written, and deleted again
};

// What a share command did, drive by drive in list order.
struct CommandReport {
  std::vector<ShareOutcome> outcomes;  // every drive worked on (not_done when a stop or a lost log line came first)
  bool stopped = false;                // the caller stopped it (CommandProgress::pump)
  std::wstring log_error;              // a change-log line could not be written: names the log; no change followed
  size_t succeeded() const;
  size_t failed() const;               // failed or not done
};

// One line for a status bar: "5 shares added or updated, 1 failed - see Log (\\FS02\E$: Access denied.)".
// `add` picks the verb ("added or updated" / "deleted").
std::wstring command_summary(const CommandReport& report, bool add);

// Number of ticked items.
size_t ticked_count(const DriveList& list);

// A ticked drive whose share the pattern names, worked out once per run.
struct RunTarget {
  size_t index = 0;     // in the list
  std::wstring item;    // "\\FS01\D"
  ShareTarget target;
  std::wstring object;  // "\\FS01\D$"
};
// The ticked items that name a share, in list order.
std::vector<RunTarget> run_targets(const DriveList& list, const std::wstring& pattern);

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
  std::wstring error() const;
  void refuse(const std::wstring& error);

private:
  bool put(const std::wstring& line, bool durable);
  ChangeLog& log_;
  mutable std::mutex lock_;
  std::atomic<bool> lost_{false};
  std::wstring error_;
};

extern const wchar_t kNoRecord[];  // the detail of a change whose record could not be written

// The outcome failed, and why; returned for the caller's convenience.
ShareOutcome fail(ShareOutcome& out, const std::wstring& why);
// The outcome not done: the change log cannot be written.
ShareOutcome not_done(ShareOutcome& out);
// The outcome of one drive before anything is done to it; `go` false (and not done) when a lost
// log line has already stopped the run.
ShareOutcome begin(const RunTarget& target, const RunLog& log, bool& go);

// Runs one command on every target, `parallel` share at a time: targets that name the same share
// form one job and run one after another in list order, so they never race. Markers (`marker`:
// 0 for none) are set and progress is reported on the caller's thread; lines are written as the
// changes happen. `com`: the workers need COM. `changes`: the command changes shares, and keeps
// the log to itself while it runs.
CommandReport over_items(const std::vector<RunTarget>& targets, unsigned parallel, bool com, bool changes,
                         DriveList& list, ChangeLog& log, CommandProgress* progress,
                         const std::function<ShareOutcome(const RunTarget&, RunLog&)>& command,
                         const std::function<int(const ShareOutcome&)>& marker);

}  // namespace corvane
