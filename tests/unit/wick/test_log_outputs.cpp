// What the log object leaves with the platform: the event-source registration in the
// registry, and the library's message catalogue and version. (The event-log calls and the
// debugger output are checked by event_calls.sh through Wine's debug channels.)
// Each test case runs in a process of its own: the registration is done once per process.
#include <string>
#include "wick_test.h"

using corv::Bstr;
using corv::ComPtr;

namespace {

const wchar_t kApplication[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

std::wstring unique_source(const wchar_t* tag) {
  return std::wstring(L"wick test ") + tag + L" " + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(GetTickCount());
}

bool key_exists(const std::wstring& source) {
  HKEY k = nullptr;
  std::wstring path = std::wstring(kApplication) + L"\\" + source;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

void delete_key(const std::wstring& source) {
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kApplication) + L"\\" + source).c_str());
}

struct Value {
  DWORD type = 0;
  std::vector<uint8_t> data;
  bool found = false;
};

Value read_value(const std::wstring& subkey, const wchar_t* name) {
  Value v;
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return v;
  DWORD size = 0;
  if (RegQueryValueExW(k, name, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
    v.data.resize(size);
    v.found = RegQueryValueExW(k, name, nullptr, &v.type, v.data.data(), &size) == ERROR_SUCCESS;
    v.data.resize(size);
  }
  RegCloseKey(k);
  return v;
}

// A new folder of this process's own in the temporary folder.
std::wstring storage_folder(const wchar_t* tag) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  std::wstring folder = std::wstring(dir) + tag + L"_" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::wstring wick_path() {
  wchar_t buf[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(GetModuleHandleW(L"wick.dll"), buf, MAX_PATH * 2);
  return std::wstring(buf, n);
}

ComPtr<IzrLog> event_log(const std::wstring& source) {
  auto log = corvtest::create<IzrLog>(CLSID_zrLog);
  if (!log) return log;
  Bstr s(source.c_str());
  EXPECT_EQ(S_OK, log->put_EvenSource(s.get()));
  EXPECT_EQ(S_OK, log->put_FlagEventLog(VARIANT_TRUE));
  EXPECT_EQ(S_OK, log->put_FlagCallOnError(VARIANT_FALSE));
  return log;
}

HRESULT record(IzrLog* log, long severity) {
  Bstr a(L"a"), b(L"b"), c(L"c");
  return log->LogError(a.get(), b.get(), severity, 1, c.get());
}

TEST(EventSource, RegisteredOnceWithItsFourValues) {
  std::wstring first = unique_source(L"first"), second = unique_source(L"second"), third = unique_source(L"third");
  auto log = event_log(first);
  ASSERT_TRUE(log);
  EXPECT_FALSE(key_exists(first));  // nothing is registered at creation
  EXPECT_EQ(S_OK, record(log.get(), 0));
  ASSERT_TRUE(key_exists(first));
  std::wstring key = std::wstring(kApplication) + L"\\" + first;
  std::wstring path = wick_path();
  ASSERT_FALSE(path.empty());
  for (const wchar_t* name : {L"EventMessageFile", L"CategoryMessageFile"}) {
    Value v = read_value(key, name);
    ASSERT_TRUE(v.found) << name;
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), v.type);
    // The module path. It is written without a terminating NUL; the registry itself adds one
    // when the caller's buffer has it right after the counted data (Wine does, as NT does).
    std::vector<uint8_t> expected = wicktest::utf16(path);
    if (v.data.size() == expected.size() + 2 && v.data[expected.size()] == 0 && v.data[expected.size() + 1] == 0)
      v.data.resize(expected.size());
    EXPECT_EQ(expected, v.data);
  }
  Value count = read_value(key, L"CategoryCount"), types = read_value(key, L"TypesSupported");
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), count.type);
  EXPECT_EQ(std::vector<uint8_t>({1, 0, 0, 0}), count.data);
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), types.type);
  EXPECT_EQ(std::vector<uint8_t>({7, 0, 0, 0}), types.data);

  // Never again in this process: not for another object, not for a changed source.
  auto other = event_log(second);
  EXPECT_EQ(S_OK, record(other.get(), 0));
  EXPECT_FALSE(key_exists(second));
  Bstr s(third.c_str());
  ASSERT_EQ(S_OK, log->put_EvenSource(s.get()));
  EXPECT_EQ(S_OK, record(log.get(), 1));
  EXPECT_FALSE(key_exists(third));
  delete_key(first);
}

