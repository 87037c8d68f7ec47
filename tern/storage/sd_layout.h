// Bounds of a self-relative security descriptor held in a caller's byte string. Every read
// here is checked against the bytes actually given; the descriptor's own offsets and sizes
// are never trusted.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tern {

constexpr size_t kSdHeaderSize = 20;         // revision, Sbz1, control, four offsets
constexpr uint16_t kSeDaclPresent = 0x0004;
constexpr uint16_t kSeSaclPresent = 0x0010;
constexpr uint16_t kSeSelfRelative = 0x8000;

// Byte offsets of the parts of a self-relative descriptor; 0 means the part is absent.
struct SdParts {
  uint32_t owner = 0;
  uint32_t group = 0;
  uint32_t sacl = 0;
  uint32_t dacl = 0;
};

// Length of the identifier at data[at..], or 0 when its header or its sub-authorities do
// not fit in size.
size_t sid_extent(const uint8_t* data, size_t size, size_t at);

// Length of the access list at data[at..] (its AclSize), or 0 when the header is missing,
// the list does not fit in size, or its entries do not fit in the list.
size_t acl_extent(const uint8_t* data, size_t size, size_t at);

// Splits a self-relative descriptor into its parts. An empty descriptor (size 0) has four
// absent parts. The owner and group offsets are always taken, the DACL and SACL offsets only
// when their present bits are set. False (the system's invalid-descriptor error) when the
// descriptor is shorter than its header, is not self-relative, or a part that is taken does
// not lie wholly inside size.
bool sd_split(const uint8_t* data, size_t size, SdParts& parts);

// The number of bytes the descriptor covers: its header and the end of its furthest part.
// 0 when sd_split refuses the descriptor or it is empty.
size_t sd_extent(const uint8_t* data, size_t size);

}  // namespace tern
