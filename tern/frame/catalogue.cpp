#include "catalogue.h"
#include "raii.h"
#include "server.h"

namespace tern {
namespace {

std::wstring cut_at_crlf(const wchar_t* text) {
  std::wstring s = text ? text : L"";
  size_t p = s.find(L"\r\n");
  if (p != std::wstring::npos) s.erase(p);
  return s;
}

}  // namespace

bool catalogue_text(std::wstring& out, DWORD id, const wchar_t* i1, const wchar_t* i2, const wchar_t* i3) {
  DWORD_PTR args[3] = {reinterpret_cast<DWORD_PTR>(i1 ? i1 : L""), reinterpret_cast<DWORD_PTR>(i2 ? i2 : L""),
                       reinterpret_cast<DWORD_PTR>(i3 ? i3 : L"")};
  corv::LocalMem<wchar_t> buf;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           corv::server().module(), id, 0, reinterpret_cast<LPWSTR>(buf.out()), 0,
                           reinterpret_cast<va_list*>(args));
  if (n == 0 || !buf.get()) return false;
  out = cut_at_crlf(buf.get());
  return true;
}

std::wstring system_error_text(DWORD code) {
  corv::LocalMem<wchar_t> buf;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<LPWSTR>(buf.out()), 0, nullptr);
  if (n == 0 || !buf.get()) return std::wstring();
  return cut_at_crlf(buf.get());
}

std::wstring lookup_module_text(DWORD code, DWORD lookup_id) {
  std::wstring module_name;
  if (!catalogue_text(module_name, lookup_id) || module_name.empty()) return std::wstring();
  // By its full path in the system folder: a bare name would be looked for in the program's
  // folder and the current folder too, where anyone could leave a module of that name.
  wchar_t folder[MAX_PATH];
  UINT len = GetSystemDirectoryW(folder, MAX_PATH);
  if (len == 0 || len >= MAX_PATH) return std::wstring();
  std::wstring path(folder, len);
  path += L'\\';
  path += module_name;
  corv::Module mod(LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE));
  if (!mod.get()) return std::wstring();
  corv::LocalMem<wchar_t> buf;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                           mod.get(), code, 0, reinterpret_cast<LPWSTR>(buf.out()), 0, nullptr);
  if (n == 0 || !buf.get()) return std::wstring();
  return cut_at_crlf(buf.get());
}

std::wstring computer_text(const wchar_t* system) {
  return (system && *system) ? std::wstring(system) : std::wstring(L"(local)");
}

}  // namespace tern
