#include "change_log_file.h"

#include "app.h"
#include "safe_file.h"

#include <objbase.h>

#include <algorithm>
#include <vector>

#include "raii.h"

namespace corvane {

std::wstring now_stamp() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  wchar_t month[80] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVMONTHNAME1 + st.wMonth - 1, month, 80)) month[0] = 0;
  Stamp s{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute};
  return format_stamp(s, month);
}

namespace {

LogResult failure(unsigned long code, const std::wstring& what = L"") {
  return {code ? code : ERROR_GEN_FAILURE, what.empty() ? status_text(code) : what};
}

// Whether the code page holds the character (or surrogate pair) exactly: no best fit, no default.
bool fits_code_page(const wchar_t* c, int n) {
  const UINT cp = GetACP();
  char bytes[8];
  BOOL defaulted = FALSE;
  int got = WideCharToMultiByte(cp, cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS, c, n, bytes, sizeof bytes, nullptr,
                                cp == CP_UTF8 ? nullptr : &defaulted);
  if (got <= 0 || defaulted) return false;
  wchar_t back[4];
  return MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes, got, back, 4) == n && std::equal(c, c + n, back);
}

// A line in the code page; what it cannot hold is written as "%XXXX" per UTF-16 unit (the text
// holds no raw "%": its composer escaped them).
std::string encode(const std::wstring& line) {
  std::wstring safe;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] < 0x80) {
      safe += line[i];
      continue;
    }
    const int n = line[i] >= 0xD800 && line[i] <= 0xDBFF && i + 1 < line.size() ? 2 : 1;
    if (fits_code_page(&line[i], n)) {
      safe.append(line, i, static_cast<size_t>(n));
    } else {
      static const wchar_t hex[] = L"0123456789ABCDEF";
      for (int k = 0; k < n; ++k) {
        const wchar_t u = line[i + static_cast<size_t>(k)];
        safe += L'%';
        for (int shift = 12; shift >= 0; shift -= 4) safe += hex[(u >> shift) & 0xF];
      }
    }
    i += static_cast<size_t>(n - 1);
  }
  return to_acp(safe);
}

std::wstring lock_path(const std::wstring& log) { return log + L".lock"; }

// Who keeps the log, as its lock file says.
std::wstring holder(const std::wstring& log) {
  corv::Handle f = open_plain_file(lock_path(log), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   FileOpen::existing, false);
  char buf[512];
  DWORD got = 0;
  if (!f.valid() || !ReadFile(f.get(), buf, sizeof buf, &got, nullptr) || got == 0) return L"another process";
  int n = MultiByteToWideChar(CP_UTF8, 0, buf, static_cast<int>(got), nullptr, 0);
  std::wstring text(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, buf, static_cast<int>(got), &text[0], n);
  // What another process wrote is shown, not obeyed: no control characters.
  return escape_text(text);
}

std::wstring new_session_id() {
  GUID g{};
  if (FAILED(CoCreateGuid(&g))) {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    g.Data1 = static_cast<unsigned long>(t.QuadPart) ^ GetCurrentProcessId();
    g.Data2 = static_cast<unsigned short>(t.QuadPart >> 32);
  }
  wchar_t id[17];
  swprintf(id, 17, L"%08lX%04X%04X", static_cast<unsigned long>(g.Data1), g.Data2, g.Data3);
  return id;
}

}  // namespace

ChangeLogFile::ChangeLogFile(std::wstring path, DWORD wait_ms) : path_(std::move(path)), wait_ms_(wait_ms) {}

ChangeLogFile::~ChangeLogFile() = default;

