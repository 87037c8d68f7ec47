#include "ini_file.h"

#include "app.h"
#include "safe_file.h"
#include "disk_text.h"
#include "settings_form.h"

#include <windows.h>

namespace corvane {

std::wstring IniFile::read(const std::wstring& section, const std::wstring& key) const {
  // The file is judged through a handle held (without delete sharing) while the profile
  // function reads it by name: a link or a file swapped in meanwhile gives no value.
  corv::Handle held = open_plain_file(path_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, FileOpen::existing,
                                      false);
  if (!held.valid()) return {};
  // 80 characters of buffer: at most 79 of a value come back.
  char buf[80] = {};
  GetPrivateProfileStringA(to_acp(section).c_str(), to_acp(key).c_str(), "", buf, sizeof buf, to_acp(path_).c_str());
  return setting_value(from_acp(buf));
}

std::wstring IniFile::read_long(const std::wstring& section, const std::wstring& key) const {
  std::string buf(32768, '\0');
  DWORD n = GetPrivateProfileStringA(to_acp(section).c_str(), to_acp(key).c_str(), "", &buf[0],
                                     static_cast<DWORD>(buf.size()), to_acp(path_).c_str());
  buf.resize(n);
  return trim_blanks(from_acp(buf));
}

void IniFile::write(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  // Judged (made when missing, no link, one name) before the profile function writes it by
  // name. The handle cannot stay open across the write: the profile writer opens the file
  // without sharing. What keeps it from being swapped in between is the folder, which only the
  // user and administrators can change (data_folder).
  if (!open_plain_file(path_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, FileOpen::always, true).valid()) return;
  WritePrivateProfileStringA(to_acp(section).c_str(), to_acp(key).c_str(), to_acp(value).c_str(),
                             to_acp(path_).c_str());
}

}  // namespace corvane
