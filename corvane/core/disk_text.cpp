#include "disk_text.h"

namespace corvane {

std::wstring wnet_error_text(long status) {
  switch (status) {
    case 1: return L"Function is not supported.";
    case 2: return L"An error occurred on the network.";
    case 4: return L"The Pointer was Invalid.";
    case 6: return L"The Password was Invalid.";
    case 7: return L"A security violation occurred.";
    case 11: return L"Out of Memory.";
    case 50: return L"Invalid Network Resource Name.";
    case 51: return L"The local device name was invalid.";
    case 52: return L"The local device was connected to a remote resource.";
    default: break;
  }
  // A number is formatted with a blank where its sign would stand.
  std::wstring number = status < 0 ? std::to_wstring(status) : L" " + std::to_wstring(status);
  return L"Unrecognized Error " + number + L".";
}

std::wstring serial_text(uint32_t serial) { return std::to_wstring(static_cast<int32_t>(serial)); }

double whole_mb(uint64_t sectors_per_cluster, uint64_t bytes_per_sector, uint64_t clusters) {
  // Whole megabytes of cluster size x clusters without overflowing 64 bits: the whole-megabyte
  // part and the remainder of a cluster are multiplied separately (each factor below 2^32).
  uint64_t cluster = sectors_per_cluster * bytes_per_sector;
  uint64_t whole = cluster >> 20, rest = cluster & 0xFFFFF;
  return static_cast<double>(whole) * static_cast<double>(clusters) + static_cast<double>((rest * clusters) >> 20);
}

std::wstring trim_blanks(const std::wstring& s) {
  size_t b = s.find_first_not_of(L' ');
  if (b == std::wstring::npos) return {};
  size_t e = s.find_last_not_of(L' ');
  return s.substr(b, e - b + 1);
}

std::wstring label_text(const std::wstring& raw) {
  std::wstring label = trim_blanks(raw.substr(0, raw.find(L'\0')));
  return label.empty() ? L"No label" : label;
}

}  // namespace corvane
