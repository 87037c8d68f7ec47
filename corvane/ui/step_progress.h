// How a search or share command in progress reaches the window: through StepHost alone, so the
// adapters below see nothing else of it.
#pragma once
#include <functional>
#include <string>

#include "reports.h"

namespace corvane {

// What a step in progress may ask of the window.
class StepHost {
public:
  // Shown on the status line.
  virtual void show_progress(const std::wstring& text) = 0;
  // Lets pending messages through; false once a stop or a close was asked for.
  virtual bool pump() = 0;
  // Runs work that waits on the network or a directory on a thread of its own and keeps the
  // window answering until it ends.
  virtual void off_thread(const std::function<void()>& work) = 0;

protected:
  ~StepHost() = default;
};

// The search's progress on the status line.
class WindowSearch : public SearchProgress {
public:
  explicit WindowSearch(StepHost& host) : host_(host) {}
  void domain(const std::wstring& name) override;
  void server(size_t n, size_t m, const std::wstring& name) override;
  void drives_found(size_t total) override;
  bool pump() override { return host_.pump(); }
  void beside(const std::function<void()>& work) override { host_.off_thread(work); }

private:
  void show();
  StepHost& host_;
  std::wstring domain_, server_;
  size_t found_ = 0;
};

// A share command's progress on the status line ("12 of 200 drives done").
class WindowCommand : public CommandProgress {
public:
  WindowCommand(StepHost& host, std::wstring what) : host_(host), what_(std::move(what)) {}
  void done(size_t n, size_t m) override;
  bool pump() override { return host_.pump(); }

private:
  StepHost& host_;
  std::wstring what_;
};

// "1 drive", "40 drives".
std::wstring drives_text(size_t n);

}  // namespace corvane
