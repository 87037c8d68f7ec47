// "cv.ini" through the profile functions (8-bit text in the system code page).
#pragma once
#include <string>

namespace corvane {

class IniFile {
public:
  explicit IniFile(std::wstring path) : path_(std::move(path)) {}
  // The value (at most 79 characters, blanks trimmed); empty when absent.
  std::wstring read(const std::wstring& section, const std::wstring& key) const;
  // A value that may be long (a list of servers), blanks trimmed; empty when absent.
  std::wstring read_long(const std::wstring& section, const std::wstring& key) const;
  void write(const std::wstring& section, const std::wstring& key, const std::wstring& value);
  const std::wstring& path() const { return path_; }

private:
  std::wstring path_;
};

}  // namespace corvane
