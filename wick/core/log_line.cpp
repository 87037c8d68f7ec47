#include "log_line.h"

namespace wick {
namespace {

void append_text(std::u16string& out, const char16_t* s) {
  if (!s) {
    out += u"(null)";
    return;
  }
  out.append(s, text_length(s));
}

}  // namespace

std::u16string severity_text(int32_t severity) {
  switch (severity) {
    case 0: return u"Error";
    case 1: return u"Warning";
    case 2: return u"Informational";
    case 3: return u"Summary";
    case 4: return u"InternalError";
    case 5: return u"TraceMsg";
    default: return decimal_text(severity);
  }
}

uint16_t event_type(int32_t severity) {
  switch (severity) {
    case 0:
    case 4: return 1;
    case 1: return 2;
    default: return 4;
  }
}

std::u16string decimal_text(int32_t value) {
  // Via 64 bits: the magnitude of INT32_MIN does not fit in 32.
  int64_t v = value;
  bool negative = v < 0;
  uint64_t m = negative ? static_cast<uint64_t>(-v) : static_cast<uint64_t>(v);
  char16_t digits[24];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + m % 10);
    m /= 10;
  } while (m);
  std::u16string out;
  if (negative) out += u'-';
  while (n) out += digits[--n];
  return out;
}

size_t text_length(const char16_t* s) {
  size_t n = 0;
  if (s)
    while (s[n]) ++n;
  return n;
}

std::u16string compose_log_line(const char16_t* system, const char16_t* source, const char16_t* separator,
                                const std::u16string& severity, const std::u16string& error,
                                const char16_t* description) {
  std::u16string line;
  append_text(line, system);
  append_text(line, separator);
  append_text(line, source);
  append_text(line, separator);
  line += severity;
  append_text(line, separator);
  line += error;
  append_text(line, separator);
  append_text(line, description);
  if (line.size() > kMaxLineChars - 2) line.resize(kMaxLineChars - 2);
  line += u"\r\n";
  return line;
}

std::vector<uint8_t> encode_utf16le(const std::u16string& line) {
  std::vector<uint8_t> out;
  out.reserve(line.size() * 2);
  for (char16_t c : line) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

std::vector<uint8_t> encode_8bit(const std::u16string& line) {
  std::vector<uint8_t> out;
  out.reserve(line.size());
  for (size_t i = 0; i < line.size(); ++i) {
    char16_t c = line[i];
    if (c <= 0xFF) {
      out.push_back(static_cast<uint8_t>(c));
      continue;
    }
    out.push_back('?');
    bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < line.size() && line[i + 1] >= 0xDC00 && line[i + 1] <= 0xDFFF;
    if (pair) ++i;
  }
  return out;
}

}  // namespace wick
