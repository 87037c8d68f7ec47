#include "change_log.h"

#include <cwctype>
#include <vector>

namespace corvane {

const wchar_t kTornLine[] = L"The line before this one was cut short; it is not read.";
const wchar_t kDenyRemains[] = L"(a deny entry for this account remains)";

namespace {

const std::wstring kCreating = L"Creating ";
const std::wstring kDeleting = L"Deleting ";
const std::wstring kPrevious = L"Previous permissions of ";
const std::wstring kAdded = L"Added ";
const std::wstring kDeleted = L"Deleted ";
const std::wstring kRestored = L"Restored ";
const std::wstring kRevoked = L"Revoked ";
const std::wstring kStarted = L"Started Velmora Corvane";
const std::wstring kSession = L"Log session ";
const std::wstring kResumed = L"Resumed log session ";
const std::wstring kBar = L" | ";
const std::wstring kNotCreated = L"Not created: ";
const std::wstring kNotChanged = L"Not changed: ";
const std::wstring kNotWritten = L"Permissions not written: ";
const std::wstring kFailed = L" Failed: ";
const std::wstring kRemarkHead = L"Added via Velmora Corvane v";

bool starts_with(const std::wstring& s, const std::wstring& head) { return s.compare(0, head.size(), head) == 0; }

std::wstring two(int n) {
  std::wstring s = std::to_wstring(n < 0 ? 0 : n % 100);
  return s.size() < 2 ? L"0" + s : s;
}

std::wstring uses_text(unsigned long n) { return n == 0xFFFFFFFFul ? L"unlimited" : std::to_wstring(n); }

int hex_value(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

// A share's name: neither a blank-free name nor a colon ends it early in the lines that follow it.
std::wstring object_text(const std::wstring& object) { return escape_text(object, L"|:"); }
std::wstring field(const std::wstring& text) { return escape_text(text, L"|"); }

std::wstring record_fields(const ShareRecord& r, bool with_list) {
  std::wstring s = kBar + L"path " + field(r.path) + kBar + L"max uses " + uses_text(r.max_uses);
  if (with_list) s += kBar + L"access list " + (r.sddl.empty() ? std::wstring(L"none") : field(r.sddl));
  return s + kBar + L"remark " + field(r.remark);
}

bool ascii_number(const std::wstring& n, unsigned long long limit, unsigned long long& out) {
  if (n.empty() || n.size() > 10) return false;
  out = 0;
  for (wchar_t c : n) {
    if (c < L'0' || c > L'9') return false;
    out = out * 10 + static_cast<unsigned>(c - L'0');
  }
  return out <= limit;
}

// "<object> | path ... | remark ...": false when the fields are not all there. In an escaped line
// no field holds a raw "|", so the cuts are exact; an earlier version's remark, free text, runs
// to the end of the line.
bool read_record(const std::wstring& text, bool escaped, std::wstring& object, ShareRecord& r) {
  auto value = [&](const std::wstring& s) { return escaped ? unescape_text(s) : s; };
  size_t cut = text.find(kBar);
  if (cut == std::wstring::npos) return false;
  object = value(text.substr(0, cut));
  bool path = false, uses = false;
  for (size_t at = cut + kBar.size();;) {
    size_t next = text.find(kBar, at);
    if (starts_with(text.substr(at), L"remark ") && (!escaped || next == std::wstring::npos)) {
      r.remark = value(text.substr(at + 7));
      return path && uses && !object.empty();
    }
    if (next == std::wstring::npos) return false;
    std::wstring f = text.substr(at, next - at);
    if (starts_with(f, L"path ")) {
      r.path = value(f.substr(5));
      path = true;
    } else if (starts_with(f, L"max uses ")) {
      std::wstring n = f.substr(9);
      unsigned long long v = 0xFFFFFFFFull;
      if (n != L"unlimited" && !ascii_number(n, 0xFFFFFFFFull, v)) return false;
      r.max_uses = static_cast<unsigned long>(v);
      uses = true;
    } else if (starts_with(f, L"access list ")) {
      r.has_access_list = true;
      r.sddl = f.substr(12) == L"none" ? L"" : value(f.substr(12));
    }
    at = next + kBar.size();
  }
}

// A session's identifier: hexadecimal digits up to the first blank or full stop.
std::wstring session_id(const std::wstring& text, size_t at) {
  size_t end = at;
  while (end < text.size() && hex_value(text[end]) >= 0) ++end;
  return text.substr(at, end - at);
}

}  // namespace

std::wstring escape_text(const std::wstring& text, const std::wstring& also) {
  static const wchar_t digits[] = L"0123456789ABCDEF";
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
    // A surrogate stands only as half of a pair; the pair is kept whole.
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      out += c;
      out += text[++i];
      continue;
    }
    if (c < 0x20 || c == 0x7F || c == L'%' || c == 0x85 || c == 0x2028 || c == 0x2029 || high || low ||
        also.find(c) != std::wstring::npos) {
      out += L'%';
      for (int shift = 12; shift >= 0; shift -= 4) out += digits[(c >> shift) & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

std::wstring unescape_text(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'%' && i + 4 < text.size() && hex_value(text[i + 1]) >= 0 && hex_value(text[i + 2]) >= 0 &&
        hex_value(text[i + 3]) >= 0 && hex_value(text[i + 4]) >= 0) {
      out += static_cast<wchar_t>(hex_value(text[i + 1]) << 12 | hex_value(text[i + 2]) << 8 |
                                  hex_value(text[i + 3]) << 4 | hex_value(text[i + 4]));
      i += 4;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::wstring format_stamp(const Stamp& when, const std::wstring& month_abbrev) {
  std::wstring year = std::to_wstring(when.year);
  while (year.size() < 4) year.insert(year.begin(), L'0');
  return two(when.day) + L"-" + escape_text(month_abbrev, L"->") + L"-" + year + L" " + two(when.hour) + L":" +
         two(when.minute);
}

std::wstring log_line(const std::wstring& stamp, const std::wstring& text) { return stamp + L"> " + text; }

std::wstring started_line(const std::wstring& command) {
  return command.empty() ? kStarted + L" session."
                         : kStarted + L" command-line session (corvanecmd " + escape_text(command, L"()") + L").";
}

std::wstring version_line(const Version& v) {
  return L"Using Corvane v" + std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) + L"." +
         std::to_wstring(v.revision);
}

std::wstring terminated_line(const std::wstring& command) {
  return command.empty() ? L"Corvane session terminated." : L"Corvane command-line session terminated.";
}

std::wstring session_line(const std::wstring& id, unsigned long process) {
  return kSession + id + L" in process " + std::to_wstring(process) + L".";
}

std::wstring resumed_line(const std::wstring& id) { return kResumed + id + L"."; }

std::wstring domain_line(const std::wstring& domain) { return L"Domain " + escape_text(domain); }

std::wstring found_drive_line(const std::wstring& item, const std::wstring& error_text) {
  return error_text.empty() ? L"Found drive " + escape_text(item)
                            : L"Found drive " + escape_text(item) + L" " + escape_text(error_text);
}

std::wstring disks_not_listed_line(const std::wstring& server, const std::wstring& reason) {
  return L"Drives of " + escape_text(server) + L" not listed: " + escape_text(reason);
}

std::wstring browse_list_incomplete_line(const std::wstring& what, size_t read, const std::wstring& reason) {
  return L"Browse list of " + escape_text(what) + L" incomplete, " + std::to_wstring(read) +
         (read == 1 ? L" name read: " : L" names read: ") + escape_text(reason);
}

std::wstring connection_not_ended_line(const std::wstring& letter, const std::wstring& remote,
                                       const std::wstring& reason) {
  return L"Connection of " + escape_text(letter) + L" to " + escape_text(remote) + L" not ended: " +
         escape_text(reason);
}

std::wstring share_remark(const Version& v, const std::wstring& stamp) {
  return kRemarkHead + std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) + L" at " + stamp;
}

bool is_program_remark(const std::wstring& remark) { return starts_with(remark, kRemarkHead); }

bool same_name(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towupper(a[i]) != std::towupper(b[i])) return false;
  return true;
}

std::wstring creating_line(const std::wstring& object, const ShareRecord& record) {
  return kCreating + object_text(object) + record_fields(record, false);
}

std::wstring deleting_line(const std::wstring& object, const ShareRecord& record) {
  return kDeleting + object_text(object) + record_fields(record, true);
}

std::wstring previous_line(const std::wstring& object, const std::wstring& sddl) {
  return kPrevious + object_text(object) + L": " + escape_text(sddl);
}

std::wstring added_line(const std::wstring& object, const std::wstring& account, const std::wstring& tail) {
  return kAdded + object_text(object) + L" " + escape_text(account, L":") + (tail.empty() ? L"" : L" " + tail);
}

std::wstring deleted_line(const std::wstring& object, const std::wstring& failure) {
  return kDeleted + object_text(object) + (failure.empty() ? L"" : L" " + escape_text(failure));
}

std::wstring restored_line(const std::wstring& object, const std::wstring& sddl, const std::wstring& failure) {
  return kRestored + object_text(object) + L": " + escape_text(sddl) +
         (failure.empty() ? L"" : kFailed + escape_text(failure));
}

std::wstring revoked_line(const std::wstring& object, const std::wstring& account, const std::wstring& tail) {
  return kRevoked + object_text(object) + L" " + escape_text(account, L":") + (tail.empty() ? L"" : L" " + tail);
}

std::wstring not_created(const std::wstring& reason) { return kNotCreated + escape_text(reason); }
std::wstring not_changed(const std::wstring& reason) { return kNotChanged + escape_text(reason); }
std::wstring permissions_not_written(const std::wstring& reason) { return kNotWritten + escape_text(reason); }

ChangeLine read_change_line(const std::wstring& text, bool escaped) {
  ChangeLine c;
  auto value = [&](const std::wstring& s) { return escaped ? unescape_text(s) : s; };
  if (starts_with(text, kStarted)) {
    c.kind = ChangeLine::Started;
    size_t open = text.find(L"(corvanecmd ");
    size_t close = open == std::wstring::npos ? open : text.find(L')', open);
    c.kind_of_session = close == std::wstring::npos ? L"window"
                                                    : unescape_text(text.substr(open + 12, close - open - 12));
  } else if (starts_with(text, kSession) || starts_with(text, kResumed)) {
    const bool resumed = starts_with(text, kResumed);
    c.session = session_id(text, resumed ? kResumed.size() : kSession.size());
    if (c.session.size() >= 8) c.kind = resumed ? ChangeLine::Resumed : ChangeLine::Session;
  } else if (text == kTornLine) {
    c.kind = ChangeLine::Torn;
  } else if (starts_with(text, kCreating) || starts_with(text, kDeleting)) {
    bool creating = starts_with(text, kCreating);
    if (read_record(text.substr(kCreating.size()), escaped, c.object, c.record))  // both heads are 9 long
      c.kind = creating ? ChangeLine::Creating : ChangeLine::Deleting;
  } else if (starts_with(text, kPrevious)) {
    size_t colon = text.find(L": ", kPrevious.size());
    // An empty list leaves the line ending in ": " or, trimmed by an editor, in ":".
    if (colon == std::wstring::npos && !text.empty() && text.back() == L':') colon = text.size() - 1;
    if (colon != std::wstring::npos && colon > kPrevious.size()) {
      c.kind = ChangeLine::Previous;
      c.object = value(text.substr(kPrevious.size(), colon - kPrevious.size()));
      c.sddl = colon + 2 <= text.size() ? value(text.substr(colon + 2)) : L"";
    }
  } else {
    for (auto [head, kind] :
         {std::make_pair(&kAdded, ChangeLine::Added), std::make_pair(&kDeleted, ChangeLine::Deleted),
          std::make_pair(&kRestored, ChangeLine::Restored), std::make_pair(&kRevoked, ChangeLine::Revoked)}) {
      if (!starts_with(text, *head) || !starts_with(text.substr(head->size()), L"\\\\")) continue;
      c.kind = kind;
      std::wstring rest = text.substr(head->size());
      // The notes are the program's own: in an escaped line no name or account holds a raw colon.
      if (escaped && kind == ChangeLine::Added)
        c.failed = rest.find(L" " + kNotCreated) != std::wstring::npos ||
                   rest.find(L" " + kNotChanged) != std::wstring::npos;
      if (escaped && kind == ChangeLine::Restored) c.failed = rest.find(kFailed) != std::wstring::npos;
      c.object = value(rest);
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
  for (const std::wstring& note :
       {L" " + kNotWritten, L" " + kNotCreated, L" " + kNotChanged, L" " + std::wstring(kDenyRemains)}) {
    size_t at = account.find(note);
    if (at != std::wstring::npos) account.erase(at);
  }
  return account;
}

}  // namespace corvane
