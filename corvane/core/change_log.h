// The change log: every kind of line the program writes to it, composed and read back in one
// place, so that the wording the commands write is the wording undo understands.
//
// A line is a stamp, "> ", and its text. Sessions open with their start lines:
//   Started Velmora Corvane session.            (the window; "command-line session (corvanecmd add)")
//   Using Corvane v1.0.4
//   Log session 3F0A9C2E51D7B846 in process 1234.
// A session whose lines another process interrupted goes on after a line of its own:
//   Resumed log session 3F0A9C2E51D7B846.
// A change is on record before it is made:
//   Creating \\FS01\D$ | path D:\ | max uses 1 | remark Added via Velmora Corvane v1.0 at ...
//   Previous permissions of \\FS01\D$: D:(A;;0x1200a9;;;WD)
//   Deleting \\FS01\D$ | path D:\ | max uses unlimited | access list D:(...) | remark ...
// and its outcome follows:
//   Added \\FS01\D$ CORP\collector[ Not created: <reason>][ Permissions not written: <reason>]
//   Deleted \\FS01\D$[ <failure>]
//   Restored \\FS01\D$: D:(...)[ Failed: <reason>]
//   Revoked \\FS01\D$ CORP\collector[ Permissions not written: <reason>]
//
// Text that comes from a server or a user is written so that it reads back exactly and can end
// neither its field nor its line: "%" and four hexadecimal digits stand for one UTF-16 unit
// wherever the text holds a control character (CR, LF, ...), "%", a line or paragraph separator,
// "|" (in a record's fields), ":" (in a share's name), or a character the log file's code page
// cannot hold. Lines of a session that has a "Log session" line are read back that way; lines of
// an earlier version's sessions are read as they stand.
#pragma once
#include <functional>
#include <string>

