// netui2.dll of the lab: the account picker, answering with the picks that the network
// description scripts instead of showing a dialog. The last request record is kept in the lab
// state (section [picker request]) so that tests can check every word of it.
#include <windows.h>

#include <algorithm>
#include <new>

#include "lab.h"

namespace {

// The request record: nine words; the window and the three texts are pointer-sized, so the
// record is 36 bytes on 32-bit Windows and 56 on 64-bit.
struct BrowserRequest {
  DWORD size;
  DWORD word1;
  DWORD word2;
  HWND owner;
  LPCWSTR title;
  LPCWSTR server;
  DWORD flags;
  DWORD param2;
  LPCWSTR help_file;
};

// An account record: pointer-sized words, the account name, domain and description texts at
// words 5, 6 and 7 (bytes 20, 24, 28 on 32-bit; 40, 48, 56 on 64-bit), the texts behind it.
struct AccountRecord {
  ULONG_PTR words[5];
  LPWSTR account;
  LPWSTR domain;
  LPWSTR description;
};

const DWORD kDisallowMultipleChoice = 0x1000;

struct Browser {
  std::vector<lab::Pick> picks;
  size_t next = 0;
};

std::wstring pointer_text(const void* p) {
  wchar_t b[32];
  swprintf(b, 32, L"0x%p", p);
  return b;
}

void keep_text(lab::IniSection& sec, const wchar_t* key, LPCWSTR text) {
  sec.set(std::wstring(key) + L"_null", text ? L"0" : L"1");
  sec.set(key, text ? text : L"");
}

// The lab's files are written after the answer is known; the caller's last error is set once
// they are closed.
Browser* open_browser(const BrowserRequest* request, DWORD& error) {
  lab::Session s(L"OpenUserBrowser");
  error = ERROR_INVALID_PARAMETER;
  if (!s.open() || !request) return nullptr;
  lab::IniSection& sec = s.state.other.section(L"picker request");
  sec.keys.clear();
  sec.set(L"size", std::to_wstring(request->size));
  s.dirty = true;
  const BYTE* raw = reinterpret_cast<const BYTE*>(request);
  // A record of another size has its texts elsewhere: refused before any of them is read.
  if (request->size != sizeof(BrowserRequest)) {
    sec.set(L"raw",
            lab::to_hex(std::vector<uint8_t>(raw, raw + std::min<size_t>(request->size, sizeof(BrowserRequest)))));
    s.journal(L"size=" + std::to_wstring(request->size), ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  sec.set(L"word1", std::to_wstring(request->word1));
  sec.set(L"word2", std::to_wstring(request->word2));
  sec.set(L"owner", pointer_text(request->owner));
  keep_text(sec, L"title", request->title);
  keep_text(sec, L"server", request->server);
  sec.set(L"flags", std::to_wstring(request->flags));
  sec.set(L"param2", std::to_wstring(request->param2));
  keep_text(sec, L"help_file", request->help_file);
  sec.set(L"raw", lab::to_hex(std::vector<uint8_t>(raw, raw + sizeof(BrowserRequest))));

  auto* b = new (std::nothrow) Browser;
  if (b) {
    b->picks = s.net().picks;
    if ((request->flags & kDisallowMultipleChoice) && b->picks.size() > 1) b->picks.resize(1);
  }
  std::wstring args = L"flags=" + std::to_wstring(request->flags) + L" title=" + lab::quoted(request->title) +
                      L" picks=" + std::to_wstring(b ? b->picks.size() : 0);
  // Nothing scripted: the user cancels the dialog.
  error = b ? 0 : ERROR_NOT_ENOUGH_MEMORY;
  if (b && b->picks.empty()) {
    delete b;
    b = nullptr;
    error = ERROR_CANCELLED;
  }
  s.journal(args, error);
  return b;
}

}  // namespace

extern "C" {

HANDLE WINAPI OpenUserBrowser(const BrowserRequest* request) {
  DWORD error = 0;
  Browser* b = open_browser(request, error);
  if (!b) SetLastError(error);
  return b;
}

BOOL WINAPI EnumUserBrowserSelection(HANDLE handle, void* buffer, DWORD* length) {
  auto* b = static_cast<Browser*>(handle);
  if (!b || !buffer || !length) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (b->next >= b->picks.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  const lab::Pick& p = b->picks[b->next];
  size_t need = sizeof(AccountRecord) +
                (p.account.size() + p.domain.size() + p.description.size() + 3) * sizeof(wchar_t);
  if (*length < need) {
    *length = static_cast<DWORD>(need);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto* r = static_cast<AccountRecord*>(buffer);
  memset(r, 0, sizeof *r);
  auto* text = reinterpret_cast<wchar_t*>(r + 1);
  auto put = [&](const std::wstring& s) {
    wchar_t* start = text;
    memcpy(text, s.c_str(), (s.size() + 1) * sizeof(wchar_t));
    text += s.size() + 1;
    return start;
  };
  r->account = put(p.account);
  r->domain = put(p.domain);
  r->description = put(p.description);
  ++b->next;
  lab::Session s(L"EnumUserBrowserSelection");
  if (s.open()) s.journal(L"account=" + lab::quoted((p.domain + L"\\" + p.account).c_str()), 0);
  return TRUE;
}

BOOL WINAPI CloseUserBrowser(HANDLE handle) {
  lab::Session s(L"CloseUserBrowser");
  if (s.open()) s.journal(L"", handle ? 0 : ERROR_INVALID_HANDLE);
  delete static_cast<Browser*>(handle);
  return handle != nullptr;
}

}  // extern "C"
