// Reading the change log back: its dated lines, its sessions (however their lines interleave),
// the state each share was in before a run of sessions first changed it, and what undo does to
// put it back.
#pragma once
#include "change_log.h"

#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct LogEntry {
  std::wstring stamp;  // "05-Mar-2007 09:07"
  std::wstring text;
};

// The dated lines of a change log. Lines without a stamp, lines holding a zero character and a
// line that a later line names as cut short are skipped.
std::vector<LogEntry> parse_log(const std::wstring& content);

// "dd-mmm-yyyy hh:mm" with the given twelve month abbreviations; false when it does not parse.
bool parse_stamp(const std::wstring& text, const std::vector<std::wstring>& months, Stamp& out);
// Orders two stamps: negative, zero or positive.
int compare_stamps(const Stamp& a, const Stamp& b);

// A share as it was before a session (or a run of sessions) first changed it.
struct ShareBefore {
  std::wstring object;                 // "\\SERVER\SHARE"
  std::vector<std::wstring> readings;  // an earlier version's "Added" line: the names it may mean
  bool existed = false;
  std::wstring sddl;                   // existed: its list (empty: no descriptor of its own)
  bool record_known = false;           // existed: its path, remark and maximum uses are on record
  ShareRecord record;
  std::vector<ShareRecord> made;       // what these sessions created under that name
  bool legacy = false;                 // only an earlier version's "Added" line tells of it
  std::wstring account;                // of its "Added" line, for messages
  // What to make again: the recorded settings with the list it had before the first change.
  ShareRecord to_make() const;
};

struct LogSession {
  size_t first = 0;        // the entry of its start line
  size_t last_change = 0;  // the entry of its latest change line (with changes only)
  std::wstring stamp;      // of its start line
  std::wstring kind;       // "window", or the command of a command-line session
  std::wstring id;         // this version's sessions name themselves
  std::vector<ShareBefore> changes;
  std::vector<std::wstring> pending;  // shares whose "Creating" line awaits its outcome
};

// The sessions of a log in the order they started, each with the shares it changed in the order
// it first touched them. A line belongs to the session last started or resumed before it.
std::vector<LogSession> log_sessions(const std::vector<LogEntry>& entries);

// The sessions undo takes: the one whose change came last; with `since`, the first session
// started at or after that minute and every session started after it in the log (by place, so a
// clock set back skips none).
std::vector<const LogSession*> sessions_to_undo(const std::vector<LogSession>& sessions,
                                                const std::optional<Stamp>& since,
                                                const std::vector<std::wstring>& months);

// The shares a run of sessions (oldest first) changed, each as it was before the first of them.
std::vector<ShareBefore> changes_of(const std::vector<const LogSession*>& sessions);

// A share as it is now.
struct ShareNow {
  long status = 0;  // of reading it: 0 there, 2310 not there, anything else unknown
  ShareRecord record;  // when there: path, remark, maximum uses and list (has_access_list set)
};

// What undo does to a share to return it to `before`. Replace: delete the share these sessions
// made and make the recorded one again.
struct UndoDecision {
  enum Action { Nothing, Delete, Restore, Recreate, Replace, NotPutBack, Fail } action = Nothing;
  std::wstring reason;  // NotPutBack and Fail; Nothing: why nothing is needed
};
UndoDecision decide_undo(const ShareBefore& before, const ShareNow& now);

}  // namespace corvane
