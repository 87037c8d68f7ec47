// The change log as undo reads it back: any text parses without a crash, and a share record
// composed from any path and remark (line ends, bars, escapes included) is one line that reads
// back as written.
#include <cstdint>
#include <string>
#include <vector>

#include "change_log.h"
#include "log_parse.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring text;
  for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));

  std::vector<LogEntry> entries = parse_log(text);
  std::vector<LogSession> sessions = log_sessions(entries);
  std::vector<const LogSession*> all;
  for (const LogSession& s : sessions) {
    if (s.first >= entries.size() || s.last_change >= entries.size()) __builtin_trap();
    all.push_back(&s);
  }
  for (const ShareBefore& b : changes_of(all)) decide_undo(b, ShareNow{});

  // A record: the first half its path, the rest its remark.
  std::wstring path = text.substr(0, text.size() / 2), remark = text.substr(text.size() / 2);
  ShareRecord r{path, remark, static_cast<unsigned long>(size * 7919u), true, remark};
  std::vector<LogEntry> one = parse_log(L"05-Mar-2007 09:07> " + deleting_line(L"\\\\S\\" + path, r) + L"\r\n");
  if (one.size() != 1) __builtin_trap();
  ChangeLine back = read_change_line(one[0].text, true);
  if (back.kind != ChangeLine::Deleting || back.object != L"\\\\S\\" + path || back.record.path != path ||
      back.record.remark != remark || back.record.max_uses != r.max_uses || back.record.sddl != r.sddl)
    __builtin_trap();
  return 0;
}
