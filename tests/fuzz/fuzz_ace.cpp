// Entry binary form: no crash, no read beyond the input, and every entry that parses writes
// back to the same bytes (up to its own size; slack beyond the identifier is dropped).
#include <cstdint>
#include <cstring>
#include <vector>
#include "ace_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // exact-size heap copy: ASan sees any over-read
  tern::AceView v;
  if (!tern::ace_parse(copy.empty() ? nullptr : copy.data(), copy.size(), v)) return 0;
  size_t used = v.sid_offset + v.sid_length;
  if (v.size > size || used > v.size || v.sid_offset < 8) __builtin_trap();
  std::vector<uint8_t> again = tern::ace_encode(v.fields, copy.data() + v.sid_offset, v.sid_length);
  if (again.size() != used || tern::get_u16(&again[2]) != used) __builtin_trap();
  if (std::memcmp(again.data(), copy.data(), 2) != 0 || std::memcmp(again.data() + 4, copy.data() + 4, used - 4) != 0)
    __builtin_trap();
  tern::AceView back;
  if (!tern::ace_parse(again.data(), again.size(), back) || back.sid_offset != v.sid_offset) __builtin_trap();
  return 0;
}
