// The serialised forms of a directory attribute and of a directory entry.
//
// Attribute: magic 0xAACCEE01, version 1, control, type, name (text), count N, then N times
// the value's variant type (32 bits) and the value as text.
// Entry: magic 0xEEF5AA02, version 1, flags, name (text), count N, then N times an embedded
// attribute form as a text. Integers are 32-bit little-endian; a text is a 32-bit byte count
// and that many bytes (names and values are UTF-16LE without a terminating NUL).
//
// The readers work in steps so that the caller builds its objects one value or attribute at a
// time, straight from views into the input: nothing is allocated from a count in the data.
#pragma once
#include <cstdint>
#include <vector>
#include "cstream.h"

namespace wick {

constexpr uint32_t kAttributeMagic = 0xAACCEE01u;
constexpr uint32_t kEntryMagic = 0xEEF5AA02u;
constexpr uint32_t kFormVersion = 1;

struct AttributeHeader {
  int32_t control = 0;
  int32_t type = 0;
  ByteSpan name;
  uint32_t count = 0;  // never more values than the bytes left can hold (8 bytes each at least)
};

struct AttributeValue {
  uint32_t type = 0;   // the variant type, zero-extended from 16 bits when written
  ByteSpan text;
};

// Reads magic, version, control, type, name and count; raises CstreamException on short data,
// a wrong magic or version, or a count the rest cannot hold.
AttributeHeader read_attribute_header(StreamReader& in);
AttributeValue read_attribute_value(StreamReader& in);

// Writes a whole attribute form into buf (emptied first; it grows to exactly the size needed).
void write_attribute(std::vector<uint8_t>& buf, int32_t control, int32_t type, ByteSpan name,
                     const AttributeValue* values, size_t count);

struct EntryHeader {
  int32_t flags = 0;
  ByteSpan name;
  uint32_t count = 0;  // never more attributes than the bytes left can hold (4 bytes each at least)
};

EntryHeader read_entry_header(StreamReader& in);
inline ByteSpan read_entry_attribute(StreamReader& in) { return in.text(); }

void write_entry(std::vector<uint8_t>& buf, int32_t flags, ByteSpan name, const ByteSpan* attributes, size_t count);

}  // namespace wick
