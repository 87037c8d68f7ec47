// Reading and writing the little-endian stream of the serialised attribute and entry forms.
// A failure of either side raises CstreamException, which the property boundary answers with
// E_INVALIDARG. The reader trusts no size field: every read is checked against the bytes left.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace wick {

// Raised by the reader and the writer; carries no data.
struct CstreamException {};

// Whether a size fits a 32-bit count field (two shifts: well defined for any size_t width).
inline bool fits_u32(size_t n) { return ((n >> 16) >> 16) == 0; }

// A view of bytes owned by someone else.
struct ByteSpan {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

class StreamReader {
public:
  StreamReader(const uint8_t* data, size_t size) : p_(data), left_(data ? size : 0) {}

  // A 32-bit little-endian value; needs 4 bytes left.
  uint32_t u32();
  // A "text": a 32-bit byte count L (unsigned) and L bytes, returned as a view into the input.
  ByteSpan text();
  // A 32-bit element count. Each element takes at least min_item_size bytes, so a count larger
  // than the bytes left can hold is refused here, before anyone sizes a list by it.
  uint32_t count(size_t min_item_size);

  size_t remaining() const { return left_; }

private:
  const uint8_t* p_;
  size_t left_;
};

class StreamWriter {
public:
  // Empties the buffer (its memory is kept) and reserves exactly `total` bytes when it must grow.
  StreamWriter(std::vector<uint8_t>& buf, size_t total);

  void u32(uint32_t v);
  void text(ByteSpan t);  // byte count and bytes; a count beyond 32 bits raises CstreamException

  // Size of a text field of n bytes.
  static size_t text_size(size_t n) { return 4 + n; }

private:
  std::vector<uint8_t>& buf_;
};

}  // namespace wick
