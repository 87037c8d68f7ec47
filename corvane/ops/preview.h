// What "Add/Update" would do on each ticked drive, found without changing anything, and the
// plain-text report of it.
#pragma once
#include <string>
#include <vector>

#include "account.h"
#include "share_run.h"
#include "shares.h"

namespace corvane {

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
// An account that was not found (no identifier) is named on every drive as stopping it.
std::vector<PreviewItem> preview_shares(const ShareRequest& request, const RunAccount& account,
                                        const std::vector<RunTarget>& targets);
// The preview as plain text, one block per drive.
std::wstring preview_report(const ShareRequest& request, const std::vector<PreviewItem>& items);

}  // namespace corvane
