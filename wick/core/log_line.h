// One record of the log object as a line of text, and that line's bytes in the log file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wick {

// Longest line written, line end included.
constexpr size_t kMaxLineChars = 4095;

// "Error", "Warning", "Informational", "Summary", "InternalError", "TraceMsg" for 0 to 5,
// otherwise the value in signed decimal.
std::u16string severity_text(int32_t severity);

// The event-log type of a severity: error (1) for 0 and 4, warning (2) for 1, else information (4).
uint16_t event_type(int32_t severity);

// Signed decimal, as "%d" writes it.
std::u16string decimal_text(int32_t value);

// Length of a NUL-terminated text; a record's texts are read up to their first NUL.
size_t text_length(const char16_t* s);

// System, Source, severity text, error text and Description joined by the separator and
// ended by CR LF. A null text (as opposed to an empty one) stands as "(null)". A line longer
// than kMaxLineChars is cut so that it still ends with CR LF.
std::u16string compose_log_line(const char16_t* system, const char16_t* source, const char16_t* separator,
                                const std::u16string& severity, const std::u16string& error,
                                const char16_t* description);

// UTF-16LE, no byte-order mark.
std::vector<uint8_t> encode_utf16le(const std::u16string& line);

// One byte per character U+0001-U+00FF; a character beyond that is written as '?' (one per
// character, a surrogate pair counting as one), so the rest of the line and its end survive.
std::vector<uint8_t> encode_8bit(const std::u16string& line);

}  // namespace wick
