// Opening a file whose name someone else may have prepared: never through a link.
//
// Contract of open_plain_file, for every file the program reads or writes by name (settings,
// change log, list export, @FILE inputs):
// - The last part of the path is opened itself, never followed (FILE_FLAG_OPEN_REPARSE_POINT):
//   a symbolic link, junction, mount point or any other reparse point is refused, and so is a
//   folder (ERROR_CANT_ACCESS_FILE, 1920). The attributes are read from the open handle
//   (GetFileInformationByHandle), so what is judged is what is open, not a name looked at before.
// - With `single_name`, a file with more than one name is refused (ERROR_TOO_MANY_LINKS, 1142):
//   a hard link to a file elsewhere, which writing would change. Use it for every file written.
// - Nothing is truncated before these checks: with `truncate` the file is emptied after them.
// - The folders on the way are not judged: a file is only as safe as the folder that holds it
//   (data_folder() keeps the program's files in one only the user and administrators can change).
// - Keep the handle open while the file is also used by name (the profile functions read and
//   write cv.ini by name): without FILE_SHARE_DELETE in `share` nobody can rename, delete or
//   replace the file meanwhile, so the name keeps naming the file that was judged.
// On refusal or failure the handle is invalid and the last error says why.
#pragma once
#include <windows.h>

#include <string>

#include "raii.h"

namespace corvane {

enum class FileOpen {
  existing,  // OPEN_EXISTING
  always,    // OPEN_ALWAYS: made when missing
  fresh,     // CREATE_NEW: must not exist yet
};

corv::Handle open_plain_file(const std::wstring& path, DWORD access, DWORD share, FileOpen how, bool single_name,
                             bool truncate = false);

// The step at which reading a whole file failed.
enum class ReadStop { none, open, size, too_large, read };

// The whole file, read through open_plain_file; false (last error set, `stop` saying where) when
// it cannot be, or when it is larger than `max_bytes` (ERROR_FILE_TOO_LARGE; nothing read).
bool read_plain_file(const std::wstring& path, std::string& bytes, ReadStop* stop = nullptr,
                     unsigned long long max_bytes = ~0ull);
// The same as text: a UTF-8 byte order mark dropped, the rest in the system code page.
bool read_text_file(const std::wstring& path, std::wstring& text, ReadStop* stop = nullptr,
                    unsigned long long max_bytes = ~0ull);
// Replaces the file's content with `bytes` (made when missing; one name only); false when the
// file is refused or not written whole.
bool write_plain_file(const std::wstring& path, const std::string& bytes);

}  // namespace corvane
