// Security identifier: text form and binary form. Plain C++, no platform headers.
//
// Binary form: revision (1 byte), sub-authority count n (1 byte), 48-bit authority
// (6 bytes, most significant first), n sub-authorities (4 bytes each, little-endian).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tern {

constexpr size_t kSidHeaderSize = 8;
constexpr unsigned kSidMaxSubAuthorities = 15;   // what the platform accepts as valid
constexpr unsigned kSidMaxParsedSubAuthorities = 8;

inline size_t sid_length(unsigned count) { return kSidHeaderSize + 4u * count; }

// Length of the identifier at the start of bytes: 0 unless the header and all the
// sub-authorities it announces are present. Revision and count are not judged here.
size_t sid_length_at(const uint8_t* bytes, size_t size);

// True when bytes start with a well-formed identifier: revision 1, at most 15
// sub-authorities, and every announced byte present.
bool sid_is_valid(const uint8_t* bytes, size_t size);

// Converts an unsigned decimal number as wcstoul(base 10) does with a 32-bit unsigned long:
// leading white space, an optional sign (a minus negates modulo 2^32), saturation at
// 4294967295. Returns the number of characters used (0 when there are no digits).
size_t parse_ulong32(std::u16string_view text, size_t pos, uint32_t& value);

// Parses "S-<revision>-<authority>-<sub>..." (decimal authority only, 1 to 8 sub-authorities;
// anything after the last number that is not "-" ends the parse). False on any failure.
bool sid_from_text(std::u16string_view text, std::vector<uint8_t>& out);

// Text form of a valid identifier: "S-1-", the authority in decimal (or "0x" and twelve
// lower-case hexadecimal digits when its top two bytes are not both zero), then each
// sub-authority in decimal. Revision is always written as 1.
std::u16string sid_to_text(const uint8_t* sid);

// Builds an identifier from its parts.
std::vector<uint8_t> sid_build(const uint8_t authority[6], const uint32_t* subs, unsigned count);

uint32_t sid_sub_authority(const uint8_t* sid, unsigned index);
void sid_set_sub_authority(uint8_t* sid, unsigned index, uint32_t value);

}  // namespace tern
