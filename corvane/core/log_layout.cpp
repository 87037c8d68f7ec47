#include "log_layout.h"

namespace corvane {

const wchar_t kSessionStarted[] = L"Started Velmora Corvane session.";
const wchar_t kSessionTerminated[] = L"Corvane session terminated.";

namespace {
std::wstring two(int n) {
  std::wstring s = std::to_wstring(n < 0 ? 0 : n % 100);
  return s.size() < 2 ? L"0" + s : s;
}
}  // namespace

std::wstring format_stamp(const Stamp& when, const std::wstring& month_abbrev) {
  std::wstring year = std::to_wstring(when.year);
  while (year.size() < 4) year.insert(year.begin(), L'0');
  return two(when.day) + L"-" + month_abbrev + L"-" + year + L" " + two(when.hour) + L":" + two(when.minute);
}

std::wstring log_line(const std::wstring& stamp, const std::wstring& text) {
  return stamp + L"> " + text;
}

std::wstring version_line(const Version& v) {
  return L"Using Corvane v" + std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) + L"." +
         std::to_wstring(v.revision);
}

std::wstring share_remark(const Version& v, const std::wstring& stamp) {
  return L"Added via Velmora Corvane v" + std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) +
         L" at " + stamp;
}

}  // namespace corvane
