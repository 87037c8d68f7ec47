// What taking an account's entries out of a share's list leaves of it, composed through the
// tern objects without writing anything ("revoke").
#pragma once
#include <string>

#include "descriptor_text.h"

namespace corvane {

struct RevokePlan {
  bool ready = false;
  size_t removed = 0, left = 0;  // entries taken out, entries that stay
  corv::Bstr new_bytes;
  std::wstring new_sddl, reason;
};
// The list read before as `sddl` without the allow entries of the account `sid` ("S-1-5-..."),
// and its deny entries too with `deny_too`; the other entries keep their order.
RevokePlan plan_revoke(const std::wstring& sddl, const std::wstring& sid, bool deny_too);

}  // namespace corvane
