// The share commands over the ticked drives of the list: add or update with the account's
// permission, delete, and the list export.
#pragma once
#include "log_layout.h"
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
  std::wstring result;  // "created", "updated", "deleted", "failed"
  std::wstring detail;  // the change-log line written for it
};

// Whether the account resolves (checked once, before any share is touched).
bool account_resolves(const std::wstring& account);

// Number of ticked items.
size_t ticked_count(const DriveList& list);

// "Add/Update" over every ticked drive: creates the share (or finds it there), gives the
// account its entry, logs one "Added" line per share and sets marker 1 where creation failed.
// With `parallel` above 1, that many drives are worked on at once; the log lines, the markers
// and the outcomes still come in list order.
std::vector<ShareOutcome> add_shares(const ShareRequest& request, DriveList& list, ChangeLog& log,
                                     unsigned parallel = 1);

// "Delete Shares" over every ticked drive: one "Deleted" line each, marker 1 where deleted.
// `parallel` as for add_shares.
std::vector<ShareOutcome> delete_shares(const std::wstring& pattern, DriveList& list, ChangeLog& log,
                                        unsigned parallel = 1);

// Deletes one share and logs its "Deleted" line (with the failure's text when it failed).
long delete_share(const std::wstring& server, const std::wstring& share, ChangeLog& log);

// What "Add/Update" would do on one ticked drive, found without changing anything.
struct PreviewItem {
  std::wstring item, object;
  bool exists = false;             // the share is there already
  std::wstring path;               // its path when it is, the drive root otherwise
  std::wstring old_sddl;           // its list as read (empty: none)
  std::wstring entry;              // "replaced", "added", "added (a deny entry remains)"
  std::wstring new_sddl;           // the list it would get
  std::vector<std::wstring> words; // that list in words, one entry per line
  bool possible = true;            // false: the account or the descriptor stops it
};
std::vector<PreviewItem> preview_shares(const ShareRequest& request, const DriveList& list);
// The preview as plain text, one block per drive.
std::wstring preview_report(const ShareRequest& request, const std::vector<PreviewItem>& items);

// The list export's lines: "\\SERVER\SHARE" for ticked items with marker 0, in list order.
std::vector<std::wstring> export_lines(const std::wstring& pattern, const DriveList& list);
// Writes them (system code page, CR LF) to the file, replacing it. False when it cannot.
bool write_export(const std::wstring& path, const std::vector<std::wstring>& lines);

}  // namespace corvane
