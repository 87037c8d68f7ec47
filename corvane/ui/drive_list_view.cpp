#include "drive_list_view.h"
#include "safe_text.h"

#include <commctrl.h>

#include <cwchar>
#include <string>

namespace corvane {

namespace {

std::wstring megabytes(double mb) {
  wchar_t buf[64];
  swprintf(buf, 64, L"%.0f MB", mb);
  return buf;
}

void set_sub_text(HWND list, int item, int column, const std::wstring& text) {
  LVITEMW it = {};
  it.iSubItem = column;
  it.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, item, reinterpret_cast<LPARAM>(&it));
}

}  // namespace

void DriveListView::setup() {
  ListView_SetExtendedListViewStyle(list_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  struct Column {
    const wchar_t* title;
    int width;  // dialog units, so the columns scale with the font
    int format;
  };
  const Column columns[] = {{L"Drive", 62, LVCFMT_LEFT},
                            {L"Label", 52, LVCFMT_LEFT},
                            {L"File system", 48, LVCFMT_LEFT},
                            {L"Capacity", 44, LVCFMT_RIGHT},
                            {L"Free space", 44, LVCFMT_RIGHT}};
  HWND parent = GetParent(list_);
  for (int i = 0; i < 5; ++i) {
    RECT r = {0, 0, columns[i].width, 1};
    MapDialogRect(parent, &r);
    LVCOLUMNW c = {};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    c.fmt = columns[i].format;
    c.cx = r.right;
    c.pszText = const_cast<wchar_t*>(columns[i].title);
    c.iSubItem = i;
    SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&c));
  }
}

void DriveListView::clear() { ListView_DeleteAllItems(list_); }

void DriveListView::add(const FoundDrive& drive) {
  LVITEMW it = {};
  it.mask = LVIF_TEXT | LVIF_PARAM;
  it.iItem = ListView_GetItemCount(list_);
  it.pszText = const_cast<wchar_t*>(drive.item.c_str());
  it.lParam = 0;  // marker: listed
  int i = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)));
  if (i < 0) return;
  // The label and file system are the server's texts: shown, never obeyed.
  set_sub_text(list_, i, 1, display_text(drive.label));
  set_sub_text(list_, i, 2, display_text(drive.filesystem));
  set_sub_text(list_, i, 3, megabytes(drive.capacity_mb));
  set_sub_text(list_, i, 4, megabytes(drive.free_mb));
  ListView_SetCheckState(list_, i, TRUE);
}

size_t DriveListView::count() const { return static_cast<size_t>(ListView_GetItemCount(list_)); }

std::wstring DriveListView::text(size_t i) const {
  // The item text has no fixed bound: grow the buffer until it holds the whole text.
  std::wstring buf(64, L'\0');
  for (;;) {
    LVITEMW it = {};
    it.iSubItem = 0;
    it.pszText = &buf[0];
    it.cchTextMax = static_cast<int>(buf.size());
    int n = static_cast<int>(SendMessageW(list_, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&it)));
    if (n < static_cast<int>(buf.size()) - 1) return buf.substr(0, static_cast<size_t>(n));
    buf.assign(buf.size() * 2, L'\0');
  }
}

bool DriveListView::ticked(size_t i) const { return ListView_GetCheckState(list_, static_cast<int>(i)) != 0; }

int DriveListView::marker(size_t i) const {
  LVITEMW it = {};
  it.mask = LVIF_PARAM;
  it.iItem = static_cast<int>(i);
  if (!SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it))) return 0;
  return static_cast<int>(it.lParam);
}

void DriveListView::set_marker(size_t i, int marker) {
  LVITEMW it = {};
  it.mask = LVIF_PARAM;
  it.iItem = static_cast<int>(i);
  it.lParam = marker;
  SendMessageW(list_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
}

}  // namespace corvane
