#include "app.h"

#include <windows.h>
#include <lm.h>

#include "raii.h"

#include <vector>

namespace corvane {

namespace {
// The executable's full path, however long; empty when it cannot be read.
std::wstring exe_path() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return std::wstring(buf.data(), n);
    buf.resize(buf.size() * 2);  // long paths: the call cut the name
  }
}
}  // namespace

std::wstring exe_folder() {
  std::wstring path = exe_path();
  if (path.empty()) return L".\\";
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

namespace {
// Whether a new file can be made in the folder: the only test that holds for every way of
// being refused (access lists, read-only media, virtualisation switched off).
bool can_create_files(const std::wstring& folder) {
  std::wstring probe = folder + L"cv-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::wstring user_folder() {
  wchar_t base[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    n = GetEnvironmentVariableW(L"APPDATA", base, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
  }
  std::wstring folder = std::wstring(base, n);
  for (const wchar_t* part : {L"\\Velmora", L"\\Corvane"}) {
    folder += part;
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  return folder + L"\\";
}
}  // namespace

std::wstring data_folder() {
  static const std::wstring folder = [] {
    std::wstring own = exe_folder();
    if (can_create_files(own)) return own;
    std::wstring user = user_folder();
    return user.empty() ? own : user;
  }();
  return folder;
}

Version program_version() {
  Version v;
  std::wstring path = exe_path();
  if (path.empty()) return v;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return v;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return v;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info ||
      len < sizeof(VS_FIXEDFILEINFO))
    return v;
  v.major = HIWORD(info->dwFileVersionMS);
  v.minor = LOWORD(info->dwFileVersionMS);
  v.revision = HIWORD(info->dwFileVersionLS);
  return v;
}

std::string to_acp(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring from_acp(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::wstring trim_line_end(std::wstring s) {
  while (!s.empty() && (s.back() == L'\r' || s.back() == L'\n' || s.back() == L' ' || s.back() == L'.'))
    s.pop_back();
  return s;
}

std::wstring status_text(unsigned long status) {
  corv::LocalMem<wchar_t> text;
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD n = FormatMessageW(flags | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, status, 0,
                           reinterpret_cast<LPWSTR>(text.out()), 0, nullptr);
  if (n == 0 && status >= NERR_BASE && status <= MAX_NERR) {
    // Network statuses have their texts in netmsg.dll, from the system folder only.
    corv::Module netmsg(LoadLibraryExW(L"netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (netmsg.get())
      n = FormatMessageW(flags | FORMAT_MESSAGE_FROM_HMODULE, netmsg.get(), status, 0,
                         reinterpret_cast<LPWSTR>(text.out()), 0, nullptr);
  }
  if (n == 0 || !text.get()) return L"error " + std::to_wstring(status);
  return trim_line_end(text.get()) + L".";
}

}  // namespace corvane
