#include "help.h"

#include <shellapi.h>

#include "app.h"

namespace corvane {

namespace {

// HTML Help commands (htmlhelp.h): the viewer is loaded at run time, so no import library.
constexpr UINT kHhDisplayToc = 0x0001;
constexpr UINT kHhHelpContext = 0x000F;
constexpr UINT kHhCloseAll = 0x0012;

using HtmlHelpAFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

template <class Fn>
Fn entry_point(HMODULE m, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(m, name)));
}

// The viewer stays loaded for the life of the process: its windows run on our thread.
HtmlHelpAFn html_help_entry() {
  static HtmlHelpAFn fn = [] {
    // By its full path in the system folder: the program's folder is searched first for a name.
    std::wstring path = system_file(L"hhctrl.ocx");
    HMODULE m = path.empty() ? nullptr : LoadLibraryW(path.c_str());
    return m ? entry_point<HtmlHelpAFn>(m, "HtmlHelpA") : nullptr;
  }();
  return fn;
}

bool file_exists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool Help::winhelp(HWND owner, UINT command, ULONG_PTR data) const {
  // A site that authored a Windows Help file keeps it; without the file the call is not made.
  if (!file_exists(winhelp_file())) return false;
  return WinHelpA(owner, to_acp(winhelp_file()).c_str(), command, data) != FALSE;
}

bool Help::htmlhelp(HWND owner, UINT command, DWORD_PTR data) const {
  if (!file_exists(chm_file())) return false;
  HtmlHelpAFn fn = html_help_entry();
  return fn && fn(owner, to_acp(chm_file()).c_str(), command, data) != nullptr;
}

void Help::browse(const wchar_t* page) const {
  std::wstring path = folder_ + L"help\\" + page;
  ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void Help::index(HWND owner) const {
  if (winhelp(owner, HELP_INDEX, 0) || htmlhelp(owner, kHhDisplayToc, 0)) return;
  browse(L"index.html");
}

void Help::topic(HWND owner, unsigned context) const {
  if (winhelp(owner, HELP_CONTEXT, context) || htmlhelp(owner, kHhHelpContext, context)) return;
  browse(context == kTallyraTopic ? L"tallyra.html" : L"index.html");
}

void Help::close_all() const {
  // Only when the viewer was loaded: closing must not load it.
  if (!GetModuleHandleW(L"hhctrl.ocx")) return;
  if (HtmlHelpAFn fn = html_help_entry()) fn(nullptr, nullptr, kHhCloseAll, 0);
}

}  // namespace corvane
