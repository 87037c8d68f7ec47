// zrUserBrowser where the network user-interface library is missing (as on current Windows
// and under Wine): the system's object picker takes its place.
#include "com_test.h"
#include <atomic>
#include <thread>
#include "tern_h.h"

using corv::Bstr;

TEST(UserBrowserFallback, ObjectPickerInsteadOfTheMissingLibrary) {
  // This program lives in a folder of its own: the lab's stand-in beside the other test
  // programs must not be found, neither there nor through the current directory.
  SetDllDirectoryW(L"");
  SetCurrentDirectoryW(corvtest::program_folder().c_str());
  HMODULE probe = LoadLibraryW(L"NETUI2.DLL");
  ASSERT_EQ(nullptr, probe) << "a netui2.dll is reachable";
  ASSERT_EQ(nullptr, GetModuleHandleW(L"objsel.dll"));

  auto b = corvtest::create<IzrUserBrowser>(CLSID_zrUserBrowser);
  ASSERT_TRUE(b);
  // Should the picker show a window, it is cancelled from here.
  std::atomic<bool> done{false};
  std::thread canceller([&] {
    for (int i = 0; i < 300 && !done; ++i) {
      HWND h = GetForegroundWindow();
      DWORD pid = 0;
      if (h) GetWindowThreadProcessId(h, &pid);
      if (h && pid == GetCurrentProcessId()) PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
      Sleep(100);
    }
  });
  Bstr title(L"Accounts"), none(L"");
  LONG n = -1;
  HRESULT hr = b->Open(0, title.get(), none.get(), none.get(), 4100, 0, &n);
  done = true;
  canceller.join();
  EXPECT_EQ(S_OK, hr);
  EXPECT_EQ(0, n);  // cancelled
  EXPECT_NE(nullptr, GetModuleHandleW(L"objsel.dll")) << "the object picker was not created";
  Bstr d, a, t;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_INDEX), b->GetSelection(0, d.out(), a.out(), t.out()));
}
