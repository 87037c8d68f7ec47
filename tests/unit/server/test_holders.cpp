// The client holders where the platform's own values decide what they do.
#include "com_test.h"

using corv::RegKey;

// Predefined roots are sign-extended 32-bit values on 64-bit Windows; a holder must know
// every one of them whatever the pointer width, and never close one.
TEST(Holders, RegKeyKnowsThePredefinedRootsAndClosesOnlyOpenedKeys) {
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_PERFORMANCE_DATA,
                    HKEY_CURRENT_CONFIG, HKEY_DYN_DATA, HKEY_PERFORMANCE_TEXT, HKEY_PERFORMANCE_NLSTEXT})
    EXPECT_TRUE(RegKey::is_predefined(root)) << std::hex << reinterpret_cast<ULONG_PTR>(root);
  if (sizeof(void*) == 8) {
    EXPECT_EQ(0xFFFFFFFF80000002ull, static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(HKEY_LOCAL_MACHINE)));
    // The same low bits without the sign extension are an ordinary value.
    EXPECT_FALSE(RegKey::is_predefined(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u))));
  }
  EXPECT_FALSE(RegKey::is_predefined(nullptr));

  RegKey opened;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, opened.out()));
  EXPECT_FALSE(RegKey::is_predefined(opened.get()));
  HKEY raw = opened.get();
  opened.reset();
  DWORD subkeys = 0;
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                                   nullptr, nullptr, nullptr, nullptr));

  // A holder of a root gives it back untouched.
  { RegKey root(HKEY_CURRENT_USER); }
  RegKey again;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, again.out()));
}
