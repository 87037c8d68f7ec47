#include "share_export.h"

#include "app.h"
#include "drive_item.h"
#include "safe_file.h"
#include "safe_text.h"

namespace corvane {

std::vector<std::wstring> export_lines(const std::wstring& pattern, const DriveList& list,
                                       std::vector<std::wstring>* refused) {
  std::vector<std::wstring> lines;
  for (size_t i = 0; i < list.count(); ++i) {
    if (!list.ticked(i) || list.marker(i) != 0) continue;
    ShareTarget t = share_target(list.text(i), pattern);
    std::wstring line = t.server + L"\\" + t.share;
    if (has_control(line) || !fits_acp(line)) {
      if (refused) refused->push_back(line);
      continue;
    }
    lines.push_back(line);
  }
  return lines;
}

bool write_export(const std::wstring& path, const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& l : lines) text += to_acp(l) + "\r\n";
  return write_plain_file(path, text);
}

}  // namespace corvane
