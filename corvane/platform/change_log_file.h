// "ShareChanges.log" on disk: one dated line per entry, appended in the system code page.
//
// What it guarantees:
// - A line written `durable` (a change's record) is on stable storage (FlushFileBuffers) before
//   the call returns, so a change is never made before its record.
// - The log is kept by one process at a time: every write takes the lock file beside the log
//   ("<log>.lock", held open without write sharing, so every process of this machine, and of
//   others where the log lies in a shared folder, sees it, and a killed process drops it), and a
//   command keeps it for as long as it changes shares (hold). A process that cannot have it
//   within a few seconds is told which process keeps it; a line that is no record (a found
//   drive, a domain) does not wait: it is kept back and written before this process's next line.
// - A session whose lines another process interrupted takes them up again with a "Resumed log
//   session" line; a log whose last line was cut short (a power loss, a kill in mid-write) gets a
//   line end and a line naming the cut line before anything else is written.
#pragma once
#include "change_log.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "raii.h"

namespace corvane {

class ChangeLogFile : public ChangeLog {
public:
  // `wait_ms`: how long a write or a hold waits for another process to let the log go.
  explicit ChangeLogFile(std::wstring path, DWORD wait_ms = 5000);
  ~ChangeLogFile() override;
  ChangeLogFile(const ChangeLogFile&) = delete;
  ChangeLogFile& operator=(const ChangeLogFile&) = delete;

  // Starts the session: its start lines (window: empty command) and the line that names it, in
  // one piece and durable.
  LogResult begin(const std::wstring& command, const Version& version);
  // Its end line.
  LogResult end();

  LogResult write(const std::wstring& text, bool durable = false) override;
  LogResult hold(const std::function<bool()>& pump = {}) override;
  void release() override;
  std::wstring where() const override { return L"the change log " + path_; }
  const std::wstring& path() const { return path_; }

private:
  LogResult take(const std::function<bool()>& pump, corv::Handle& lock, DWORD wait_ms);
  LogResult append(const std::wstring* texts, size_t count, bool durable);

  std::wstring path_, command_, id_;
  DWORD wait_ms_;
  std::mutex mutex_;                   // one writer of this process at a time
  corv::Handle held_;                  // the lock file while a command holds the log
  unsigned holds_ = 0;
  long long end_ = -1;                 // the log's size after this process's last line
  // Lines that are no record, kept back while another process had the log (stamped).
  std::vector<std::wstring> waiting_;
  static constexpr size_t kMostWaiting = 10000;
};

// One session on a change log, for the window and the command line alike: its start lines on
// begin, and its end line once (end, or else when the scope ends). A session whose start could
// not be written is still ended, so that the lines kept back meanwhile reach the log, unless the
// caller gives it up (abandon) because nothing was done in it.
class SessionScope {
public:
  explicit SessionScope(ChangeLogFile& log) : log_(log) {}
  ~SessionScope() { end(); }
  SessionScope(const SessionScope&) = delete;
  SessionScope& operator=(const SessionScope&) = delete;

  // `command`: empty for the window's session.
  LogResult begin(const std::wstring& command, const Version& version) {
    open_ = true;
    return log_.begin(command, version);
  }
  void end() {
    if (open_) log_.end();
    open_ = false;
  }
  void abandon() { open_ = false; }

private:
  ChangeLogFile& log_;
  bool open_ = false;
};

// The current local time as "dd-mmm-yyyy hh:mm" in the user's locale.
std::wstring now_stamp();

// A whole change log as text, for undo; a failure (missing, unreadable, larger than undo reads)
// gives its status and reason instead.
struct LogText {
  LogResult error;
  std::wstring text;
};
LogText read_log_file(const std::wstring& path);

// The largest log undo reads (256 MiB, about three million lines).
constexpr unsigned long long kMaxLogBytes = 256ull << 20;

}  // namespace corvane
