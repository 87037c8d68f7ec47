#include "change_log_file.h"

#include "app.h"
#include "log_layout.h"

#include <windows.h>

#include "raii.h"

namespace corvane {

std::wstring now_stamp() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  wchar_t month[80] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVMONTHNAME1 + st.wMonth - 1, month, 80))
    month[0] = 0;
  Stamp s{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute};
  return format_stamp(s, month);
}

bool ChangeLogFile::write(const std::wstring& text) {
  std::string line = to_acp(log_line(now_stamp(), text)) + "\r\n";
  // Opened, appended to and closed per entry, so an entry is on disk when the call returns;
  // readers (Notepad) may hold the file open meanwhile.
  corv::Handle file(CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
         written == line.size();
}

}  // namespace corvane
