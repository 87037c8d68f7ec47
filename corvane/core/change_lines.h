// Every kind of change-log line about a share, composed and read back in one place, so that
// the wording the commands write is the wording undo understands.
//
// A change is on record before it is made:
//   Creating \\FS01\D$ | path D:\ | max uses 1 | remark Added via Velmora Corvane v1.0 at ...
//   Previous permissions of \\FS01\D$: D:(A;;0x1200a9;;;WD)
//   Deleting \\FS01\D$ | path D:\ | max uses unlimited | access list D:(...) | remark ...
// and its outcome follows:
//   Added \\FS01\D$ CORP\collector[ <failure>][ Permissions not written: <reason>.]
//   Deleted \\FS01\D$[ <failure>]
//   Restored \\FS01\D$: D:(...)[ Failed: <reason>.]
//   Revoked \\FS01\D$ CORP\collector[ Permissions not written: <reason>.]
// Share names hold no "|", so the fields are cut there; the remark, free text, comes last.
#pragma once
#include <string>

namespace corvane {

// A share's settings as recorded before it is created or deleted, enough to make it again.
struct ShareRecord {
  std::wstring path, remark;
  unsigned long max_uses = 0xFFFFFFFFul;  // 0xFFFFFFFF: unlimited
  bool has_access_list = false;           // whether `sddl` was recorded (deletions record it)
  std::wstring sddl;                      // empty: the share had no descriptor of its own
};

std::wstring creating_line(const std::wstring& object, const ShareRecord& record);
std::wstring deleting_line(const std::wstring& object, const ShareRecord& record);
// An empty `sddl`: the share had no descriptor of its own.
std::wstring previous_line(const std::wstring& object, const std::wstring& sddl);
// `account` is "DOMAIN\name" as resolved (or the text as typed when it did not resolve); `tail`
// (a failure's text, notes) follows after a blank when not empty.
std::wstring added_line(const std::wstring& object, const std::wstring& account, const std::wstring& tail);
std::wstring deleted_line(const std::wstring& object, const std::wstring& failure);
std::wstring restored_line(const std::wstring& object, const std::wstring& sddl, const std::wstring& failure);
std::wstring revoked_line(const std::wstring& object, const std::wstring& account, const std::wstring& tail);
// The note an "Added" line ends with when the share's list was not rewritten.
std::wstring permissions_not_written(const std::wstring& reason);

// One line's text (after the stamp) read back.
struct ChangeLine {
  enum Kind { Other, Started, Creating, Deleting, Previous, Added, Deleted, Restored, Revoked } kind = Other;
  // Creating, Deleting, Previous: the share exactly. Added, Deleted, Restored, Revoked: what follows the
  // line's head (the share, then the rest); see names_share.
  std::wstring object;
  ShareRecord record;   // Creating, Deleting
  std::wstring sddl;    // Previous, Restored
  std::wstring kind_of_session;  // Started: "window" or the command ("add", "undo"...)
};
ChangeLine read_change_line(const std::wstring& text);

// Whether the rest of an "Added", "Deleted", "Restored" or "Revoked" line is about the share: it begins
// with the share's name, followed by a blank, a colon or nothing. Names compare without case.
bool names_share(const std::wstring& rest, const std::wstring& object);
// The account of an "Added" line's rest once the share is known (notes the program appends
// are left out).
std::wstring added_account(const std::wstring& rest, const std::wstring& object);

bool same_name(const std::wstring& a, const std::wstring& b);  // without regard to case

}  // namespace corvane
