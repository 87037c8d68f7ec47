// Read-only views of the shares: the inventory of every disk share of the servers with its
// access list, and the check of the shares a pattern names against the access an account
// should have. Neither changes anything.
#pragma once
#include "account.h"
#include "descriptor_text.h"
#include "reports.h"
#include "share_run.h"

#include <string>
#include <vector>

namespace corvane {

struct ShareListing {
  std::wstring server;       // "\\FS01"
  std::wstring share, path, remark;
  unsigned long type = 0;    // STYPE_*
  unsigned long current_uses = 0, max_uses = 0;
  bool administrative = false;
  bool has_descriptor = false;
  std::wstring sddl;         // owner, group and list as read
  std::wstring unreadable;   // the descriptor is there but cannot be read: why (then who may
                             // reach the share is unknown, not "no one")
  std::vector<EntryWords> entries;
  std::wstring kind() const; // "disk", "disk (administrative)", "IPC", "printer", "device"
};

// One server's shares, or why they could not be listed.
struct ServerListing {
  std::wstring server;
  long status = 0;           // of the enumeration (0: listed)
  std::wstring reason;       // "status 53: The network path was not found."
  std::vector<ShareListing> shares;
};

struct InventoryRequest {
  std::wstring pattern;      // empty: every share; "<drive>" matches any one letter
  std::wstring account;      // empty: every share; else only shares with an entry for it
  bool all = false;          // also IPC and printer shares
};

// Lists the shares of the servers ("FS01" or "\\FS01"), `parallel` servers at once, in the
// servers' order. With an account that does not resolve, `account_error` says so and nothing
// is listed.
std::vector<ServerListing> list_shares(const std::vector<std::wstring>& servers, const InventoryRequest& request,
                                       unsigned parallel, std::wstring& account_error);

// The list in words for one row: "BUILTIN\Users: Read (allow); ...", or "(server default)".
std::wstring access_in_words(const ShareListing& share);

// How one drive's share stands against the access the account should have.
struct CheckOutcome {
  std::wstring item, object;
  bool ok = false;
  std::wstring result;       // "ok", "drift", "failed"
  std::wstring detail;       // the drift in words: "missing share", "Read instead of Change", ...
};

// Checks the share of every target: ok when it exists and the account (by identifier, looked up
// before) has exactly `mask` allowed and no deny entry.
std::vector<CheckOutcome> check_shares(const RunAccount& account, const std::vector<RunTarget>& targets,
                                       unsigned long mask, unsigned parallel);

}  // namespace corvane
