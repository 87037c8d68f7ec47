#include "cstream.h"

namespace wick {

uint32_t StreamReader::u32() {
  if (left_ < 4) throw CstreamException();
  uint32_t v = static_cast<uint32_t>(p_[0]) | (static_cast<uint32_t>(p_[1]) << 8) |
               (static_cast<uint32_t>(p_[2]) << 16) | (static_cast<uint32_t>(p_[3]) << 24);
  p_ += 4;
  left_ -= 4;
  return v;
}

ByteSpan StreamReader::text() {
  uint32_t n = u32();
  if (n > left_) throw CstreamException();
  ByteSpan t{p_, n};
  p_ += n;
  left_ -= n;
  return t;
}

uint32_t StreamReader::count(size_t min_item_size) {
  uint32_t n = u32();
  if (min_item_size > 0 && n > left_ / min_item_size) throw CstreamException();
  return n;
}

StreamWriter::StreamWriter(std::vector<uint8_t>& buf, size_t total) : buf_(buf) {
  buf_.clear();
  if (buf_.capacity() < total) buf_.reserve(total);
}

void StreamWriter::u32(uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
  buf_.insert(buf_.end(), b, b + 4);
}

void StreamWriter::text(ByteSpan t) {
  if (!fits_u32(t.size)) throw CstreamException();
  u32(static_cast<uint32_t>(t.size));
  if (t.size) buf_.insert(buf_.end(), t.data, t.data + t.size);
}

}  // namespace wick
