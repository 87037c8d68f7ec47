// Loading tern.dll enables the backup, restore, security and take-ownership privileges.
#include "com_test.h"
#include <vector>
#include "tern_h.h"

namespace {

// Attributes of a privilege in the process token; -1 when the token lacks it.
long privilege_state(const wchar_t* name) {
  LUID luid;
  if (!LookupPrivilegeValueW(nullptr, name, &luid)) return -1;
  corv::Handle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out())) return -1;
  DWORD need = 0;
  GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &need);
  std::vector<uint8_t> buf(need);
  if (!GetTokenInformation(token.get(), TokenPrivileges, buf.data(), need, &need)) return -1;
  auto* tp = reinterpret_cast<TOKEN_PRIVILEGES*>(buf.data());
  for (DWORD i = 0; i < tp->PrivilegeCount; ++i)
    if (tp->Privileges[i].Luid.LowPart == luid.LowPart && tp->Privileges[i].Luid.HighPart == luid.HighPart)
      return static_cast<long>(tp->Privileges[i].Attributes);
  return -1;
}

}  // namespace

TEST(LoadPrivileges, EnabledOnceTheLibraryIsLoaded) {
  const wchar_t* names[] = {SE_RESTORE_NAME, SE_BACKUP_NAME, SE_SECURITY_NAME, SE_TAKE_OWNERSHIP_NAME};
  ASSERT_EQ(nullptr, GetModuleHandleW(L"tern.dll"));
  // Without this, the test could not tell who enabled them.
  for (const wchar_t* n : names) {
    long s = privilege_state(n);
    ASSERT_NE(-1, s) << "token lacks the privilege";
    ASSERT_EQ(0, s & SE_PRIVILEGE_ENABLED) << "already enabled before loading";
  }
  auto si = corvtest::create<IzrSecurityInfo>(CLSID_zrSecurityInfo);
  ASSERT_TRUE(si);
  ASSERT_NE(nullptr, GetModuleHandleW(L"tern.dll"));
  for (const wchar_t* n : names) EXPECT_EQ(SE_PRIVILEGE_ENABLED, privilege_state(n) & SE_PRIVILEGE_ENABLED);
}
