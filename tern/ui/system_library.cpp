#include "system_library.h"
#include <string>

namespace tern {

HMODULE load_system_library(const wchar_t* name) {
  HMODULE m = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // A system without the search flags refuses them as a bad parameter: then the full path
  // in the system folder (whose own imports are then looked for there first).
  if (m || GetLastError() != ERROR_INVALID_PARAMETER) return m;
  wchar_t folder[MAX_PATH];
  UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  std::wstring path(folder, n);
  path += L'\\';
  path += name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace tern
