// Drive list items ("\\SERVER\X") and the share names a pattern gives for them.
#pragma once
#include <string>

namespace corvane {

// Item text of a listed drive: the server with its two leading backslashes, "\", the letter.
std::wstring item_text(const std::wstring& server, const std::wstring& letter);

struct ItemParts {
  std::wstring server;  // "\\NAME"
  std::wstring letter;  // "D"
};

// Splits an item at the first backslash at or after its third character: what stands before it
// is the server, what follows it the drive letter. Without such a backslash both parts are empty.
ItemParts split_item(const std::wstring& text);

// Whether a text names a drive as the list does: "\\SERVER\X" with one letter, in any case.
bool is_drive_item(const std::wstring& text);

// The first "<drive>" of the pattern replaced by the letter; a pattern without the token is
// returned unchanged (every drive then names the same share).
std::wstring share_name(const std::wstring& pattern, const std::wstring& letter);

// Whether a share name is one the pattern gives for some drive: its first "<drive>" matches any
// one letter, the rest matches as it stands; without case.
bool pattern_matches(const std::wstring& pattern, const std::wstring& name);

// The administrative share of a drive: server + "\" + letter + "$" (just letter + "$" for an
// empty server name).
std::wstring admin_share(const std::wstring& server, const std::wstring& letter);

// What one ticked drive of the list means for a share command: server, share name, drive root.
// `usable` is false when the server, the root or the share name comes out empty.
struct ShareTarget {
  std::wstring server, share, root;
  bool usable = false;
};
ShareTarget share_target(const std::wstring& item, const std::wstring& pattern);

}  // namespace corvane
