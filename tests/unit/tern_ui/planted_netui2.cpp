// A planted "NETUI2.DLL": it answers nothing and only records, beside itself, that some
// process loaded it. Put next to a program that uses tern, it must never be loaded.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(self, path, MAX_PATH - 8);
  if (n == 0 || n >= MAX_PATH - 8) return TRUE;
  lstrcatW(path, L".loaded");
  HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  return TRUE;
}

// The three entry points the account browser looks for, so that only the load itself decides.
extern "C" HANDLE WINAPI OpenUserBrowser(void*) { return nullptr; }
extern "C" BOOL WINAPI EnumUserBrowserSelection(HANDLE, void*, DWORD*) { return FALSE; }
extern "C" BOOL WINAPI CloseUserBrowser(HANDLE) { return TRUE; }
