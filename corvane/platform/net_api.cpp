#include "net_api.h"

#include <windows.h>
#include <lm.h>

#include "net_buffer.h"

namespace corvane {

using corv::NetBuffer;

namespace {
// The bytes a network answer holds (0 when unknown).
size_t answer_size(const void* buffer) {
  DWORD size = 0;
  return buffer && NetApiBufferSize(const_cast<void*>(buffer), &size) == NERR_Success ? size : 0;
}
}  // namespace

bool classNetAPI::isNT() const {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
  if (!GetVersionExA(&info)) return false;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

std::wstring classNetAPI::fnGetDomainName(std::wstring& domain) const {
  if (!isNT()) return L"0";
  NetBuffer buf;
  NET_API_STATUS status = NetWkstaGetInfo(nullptr, 100, buf.out());
  if (status != NERR_Success) return std::to_wstring(status);
  auto* info = reinterpret_cast<const WKSTA_INFO_100*>(buf.get());
  if (info && info->wki100_langroup) domain = info->wki100_langroup;
  return L"0";
}

long classNetAPI::fnNetServerEnum(const std::wstring& domain, unsigned long server_type,
                                  std::vector<std::wstring>& names, bool /*wks_only*/) const {
  NetBuffer buf;
  DWORD read = 0, total = 0, resume = 0;
  // The domain list comes from the primary domain's browse list: no domain is named then.
  LPCWSTR in_domain = server_type == kSvTypeDomainEnum ? nullptr : domain.c_str();
  NET_API_STATUS status = NetServerEnum(nullptr, 101, buf.out(), MAX_PREFERRED_LENGTH, &read, &total, server_type,
                                        in_domain, &resume);
  // The whole list was asked for (MAX_PREFERRED_LENGTH), so more data means the browser cannot
  // give more in one answer, and the resume handle of this call is reserved: the part that came
  // is all there is. Any other failure delivers no name; a partial buffer is still freed.
  if (status != NERR_Success && status != ERROR_MORE_DATA) return static_cast<long>(status);
  auto* entries = reinterpret_cast<const SERVER_INFO_101*>(buf.get());
  // No more entries than the answer holds, whatever the count says.
  if (read > answer_size(buf.get()) / sizeof(SERVER_INFO_101)) return ERROR_INVALID_DATA;
  std::vector<std::wstring> out;
  out.reserve(read);
  for (DWORD k = 0; k < read && entries; ++k) out.emplace_back(entries[k].sv101_name ? entries[k].sv101_name : L"");
  names.swap(out);
  return static_cast<long>(status);
}

long server_disk_letters(const std::wstring& server, std::vector<std::wstring>& letters) {
  letters.clear();
  NetBuffer buf;
  DWORD read = 0, total = 0, resume = 0;
  NET_API_STATUS status = NetServerDiskEnum(const_cast<LPWSTR>(server.c_str()), 0, buf.out(), MAX_PREFERRED_LENGTH,
                                            &read, &total, &resume);
  if (status != NERR_Success) return static_cast<long>(status);
  // Three units per drive: the letter, ":", a zero. The list ends with one more zero, so a
  // count that runs past it stops there.
  auto* units = reinterpret_cast<const wchar_t*>(buf.get());
  const size_t held = answer_size(buf.get()) / sizeof(wchar_t);  // never read past the answer
  for (DWORD k = 0; k < read && units && 3 * size_t{k} < held && units[3 * k]; ++k)
    letters.emplace_back(1, units[3 * k]);
  return 0;
}

}  // namespace corvane
