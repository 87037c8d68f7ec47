// The platform side of the log object's outputs: the module path, the log file, the
// Application event log and its event-source registration. Each is best effort.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

namespace wick {

// Full path of wick.dll, found once per process (when the first log object is made).
std::wstring log_module_path();

// Appends the bytes to the file in one write: opened (created when missing) for appending with
// readers allowed and writers refused, and closed again. False when it cannot be opened.
bool append_to_file(const wchar_t* path, const std::vector<uint8_t>& bytes);

// Registers the event source "SYSTEM\CurrentControlSet\Services\EventLog\Application\<source>"
// unless that has succeeded once in this process; true when the source is registered.
bool ensure_event_source(const wchar_t* source);

// One Application event-log record: category 1, event 0xC0001000, the process user's SID and
// the five insert strings.
void report_event(const wchar_t* source, WORD type, const wchar_t* const inserts[5]);

}  // namespace wick
