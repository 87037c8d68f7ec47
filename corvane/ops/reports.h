// The small interfaces through which operations report. The window, the tests and a command
// line each implement them their own way; the operations never see a window.
#pragma once
#include "change_log.h"

#include <cstddef>
#include <functional>
#include <string>

namespace corvane {

// A reachable drive as discovery read it.
struct FoundDrive {
  std::wstring item;        // "\\FS01\D": later commands parse it
  std::wstring label;       // "No label" when the volume has none
  std::wstring filesystem;
  std::wstring serial;      // signed decimal
  double capacity_mb = 0, free_mb = 0;
};

// The drive list: items in order, each ticked or not, each with its marker (0 listed, 1 left
// without a share or deleted).
class DriveList {
public:
  virtual ~DriveList() = default;
  virtual void clear() = 0;
  virtual void add(const FoundDrive& drive) = 0;  // ticked, marker 0
  virtual size_t count() const = 0;
  virtual std::wstring text(size_t i) const = 0;
  virtual bool ticked(size_t i) const = 0;
  virtual int marker(size_t i) const = 0;
  virtual void set_marker(size_t i, int marker) = 0;
};

// Progress of a search, and the caller's chance to keep its window alive and to stop it.
class SearchProgress {
public:
  virtual ~SearchProgress() = default;
  virtual void domain(const std::wstring& name) {}
  // Before server n (1-based) of m of the current domain.
  virtual void server(size_t n, size_t m, const std::wstring& name) {}
  virtual void drives_found(size_t total) {}
  // Lets pending window messages through; answers false once the user asked to stop.
  virtual bool pump() { return true; }
  // Runs work that waits on the network or a directory (a server list, an account look-up): a
  // window runs it on a thread of its own and keeps answering meanwhile; by default it runs here.
  virtual void beside(const std::function<void()>& work) { work(); }
};

// Progress of a share command (add, update, delete), and the caller's chance to keep its
// window alive and to stop it. Both are called on the caller's thread.
class CommandProgress {
public:
  virtual ~CommandProgress() = default;
  // After each drive: n of m done.
  virtual void done(size_t n, size_t m) {}
  // Lets pending window messages through (at least every 50 ms while drives are worked on);
  // answers false once the user asked to stop: the drives in progress finish, no other starts.
  virtual bool pump() { return true; }
};

}  // namespace corvane
