// The user's profile of the simulated logon session: the drive connections it remembers and
// restores at every logon. WNetAddConnection and WNetAddConnection2 with CONNECT_UPDATE_PROFILE add
// to it, WNetCancelConnection2 with CONNECT_UPDATE_PROFILE takes out of it; a letter it remembers
// that is not live refuses new connections (1202), as on Windows.
#include "lab.h"

namespace lab {

std::wstring profile_path(const std::wstring& folder) { return folder + L"\\profile.ini"; }

RememberedConnections load_profile(const std::wstring& folder, const Network& net) {
  RememberedConnections out;
  std::wstring text;
  if (!read_text_file(profile_path(folder), text)) {
    for (const auto& [letter, remote] : net.remembered) out[upper(letter)] = remote;
    return out;
  }
  IniDoc doc = IniDoc::parse(text);
  if (const IniSection* sec = doc.find(L"remembered"))
    for (const auto& [letter, remote] : sec->keys) out[upper(letter)] = remote;
  return out;
}

bool save_profile(const std::wstring& folder, const RememberedConnections& remembered) {
  IniDoc doc;
  IniSection& sec = doc.section(L"remembered");
  for (const auto& [letter, remote] : remembered) sec.set(letter, remote);
  return write_utf16_file(profile_path(folder), doc.text());
}

}  // namespace lab
