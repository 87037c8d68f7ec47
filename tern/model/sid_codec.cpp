#include "sid_codec.h"

namespace tern {
namespace {

bool is_c_space(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

void append_decimal(std::u16string& out, uint64_t v) {
  char16_t buf[24];
  size_t n = 0;
  do {
    buf[n++] = static_cast<char16_t>(u'0' + v % 10);
    v /= 10;
  } while (v);
  while (n) out.push_back(buf[--n]);
}

}  // namespace

size_t sid_length_at(const uint8_t* bytes, size_t size) {
  if (!bytes || size < kSidHeaderSize) return 0;
  size_t need = sid_length(bytes[1]);
  return size >= need ? need : 0;
}

bool sid_is_valid(const uint8_t* bytes, size_t size) {
  if (sid_length_at(bytes, size) == 0) return false;
  return bytes[0] == 1 && bytes[1] <= kSidMaxSubAuthorities;
}

size_t parse_ulong32(std::u16string_view text, size_t pos, uint32_t& value) {
  value = 0;
  size_t i = pos;
  while (i < text.size() && is_c_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  size_t digits_start = i;
  uint64_t v = 0;
  bool overflow = false;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
    v = v * 10 + static_cast<unsigned>(text[i] - u'0');
    if (v > 0xFFFFFFFFull) {
      overflow = true;
      v = 0xFFFFFFFFull;
    }
    ++i;
  }
  if (i == digits_start) return 0;  // no digits: nothing converted, nothing used
  if (overflow) value = 0xFFFFFFFFu;
  else value = negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(v)) : static_cast<uint32_t>(v);
  return i - pos;
}

bool sid_from_text(std::u16string_view t, std::vector<uint8_t>& out) {
  out.clear();
  if (t.size() < 2 || t[0] != u'S' || t[1] != u'-') return false;
  size_t pos = 2;
  uint32_t revision = 0;
  pos += parse_ulong32(t, pos, revision);
  if (pos >= t.size() || t[pos] != u'-') return false;
  ++pos;
  uint32_t authority = 0;
  pos += parse_ulong32(t, pos, authority);
  if (pos >= t.size()) return false;

  uint32_t subs[kSidMaxParsedSubAuthorities];
  unsigned count = 0;
  while (pos < t.size() && t[pos] == u'-') {
    ++pos;
    uint32_t v = 0;
    pos += parse_ulong32(t, pos, v);
    if (count == kSidMaxParsedSubAuthorities) return false;  // a ninth one
    subs[count++] = v;
  }
  if (count == 0) return false;
  const uint8_t auth[6] = {0,
                           0,
                           static_cast<uint8_t>(authority >> 24),
                           static_cast<uint8_t>(authority >> 16),
                           static_cast<uint8_t>(authority >> 8),
                           static_cast<uint8_t>(authority)};
  out = sid_build(auth, subs, count);
  return true;
}

std::u16string sid_to_text(const uint8_t* sid) {
  std::u16string s = u"S-1-";
  const uint8_t* a = sid + 2;
  if (a[0] == 0 && a[1] == 0) {
    append_decimal(s, (uint32_t(a[2]) << 24) | (uint32_t(a[3]) << 16) | (uint32_t(a[4]) << 8) | a[5]);
  } else {
    static const char16_t hex[] = u"0123456789abcdef";
    s += u"0x";
    for (int i = 0; i < 6; ++i) {
      s.push_back(hex[a[i] >> 4]);
      s.push_back(hex[a[i] & 15]);
    }
  }
  for (unsigned i = 0; i < sid[1]; ++i) {
    s.push_back(u'-');
    append_decimal(s, sid_sub_authority(sid, i));
  }
  return s;
}

std::vector<uint8_t> sid_build(const uint8_t authority[6], const uint32_t* subs, unsigned count) {
  std::vector<uint8_t> v(sid_length(count), 0);
  v[0] = 1;
  v[1] = static_cast<uint8_t>(count);
  for (int i = 0; i < 6; ++i) v[2 + i] = authority[i];
  for (unsigned i = 0; i < count; ++i) sid_set_sub_authority(v.data(), i, subs[i]);
  return v;
}

uint32_t sid_sub_authority(const uint8_t* sid, unsigned index) {
  const uint8_t* p = sid + kSidHeaderSize + 4 * index;
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void sid_set_sub_authority(uint8_t* sid, unsigned index, uint32_t value) {
  uint8_t* p = sid + kSidHeaderSize + 4 * index;
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

}  // namespace tern
