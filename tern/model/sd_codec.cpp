#include "sd_codec.h"
#include <cstring>
#include "ace_codec.h"
#include "acl_codec.h"
#include "sid_codec.h"

namespace tern {

void sd_write_header(uint8_t* out, uint32_t revision, uint32_t control, uint32_t owner, uint32_t group, uint32_t sacl,
                     uint32_t dacl) {
  uint16_t ctl = static_cast<uint16_t>(control) | kSeSelfRelative;
  ctl = static_cast<uint16_t>(dacl ? (ctl | kSeDaclPresent) : (ctl & ~kSeDaclPresent));
  ctl = static_cast<uint16_t>(sacl ? (ctl | kSeSaclPresent) : (ctl & ~kSeSaclPresent));
  out[0] = static_cast<uint8_t>(revision);
  out[1] = 0;
  put_u16(out + 2, ctl);
  put_u32(out + 4, owner);
  put_u32(out + 8, group);
  put_u32(out + 12, sacl);
  put_u32(out + 16, dacl);
}

std::vector<uint8_t> sd_compose(uint32_t revision, uint32_t control, const SdParts& parts) {
  ByteSpan sacl = parts.sacl;
  if (sacl.size == kAclHeaderSize) sacl = ByteSpan{};
  // Parts in the order owner, group, DACL, SACL.
  const ByteSpan* order[4] = {&parts.owner, &parts.group, &parts.dacl, &sacl};
  uint32_t offset[4] = {0, 0, 0, 0};
  size_t total = kSdHeaderSize;
  for (int i = 0; i < 4; ++i) {
    if (!order[i]->size) continue;
    offset[i] = static_cast<uint32_t>(total);
    total += order[i]->size;
  }
  std::vector<uint8_t> out(total);
  sd_write_header(out.data(), revision, control, offset[0], offset[1], offset[3], offset[2]);
  for (int i = 0; i < 4; ++i)
    if (order[i]->size) std::memcpy(&out[offset[i]], order[i]->data, order[i]->size);
  return out;
}

namespace {

// Offsets are 32-bit; sums are taken in 64 bits so that no value wraps on a 32-bit host.
bool sid_part(const uint8_t* bytes, size_t size, uint32_t off, SdPart& part) {
  if (off == 0) return true;
  if (uint64_t{off} + 2 > size) return false;
  uint64_t len = sid_length(bytes[off + 1]);
  if (off + len > size) return false;
  part = {true, off, static_cast<size_t>(len)};
  return true;
}

bool acl_part(const uint8_t* bytes, size_t size, uint32_t off, SdPart& part) {
  if (off == 0) return true;
  if (uint64_t{off} + 4 > size) return false;
  uint64_t len = get_u16(bytes + off + 2);
  if (off + len > size) return false;
  part = {true, off, static_cast<size_t>(len)};
  return true;
}

}  // namespace

SdParse sd_parse(const uint8_t* bytes, size_t size, SdLayout& out) {
  out = SdLayout{};
  if (!bytes || size < kSdHeaderSize) return SdParse::invalid;
  out.revision = bytes[0];
  out.control = get_u16(bytes + 2);
  if (!(out.control & kSeSelfRelative)) return SdParse::absolute;
  SdPart sacl, dacl;
  if (!sid_part(bytes, size, get_u32(bytes + 4), out.owner) || !sid_part(bytes, size, get_u32(bytes + 8), out.group) ||
      !acl_part(bytes, size, get_u32(bytes + 12), sacl) || !acl_part(bytes, size, get_u32(bytes + 16), dacl))
    return SdParse::invalid;
  if (out.control & kSeDaclPresent) out.dacl = dacl;
  if (out.control & kSeSaclPresent) out.sacl = sacl;
  return SdParse::ok;
}

}  // namespace tern
