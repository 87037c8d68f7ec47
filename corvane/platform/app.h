// The program's own facts: where it lives, its version, texts in the system code page.
#pragma once
#include "change_log.h"

#include <string>

namespace corvane {

// Every later DLL load searches the system folder only, never the program's folder or the
// current one. Called first thing by both programs. (Static imports are resolved before any code
// runs: README "Hardening" says what protects each of them.)
void restrict_dll_search();

// "C:\\Windows\\system32\\<name>": a system program or library by its full path, never by
// search. Empty when the system folder cannot be read.
std::wstring system_file(const wchar_t* name);

// The folder of the running executable, with a trailing backslash. Every file of the program's
// own is built from it, never from the current folder (the save dialog moves that).
std::wstring exe_folder();

// The folder of the program's own files ("cv.ini", "ShareChanges.log"), with a trailing
// backslash: the executable's folder where files can be created there (a portable copy), else
// the user's own "%LOCALAPPDATA%\Velmora\Corvane" (an installed copy under Program Files, where a
// standard user cannot write and the change log would be lost line by line).
// Beside the program only when nobody but the user, administrators and SYSTEM can change that
// folder (folder_writable_by_others) and the user can create files there.
std::wstring data_folder();
// Why data_folder() is not the program's folder, in words for a status line; empty when it is.
std::wstring data_folder_note();
// Who else may add, remove or replace files in the folder or take it over, in words ("Everyone
// may change it", "CORP\\collector owns it"); empty when only the user, administrators, SYSTEM and a
// trusted owner can. Read from the folder's owner and access list.
std::wstring folder_writable_by_others(const std::wstring& folder);

// The version from the program's version resource (major, minor, revision).
Version program_version();

// Text in and out of the system code page.
std::string to_acp(const std::wstring& text);
// Whether the system code page holds every character of the text (to_acp would otherwise put
// "?" in their place).
bool fits_acp(const std::wstring& text);
std::wstring from_acp(const std::string& text);

// The system's text for a status (network statuses from netmsg.dll in the system folder),
// "error N" when it has none.
std::wstring status_text(unsigned long status);
// "status 53: The network path was not found." as lines and messages give a failed call.
std::wstring status_words(long status);
// A message without its trailing line end, blanks and full stop.
std::wstring trim_line_end(std::wstring s);

}  // namespace corvane
