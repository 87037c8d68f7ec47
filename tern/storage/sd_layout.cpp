#include "sd_layout.h"

namespace tern {
namespace {

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

size_t sid_extent(const uint8_t* data, size_t size, size_t at) {
  if (at > size || size - at < 8) return 0;
  size_t len = 8 + 4 * static_cast<size_t>(data[at + 1]);
  return size - at >= len ? len : 0;
}

size_t acl_extent(const uint8_t* data, size_t size, size_t at) {
  if (at > size || size - at < 8) return 0;
  const uint8_t* acl = data + at;
  size_t acl_size = u16(acl + 2);
  if (acl_size < 8 || acl_size > size - at) return 0;
  // The entries the list claims must lie inside it: the system walks them.
  size_t count = u16(acl + 4);
  size_t pos = 8;
  for (size_t i = 0; i < count; ++i) {
    if (acl_size - pos < 4) return 0;
    size_t ace_size = u16(acl + pos + 2);
    if (ace_size < 4 || ace_size > acl_size - pos) return 0;
    pos += ace_size;
  }
  return acl_size;
}

bool sd_split(const uint8_t* data, size_t size, SdParts& parts) {
  parts = SdParts{};
  if (size == 0) return true;
  if (!data || size < kSdHeaderSize) return false;
  uint16_t control = u16(data + 2);
  if (!(control & kSeSelfRelative)) return false;
  SdParts p;
  p.owner = u32(data + 4);
  p.group = u32(data + 8);
  if (control & kSeSaclPresent) p.sacl = u32(data + 12);
  if (control & kSeDaclPresent) p.dacl = u32(data + 16);
  if (p.owner && !sid_extent(data, size, p.owner)) return false;
  if (p.group && !sid_extent(data, size, p.group)) return false;
  if (p.sacl && !acl_extent(data, size, p.sacl)) return false;
  if (p.dacl && !acl_extent(data, size, p.dacl)) return false;
  parts = p;
  return true;
}

size_t sd_extent(const uint8_t* data, size_t size) {
  SdParts p;
  if (size == 0 || !sd_split(data, size, p)) return 0;
  size_t end = kSdHeaderSize;
  auto reach = [&end](size_t at, size_t len) {
    if (at && at + len > end) end = at + len;
  };
  if (p.owner) reach(p.owner, sid_extent(data, size, p.owner));
  if (p.group) reach(p.group, sid_extent(data, size, p.group));
  if (p.sacl) reach(p.sacl, acl_extent(data, size, p.sacl));
  if (p.dacl) reach(p.dacl, acl_extent(data, size, p.dacl));
  return end;
}

}  // namespace tern
