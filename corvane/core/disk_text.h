// Texts and figures of drive discovery: connection status texts, volume serials, sizes.
#pragma once
#include <cstdint>
#include <string>

namespace corvane {

// The status text of a drive connection, looked up for every status, 0 included: the known
// ones in words, any other as "Unrecognized Error " + number (a blank before a number >= 0) + ".".
std::wstring wnet_error_text(long status);

// Serial number as signed 32-bit decimal text.
std::wstring serial_text(uint32_t serial);

// Whole megabytes (1 MB = 1048576 bytes), cut down, of a cluster count.
double whole_mb(uint64_t sectors_per_cluster, uint64_t bytes_per_sector, uint64_t clusters);

// The volume label as shown: up to its first zero, blanks trimmed, "No label" when empty.
std::wstring label_text(const std::wstring& raw);

// Text trimmed of leading and trailing blanks.
std::wstring trim_blanks(const std::wstring& s);

}  // namespace corvane
