// Reading the change log back: its dated lines, its sessions, the state each share was in
// before a session first changed it, and what undo does to put it back.
#pragma once
#include "change_lines.h"
#include "log_layout.h"

#include <string>
#include <vector>

namespace corvane {

struct LogEntry {
  std::wstring stamp;  // "05-Mar-2007 09:07"
  std::wstring text;
};

// The dated lines of a change log; lines without a stamp are skipped.
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
};

struct LogSession {
  size_t first = 0, end = 0;  // its lines [first, end)
  std::wstring stamp;         // of its start line
  std::wstring kind;          // "window", or the command of a command-line session
  std::vector<ShareBefore> changes;
};

// The sessions of a log (each begins with a "Started Velmora Corvane" line) with the shares each
// changed, in the order it first touched them.
std::vector<LogSession> log_sessions(const std::vector<LogEntry>& entries);

// The shares a run of sessions (oldest first) changed, each as it was before the first of them.
std::vector<ShareBefore> changes_of(const std::vector<const LogSession*>& sessions);

// A share as it is now.
struct ShareNow {
  long status = 0;  // of reading it: 0 there, 2310 not there, anything else unknown
  ShareRecord record;  // when there: path, remark, maximum uses and list (has_access_list set)
};

// What undo does to a share to return it to `before`.
struct UndoDecision {
  enum Action { Nothing, Delete, Restore, Recreate, NotPutBack, Fail } action = Nothing;
  std::wstring reason;  // NotPutBack and Fail; Nothing: why nothing is needed
};
UndoDecision decide_undo(const ShareBefore& before, const ShareNow& now);

}  // namespace corvane
