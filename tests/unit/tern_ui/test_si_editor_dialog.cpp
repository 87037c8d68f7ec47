// zrSiEditor with the system's own permission editor: the dialog opens for the described
// object, is photographed and closed from a second thread.
#include "com_test.h"
#include <aclui.h>
#include <sddl.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>
#include "tern_h.h"

using corv::Bstr;
using corv::ComPtr;

namespace {

struct Found {
  DWORD pid;
  HWND hwnd;
};

// A named callback, not a lambda: the system calls it with its own calling convention (stdcall on
// i686), which a lambda's conversion does not give under GCC.
BOOL CALLBACK take_own_window(HWND h, LPARAM p) {
  auto* f = reinterpret_cast<Found*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid == f->pid && IsWindowVisible(h)) {
    f->hwnd = h;
    return FALSE;
  }
  return TRUE;
}

// A visible top-level window of this process.
HWND find_own_window() {
  Found f = {GetCurrentProcessId(), nullptr};
  EnumWindows(take_own_window, reinterpret_cast<LPARAM>(&f));
  return f.hwnd;
}

// Saves what the screen shows of a window as a 24-bit BMP file.
bool save_window_bmp(HWND h, const std::wstring& path) {
  RECT r;
  if (!GetWindowRect(h, &r)) return false;
  int w = r.right - r.left, ht = r.bottom - r.top;
  if (w <= 0 || ht <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, ht);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, ht, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  BITMAPINFOHEADER bi = {};
  bi.biSize = sizeof bi;
  bi.biWidth = w;
  bi.biHeight = ht;
  bi.biPlanes = 1;
  bi.biBitCount = 24;
  bi.biCompression = BI_RGB;
  DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  std::vector<BYTE> pixels(stride * static_cast<DWORD>(ht));
  GetDIBits(mem, bmp, 0, static_cast<UINT>(ht), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi;
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  bool ok = WriteFile(f, &fh, sizeof fh, &n, nullptr) && WriteFile(f, &bi, sizeof bi, &n, nullptr) &&
            WriteFile(f, pixels.data(), static_cast<DWORD>(pixels.size()), &n, nullptr);
  CloseHandle(f);
  return ok;
}

}  // namespace

TEST(SiEditorDialog, OpensTheSystemEditorAndCloses) {
  wchar_t display[256];
  if (!GetEnvironmentVariableW(L"DISPLAY", display, 256)) GTEST_SKIP() << "no X display";

  auto ed = corvtest::create<IzrSiEditor>(CLSID_zrSiEditor);
  ASSERT_TRUE(ed);
  Bstr name(L"Projects"), none(L"");
  ASSERT_EQ(S_OK, ed->setObjectInfo(SI_EDIT_PERMS, name.get(), none.get(), none.get(), none.get(), none.get()));
  ASSERT_EQ(S_OK,
            ed->addGenericMap(FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS, nullptr));
  VARIANT full, read;
  VariantInit(&full);
  VariantInit(&read);
  V_VT(&full) = VT_BSTR;
  V_BSTR(&full) = SysAllocString(L"Full Control");
  V_VT(&read) = VT_BSTR;
  V_BSTR(&read) = SysAllocString(L"Read");
  ASSERT_EQ(S_OK, ed->addAccessRight(FILE_ALL_ACCESS, &full, SI_ACCESS_GENERAL, -1, nullptr, nullptr, VARIANT_FALSE));
  ASSERT_EQ(S_OK, ed->addAccessRight(FILE_GENERIC_READ, &read, SI_ACCESS_GENERAL, -1, nullptr, nullptr, VARIANT_TRUE));
  VariantClear(&full);
  VariantClear(&read);
  PSECURITY_DESCRIPTOR sd = nullptr;
  ULONG len = 0;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAG:SYD:(A;;FA;;;BA)(A;;FR;;;WD)",
                                                                   SDDL_REVISION_1, &sd, &len));
  Bstr bytes = corv::Bstr::attach(SysAllocStringByteLen(static_cast<const char*>(sd), len));
  LocalFree(sd);
  ASSERT_EQ(S_OK, ed->put_Sd(bytes.get()));

  std::wstring shots = corvtest::program_folder() + L"..\\screens";
  CreateDirectoryW(shots.c_str(), nullptr);
  std::wstring shot = shots + L"\\si-editor.bmp";
  DeleteFileW(shot.c_str());

  std::atomic<bool> seen{false}, saved{false};
  std::wstring title;
  std::thread closer([&] {
    for (int i = 0; i < 600; ++i) {  // at most 60 s: the first window of a run starts Wine's desktop
      HWND h = find_own_window();
      if (h) {
        seen = true;
        Sleep(700);  // let it paint
        wchar_t text[256] = {};
        GetWindowTextW(h, text, 256);
        title = text;
        saved = save_window_bmp(h, shot);
        PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
        Sleep(300);
        if (IsWindow(h)) PostMessageW(h, WM_CLOSE, 0, 0);
        return;
      }
      Sleep(100);
    }
  });
  VARIANT_BOOL result = 7;
  HRESULT hr = ed->editSecurity(0, &result);
  closer.join();
  EXPECT_EQ(S_OK, hr);
  EXPECT_TRUE(result == VARIANT_TRUE || result == VARIANT_FALSE);
  EXPECT_TRUE(seen) << "no editor window appeared";
  EXPECT_TRUE(saved) << "screenshot";
  std::wcout << L"editor window: \"" << title << L"\", result " << result << L"\n";
}
