// Hexadecimal and directory-string texts: no crash, outputs of the promised size, and every
// conversion that succeeds reverses exactly.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include "text_codecs.h"

using namespace wick;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bin(data, data + size);

  std::u16string h = bin_to_hex(bin.data(), bin.size());
  if (h.size() != 2 * size) __builtin_trap();
  std::vector<uint8_t> back;
  if (!hex_to_bin(h.data(), h.size(), back) || back != bin) __builtin_trap();

  std::u16string l = bin_to_ldap_str(bin.data(), bin.size());
  std::vector<uint8_t> le(l.size() * 2);
  for (size_t i = 0; i < l.size(); ++i)
    le[2 * i] = static_cast<uint8_t>(l[i]), le[2 * i + 1] = static_cast<uint8_t>(l[i] >> 8);
  if (ldap_str_to_bin(le.data(), le.size()) != bin) __builtin_trap();

  // Filter values: only printable ASCII outside the filter's specials, every escape decodes.
  std::u16string f = escape_filter_value(bin.data(), bin.size());
  if (f.size() > 3 * size) __builtin_trap();
  std::vector<uint8_t> decoded;
  for (size_t i = 0; i < f.size(); ++i) {
    char16_t c = f[i];
    if (c < 0x20 || c > 0x7E || c == u'*' || c == u'(' || c == u')') __builtin_trap();
    if (c == u'\\') {
      if (i + 2 >= f.size()) __builtin_trap();
      std::vector<uint8_t> one;
      if (!hex_to_bin(&f[i + 1], 2, one) || one.size() != 1) __builtin_trap();
      decoded.push_back(one[0]);
      i += 2;
    } else {
      decoded.push_back(static_cast<uint8_t>(c));
    }
  }
  if (decoded != bin) __builtin_trap();

  // The same bytes as a text of UTF-16 units, read as hexadecimal.
  std::u16string t(size / 2, u'\0');
  if (size >= 2) std::memcpy(&t[0], data, (size / 2) * 2);
  std::vector<uint8_t> out;
  if (hex_to_bin(t.data(), t.size(), out)) {
    if (out.size() != t.size() / 2) __builtin_trap();
    std::u16string again = bin_to_hex(out.data(), out.size());
    for (size_t i = 0; i < again.size(); ++i) {
      char16_t a = again[i], b = t[i];
      if (b >= u'a' && b <= u'f') b = static_cast<char16_t>(b - 32);
      if (a != b) __builtin_trap();
    }
  }
  return 0;
}
