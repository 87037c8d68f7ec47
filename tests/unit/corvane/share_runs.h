// The share commands run as the window and corvanecmd run them: the account looked up once
// through the account directory, the targets worked out once, then the command.
#pragma once
#include <string>
#include <vector>

#include "account.h"
#include "preview.h"
#include "share_run.h"
#include "shares.h"

namespace corvane_test {

// Whether the name resolves through the directory in place.
inline bool resolves(const std::wstring& name) {
  corvane::RunAccount account;
  return corvane::account_directory().look_up(name, account);
}

// An account that does not resolve stops the run before any share is touched.
inline corvane::CommandReport add_run(const corvane::ShareRequest& request, corvane::DriveList& list,
                                      corvane::ChangeLog& log, unsigned parallel = 1) {
  corvane::RunAccount account;
  if (!corvane::account_directory().look_up(request.account, account)) return {};
  return corvane::add_shares(request, account, corvane::run_targets(list, request.pattern), list, log, parallel);
}

// An account that does not resolve is named on every drive as stopping it.
inline std::vector<corvane::PreviewItem> preview_run(const corvane::ShareRequest& request,
                                                     const corvane::DriveList& list) {
  corvane::RunAccount account;
  corvane::account_directory().look_up(request.account, account);
  return corvane::preview_shares(request, account, corvane::run_targets(list, request.pattern));
}

inline corvane::CommandReport revoke_run(const corvane::RevokeRequest& request, corvane::DriveList& list,
                                         corvane::ChangeLog& log, bool apply = true) {
  corvane::RunAccount account;
  if (!corvane::account_directory().look_up(request.account, account)) return {};
  return corvane::revoke_shares(request, account, corvane::run_targets(list, request.pattern), list, log, 1, apply);
}

}  // namespace corvane_test
