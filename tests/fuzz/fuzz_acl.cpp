// List binary form: no crash, no read beyond the input, every entry reported lies within
// AclSize, and a list that parses whole is rebuilt from its entries to the same bytes.
#include <cstdint>
#include <cstring>
#include <vector>
#include "ace_codec.h"
#include "acl_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);
  tern::AclLayout l;
  tern::AclParse r = tern::acl_parse(copy.empty() ? nullptr : copy.data(), copy.size(), l);
  if (r != tern::AclParse::ok && r != tern::AclParse::bad_entry) return 0;
  if (l.acl_size > size || l.entries.size() > l.ace_count) __builtin_trap();
  size_t expect = tern::kAclHeaderSize;
  for (const tern::AclEntrySpan& e : l.entries) {
    if (e.offset != expect || e.offset + e.size > l.acl_size) __builtin_trap();
    tern::AceView v;
    if (!tern::ace_parse(copy.data() + e.offset, e.size, v)) __builtin_trap();
    expect += e.size;
  }
  if (r == tern::AclParse::ok && l.entries.size() != l.ace_count) __builtin_trap();
  if (r == tern::AclParse::ok && expect == l.acl_size) {
    std::vector<uint8_t> rebuilt(tern::kAclHeaderSize);
    tern::acl_write_header(rebuilt.data(), l.revision, static_cast<uint16_t>(expect),
                           static_cast<uint16_t>(l.entries.size()));
    rebuilt.insert(rebuilt.end(), copy.begin() + tern::kAclHeaderSize, copy.begin() + expect);
    // Sbz1 and Sbz2 are written as zero.
    if (std::memcmp(rebuilt.data(), copy.data(), 1) != 0 || std::memcmp(rebuilt.data() + 2, copy.data() + 2, 4) != 0 ||
        std::memcmp(rebuilt.data() + 8, copy.data() + 8, expect - 8) != 0)
      __builtin_trap();
  }
  return 0;
}
