// Opening the program's help: the site's own Windows Help file when there is one, our compiled
// HTML Help otherwise, and the page in the default browser when no help viewer answers.
#pragma once
#include <windows.h>

#include <string>

namespace corvane {

// The topic about the sibling storage-management product.
constexpr unsigned kTallyraTopic = 5000;

class Help {
public:
  // `folder`: the program's folder (trailing backslash).
  explicit Help(std::wstring folder) : folder_(std::move(folder)) {}
  // "Help": the index of the help.
  void index(HWND owner) const;
  // One topic by its context number.
  void topic(HWND owner, unsigned context) const;
  // Closes help windows still open before the program ends.
  void close_all() const;

private:
  std::wstring winhelp_file() const { return folder_ + L"corvane.hlp"; }
  std::wstring chm_file() const { return folder_ + L"corvane.chm"; }
  bool winhelp(HWND owner, UINT command, ULONG_PTR data) const;
  bool htmlhelp(HWND owner, UINT command, DWORD_PTR data) const;
  void browse(const wchar_t* page) const;

  std::wstring folder_;
};

}  // namespace corvane
