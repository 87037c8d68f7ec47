#include "change_lines.h"
#include "safe_text.h"

#include <cwctype>
#include <vector>

namespace corvane {

namespace {

const std::wstring kCreating = L"Creating ";
const std::wstring kDeleting = L"Deleting ";
const std::wstring kPrevious = L"Previous permissions of ";
const std::wstring kAdded = L"Added ";
const std::wstring kDeleted = L"Deleted ";
const std::wstring kRestored = L"Restored ";
const std::wstring kRevoked = L"Revoked ";
const std::wstring kStarted = L"Started Velmora Corvane";
const std::wstring kBar = L" | ";
const std::wstring kNotWritten = L" Permissions not written: ";
const std::wstring kDenyNote = L" (a deny entry for this account remains)";

bool starts_with(const std::wstring& s, const std::wstring& head) { return s.compare(0, head.size(), head) == 0; }

std::wstring uses_text(unsigned long n) { return n == 0xFFFFFFFFul ? L"unlimited" : std::to_wstring(n); }

std::wstring record_fields(const ShareRecord& r, bool with_list) {
  std::wstring s = kBar + L"path " + r.path + kBar + L"max uses " + uses_text(r.max_uses);
  if (with_list) s += kBar + L"access list " + (r.sddl.empty() ? std::wstring(L"none") : r.sddl);
  return s + kBar + L"remark " + r.remark;
}

// "<object> | path ... | remark ...": false when the fields are not all there.
bool read_record(const std::wstring& text, std::wstring& object, ShareRecord& r) {
  size_t cut = text.find(kBar);
  if (cut == std::wstring::npos) return false;
  object = text.substr(0, cut);
  bool path = false, uses = false;
  for (size_t at = cut + kBar.size();;) {
    if (starts_with(text.substr(at), L"remark ")) {
      r.remark = text.substr(at + 7);  // free text: the rest of the line
      return path && uses && !object.empty();
    }
    size_t next = text.find(kBar, at);
    if (next == std::wstring::npos) return false;
    std::wstring field = text.substr(at, next - at);
    if (starts_with(field, L"path ")) {
      r.path = field.substr(5);
      path = true;
    } else if (starts_with(field, L"max uses ")) {
      std::wstring n = field.substr(9);
      if (n == L"unlimited") {
        r.max_uses = 0xFFFFFFFFul;
      } else {
        unsigned long long v = 0;
        if (!parse_decimal(n, 0xFFFFFFFFull, v)) return false;  // ASCII digits only, in range
        r.max_uses = static_cast<unsigned long>(v);
      }
      uses = true;
    } else if (starts_with(field, L"access list ")) {
      r.has_access_list = true;
      r.sddl = field.substr(12);
      if (r.sddl == L"none") r.sddl.clear();
    }
    at = next + kBar.size();
  }
}

}  // namespace

bool same_name(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towupper(a[i]) != std::towupper(b[i])) return false;
  return true;
}

std::wstring creating_line(const std::wstring& object, const ShareRecord& record) {
  return kCreating + object + record_fields(record, false);
}

std::wstring deleting_line(const std::wstring& object, const ShareRecord& record) {
  return kDeleting + object + record_fields(record, true);
}

std::wstring previous_line(const std::wstring& object, const std::wstring& sddl) {
  return kPrevious + object + L": " + sddl;
}

std::wstring added_line(const std::wstring& object, const std::wstring& account, const std::wstring& tail) {
  return kAdded + object + L" " + account + (tail.empty() ? L"" : L" " + tail);
}

std::wstring deleted_line(const std::wstring& object, const std::wstring& failure) {
  return kDeleted + object + (failure.empty() ? L"" : L" " + failure);
}

std::wstring restored_line(const std::wstring& object, const std::wstring& sddl, const std::wstring& failure) {
  return kRestored + object + L": " + sddl + (failure.empty() ? L"" : L" Failed: " + failure);
}

std::wstring revoked_line(const std::wstring& object, const std::wstring& account, const std::wstring& tail) {
  return kRevoked + object + L" " + account + (tail.empty() ? L"" : L" " + tail);
}

std::wstring permissions_not_written(const std::wstring& reason) {
  return kNotWritten.substr(1) + reason;
}

ChangeLine read_change_line(const std::wstring& text) {
  ChangeLine c;
  if (starts_with(text, kStarted)) {
    c.kind = ChangeLine::Started;
    size_t open = text.find(L"(corvanecmd ");
    size_t close = open == std::wstring::npos ? open : text.find(L')', open);
    c.kind_of_session = close == std::wstring::npos ? L"window" : text.substr(open + 12, close - open - 12);
  } else if (starts_with(text, kCreating) || starts_with(text, kDeleting)) {
    bool creating = starts_with(text, kCreating);
    if (read_record(text.substr(kCreating.size()), c.object, c.record))  // both heads are 9 long
      c.kind = creating ? ChangeLine::Creating : ChangeLine::Deleting;
  } else if (starts_with(text, kPrevious)) {
    size_t colon = text.find(L": ", kPrevious.size());
    // An empty list leaves the line ending in ": " or, trimmed by an editor, in ":".
    if (colon == std::wstring::npos && !text.empty() && text.back() == L':') colon = text.size() - 1;
    if (colon != std::wstring::npos && colon > kPrevious.size()) {
      c.kind = ChangeLine::Previous;
      c.object = text.substr(kPrevious.size(), colon - kPrevious.size());
      c.sddl = colon + 2 <= text.size() ? text.substr(colon + 2) : L"";
    }
  } else {
    for (auto [head, kind] : {std::make_pair(&kAdded, ChangeLine::Added), std::make_pair(&kDeleted, ChangeLine::Deleted),
                              std::make_pair(&kRestored, ChangeLine::Restored),
                              std::make_pair(&kRevoked, ChangeLine::Revoked)}) {
      if (!starts_with(text, *head) || !starts_with(text.substr(head->size()), L"\\\\")) continue;
      c.kind = kind;
      c.object = text.substr(head->size());
    }
  }
  return c;
}

bool names_share(const std::wstring& rest, const std::wstring& object) {
  if (rest.size() < object.size() || !same_name(rest.substr(0, object.size()), object)) return false;
  return rest.size() == object.size() || rest[object.size()] == L' ' || rest[object.size()] == L':';
}

std::wstring added_account(const std::wstring& rest, const std::wstring& object) {
  if (!names_share(rest, object) || rest.size() <= object.size() + 1) return {};
  std::wstring account = rest.substr(object.size() + 1);
  for (const std::wstring& note : {kNotWritten, kDenyNote}) {
    size_t at = account.find(note);
    if (at != std::wstring::npos) account.erase(at);
  }
  return account;
}

}  // namespace corvane
