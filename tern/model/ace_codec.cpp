#include "ace_codec.h"
#include <cstring>
#include "sid_codec.h"

namespace tern {

size_t ace_sid_offset(const AceFields& f) {
  if (!ace_is_object_type(f.type)) return 8;
  size_t off = 12;
  if (f.object_flags & kAceObjectTypePresent) off += 16;
  if (f.object_flags & kAceInheritedObjectTypePresent) off += 16;
  return off;
}

size_t ace_write(const AceFields& f, const uint8_t* sid, size_t sid_len, uint8_t* out) {
  size_t off = ace_sid_offset(f);
  size_t total = off + sid_len;
  out[0] = static_cast<uint8_t>(f.type);
  out[1] = static_cast<uint8_t>(f.flags);
  put_u16(out + 2, static_cast<uint16_t>(total));
  put_u32(out + 4, f.mask);
  if (ace_is_object_type(f.type)) {
    put_u32(out + 8, f.object_flags);
    size_t at = 12;
    if (f.object_flags & kAceObjectTypePresent) {
      std::memcpy(out + at, f.object_type.data(), 16);
      at += 16;
    }
    if (f.object_flags & kAceInheritedObjectTypePresent) std::memcpy(out + at, f.inherited_object_type.data(), 16);
  }
  if (sid_len) std::memcpy(out + off, sid, sid_len);
  return total;
}

std::vector<uint8_t> ace_encode(const AceFields& f, const uint8_t* sid, size_t sid_len) {
  std::vector<uint8_t> out(ace_sid_offset(f) + sid_len);
  ace_write(f, sid, sid_len, out.data());
  return out;
}

bool ace_parse(const uint8_t* bytes, size_t size, AceView& out) {
  if (!bytes || size < kAceMinParseSize) return false;
  size_t ace_size = get_u16(bytes + 2);
  if (size < ace_size) return false;
  AceFields f;
  f.type = bytes[0];
  f.flags = bytes[1];
  f.mask = get_u32(bytes + 4);
  size_t off = 8;
  if (ace_is_object_type(f.type)) {
    f.object_flags = get_u32(bytes + 8);
    off = 12;
    // Each GUID must lie before the identifier, which must lie within AceSize <= size.
    if (f.object_flags & kAceObjectTypePresent) {
      if (off + 16 > ace_size) return false;
      std::memcpy(f.object_type.data(), bytes + off, 16);
      off += 16;
    }
    if (f.object_flags & kAceInheritedObjectTypePresent) {
      if (off + 16 > ace_size) return false;
      std::memcpy(f.inherited_object_type.data(), bytes + off, 16);
      off += 16;
    }
  }
  // The count byte sits at off + 1; the whole identifier must end within AceSize.
  if (off + kSidHeaderSize > ace_size) return false;
  size_t sid_len = sid_length(bytes[off + 1]);
  if (off + sid_len > ace_size) return false;
  out.fields = f;
  out.sid_offset = off;
  out.sid_length = sid_len;
  out.size = ace_size;
  return true;
}

}  // namespace tern
