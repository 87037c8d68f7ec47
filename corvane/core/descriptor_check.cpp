#include "descriptor_check.h"

#include <algorithm>

#include "acl_codec.h"
#include "sd_codec.h"
#include "sid_codec.h"

namespace corvane {

namespace {

bool list_ok(const uint8_t* bytes, const tern::SdPart& part) {
  if (!part.present) return true;
  tern::AclLayout layout;
  return part.size >= tern::kAclHeaderSize &&
         tern::acl_parse(bytes + part.offset, part.size, layout) == tern::AclParse::ok;
}

}  // namespace

bool check_descriptor(const uint8_t* bytes, size_t available, size_t& length, std::wstring& reason) {
  tern::SdLayout layout;
  switch (tern::sd_parse(bytes, available, layout)) {
    case tern::SdParse::ok: break;
    case tern::SdParse::absolute: reason = L"the descriptor is not self-relative"; return false;
    default:
      reason = available < tern::kSdHeaderSize ? L"the descriptor is shorter than its header"
                                               : L"a part of the descriptor lies past the end of the answer";
      return false;
  }
  if (layout.revision != 1) {
    reason = L"the descriptor has an unknown revision";
    return false;
  }
  for (const tern::SdPart* id : {&layout.owner, &layout.group})
    if (id->present && !tern::sid_is_valid(bytes + id->offset, id->size)) {
      reason = L"the descriptor's owner or group is no valid identifier";
      return false;
    }
  if (!list_ok(bytes, layout.dacl) || !list_ok(bytes, layout.sacl)) {
    reason = L"the descriptor's access list is malformed or runs past its end";
    return false;
  }
  length = tern::kSdHeaderSize;
  for (const tern::SdPart* p : {&layout.owner, &layout.group, &layout.dacl, &layout.sacl})
    if (p->present) length = std::max(length, p->offset + p->size);
  return true;
}

}  // namespace corvane