LogResult ChangeLogFile::take(const std::function<bool()>& pump, corv::Handle& lock, DWORD wait_ms) {
  const ULONGLONG until = GetTickCount64() + wait_ms;
  for (;;) {
    // Open without write sharing: a second opener is refused until this handle closes, which a
    // process's end does too.
    lock = open_plain_file(lock_path(path_), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, FileOpen::always, true);
    if (lock.valid()) break;
    const DWORD error = GetLastError();
    // Refused while another process has it open; anything else is no wait's business.
    const bool busy = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    if (!busy)
      return failure(error, L"its lock file " + lock_path(path_) + L" cannot be opened (" + status_text(error) + L")");
    if (GetTickCount64() >= until) return failure(ERROR_SHARING_VIOLATION, L"it is in use by " + holder(path_));
    if (pump && !pump()) return failure(ERROR_CANCELLED, L"the wait for it was stopped");
    Sleep(50);
  }
  std::wstring who = L"process " + std::to_wstring(GetCurrentProcessId()) + L" (" +
                     (command_.empty() ? std::wstring(L"the Corvane window") : L"corvanecmd " + command_) +
                     L"), since " + now_stamp();
  int n = WideCharToMultiByte(CP_UTF8, 0, who.data(), static_cast<int>(who.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, who.data(), static_cast<int>(who.size()), &bytes[0], n, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(lock.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  SetEndOfFile(lock.get());
  return {};
}

LogResult ChangeLogFile::hold(const std::function<bool()>& pump) {
  {
    std::lock_guard<std::mutex> g(mutex_);
    if (holds_ > 0) {
      ++holds_;
      return {};
    }
  }
  corv::Handle lock;
  LogResult r = take(pump, lock, wait_ms_);
  if (!r.ok()) return r;
  std::lock_guard<std::mutex> g(mutex_);
  if (holds_++ == 0) held_ = std::move(lock);
  return {};
}

void ChangeLogFile::release() {
  std::lock_guard<std::mutex> g(mutex_);
  if (holds_ == 0 || --holds_ > 0) return;
  // The command's outcome lines reach the disk before another process may write.
  corv::Handle file = open_plain_file(path_, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      FileOpen::existing, true);
  if (file.valid()) FlushFileBuffers(file.get());
  held_.reset();
}

LogResult ChangeLogFile::append(const std::wstring* texts, size_t count, bool durable) {
  // Never through a link or a second name: the log is undo's record.
  corv::Handle file = open_plain_file(path_, FILE_READ_DATA | FILE_APPEND_DATA | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, FileOpen::always, true);
  if (!file.valid()) return failure(GetLastError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return failure(GetLastError());
  const std::wstring stamp = now_stamp();
  std::string bytes;
  if (size.QuadPart > 0) {
    // The last line must be whole before anything follows it.
    char last = 0;
    DWORD got = 0;
    LARGE_INTEGER at;
    at.QuadPart = size.QuadPart - 1;
    if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) || !ReadFile(file.get(), &last, 1, &got, nullptr))
      return failure(GetLastError());
    if (got == 1 && last != '\n') bytes += "\r\n" + encode(log_line(stamp, kTornLine)) + "\r\n";
  }
  // Another process wrote since this session's last line: the session goes on by name.
  if (!id_.empty() && end_ >= 0 && size.QuadPart != end_) bytes += encode(log_line(stamp, resumed_line(id_))) + "\r\n";
  for (const std::wstring& line : waiting_) bytes += encode(line) + "\r\n";
  for (size_t k = 0; k < count; ++k) bytes += encode(log_line(stamp, texts[k])) + "\r\n";
  DWORD written = 0;
  if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    return failure(GetLastError());
  if (written != bytes.size()) return failure(ERROR_DISK_FULL);
  waiting_.clear();
  end_ = size.QuadPart + static_cast<long long>(bytes.size());
  if (durable && !FlushFileBuffers(file.get())) return failure(GetLastError());
  return {};
}

LogResult ChangeLogFile::write(const std::wstring& text, bool durable) {
  std::lock_guard<std::mutex> g(mutex_);
  if (holds_ > 0) return append(&text, 1, durable);
  corv::Handle lock;
  // A line that is no record does not wait for another process: it follows with the next line
  // this process writes.
  LogResult r = take({}, lock, durable ? wait_ms_ : 0);
  if (r.code == ERROR_SHARING_VIOLATION && !durable && waiting_.size() < kMostWaiting) {
    waiting_.push_back(log_line(now_stamp(), text));
    return {};
  }
  if (!r.ok()) return r;
  return append(&text, 1, durable);
}

LogResult ChangeLogFile::begin(const std::wstring& command, const Version& version) {
  std::lock_guard<std::mutex> g(mutex_);
  command_ = command;
  id_ = new_session_id();
  end_ = -1;
  corv::Handle lock;
  if (holds_ == 0) {
    LogResult r = take({}, lock, wait_ms_);
    if (!r.ok()) return r;
  }
  const std::wstring lines[] = {started_line(command), version_line(version), session_line(id_, GetCurrentProcessId())};
  return append(lines, 3, true);
}

LogResult ChangeLogFile::end() {
  // The session's last line waits as a record does, so that the lines kept back reach the log.
  return write(terminated_line(command_), true);
}

LogText read_log_file(const std::wstring& path) {
  LogText out;
  ReadStop stop = ReadStop::none;
  if (read_text_file(path, out.text, &stop, kMaxLogBytes)) return out;
  const DWORD error = GetLastError();
  switch (stop) {
    case ReadStop::open:
      out.error = failure(error, L"the change log " + path + L" cannot be read (" + status_text(error) + L")");
      break;
    case ReadStop::too_large:
      out.error = failure(ERROR_FILE_TOO_LARGE,
                          L"the change log " + path + L" is larger than " + std::to_wstring(kMaxLogBytes >> 20) +
                              L" MB, more than undo reads; move it aside and undo from a copy of its recent part");
      break;
    case ReadStop::read:
      out.error = failure(error, L"the change log " + path + L" cannot be read whole (" + status_text(error) + L")");
      break;
    default: out.error = failure(error);
  }
  return out;
}

}  // namespace corvane
