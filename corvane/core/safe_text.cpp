#include "safe_text.h"

namespace corvane {

namespace {

// Characters that act instead of showing: C0, DEL and C1 controls, the direction marks,
// embeddings, overrides and isolates, the line and paragraph separators, and the invisible
// joiners and byte-order mark that can hide or reorder text.
bool is_control(wchar_t c) {
  unsigned u = static_cast<unsigned>(c);
  return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x061C || (u >= 0x200B && u <= 0x200F) ||
         (u >= 0x2028 && u <= 0x202E) || (u >= 0x2060 && u <= 0x2069) || u == 0xFEFF;
}

void append_hex(std::wstring& out, unsigned value, int digits) {
  static const wchar_t hex[] = L"0123456789ABCDEF";
  out += digits == 2 ? L"\\x" : L"\\u";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += hex[(value >> shift) & 0xF];
}

}  // namespace

std::wstring display_text(const std::wstring& text, bool keep_line_ends) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (!is_control(c)) {
      out += c;
      continue;
    }
    if (keep_line_ends && (c == L'\t' || (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n'))) {
      out += c;
      if (c == L'\r') out += text[++i];
      continue;
    }
    unsigned u = static_cast<unsigned>(c);
    append_hex(out, u, u < 0x100 ? 2 : 4);
  }
  return out;
}

bool has_control(const std::wstring& text) {
  for (wchar_t c : text)
    if (is_control(c)) return true;
  return false;
}

std::wstring formula_guard(const std::wstring& cell) {
  if (cell.empty()) return cell;
  switch (cell[0]) {
    case L'=':
    case L'+':
    case L'-':
    case L'@':
    case L'\t':
    case L'\r':
    case L'\'': return L"'" + cell;
    default: return cell;
  }
}

bool parse_decimal(const std::wstring& text, unsigned long long max, unsigned long long& out) {
  if (text.empty() || text.size() > 20) return false;
  unsigned long long v = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    unsigned d = static_cast<unsigned>(c - L'0');
    if (d > max || v > (max - d) / 10) return false;  // v * 10 + d would pass max
    v = v * 10 + d;
  }
  out = v;
  return true;
}

}  // namespace corvane
