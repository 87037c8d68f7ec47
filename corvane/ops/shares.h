// The share commands over the ticked drives of the list: add or update with the account's
// permission, delete, and the list export.
#pragma once
#include "log_parse.h"
#include "reports.h"

#include <string>
#include <vector>

namespace corvane {

struct ShareRequest {
  std::wstring pattern;   // "<drive>$"
  std::wstring account;   // as typed: "collector", "CORP\collector"
  unsigned long mask = 0x1200A9;
  Version version;        // for the share remark
};

// What became of one ticked drive's share.
struct ShareOutcome {
  std::wstring item;    // "\\FS01\D"
  std::wstring object;  // "\\FS01\D$"
  long status = 0;      // of the share creation or deletion
  bool ok = false;      // everything the command meant to do was done
  std::wstring result;  // "created", "updated", "deleted", "failed", "not done"
  std::wstring detail;  // why it failed (status or HRESULT and its text); the log line otherwise
  bool gone = false;    // made by this run, its list not written, and deleted again
};

// What a share command did, drive by drive in list order.
struct CommandReport {
  std::vector<ShareOutcome> outcomes;  // every drive worked on ("not done" when a stop or a lost log line came first)
  bool stopped = false;                // the caller stopped it (CommandProgress::pump)
  std::wstring log_error;              // a change-log line could not be written: names the log; no change followed
  size_t succeeded() const;
  size_t failed() const;               // failed or not done
};

// One line for a status bar: "5 shares added or updated, 1 failed - see Log (\\FS02\E$: Access denied.)".
// `add` picks the verb ("added or updated" / "deleted").
std::wstring command_summary(const CommandReport& report, bool add);

// Whether the account resolves (checked once, before any share is touched).
bool account_resolves(const std::wstring& account);

// "COMPUTER\name" when the account resolves to an account of this computer (a bare name is
// looked up here first), which no server knows: an entry for it names nobody there. Empty for a
// domain account, a well-known or BUILTIN one, and a name that does not resolve.
std::wstring workstation_account(const std::wstring& account);

// Number of ticked items.
size_t ticked_count(const DriveList& list);

// "Add/Update" over every ticked drive: creates the share (or finds it there) and gives the
// account its entry. Every change is on record first: the share's previous state is logged
// before the share is created or its list rewritten, and its "Added" line follows. Marker 1
// where creation failed. `parallel` drives are worked on at once (items naming one share one
// after another, in list order); lines of different shares come in completion order. The work
// runs on other threads: `progress` (optional) is called on the caller's thread.
CommandReport add_shares(const ShareRequest& request, DriveList& list, ChangeLog& log, unsigned parallel = 1,
                         CommandProgress* progress = nullptr);

// "Delete Shares" over every ticked drive: the share's settings (path, remark, maximum uses,
// access list) logged before it is deleted, then one "Deleted" line; marker 1 where deleted.
CommandReport delete_shares(const std::wstring& pattern, DriveList& list, ChangeLog& log, unsigned parallel = 1,
                            CommandProgress* progress = nullptr);

// "revoke": every allow entry of the account (by identifier) taken out of the share the pattern
// names on each ticked drive, the other entries kept in their order; its deny entries too with
// `deny_too`. A list that would be left empty (refusing everyone) is written only with
// `allow_empty`. Each change on record first ("Previous permissions of ..."), then "Revoked ...".
struct RevokeRequest {
  std::wstring pattern, account;
  bool deny_too = false, allow_empty = false;
};
// With `apply` false nothing is written (the log neither): outcomes say "would revoke" and give
// the list the share would get.
CommandReport revoke_shares(const RevokeRequest& request, DriveList& list, ChangeLog& log, unsigned parallel = 1,
                            bool apply = true, CommandProgress* progress = nullptr);

// A share as it is now (level 502): status 0 and its settings and list, 2310 when it is not
// there, another status when it cannot be read.
ShareNow read_share(const std::wstring& server, const std::wstring& share);

// What "Add/Update" would do on one ticked drive, found without changing anything.
struct PreviewItem {
  std::wstring item, object;
  bool exists = false;             // the share is there already
  std::wstring path;               // its path when it is, the drive root otherwise
  std::wstring old_sddl;           // its list as read (empty: none)
  std::vector<std::wstring> old_words;  // that list in words, one entry per line
  std::wstring entry;              // "replaced", "added", "added (a deny entry remains)"
  std::wstring new_sddl;           // the list it would get
  std::vector<std::wstring> words; // that list in words, one entry per line
  bool possible = true;            // false: the account, the descriptor or a failed read stops it
  std::wstring unreadable;         // the share could not be read: the status and its text
};
std::vector<PreviewItem> preview_shares(const ShareRequest& request, const DriveList& list);
// The preview as plain text, one block per drive.
std::wstring preview_report(const ShareRequest& request, const std::vector<PreviewItem>& items);

// The list export's lines: "\\SERVER\SHARE" for ticked items with marker 0, in list order. A name
// that would not read back as one line naming that share (a control character, a line break, a
// character the system code page cannot hold) is left out and given in `refused`.
std::vector<std::wstring> export_lines(const std::wstring& pattern, const DriveList& list,
                                       std::vector<std::wstring>* refused = nullptr);
// Writes them (system code page, CR LF) to the file, replacing it, never through a link
// (open_plain_file). False when it cannot.
bool write_export(const std::wstring& path, const std::vector<std::wstring>& lines);

}  // namespace corvane
