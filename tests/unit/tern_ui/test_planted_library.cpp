// A "NETUI2.DLL" planted beside a program that uses tern: the account browser must take the
// library from the system folder only. This program and the planted library share a folder
// of their own; the lab's stand-in lies in the prefix's system folder.
#include "com_test.h"
#include "labtest.h"
#include "tern_h.h"

using corv::Bstr;

namespace {

std::wstring planted() { return corvtest::program_folder() + L"NETUI2.DLL"; }
std::wstring marker() { return planted() + L".loaded"; }
bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring module_path(HMODULE m) {
  wchar_t buf[MAX_PATH];
  DWORD n = m ? GetModuleFileNameW(m, buf, MAX_PATH) : 0;
  return std::wstring(buf, n);
}

}  // namespace

TEST(PlantedLibrary, APlantedUserBrowserBesideTheProgramIsNeverLoaded) {
  ASSERT_TRUE(exists(planted())) << "the planted library is missing";
  DeleteFileW(marker().c_str());
  // Every folder a bare name would be looked for in: the program's, the current one, PATH.
  SetCurrentDirectoryW(corvtest::program_folder().c_str());
  SetEnvironmentVariableW(L"PATH", corvtest::program_folder().c_str());

  corvlab::TempLab lab(L"[network]\r\ndomains=CORP\r\n[domain CORP]\r\nservers=\r\n[picker]\r\npick1=CORP\\alice\r\n");
  auto b = corvtest::create<IzrUserBrowser>(CLSID_zrUserBrowser);
  ASSERT_TRUE(b);
  Bstr title(L"Accounts"), none(L"");
  LONG n = -1;
  ASSERT_EQ(S_OK, b->Open(0, title.get(), none.get(), none.get(), 4, 0, &n));
  // The lab's browser in the system folder answered (the planted one answers nothing).
  EXPECT_EQ(1, n);
  EXPECT_EQ(1u, lab.journal(L"OpenUserBrowser").size());
  EXPECT_FALSE(exists(marker())) << "the planted library was loaded";

  wchar_t system[MAX_PATH];
  UINT len = GetSystemDirectoryW(system, MAX_PATH);
  std::wstring loaded = module_path(GetModuleHandleW(L"NETUI2.DLL"));
  EXPECT_EQ(0, _wcsnicmp(loaded.c_str(), system, len)) << std::string(loaded.begin(), loaded.end());

  // The detector itself: loaded on purpose by its full path, the planted library does record it.
  HMODULE on_purpose = LoadLibraryW(planted().c_str());
  ASSERT_TRUE(on_purpose);
  FreeLibrary(on_purpose);
  EXPECT_TRUE(exists(marker()));
  DeleteFileW(marker().c_str());
}
