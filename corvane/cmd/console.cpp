#include "console.h"

#include <windows.h>

#include "safe_text.h"

namespace corvane {

namespace {

// Server texts are made safe field by field where they are put into a message or table; what
// reaches a console is shown safe once more (CSV on a console included, whose values are exact
// only when redirected).
void print(HANDLE out, const std::wstring& text) {
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(out, &mode)) {
    std::wstring shown = display_text(text, true);
    WriteConsoleW(out, shown.data(), static_cast<DWORD>(shown.size()), &written, nullptr);
    return;
  }
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void out(const std::wstring& t) { print(GetStdHandle(STD_OUTPUT_HANDLE), t); }
void err(const std::wstring& t) { print(GetStdHandle(STD_ERROR_HANDLE), t); }

bool confirm(const std::wstring& question) {
  err(question + L" [y/N] ");
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  char c[16] = {};
  DWORD got = 0;
  if (!ReadFile(in, c, sizeof c - 1, &got, nullptr) || got == 0) {
    err(L"\r\n");
    return false;
  }
  return c[0] == 'y' || c[0] == 'Y';
}

}  // namespace corvane
