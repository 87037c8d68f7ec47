// Self-relative security descriptor: binary form. Plain C++, no platform headers.
//
// Header (little-endian): revision (1 byte), Sbz1 (1), control (2), then the offsets of
// owner, group, SACL and DACL (4 bytes each, 0 when absent). Parts are written from offset
// 20 in the order owner, group, DACL, SACL, without padding.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tern {

constexpr size_t kSdHeaderSize = 20;
constexpr uint16_t kSeDaclPresent = 0x0004;
constexpr uint16_t kSeSaclPresent = 0x0010;
constexpr uint16_t kSeSelfRelative = 0x8000;

struct ByteSpan {
  const uint8_t* data = nullptr;
  size_t size = 0;   // 0: the part is absent
};

// The four parts, each given with its own length (an identifier's 8 + 4 * n, a list's
// AclSize). A SACL of exactly 8 bytes (no entries) is left out; an empty DACL is kept.
struct SdParts {
  ByteSpan owner, group, dacl, sacl;
};

// Writes the 20-byte header: revision's low byte, control's low 16 bits with
// SE_SELF_RELATIVE set and SE_DACL_PRESENT / SE_SACL_PRESENT set exactly when that list has
// an offset, then the four offsets (0 for an absent part).
void sd_write_header(uint8_t* out, uint32_t revision, uint32_t control, uint32_t owner, uint32_t group, uint32_t sacl,
                     uint32_t dacl);

// Composes the descriptor: revision's low byte, control's low 16 bits with SE_SELF_RELATIVE
// set and the two present bits computed from the parts.
std::vector<uint8_t> sd_compose(uint32_t revision, uint32_t control, const SdParts& parts);

// Where a part lies in a descriptor. A present list may announce fewer than 8 bytes; its
// reader refuses it.
struct SdPart {
  bool present = false;
  size_t offset = 0;
  size_t size = 0;
};

struct SdLayout {
  uint8_t revision = 0;
  uint16_t control = 0;
  SdPart owner, group, dacl, sacl;
};

enum class SdParse {
  ok,
  invalid,    // too short, or a part reaches past the bytes
  absolute,   // the control word lacks SE_SELF_RELATIVE: not read
};

// Reads the header and checks that every non-zero offset, with the length of the part it
// leads to (an identifier's own length, a list's AclSize), lies within the bytes. Lists are
// reported only when their present bit is set; their entries are not judged here.
SdParse sd_parse(const uint8_t* bytes, size_t size, SdLayout& out);

}  // namespace tern
