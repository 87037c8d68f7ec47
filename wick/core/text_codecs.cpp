#include "text_codecs.h"

namespace wick {
namespace {

const char16_t kUpper[] = u"0123456789ABCDEF";

int hex_value(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

}  // namespace

std::u16string bin_to_hex(const uint8_t* data, size_t size) {
  std::u16string out(size * 2, u'0');
  for (size_t i = 0; i < size; ++i) {
    out[2 * i] = kUpper[data[i] >> 4];
    out[2 * i + 1] = kUpper[data[i] & 0x0F];
  }
  return out;
}

bool hex_to_bin(const char16_t* text, size_t n, std::vector<uint8_t>& out) {
  for (size_t i = 0; i < n; ++i)
    if (hex_value(text[i]) < 0) return false;
  out.assign(n / 2, 0);
  for (size_t i = 0; i + 1 < n; i += 2)
    out[i / 2] = static_cast<uint8_t>((hex_value(text[i]) << 4) | hex_value(text[i + 1]));
  return true;
}

std::u16string bin_to_ldap_str(const uint8_t* data, size_t size) {
  std::u16string out(size, u'\0');
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<char16_t>(static_cast<int16_t>(static_cast<int8_t>(data[i])));
  return out;
}

std::vector<uint8_t> ldap_str_to_bin(const uint8_t* bytes, size_t size) {
  std::vector<uint8_t> out(size / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = bytes[2 * i];  // little-endian: low byte first
  return out;
}

std::u16string escape_filter_value(const uint8_t* data, size_t size) {
  size_t n = 0;
  auto plain = [](uint8_t b) { return b >= 0x20 && b <= 0x7E && b != '*' && b != '(' && b != ')' && b != '\\'; };
  for (size_t i = 0; i < size; ++i) n += plain(data[i]) ? 1 : 3;
  std::u16string out;
  out.reserve(n);
  for (size_t i = 0; i < size; ++i) {
    uint8_t b = data[i];
    if (plain(b)) {
      out += static_cast<char16_t>(b);
    } else {
      out += u'\\';
      out += kUpper[b >> 4];
      out += kUpper[b & 0x0F];
    }
  }
  return out;
}

}  // namespace wick
