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

// Whether the account resolves (checked once, before any share is touched).
bool account_resolves(const std::wstring& account);

// Number of ticked items.
size_t ticked_count(const DriveList& list);

// "Add/Update" over every ticked drive: creates the share (or finds it there), gives the
// account its entry, logs one "Added" line per share and sets marker 1 where creation failed.
void add_shares(const ShareRequest& request, DriveList& list, ChangeLog& log);

// "Delete Shares" over every ticked drive: one "Deleted" line each, marker 1 where deleted.
void delete_shares(const std::wstring& pattern, DriveList& list, ChangeLog& log);

// The list export's lines: "\\SERVER\SHARE" for ticked items with marker 0, in list order.
std::vector<std::wstring> export_lines(const std::wstring& pattern, const DriveList& list);
// Writes them (system code page, CR LF) to the file, replacing it. False when it cannot.
bool write_export(const std::wstring& path, const std::vector<std::wstring>& lines);

}  // namespace corvane
