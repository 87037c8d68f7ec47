// The share commands over the ticked drives of the list: add or update with the account's
// permission, delete, and take the account's entries out ("revoke").
#pragma once
#include <string>
#include <vector>

#include "account.h"
#include "log_parse.h"
#include "reports.h"
#include "share_run.h"

namespace corvane {

struct ShareRequest {
  std::wstring pattern;   // "<drive>$"
  std::wstring account;   // as typed: "collector", "CORP\collector"
  unsigned long mask = 0x1200A9;
  Version version;        // for the share remark
};

// "Add/Update" over the targets: creates the share (or finds it there) and gives the account,
// looked up before the run, its entry. Every change is on record first: the share's previous
// state is logged before the share is created or its list rewritten, and its "Added" line
// follows. Marker 1 where creation failed. `parallel` drives are worked on at once (items naming
// one share one after another, in list order); lines of different shares come in completion
// order. The work runs on other threads: `progress` (optional) is called on the caller's thread.
CommandReport add_shares(const ShareRequest& request, const RunAccount& account, const std::vector<RunTarget>& targets,
                         DriveList& list, ChangeLog& log, unsigned parallel = 1, CommandProgress* progress = nullptr);

// "Delete Shares" over every ticked drive: the share's settings (path, remark, maximum uses,
// access list) logged before it is deleted, then one "Deleted" line; marker 1 where deleted.
CommandReport delete_shares(const std::wstring& pattern, DriveList& list, ChangeLog& log, unsigned parallel = 1,
                            CommandProgress* progress = nullptr);

// "revoke": every allow entry of the account (by identifier) taken out of each target's share,
// the other entries kept in their order; its deny entries too with `deny_too`. A list that would
// be left empty (refusing everyone) is written only with `allow_empty`. Each change on record
// first ("Previous permissions of ..."), then "Revoked ...".
struct RevokeRequest {
  std::wstring pattern, account;  // the account as typed
  bool deny_too = false, allow_empty = false;
};
// With `apply` false nothing is written (the log neither): outcomes say "would revoke" and give
// the list the share would get.
CommandReport revoke_shares(const RevokeRequest& request, const RunAccount& account,
                            const std::vector<RunTarget>& targets, DriveList& list, ChangeLog& log,
                            unsigned parallel = 1, bool apply = true, CommandProgress* progress = nullptr);

}  // namespace corvane
