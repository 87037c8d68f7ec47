#include "settings_form.h"

#include "disk_text.h"
#include "safe_text.h"

#include <cwctype>

namespace corvane {

const wchar_t kSettingsSection[] = L"Defaults";
const wchar_t kKeyPattern[] = L"Sharname";
const wchar_t kKeyAccount[] = L"Account";
const wchar_t kKeyRead[] = L"AccessRead";
const wchar_t kKeyChange[] = L"AccessChange";
const wchar_t kKeyFull[] = L"AccessFull";
const wchar_t kKeyParallel[] = L"Parallel";
const wchar_t kKeyServers[] = L"Servers";
const wchar_t kDefaultPattern[] = L"<drive>";

std::wstring setting_value(const std::wstring& raw) { return trim_blanks(raw.substr(0, 79)); }

std::optional<int> check_value(const std::wstring& value) {
  std::wstring v = trim_blanks(value);
  if (v.empty() || v.size() > 9) return std::nullopt;
  size_t i = (v[0] == L'-' || v[0] == L'+') ? 1 : 0;
  unsigned long long magnitude = 0;
  // ASCII digits only: another script's digits would make the conversion throw.
  if (!parse_decimal(v.substr(i), 99999999, magnitude)) return std::nullopt;
  long n = v[0] == L'-' ? -static_cast<long>(magnitude) : static_cast<long>(magnitude);
  // A check box holds 0, 1 or 2 (greyed); anything else is no state it can show.
  if (n < 0 || n > 2) return std::nullopt;
  return static_cast<int>(n);
}

unsigned parallel_value(const std::wstring& value) {
  std::wstring v = trim_blanks(value);
  unsigned long long n = 0;
  if (!parse_decimal(v, 64, n) || n < 1) return 8;
  return static_cast<unsigned>(n);
}

unsigned long access_mask(bool read, bool change, bool full) {
  unsigned long mask = 0;
  if (read) mask |= 0x1200A9;
  if (change) mask |= 0x1301BF;
  if (full) mask |= 0x1F01FF;
  return mask ? mask : 0x1200A9;
}

}  // namespace corvane
