// Text that came from a server, a file or a setting, made safe for where it goes: a console or
// a window (control characters shown, not obeyed), a spreadsheet (no formula starts a cell), a
// number (ASCII digits only, range-checked, never an exception).
#pragma once
#include <string>

namespace corvane {

// The text with every control character written out as "\xHH" (C0, DEL, C1) or "\uHHHH"
// (direction and invisible formatting marks), so that nothing a server sends can move the
// cursor, erase or forge a line, or reorder what the administrator reads. Everything else is
// kept as it is. With `keep_line_ends`, "\r\n" pairs and tabs stay (for composed messages whose
// server fields have been made safe one by one).
std::wstring display_text(const std::wstring& text, bool keep_line_ends = false);

// Whether the text holds a character display_text would write out.
bool has_control(const std::wstring& text);

// A CSV cell that a spreadsheet would take for a formula ("=", "+", "-", "@", a tab or a
// carriage return first) gets an apostrophe in front, and so does one that already begins with
// an apostrophe: taking one leading apostrophe off every cell that has one gives the exact text
// back.
std::wstring formula_guard(const std::wstring& cell);

// A whole number written in ASCII digits only (no sign, no blanks, no other script's digits),
// at most `max`; false (and `out` untouched) otherwise.
bool parse_decimal(const std::wstring& text, unsigned long long max, unsigned long long& out);

}  // namespace corvane
