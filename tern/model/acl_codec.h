// Access-control list: binary form. Plain C++, no platform headers.
//
// Header (little-endian): revision (1 byte), Sbz1 (1), AclSize (2), AceCount (2), Sbz2 (2);
// the entries follow one after another. AclSize and AceCount are 16 bits wide, so a list
// can never exceed 65535 bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tern {

constexpr size_t kAclHeaderSize = 8;
constexpr size_t kAclMaxSize = 0xFFFF;

void acl_write_header(uint8_t* out, uint32_t revision, uint16_t acl_size, uint16_t ace_count);

// AclSize from a list's header; 0 when fewer than 4 bytes are given.
size_t acl_size_at(const uint8_t* bytes, size_t size);

struct AclEntrySpan {
  size_t offset;
  size_t size;
};

enum class AclParse {
  ok,
  bad_header,          // fewer than 8 bytes, or fewer than AclSize
  entry_out_of_bounds, // an entry does not lie wholly within AclSize
  bad_entry,           // an entry within bounds that is not a well-formed entry
};

struct AclLayout {
  uint8_t revision = 0;
  size_t acl_size = 0;
  size_t ace_count = 0;
  // Well-formed entries in order. With bad_entry, the malformed one follows the last of these.
  std::vector<AclEntrySpan> entries;
};

// Walks the whole list before anything is built from it: bounds are judged for every entry
// up to the first malformed one, and no count read from the bytes drives an allocation
// larger than the bytes can fill.
AclParse acl_parse(const uint8_t* bytes, size_t size, AclLayout& out);

}  // namespace tern
