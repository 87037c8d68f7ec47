#include "ini_file.h"

#include "app.h"
#include "settings_form.h"

#include <windows.h>

namespace corvane {

std::wstring IniFile::read(const std::wstring& section, const std::wstring& key) const {
  // 80 characters of buffer: at most 79 of a value come back.
  char buf[80] = {};
  GetPrivateProfileStringA(to_acp(section).c_str(), to_acp(key).c_str(), "", buf, sizeof buf,
                           to_acp(path_).c_str());
  return setting_value(from_acp(buf));
}

void IniFile::write(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  WritePrivateProfileStringA(to_acp(section).c_str(), to_acp(key).c_str(), to_acp(value).c_str(),
                             to_acp(path_).c_str());
}

}  // namespace corvane
