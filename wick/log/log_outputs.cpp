#include "log_outputs.h"
#include "raii.h"
#include "server.h"

namespace wick {
namespace {

const wchar_t kEventLogKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
const DWORD kLogRecordEvent = 0xC0001000;

// Set once the event source has been registered; never cleared in the process.
volatile LONG g_source_registered = 0;

std::wstring find_module_path() {
  HMODULE self = GetModuleHandleW(L"wick.dll");
  if (!self) self = corv::server().module();  // loaded under another file name
  std::vector<wchar_t> buf(256);
  for (;;) {
    DWORD n = GetModuleFileNameW(self, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::wstring();
    if (n < buf.size()) return std::wstring(buf.data(), n);
    if (buf.size() >= 0x8000) return std::wstring();  // longer than any path the system makes
    buf.resize(buf.size() * 2);
  }
}

bool set_string(HKEY key, const wchar_t* name, const std::wstring& value) {
  // Stored without a terminating NUL: twice the number of characters.
  return RegSetValueExW(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool set_dword(HKEY key, const wchar_t* name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
         ERROR_SUCCESS;
}

}  // namespace

const std::wstring& log_module_path() {
  // Initialised once, safely when two threads come first at once.
  static const std::wstring path = find_module_path();
  return path;
}

bool append_to_file(const wchar_t* path, const std::vector<uint8_t>& bytes) {
  if (!path || !*path) return false;
  corv::Handle file(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  return bytes.empty() ||
         WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE;
}

bool ensure_event_source(const wchar_t* source) {
  if (g_source_registered) return true;
  std::wstring path = kEventLogKey;
  path += source;
  corv::RegKey key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.out(), nullptr) !=
      ERROR_SUCCESS)
    return false;
  const std::wstring& module = log_module_path();
  bool ok = set_string(key.get(), L"EventMessageFile", module) && set_string(key.get(), L"CategoryMessageFile", module) &&
            set_dword(key.get(), L"CategoryCount", 1) && set_dword(key.get(), L"TypesSupported", 7);
  key.reset();
  if (ok) InterlockedExchange(&g_source_registered, 1);
  return ok;
}

void report_event(const wchar_t* source, WORD type, const wchar_t* const inserts[5]) {
  HANDLE log = RegisterEventSourceW(nullptr, source);
  if (!log) return;
  // The process user; without it the event simply carries no user.
  alignas(void*) BYTE user[1024];
  PSID sid = nullptr;
  HANDLE raw = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), GENERIC_READ, &raw)) {
    corv::Handle token(raw);
    DWORD len = 0;
    if (GetTokenInformation(token.get(), TokenUser, user, sizeof user, &len))
      sid = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
  }
  ReportEventW(log, type, 1, kLogRecordEvent, sid, 5, 0, const_cast<const wchar_t**>(inserts), nullptr);
  DeregisterEventSource(log);
}

}  // namespace wick
