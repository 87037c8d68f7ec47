// The list export: the shares of the ticked drives left unmarked, one name a line, written in
// the system code page.
#pragma once
#include <string>
#include <vector>

#include "reports.h"

namespace corvane {

// The list export's lines: "\\SERVER\SHARE" for ticked items with marker 0, in list order. A name
// that would not read back as one line naming that share (a control character, a line break, a
// character the system code page cannot hold) is left out and given in `refused`.
std::vector<std::wstring> export_lines(const std::wstring& pattern, const DriveList& list,
                                       std::vector<std::wstring>* refused = nullptr);
// Writes them (system code page, CR LF) to the file, replacing it, never through a link
// (open_plain_file). False when it cannot.
bool write_export(const std::wstring& path, const std::vector<std::wstring>& lines);

}  // namespace corvane
