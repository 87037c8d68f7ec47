// The serialised attribute and entry forms: no crash, no read beyond the input, no list sized
// beyond what the input can fill, and whatever reads back writes back to the bytes it read.
#include <cstdint>
#include <cstring>
#include <vector>
#include "directory_forms.h"

using namespace wick;

namespace {

// Reads one attribute form as the attribute object does; true with `consumed` on success.
bool attribute_round_trip(const uint8_t* data, size_t size) {
  std::vector<AttributeValue> values;
  AttributeHeader h;
  size_t consumed = 0;
  try {
    StreamReader in(data, size);
    h = read_attribute_header(in);
    if (static_cast<uint64_t>(h.count) * 8 > in.remaining()) __builtin_trap();  // the count must fit
    values.reserve(h.count);
    for (uint32_t i = 0; i < h.count; ++i) values.push_back(read_attribute_value(in));
    consumed = size - in.remaining();
  } catch (const CstreamException&) {
    return false;
  }
  std::vector<uint8_t> out;
  write_attribute(out, h.control, h.type, h.name, values.data(), values.size());
  if (out.size() != consumed || std::memcmp(out.data(), data, consumed) != 0) __builtin_trap();
  return true;
}

void entry_round_trip(const uint8_t* data, size_t size) {
  std::vector<ByteSpan> attributes;
  EntryHeader h;
  size_t consumed = 0;
  try {
    StreamReader in(data, size);
    h = read_entry_header(in);
    if (static_cast<uint64_t>(h.count) * 4 > in.remaining()) __builtin_trap();
    attributes.reserve(h.count);
    for (uint32_t i = 0; i < h.count; ++i) {
      attributes.push_back(read_entry_attribute(in));
      attribute_round_trip(attributes.back().data, attributes.back().size);
    }
    consumed = size - in.remaining();
  } catch (const CstreamException&) {
    return;
  }
  std::vector<uint8_t> out;
  write_entry(out, h.flags, h.name, attributes.data(), attributes.size());
  if (out.size() != consumed || std::memcmp(out.data(), data, consumed) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size heap copy: AddressSanitizer sees any read past the end.
  std::vector<uint8_t> copy(data, data + size);
  if (size > 0 && (data[0] & 1)) {
    // Steer half the inputs into the right magic so the fuzzer gets past the header.
    if (copy.size() >= 8) {
      const uint8_t attr[8] = {0x01, 0xEE, 0xCC, 0xAA, 1, 0, 0, 0}, entry[8] = {0x02, 0xAA, 0xF5, 0xEE, 1, 0, 0, 0};
      std::memcpy(copy.data(), (data[0] & 2) ? entry : attr, 8);
    }
  }
  attribute_round_trip(copy.data(), copy.size());
  entry_round_trip(copy.data(), copy.size());
  return 0;
}
