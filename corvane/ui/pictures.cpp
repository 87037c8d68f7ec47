#include "pictures.h"

namespace corvane {

namespace {

// A bitmap resource as a DIB section, so that it can be read and scaled.
HBITMAP load(int id) {
  return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0,
                                         LR_CREATEDIBSECTION));
}

SIZE size_of(HBITMAP bitmap) {
  BITMAP b = {};
  GetObjectW(bitmap, sizeof b, &b);
  return {b.bmWidth, b.bmHeight};
}

// A copy of `source` at `to`, averaged (HALFTONE) rather than with pixels dropped.
HBITMAP scaled(HBITMAP source, SIZE from, SIZE to) {
  HDC screen = GetDC(nullptr);
  HDC src = CreateCompatibleDC(screen);
  HDC dst = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = to.cx;
  bi.bmiHeader.biHeight = to.cy;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP out = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (out) {
    HGDIOBJ old_src = SelectObject(src, source);
    HGDIOBJ old_dst = SelectObject(dst, out);
    SetStretchBltMode(dst, HALFTONE);
    SetBrushOrgEx(dst, 0, 0, nullptr);
    StretchBlt(dst, 0, 0, to.cx, to.cy, src, 0, 0, from.cx, from.cy, SRCCOPY);
    SelectObject(src, old_src);
    SelectObject(dst, old_dst);
  }
  DeleteDC(src);
  DeleteDC(dst);
  ReleaseDC(nullptr, screen);
  return out;
}

}  // namespace

int screen_dpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

Pictures::~Pictures() {
  for (HBITMAP b : owned_) DeleteObject(b);
}

void Pictures::show(HWND dialog, const std::vector<PictureArt>& art, int dpi) {
  for (const PictureArt& a : art) {
    // The drawn scale at or above the screen's; 200% serves every larger one as well.
    int id = dpi <= 96 ? a.at100 : dpi <= 144 ? a.at150 : a.at200;
    HBITMAP drawn = load(id);
    HBITMAP base = load(a.at100);
    if (!drawn || !base) {
      if (drawn) DeleteObject(drawn);
      if (base) DeleteObject(base);
      continue;
    }
    SIZE at100 = size_of(base);
    DeleteObject(base);
    SIZE have = size_of(drawn), want = {MulDiv(at100.cx, dpi, 96), MulDiv(at100.cy, dpi, 96)};
    HBITMAP shown = drawn;
    if (have.cx != want.cx || have.cy != want.cy) {
      shown = scaled(drawn, have, want);
      DeleteObject(drawn);
      if (!shown) continue;
    }
    HWND control = GetDlgItem(dialog, a.control);
    HANDLE old = reinterpret_cast<HANDLE>(SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP,
                                                       reinterpret_cast<LPARAM>(shown)));
    // The control gives back the 96-DPI bitmap it loaded from the template: that one is ours
    // to delete now; a bitmap we set earlier is deleted with the others at the end.
    bool ours = false;
    for (HBITMAP b : owned_) ours = ours || b == old;
    if (old && !ours) DeleteObject(old);
    owned_.push_back(shown);
  }
}

}  // namespace corvane
