#include "sd_codec.h"
#include <cstring>
#include "ace_codec.h"
#include "acl_codec.h"
#include "sid_codec.h"

namespace tern {

std::vector<uint8_t> sd_compose(uint32_t revision, uint32_t control, const SdParts& parts) {
  ByteSpan sacl = parts.sacl;
  if (sacl.size == kAclHeaderSize) sacl = ByteSpan{};
  const ByteSpan* order[4] = {&parts.owner, &parts.group, &parts.dacl, &sacl};
  size_t total = kSdHeaderSize;
  for (const ByteSpan* p : order) total += p->size;
  std::vector<uint8_t> out(total, 0);
  uint16_t ctl = static_cast<uint16_t>(control) | kSeSelfRelative;
  ctl = static_cast<uint16_t>(parts.dacl.size ? (ctl | kSeDaclPresent) : (ctl & ~kSeDaclPresent));
  ctl = static_cast<uint16_t>(sacl.size ? (ctl | kSeSaclPresent) : (ctl & ~kSeSaclPresent));
  out[0] = static_cast<uint8_t>(revision);
  put_u16(&out[2], ctl);
  // Header slots: owner 4, group 8, SACL 12, DACL 16.
  const size_t slot[4] = {4, 8, 16, 12};
  size_t at = kSdHeaderSize;
  for (int i = 0; i < 4; ++i) {
    if (!order[i]->size) continue;
    put_u32(&out[slot[i]], static_cast<uint32_t>(at));
    std::memcpy(&out[at], order[i]->data, order[i]->size);
    at += order[i]->size;
  }
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
