#include "safe_file.h"

#include "app.h"

#include <algorithm>

namespace corvane {

corv::Handle open_plain_file(const std::wstring& path, DWORD access, DWORD share, FileOpen how, bool single_name,
                             bool truncate) {
  const DWORD disposition = how == FileOpen::existing ? OPEN_EXISTING
                            : how == FileOpen::always ? OPEN_ALWAYS
                                                      : CREATE_NEW;
  // OPEN_ALWAYS sets ERROR_ALREADY_EXISTS on success; the caller sees only our own errors.
  corv::Handle file(CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.valid()) return {};
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(file.get(), &info)) return {};
  DWORD refusal = 0;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
    refusal = ERROR_CANT_ACCESS_FILE;
  else if (single_name && info.nNumberOfLinks > 1) refusal = ERROR_TOO_MANY_LINKS;
  if (refusal) {
    file.reset();
    SetLastError(refusal);
    return {};
  }
  if (truncate && !SetEndOfFile(file.get())) return {};
  SetLastError(0);
  return file;
}

bool read_plain_file(const std::wstring& path, std::string& bytes, ReadStop* stop, unsigned long long max_bytes) {
  ReadStop ignored;
  ReadStop& at = stop ? *stop : ignored;
  at = ReadStop::open;
  bytes.clear();
  corv::Handle file = open_plain_file(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, FileOpen::existing,
                                      false);
  if (!file.valid()) return false;
  at = ReadStop::size;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return false;
  if (static_cast<unsigned long long>(size.QuadPart) > max_bytes) {
    at = ReadStop::too_large;
    SetLastError(ERROR_FILE_TOO_LARGE);
    return false;
  }
  at = ReadStop::read;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  size_t have = 0;
  while (have < bytes.size() &&
         ReadFile(file.get(), &bytes[have], static_cast<DWORD>(std::min<size_t>(bytes.size() - have, 1u << 20)), &got,
                  nullptr) &&
         got)
    have += got;
  if (have < bytes.size()) {
    bytes.clear();
    return false;
  }
  at = ReadStop::none;
  return true;
}

bool read_text_file(const std::wstring& path, std::wstring& text, ReadStop* stop, unsigned long long max_bytes) {
  std::string bytes;
  text.clear();
  if (!read_plain_file(path, bytes, stop, max_bytes)) return false;
  const size_t bom = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  text = from_acp(bytes.substr(bom));
  return true;
}

bool write_plain_file(const std::wstring& path, const std::string& bytes) {
  corv::Handle file = open_plain_file(path, GENERIC_WRITE, 0, FileOpen::always, true, true);
  if (!file.valid()) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace corvane
