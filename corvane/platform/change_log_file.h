// "ShareChanges.log": one dated line per entry, opened, appended to and closed per entry.
#pragma once
#include "reports.h"

#include <string>

namespace corvane {

class ChangeLogFile : public ChangeLog {
public:
  explicit ChangeLogFile(std::wstring path) : path_(std::move(path)) {}
  // False when the line could not be written whole.
  bool write(const std::wstring& text) override;
  std::wstring where() const override { return L"the change log " + path_; }
  const std::wstring& path() const { return path_; }

private:
  std::wstring path_;
};

// The current local time as "dd-mmm-yyyy hh:mm" in the user's locale.
std::wstring now_stamp();

}  // namespace corvane
