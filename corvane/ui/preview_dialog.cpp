#include "preview_dialog.h"

#include <commdlg.h>

#include <vector>

#include "app.h"
#include "raii.h"
#include "resource.h"

namespace corvane {

namespace {

struct Preview {
  const std::wstring* report;
  RECT last{};  // client rectangle at the last layout, to move the controls by the difference
};

void copy_text(HWND dlg, const std::wstring& text) {
  if (!OpenClipboard(dlg)) return;
  EmptyClipboard();
  size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* p = GlobalLock(mem)) {
      memcpy(p, text.c_str(), bytes);
      GlobalUnlock(mem);
      // The clipboard owns the memory once it took it.
      if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
    } else {
      GlobalFree(mem);
    }
  }
  CloseClipboard();
}

void save_text(HWND dlg, const std::wstring& text) {
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dlg;
  ofn.lpstrFilter = L"Text (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
  ofn.lpstrDefExt = L"txt";
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = L"Save the preview";
  ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
  if (!GetSaveFileNameW(&ofn) || !file[0]) return;
  std::string bytes = to_acp(text);
  corv::Handle out(CreateFileW(file.data(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!out.valid() || !WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size())
    MessageBoxW(dlg, L"The preview could not be saved.", L"Preview", MB_OK | MB_ICONEXCLAMATION);
}

// The text grows with the box; the buttons keep their place at its lower right.
void layout(HWND dlg, Preview& p) {
  RECT now;
  GetClientRect(dlg, &now);
  int dx = now.right - p.last.right, dy = now.bottom - p.last.bottom;
  p.last = now;
  if (!dx && !dy) return;
  HDWP batch = BeginDeferWindowPos(4);
  for (int id : {IDC_PREVIEW_TEXT, IDC_PREVIEW_COPY, IDC_PREVIEW_SAVE, IDCANCEL}) {
    HWND c = GetDlgItem(dlg, id);
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    if (id == IDC_PREVIEW_TEXT)
      batch = DeferWindowPos(batch, c, nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                             SWP_NOMOVE | SWP_NOZORDER);
    else batch = DeferWindowPos(batch, c, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  EndDeferWindowPos(batch);
}

INT_PTR CALLBACK preview_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* p = reinterpret_cast<Preview*>(GetWindowLongPtrW(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      p = reinterpret_cast<Preview*>(lp);
      SetWindowLongPtrW(dlg, DWLP_USER, lp);
      GetClientRect(dlg, &p->last);
      HWND text = GetDlgItem(dlg, IDC_PREVIEW_TEXT);
      // A fixed-pitch font keeps the report's columns.
      SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), FALSE);
      SetWindowTextW(text, p->report->c_str());
      return TRUE;
    }
    case WM_SIZE:
      if (p) layout(dlg, *p);
      return TRUE;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lp);
      info->ptMinTrackSize = {320, 200};
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_PREVIEW_COPY: copy_text(dlg, *p->report); return TRUE;
        case IDC_PREVIEW_SAVE: save_text(dlg, *p->report); return TRUE;
        case IDCANCEL:
        case IDOK: EndDialog(dlg, 0); return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

void show_preview(HWND owner, const std::wstring& report) {
  Preview p{&report};
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PREVIEW), owner, preview_proc,
                  reinterpret_cast<LPARAM>(&p));
}

}  // namespace corvane
