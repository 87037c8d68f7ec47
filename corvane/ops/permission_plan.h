// The account's entry in a share's list for "Add/Update" and its preview: the list read and the
// list it becomes, composed through the tern objects; and the write of a list (revoke and undo too).
#pragma once
#include <windows.h>

#include <string>

#include "descriptor_text.h"

namespace corvane {

constexpr long kSeLmShare = 5;          // SE_LMSHARE
constexpr long kDaclInformation = 4;    // DACL_SECURITY_INFORMATION

struct Plan {
  bool ready = false;           // a descriptor to write was composed
  bool had_descriptor = false;  // the share had one
  std::wstring old_sddl;        // what it was, owner, group and list as read
  corv::Bstr new_bytes;         // what it becomes
  bool replaced = false;        // an allow entry of the account was taken out
  bool deny_remains = false;    // a deny entry of the account stays (and still wins)
  corv::ComPtr<IzrSecurityInfo> info;
  corv::ComPtr<IzrAcl> acl;     // the resulting list
  std::wstring reason;          // not ready: why ("the share's descriptor is not valid.")
};

// Reads the share's list and composes the new one with an entry for the account `sid`
// ("S-1-5-..."), which is not looked up again. Writes nothing. Not ready when a component
// cannot be created or the share's descriptor is invalid.
Plan plan_permissions(const std::wstring& object, const std::wstring& sid, unsigned long mask);

// Writes descriptor bytes to the share's list through tern; false when the write failed, with
// the reason tern gave (its status and text) in `reason` when asked for.
bool write_share_dacl(IzrSecurityInfo* info, const std::wstring& object, const corv::Bstr& bytes,
                      std::wstring* reason = nullptr);

}  // namespace corvane
