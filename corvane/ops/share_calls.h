// The remote share calls the share commands make: a share read with its list, made, deleted.
#pragma once
#include <string>

#include "drive_item.h"
#include "log_parse.h"

namespace corvane {

constexpr long kDuplicateShare = 2118;  // NERR_DuplicateShare

// A share as it is now (level 502): status 0 and its settings and list, 2310 when it is not
// there, another status when it cannot be read.
ShareNow read_share(const std::wstring& server, const std::wstring& share);
// Makes the share at the drive's root, one use at a time; the status of the call.
long create_share(const ShareTarget& target, const std::wstring& remark);
// The status of the deletion.
long delete_share(const ShareTarget& target);

}  // namespace corvane
