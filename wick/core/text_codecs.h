// Text forms of byte strings: hexadecimal, the one-character-per-byte directory string, and
// the escaped value of a directory search filter.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wick {

// Two upper-case hexadecimal digits per byte, high four bits first.
std::u16string bin_to_hex(const uint8_t* data, size_t size);

// n characters of hexadecimal digits (either case) to n / 2 bytes; with an odd n the last
// digit is checked and then ignored. False (and out untouched) on any other character.
bool hex_to_bin(const char16_t* text, size_t n, std::vector<uint8_t>& out);

// Each byte taken as a signed 8-bit value and widened: 0x80-0xFF become U+FF80-U+FFFF.
std::u16string bin_to_ldap_str(const uint8_t* data, size_t size);

// The reverse: the low eight bits of each 16-bit little-endian character of `bytes`; a
// trailing odd byte is ignored.
std::vector<uint8_t> ldap_str_to_bin(const uint8_t* bytes, size_t size);

// A byte string as the value of a search filter element: letters, digits and the other
// printable ASCII characters stand as themselves; '*', '(', ')', '\', NUL and every byte
// outside printable ASCII become a backslash and two upper-case hexadecimal digits.
std::u16string escape_filter_value(const uint8_t* data, size_t size);

}  // namespace wick
