// Splitting a self-relative descriptor held in a caller's byte string: no crash, no read
// beyond the bytes given, and every part it accepts lies wholly inside them.
#include <cstdint>
#include <vector>
#include "sd_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // exact-size heap copy: ASan sees any over-read
  const uint8_t* p = copy.empty() ? nullptr : copy.data();
  tern::SdParts parts;
  bool ok = tern::sd_split(p, copy.size(), parts);
  size_t extent = tern::sd_extent(p, copy.size());
  if (!ok) {
    if (extent != 0) __builtin_trap();
    return 0;
  }
  if (copy.empty()) {
    if (parts.owner || parts.group || parts.dacl || parts.sacl || extent != 0) __builtin_trap();
    return 0;
  }
  if (extent < tern::kSdHeaderSize || extent > copy.size()) __builtin_trap();
  // Each accepted part must be readable in full within the extent.
  auto check_sid = [&](uint32_t at) {
    if (!at) return;
    size_t len = tern::sid_extent(p, copy.size(), at);
    if (!len || at + len > extent) __builtin_trap();
  };
  auto check_acl = [&](uint32_t at) {
    if (!at) return;
    size_t len = tern::acl_extent(p, copy.size(), at);
    if (!len || at + len > extent) __builtin_trap();
  };
  check_sid(parts.owner);
  check_sid(parts.group);
  check_acl(parts.sacl);
  check_acl(parts.dacl);
  // The extent alone must be enough: splitting just those bytes gives the same parts.
  std::vector<uint8_t> cut(copy.begin(), copy.begin() + static_cast<std::ptrdiff_t>(extent));
  tern::SdParts again;
  if (!tern::sd_split(cut.data(), cut.size(), again) || again.owner != parts.owner || again.group != parts.group ||
      again.dacl != parts.dacl || again.sacl != parts.sacl)
    __builtin_trap();
  return 0;
}
