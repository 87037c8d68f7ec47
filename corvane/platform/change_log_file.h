// "ShareChanges.log": one dated line per entry, opened, appended to and closed per entry.
#pragma once
#include "reports.h"

#include <string>

namespace corvane {

class ChangeLogFile : public ChangeLog {
public:
  explicit ChangeLogFile(std::wstring path) : path_(std::move(path)) {}
  // A line that cannot be written is lost silently.
  void write(const std::wstring& text) override;
  const std::wstring& path() const { return path_; }

private:
  std::wstring path_;
};

// The current local time as "dd-mmm-yyyy hh:mm" in the user's locale.
std::wstring now_stamp();

}  // namespace corvane
