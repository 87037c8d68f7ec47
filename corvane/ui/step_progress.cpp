#include "step_progress.h"

namespace corvane {

std::wstring drives_text(size_t n) { return std::to_wstring(n) + (n == 1 ? L" drive" : L" drives"); }

void WindowSearch::domain(const std::wstring& name) {
  domain_ = name;
  server_.clear();
  show();
}

void WindowSearch::server(size_t n, size_t m, const std::wstring& name) {
  server_ = L"server " + std::to_wstring(n) + L" of " + std::to_wstring(m) + L" (\\\\" + name + L")";
  show();
}

void WindowSearch::drives_found(size_t total) {
  found_ = total;
  show();
}

void WindowSearch::show() {
  std::wstring s = L"Searching " + domain_;
  if (!server_.empty()) s += L": " + server_;
  s += L" - " + drives_text(found_) + L" found so far";
  host_.show_progress(s);
}

void WindowCommand::done(size_t n, size_t m) {
  host_.show_progress(what_ + std::to_wstring(n) + L" of " + drives_text(m) + L" done");
}

}  // namespace corvane
