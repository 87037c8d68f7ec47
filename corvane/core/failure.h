// The program's error discipline: a failing step is abandoned, the procedure goes on with the
// next one, and the failure's number and text stay pending until a later failure replaces them
// or the procedure clears them. A component's failure is its status as a negative number.
#pragma once
#include <string>

namespace corvane {

class Pending {
public:
  void clear() {
    number_ = 0;
    text_.clear();
  }
  void fail(long number, std::wstring text) {
    number_ = number;
    text_ = std::move(text);
  }
  // A component call's status: a failing one becomes pending as its (negative) number, with no
  // text, so it adds nothing to a log line. Returns whether the call succeeded.
  bool check(long status) {
    if (status >= 0) return true;
    fail(status, std::wstring());
    return false;
  }
  long number() const { return number_; }
  const std::wstring& text() const { return text_; }
  explicit operator bool() const { return number_ != 0; }

private:
  long number_ = 0;
  std::wstring text_;
};

}  // namespace corvane
