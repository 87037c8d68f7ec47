// Access-control entry: binary form. Plain C++, no platform headers.
//
// Layout (little-endian): type (1 byte), flags (1), AceSize (2), access mask (4); object
// entries (types 5 to 8) then carry object flags (4), the object-type GUID (16, when flag
// bit 0 is set) and the inherited-object-type GUID (16, when bit 1 is set); the identifier
// follows, 8 + 4 * n bytes. Nothing is padded.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tern {

constexpr size_t kAceMinParseSize = 12;   // shorter byte strings are refused outright
constexpr uint32_t kAceObjectTypePresent = 1;
constexpr uint32_t kAceInheritedObjectTypePresent = 2;
constexpr uint8_t kAceDeniedType = 1;
constexpr uint8_t kAceDeniedObjectType = 6;
constexpr uint32_t kAceInheritedFlag = 0x10;

using GuidBytes = std::array<uint8_t, 16>;  // in the platform's GUID memory layout

// What an entry holds besides its identifier. Type and flags are kept whole (as clients set
// them); the binary form carries their low bytes.
struct AceFields {
  uint32_t type = 0;
  uint32_t flags = 0;
  uint32_t mask = 0;
  uint32_t object_flags = 0;
  GuidBytes object_type{};
  GuidBytes inherited_object_type{};
};

// Object entries are laid out by the type byte that is written, so the form is always
// self-consistent.
inline bool ace_is_object_type(uint32_t type) {
  uint8_t t = static_cast<uint8_t>(type);
  return t >= 5 && t <= 8;
}

// Offset of the identifier inside the entry: 8 for plain entries, 12 to 44 for object ones.
size_t ace_sid_offset(const AceFields& f);

// Writes the entry with the given identifier bytes into out, which must hold
// ace_sid_offset(f) + sid_len bytes; returns that size. sid_len must keep it within 65535.
size_t ace_write(const AceFields& f, const uint8_t* sid, size_t sid_len, uint8_t* out);

std::vector<uint8_t> ace_encode(const AceFields& f, const uint8_t* sid, size_t sid_len);

// A parsed entry: its fields, where its identifier lies and its AceSize.
struct AceView {
  AceFields fields;
  size_t sid_offset = 0;
  size_t sid_length = 0;
  size_t size = 0;
};

// Reads an entry from the start of bytes. False when the bytes are fewer than 12 or than the
// AceSize of the header, or when the identifier (by its own count byte) would reach past
// AceSize. The identifier itself is not judged: that is its owner's business.
bool ace_parse(const uint8_t* bytes, size_t size, AceView& out);

// Little-endian helpers shared by the list and descriptor forms.
inline uint16_t get_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t get_u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline void put_u16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put_u32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace tern