TEST(EventSource, WithoutASourceNameNothingIsRegistered) {
  auto log = event_log(L"");
  ASSERT_TRUE(log);
  EXPECT_EQ(S_OK, record(log.get(), 0));
  ASSERT_EQ(S_OK, log->put_EvenSource(nullptr));
  EXPECT_EQ(S_OK, record(log.get(), 0));
  // The Application key itself never receives the values.
  EXPECT_FALSE(read_value(kApplication, L"EventMessageFile").found);
  // And the registration is still to be done, once a source is named.
  std::wstring named = unique_source(L"named");
  Bstr s(named.c_str());
  ASSERT_EQ(S_OK, log->put_EvenSource(s.get()));
  EXPECT_EQ(S_OK, record(log.get(), 0));
  EXPECT_TRUE(key_exists(named));
  delete_key(named);
}

// The message file registered is this module's own file, even when another module called
// wick.dll was loaded into the process first (a lookup by name would find that one).
TEST(EventSource, MessageFileIsThisModuleBesideAnotherOfItsName) {
  std::wstring folder = storage_folder(L"wick_other");
  std::wstring other_path = folder + L"\\wick.dll";
  ASSERT_TRUE(CopyFileW((corvtest::program_folder() + L"wick.dll").c_str(), other_path.c_str(), FALSE));
  HMODULE other = LoadLibraryW(other_path.c_str());
  ASSERT_TRUE(other);
  std::wstring source = unique_source(L"other");
  auto log = event_log(source);  // the registered library, from the staging folder
  ASSERT_TRUE(log);
  EXPECT_EQ(S_OK, record(log.get(), 0));
  Value v = read_value(std::wstring(kApplication) + L"\\" + source, L"EventMessageFile");
  ASSERT_TRUE(v.found);
  std::wstring registered(reinterpret_cast<const wchar_t*>(v.data.data()), v.data.size() / 2);
  registered.erase(registered.find_last_not_of(L'\0') + 1);
  EXPECT_EQ(0, lstrcmpiW((corvtest::program_folder() + L"wick.dll").c_str(), registered.c_str())) << registered;
  delete_key(source);
  log.reset();
  FreeLibrary(other);
  DeleteFileW(other_path.c_str());
  RemoveDirectoryW(folder.c_str());
}

TEST(Catalogue, EventMessageAndCategoryTexts) {
  ComPtr<IzrLog> log = corvtest::create<IzrLog>(CLSID_zrLog);  // loads the library
  HMODULE wick = GetModuleHandleW(L"wick.dll");
  ASSERT_TRUE(wick);
  DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(L"S"), reinterpret_cast<DWORD_PTR>(L"R"),
                      reinterpret_cast<DWORD_PTR>(L"Error"), reinterpret_cast<DWORD_PTR>(L"-5"),
                      reinterpret_cast<DWORD_PTR>(L"D")};
  wchar_t buf[512];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, wick, 0xC0001000, 1033, buf,
                           512, reinterpret_cast<va_list*>(args));
  ASSERT_GT(n, 0u);
  EXPECT_EQ(L"System: S\tSource: R\tErrorType: Error\tErrorCode: -5\tDescription: D\r\n", std::wstring(buf, n));
  n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, wick, 1, 1033, buf, 512, nullptr);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(L"Log\r\n", std::wstring(buf, n));
}

TEST(Catalogue, VersionResource) {
  std::wstring path = corvtest::program_folder() + L"wick.dll";
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
  EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
  EXPECT_EQ(MAKELONG(8, 0), fixed->dwFileVersionLS);
  EXPECT_EQ(MAKELONG(0, 1), fixed->dwProductVersionMS);
  EXPECT_EQ(0u, fixed->dwProductVersionLS);
  wchar_t* text = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
                             reinterpret_cast<void**>(&text), &len));
  EXPECT_EQ(L"1.0", std::wstring(text));
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904b0\\FileVersion", reinterpret_cast<void**>(&text),
                             &len));
  EXPECT_EQ(L"1.0.0.8", std::wstring(text));
}

}  // namespace
