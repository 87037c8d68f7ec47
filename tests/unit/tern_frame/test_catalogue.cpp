// The message table of tern.dll: every text exactly, inserts in place, one line each.
#include "com_test.h"

namespace {

std::wstring format(HMODULE m, DWORD id) {
  DWORD_PTR inserts[3] = {reinterpret_cast<DWORD_PTR>(L"<1>"), reinterpret_cast<DWORD_PTR>(L"<2>"),
                          reinterpret_cast<DWORD_PTR>(L"<3>")};
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           m, id, 0, reinterpret_cast<LPWSTR>(&buf), 0, reinterpret_cast<va_list*>(inserts));
  std::wstring s = n && buf ? buf : L"<missing>";
  if (buf) LocalFree(buf);
  return s;
}

}  // namespace

TEST(Catalogue, EveryMessageReadsExactlyAsPublished) {
  HMODULE m = LoadLibraryExW((corvtest::program_folder() + L"tern.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(m);
  const std::pair<DWORD, const wchar_t*> table[] = {
      {0x00000001, L"Log"},
      {0x40001015, L"<1> '<2>' security descriptor has been read successfully."},
      {0x40001016, L"<1> '<2>' security descriptor has been written successfully."},
      {0x40001017, L"<1> '<2>' security descriptor has been written successfully (SetNamedSecurityInfo)."},
      {0x40001018, L"<1> '<2>' security descriptor has been read successfully (GetNamedSecurityInfo)."},
      {0x40001019, L"<1> security descriptor has been written successfully (SetSecurityInfo)."},
      {0x4000101A, L"<1> security descriptor has been read successfully (GetSecurityInfo)."},
      {0xC0001000, L"netmsg.dll"},
      {0xC0001002, L"Cannot resolve account '<1>' to SID (System <2>, LookupAccountName)."},
      {0xC0001003, L"Cannot resolve SID <1> to account (System <2>, LookupAccountSid)."},
      {0xC0001004, L"Cannot get computer information (System <1>, NetUserModalsGet, level <2>)."},
      {0xC0001005, L"Cannot open file '<1>' (CreateFile)."},
      {0xC0001006, L"Cannot read security descriptor '<1>' (GetKernelObjectSecurity)."},
      {0xC0001007, L"Cannot write security descriptor '<1>' (SetKernelObjectSecurity)."},
      {0xC0001008, L"Cannot read <1> security descriptor '<2>' (GetNamedSecurityInfo)."},
      {0xC0001009, L"Cannot write <1> security descriptor '<2>' (SetNamedSecurityInfo)."},
      {0xC000100A, L"Cannot read <1> security descriptor (GetSecurityInfo)."},
      {0xC000100B, L"Cannot write <1> security descriptor (SetSecurityInfo)."},
      {0xC000100C, L"Cannot open printer '<1>' (OpenPrinter)."},
      {0xC000100D, L"Cannot write printer security descriptor '<1>' (SetPrinter, level 3)."},
      {0xC000100E, L"Cannot read printer security descriptor '<1>' (GetPrinter, level 3)."},
      {0xC000100F, L"Cannot open registry key <1> '<2>' (System <3>, RegOpenKeyEx)."},
      {0xC0001010, L"Cannot read rgistry security descriptor <1> '<2>' (System <3>, RegGetKeySecurity)."},
      {0xC0001011, L"Cannot write rgistry security descriptor <1> '<2>' (System <3>, RegSetKeySecurity)."},
      {0xC0001012, L"Cannot connect to registry <1> (System <2>, RegConnectRegistry)."},
      {0xC0001013, L"Cannot write share security descriptor '<1>' (System <2>, NetShareSetInfo, level 502)."},
      {0xC0001014, L"Cannot read share security descriptor '<1>' (System <2>, NetShareGetInfo, level 502)."},
      {0xC000101B, L"Cannot write share security descriptor '<1>' (System <2>, NetShareSetInfo, level 1501)."},
  };
  for (const auto& [id, text] : table) {
    EXPECT_EQ(std::wstring(text) + L"\r\n", format(m, id)) << std::hex << id;
  }
  EXPECT_EQ(L"<missing>", format(m, 0xC0001001));  // numbers not in the table stay free
  FreeLibrary(m);
}
