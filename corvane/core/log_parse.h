// Reading the change log back: its dated lines, its sessions, and the share changes each
// session made, so that they can be undone.
#pragma once
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

// One share that a session changed, as its first change in that session left it.
struct ShareChange {
  std::vector<std::wstring> objects;  // "\\SERVER\SHARE", or the readings a line allows
  bool existed = false;               // a "Previous permissions" line came first
  std::wstring previous_sddl;         // what its list was (empty: it had none)
  size_t line = 0;                    // index of its "Added" line
};

struct LogSession {
  size_t first = 0, end = 0;  // its lines [first, end)
  std::wstring stamp;         // of its start line
  std::vector<ShareChange> changes;
};

// The sessions of a log (each begins with a "Started Velmora Corvane" line) with their changes.
std::vector<LogSession> log_sessions(const std::vector<LogEntry>& entries);

// Whether a line names the share (an "Added", "Deleted", "Previous permissions" or "Restored"
// line about it).
bool line_names_share(const std::wstring& text, const std::wstring& object);

}  // namespace corvane
