// The program's own facts: where it lives, its version, texts in the system code page.
#pragma once
#include "change_log.h"

#include <string>

namespace corvane {

// The folder of the running executable, with a trailing backslash. Every file of the program's
// own is built from it, never from the current folder (the save dialog moves that).
std::wstring exe_folder();

// The folder of the program's own files ("cv.ini", "ShareChanges.log"), with a trailing
// backslash: the executable's folder where files can be created there (a portable copy), else
// the user's own "%LOCALAPPDATA%\Velmora\Corvane" (an installed copy under Program Files, where a
// standard user cannot write and the change log would be lost line by line).
std::wstring data_folder();

// The version from the program's version resource (major, minor, revision).
Version program_version();

// Text in and out of the system code page.
std::string to_acp(const std::wstring& text);
std::wstring from_acp(const std::string& text);

// The system's text for a status (network statuses from netmsg.dll in the system folder),
// "error N" when it has none.
std::wstring status_text(unsigned long status);
// A message without its trailing line end, blanks and full stop.
std::wstring trim_line_end(std::wstring s);

}  // namespace corvane
