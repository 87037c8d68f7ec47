#include "drive_item.h"

#include <cwctype>

namespace corvane {

namespace {
const wchar_t kToken[] = L"<drive>";
}

std::wstring item_text(const std::wstring& server, const std::wstring& letter) { return server + L"\\" + letter; }

ItemParts split_item(const std::wstring& text) {
  // Position 3 (1-based) skips the two leading backslashes of the server name.
  if (text.size() < 3) return {};
  size_t cut = text.find(L'\\', 2);
  if (cut == std::wstring::npos) return {};
  return {text.substr(0, cut), text.substr(cut + 1)};
}

bool is_drive_item(const std::wstring& text) {
  if (text.size() < 5 || text.compare(0, 2, L"\\\\") != 0) return false;
  const size_t cut = text.size() - 2;
  const wchar_t letter = text.back();
  if (text[cut] != L'\\' || !((letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z'))) return false;
  return text.find_first_of(L"\\/", 2) == cut;
}

std::wstring share_name(const std::wstring& pattern, const std::wstring& letter) {
  size_t at = pattern.find(kToken);
  if (at == std::wstring::npos) return pattern;
  return pattern.substr(0, at) + letter + pattern.substr(at + (sizeof kToken / sizeof kToken[0] - 1));
}

std::wstring admin_share(const std::wstring& server, const std::wstring& letter) {
  return server.empty() ? letter + L"$" : server + L"\\" + letter + L"$";
}

ShareTarget share_target(const std::wstring& item, const std::wstring& pattern) {
  ItemParts parts = split_item(item);
  ShareTarget t;
  t.server = parts.server;
  t.share = share_name(pattern, parts.letter);
  t.root = parts.letter + L":\\";
  // The root always carries ":\"; a missing letter is what makes it unusable.
  t.usable = !t.server.empty() && !parts.letter.empty() && !t.share.empty();
  return t;
}

bool pattern_matches(const std::wstring& pattern, const std::wstring& name) {
  auto same = [](const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    return true;
  };
  const std::wstring token = L"<drive>";
  size_t at = pattern.find(token);
  if (at == std::wstring::npos) return same(pattern, name);
  if (name.size() != pattern.size() - token.size() + 1) return false;
  const wchar_t letter = name[at];
  const bool is_letter = (letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z');
  return is_letter && same(pattern.substr(0, at), name.substr(0, at)) &&
         same(pattern.substr(at + token.size()), name.substr(at + 1));
}

}  // namespace corvane
