#include "privileges.h"
#include <windows.h>
#include "raii.h"

namespace tern {
namespace {

// Two adjustments: the first (attributes 0) yields the privilege's previous state, the
// second writes that state back with the enabled bit set, so other attribute bits survive.
void enable_privilege(const wchar_t* name) {
  LUID luid;
  if (!LookupPrivilegeValueW(nullptr, name, &luid)) return;
  corv::Handle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.out())) return;

  TOKEN_PRIVILEGES tp = {};
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Luid = luid;
  tp.Privileges[0].Attributes = 0;
  TOKEN_PRIVILEGES previous = {};
  DWORD previous_size = sizeof previous;
  SetLastError(ERROR_SUCCESS);
  AdjustTokenPrivileges(token.get(), FALSE, &tp, sizeof tp, &previous, &previous_size);
  DWORD error = GetLastError();
  if (error != ERROR_SUCCESS && error != ERROR_NOT_ALL_ASSIGNED) return;

  // An unchanged privilege comes back with a count of 0: name it again explicitly.
  previous.PrivilegeCount = 1;
  previous.Privileges[0].Luid = luid;
  previous.Privileges[0].Attributes |= SE_PRIVILEGE_ENABLED;
  AdjustTokenPrivileges(token.get(), FALSE, &previous, sizeof previous, nullptr, nullptr);
}

}  // namespace

void enable_load_privileges() {
  enable_privilege(SE_RESTORE_NAME);
  enable_privilege(SE_BACKUP_NAME);
  enable_privilege(SE_SECURITY_NAME);
  enable_privilege(SE_TAKE_OWNERSHIP_NAME);
}

}  // namespace tern
