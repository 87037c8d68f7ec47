// Identifier text and binary forms: no crash, no read beyond the input, and every
// parsed text formats back to a text that parses to the same identifier.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include "sid_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Binary form: validity and formatting read only what the form announces.
  std::vector<uint8_t> copy(data, data + size);  // exact-size heap copy: ASan sees any over-read
  if (tern::sid_is_valid(copy.data(), copy.size())) {
    std::u16string text = tern::sid_to_text(copy.data());
    std::vector<uint8_t> again;
    if (copy[2] == 0 && copy[3] == 0 && copy[1] >= 1 && copy[1] <= 8) {
      if (!tern::sid_from_text(text, again)) __builtin_trap();
      if (std::memcmp(again.data() + 1, copy.data() + 1, again.size() - 1) != 0) __builtin_trap();
    }
  }
  // Text form from the same bytes as UTF-16 units.
  std::u16string t(size / 2, u'\0');
  if (size >= 2) std::memcpy(&t[0], data, (size / 2) * 2);
  std::vector<uint8_t> sid;
  if (tern::sid_from_text(t, sid)) {
    if (!tern::sid_is_valid(sid.data(), sid.size())) __builtin_trap();
    std::vector<uint8_t> back;
    if (!tern::sid_from_text(tern::sid_to_text(sid.data()), back) || back != sid) __builtin_trap();
  }
  return 0;
}