namespace corvane {

// ---- writing ----

// What became of a line: code 0 when it is in the log, else the system's status and its text.
struct LogResult {
  unsigned long code = 0;
  std::wstring text;
  bool ok() const { return code == 0; }
};

// Where the program's lines go. A line written `durable` is on stable storage when the call
// returns (a change's record, before the change is made).
class ChangeLog {
public:
  virtual ~ChangeLog() = default;
  virtual LogResult write(const std::wstring& text, bool durable = false) = 0;
  // Keeps the log to this process while a command changes shares, so that no other process's
  // lines fall between its records and outcomes. `pump` (optional) is called while waiting and
  // may give up by answering false. Every hold is released once.
  virtual LogResult hold(const std::function<bool()>& pump = {}) { return {}; }
  virtual void release() {}
  // Names the log for a message ("the change log C:\...\ShareChanges.log").
  virtual std::wstring where() const { return L"the change log"; }
};

// A hold for one scope.
class LogHold {
public:
  explicit LogHold(ChangeLog& log, const std::function<bool()>& pump = {}) : log_(log), result_(log.hold(pump)) {}
  ~LogHold() {
    if (result_.ok()) log_.release();
  }
  LogHold(const LogHold&) = delete;
  LogHold& operator=(const LogHold&) = delete;
  const LogResult& result() const { return result_; }

private:
  ChangeLog& log_;
  LogResult result_;
};

// ---- stamps and fixed texts ----

struct Stamp {
  int year = 0, month = 1, day = 1, hour = 0, minute = 0;  // month 1..12
};
struct Version {
  unsigned major = 0, minor = 0, revision = 0;
};

// "dd-mmm-yyyy hh:mm" with the locale's abbreviated month name.
std::wstring format_stamp(const Stamp& when, const std::wstring& month_abbrev);
// One change-log line without its line end: stamp + "> " + text.
std::wstring log_line(const std::wstring& stamp, const std::wstring& text);

// "Started Velmora Corvane session." for the window (empty command), else "Started Velmora
// Corvane command-line session (corvanecmd add)."
std::wstring started_line(const std::wstring& command);
std::wstring version_line(const Version& v);  // "Using Corvane v1.0.4"
std::wstring terminated_line(const std::wstring& command);  // the window's or a command line's
// The line that names a session for the lines that follow, and the one that takes it up again.
std::wstring session_line(const std::wstring& id, unsigned long process);
std::wstring resumed_line(const std::wstring& id);
// Written after a line that a power loss or a kill cut short; the reader drops that line.
extern const wchar_t kTornLine[];
std::wstring domain_line(const std::wstring& domain);
// "Found drive \\FS01\D", with " " + the status text for a drive that could not be reached.
std::wstring found_drive_line(const std::wstring& item, const std::wstring& error_text);
// A server whose disks cannot be listed (not an administrator there, switched off), with the
// status and its text: "Drives of \\FS01 not listed: status 5: Access denied."
std::wstring disks_not_listed_line(const std::wstring& server, const std::wstring& reason);
// A browse list that came back incomplete and is used as far as it goes ("CORP" for a domain's
// servers, "domains" for the domain list): "Browse list of CORP incomplete, 2 names read: status
// 234: More data is available."
std::wstring browse_list_incomplete_line(const std::wstring& what, size_t read, const std::wstring& reason);
// A probe's connection that could not be ended: "Connection of F: to \\FS01\C$ not ended: status
// 2401: ..."
std::wstring connection_not_ended_line(const std::wstring& letter, const std::wstring& remote,
                                       const std::wstring& reason);

// "Added via Velmora Corvane v1.0 at 05-Mar-2007 09:07", and whether a remark begins so.
std::wstring share_remark(const Version& v, const std::wstring& stamp);
bool is_program_remark(const std::wstring& remark);

// ---- share lines ----

// A share's settings as recorded before it is created or deleted, enough to make it again.
struct ShareRecord {
  std::wstring path, remark;
  unsigned long max_uses = 0xFFFFFFFFul;  // 0xFFFFFFFF: unlimited
  bool has_access_list = false;           // whether `sddl` was recorded (deletions record it)
  std::wstring sddl;                      // empty: the share had no descriptor of its own
};

std::wstring creating_line(const std::wstring& object, const ShareRecord& record);
std::wstring deleting_line(const std::wstring& object, const ShareRecord& record);
// An empty `sddl`: the share had no descriptor of its own.
std::wstring previous_line(const std::wstring& object, const std::wstring& sddl);
// `account` is "DOMAIN\name" as resolved (or the text as typed when it did not resolve); `tail`
// (one of the notes below, or a failure's text) follows after a blank when not empty.
std::wstring added_line(const std::wstring& object, const std::wstring& account, const std::wstring& tail);
std::wstring deleted_line(const std::wstring& object, const std::wstring& failure);
std::wstring restored_line(const std::wstring& object, const std::wstring& sddl, const std::wstring& failure);
std::wstring revoked_line(const std::wstring& object, const std::wstring& account, const std::wstring& tail);
// Notes an "Added" line ends with: the share was not made, or not touched because it could not
// be read (either way nothing changed); its list was not rewritten; a deny entry remains.
std::wstring not_created(const std::wstring& reason);
std::wstring not_changed(const std::wstring& reason);
std::wstring permissions_not_written(const std::wstring& reason);
extern const wchar_t kDenyRemains[];

// ---- reading back ----

// Text as a field of a line holds it, and back. `also` lists further characters to escape.
std::wstring escape_text(const std::wstring& text, const std::wstring& also = L"");
std::wstring unescape_text(const std::wstring& text);

// One line's text (after the stamp) read back. `escaped`: the line belongs to a session of this
// version (see above).
struct ChangeLine {
  enum Kind {
    Other,
    Started,
    Session,
    Resumed,
    Torn,
    Creating,
    Deleting,
    Previous,
    Added,
    Deleted,
    Restored,
    Revoked
  } kind = Other;
  // Creating, Deleting, Previous: the share exactly. Added, Deleted, Restored, Revoked: what follows the
  // line's head (the share, then the rest), read back; see names_share.
  std::wstring object;
  ShareRecord record;            // Creating, Deleting
  std::wstring sddl;             // Previous, Restored
  std::wstring kind_of_session;  // Started: "window" or the command ("add", "undo"...)
  std::wstring session;          // Session, Resumed: the session's identifier
  bool failed = false;           // Added: the share was not made; Restored: the list was not put back
};
ChangeLine read_change_line(const std::wstring& text, bool escaped = false);

// Whether the rest of an "Added", "Deleted", "Restored" or "Revoked" line is about the share: it begins
// with the share's name, followed by a blank, a colon or nothing. Names compare without case.
bool names_share(const std::wstring& rest, const std::wstring& object);
// The account of an "Added" line's rest once the share is known (notes the program appends
// are left out).
std::wstring added_account(const std::wstring& rest, const std::wstring& object);

bool same_name(const std::wstring& a, const std::wstring& b);  // without regard to case

}  // namespace corvane
