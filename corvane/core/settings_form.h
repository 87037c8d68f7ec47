// What "cv.ini" remembers of the window: section "Defaults" and its keys, and their defaults.
#pragma once
#include <optional>
#include <string>

namespace corvane {

extern const wchar_t kSettingsSection[];  // "Defaults"
extern const wchar_t kKeyPattern[];       // "Sharname" (spelled so)
extern const wchar_t kKeyAccount[];
extern const wchar_t kKeyRead[];
extern const wchar_t kKeyChange[];
extern const wchar_t kKeyFull[];
extern const wchar_t kKeyParallel[];      // "Parallel": servers probed at once
extern const wchar_t kKeyServers[];       // "Servers": searched instead of the domains when set
extern const wchar_t kDefaultPattern[];   // "<drive>"

// A value as read back: at most 79 characters (an 80-character buffer), blanks trimmed.
std::wstring setting_value(const std::wstring& raw);

// A check box state from its setting: 0 or 1 from decimal text; nothing for an empty or
// non-numeric value (the box keeps its designed state).
std::optional<int> check_value(const std::wstring& value);

// Servers a search probes at once: 1 to 64 from the setting, 8 when absent or unusable.
unsigned parallel_value(const std::wstring& value);

// The access mask the ticked boxes grant: Read 0x1200A9, Change 0x1301BF, Full Control 0x1F01FF,
// combined when several are ticked, Read when none is.
unsigned long access_mask(bool read, bool change, bool full);

}  // namespace corvane
