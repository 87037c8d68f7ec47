#include "log_outputs.h"
#include "raii.h"
#include "server.h"

namespace wick {
namespace {

const wchar_t kEventLogKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
const DWORD kLogRecordEvent = 0xC0001000;

// Set once the event source has been registered; never cleared in the process.
volatile LONG g_source_registered = 0;

// Room for the longest path the system makes; no destructor, so nothing runs for it when
// the process ends.
struct ModulePath {
  wchar_t text[0x8000];
  DWORD length;
};

// This module's own file, from its handle: never looked up by name, which could find another
// module called wick.dll in the process, and the event log would then read that file's messages.
bool find_module_path(ModulePath& p) {
  DWORD n = GetModuleFileNameW(corv::server().module(), p.text, ARRAYSIZE(p.text));
  p.length = n < ARRAYSIZE(p.text) ? n : 0;
  p.text[p.length] = L'\0';
  return p.length != 0;
}

bool set_string(HKEY key, const wchar_t* name, const std::wstring& value) {
  // Stored without a terminating NUL: twice the number of characters.
  return RegSetValueExW(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool set_dword(HKEY key, const wchar_t* name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

}  // namespace

std::wstring log_module_path() {
  // Initialised once, safely when two threads come first at once.
  static ModulePath path;
  static const bool found = find_module_path(path);
  (void)found;
  return std::wstring(path.text, path.length);
}

bool append_to_file(const wchar_t* path, const std::vector<uint8_t>& bytes) {
  if (!path || !*path) return false;
  corv::Handle file(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
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
  const std::wstring module = log_module_path();
  bool ok = set_string(key.get(), L"EventMessageFile", module) &&
            set_string(key.get(), L"CategoryMessageFile", module) && set_dword(key.get(), L"CategoryCount", 1) &&
            set_dword(key.get(), L"TypesSupported", 7);
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
