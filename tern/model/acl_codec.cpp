#include "acl_codec.h"
#include <algorithm>
#include "ace_codec.h"

namespace tern {

void acl_write_header(uint8_t* out, uint32_t revision, uint16_t acl_size, uint16_t ace_count) {
  out[0] = static_cast<uint8_t>(revision);
  out[1] = 0;
  put_u16(out + 2, acl_size);
  put_u16(out + 4, ace_count);
  put_u16(out + 6, 0);
}

size_t acl_size_at(const uint8_t* bytes, size_t size) {
  if (!bytes || size < 4) return 0;
  return get_u16(bytes + 2);
}

AclParse acl_parse(const uint8_t* bytes, size_t size, AclLayout& out) {
  out = AclLayout{};
  if (!bytes || size < kAclHeaderSize) return AclParse::bad_header;
  size_t acl_size = get_u16(bytes + 2);
  if (size < acl_size) return AclParse::bad_header;
  out.revision = bytes[0];
  out.acl_size = acl_size;
  out.ace_count = get_u16(bytes + 4);
  // A well-formed entry takes at least 16 bytes (header and an identifier without
  // sub-authorities), which bounds the number that the list can really hold.
  out.entries.reserve(std::min(out.ace_count, acl_size / 16));
  size_t off = kAclHeaderSize;
  for (size_t i = 0; i < out.ace_count; ++i) {
    if (off + 4 > acl_size) return AclParse::entry_out_of_bounds;
    size_t ace_size = get_u16(bytes + off + 2);
    if (off + ace_size > acl_size) return AclParse::entry_out_of_bounds;
    AceView v;
    if (!ace_parse(bytes + off, ace_size, v)) return AclParse::bad_entry;
    out.entries.push_back({off, ace_size});
    off += ace_size;
  }
  return AclParse::ok;
}

}  // namespace tern
