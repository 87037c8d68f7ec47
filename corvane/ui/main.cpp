// corvane.exe: creates, updates and deletes disk shares on the servers of a Windows NT network.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app.h"
#include "main_window.h"
#include "raii.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything is loaded: later DLLs from the system folder only.
  corvane::restrict_dll_search();
  // The account picker object is apartment-threaded and shows windows: a single-threaded apartment.
  corv::ComApartment apartment;
  if (!apartment.joined()) return 1;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);

  int code = 1;
  {
    corvane::MainWindow window;
    HWND hwnd = window.create(instance);
    if (hwnd) {
      MSG msg;
      BOOL got;
      while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        if (!IsDialogMessageW(hwnd, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
      }
      code = got == 0 ? static_cast<int>(msg.wParam) : 1;
    }
  }
  return code;
}
