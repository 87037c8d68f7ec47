#include "log_parse.h"

#include <cwctype>

namespace corvane {

namespace {

const std::wstring kStarted = L"Started Velmora Corvane";
const std::wstring kPrevious = L"Previous permissions of ";
const std::wstring kAdded = L"Added ";

bool starts_with(const std::wstring& s, const std::wstring& head) { return s.compare(0, head.size(), head) == 0; }

bool digits(const std::wstring& s, size_t at, size_t n) {
  if (at + n > s.size()) return false;
  for (size_t k = at; k < at + n; ++k)
    if (!std::iswdigit(s[k])) return false;
  return true;
}

int number(const std::wstring& s, size_t at, size_t n) { return std::stoi(s.substr(at, n)); }

// The readings of the share in an "Added" line's rest ("My Share CORP\collector ..."): share
// names may hold blanks, so every cut at a blank before the account's backslash is one.
std::vector<std::wstring> added_objects(const std::wstring& rest) {
  std::vector<std::wstring> out;
  if (!starts_with(rest, L"\\\\")) return out;
  size_t share_at = rest.find(L'\\', 2);
  if (share_at == std::wstring::npos) return out;
  size_t account_slash = rest.find(L'\\', share_at + 1);
  size_t limit = account_slash == std::wstring::npos ? rest.size() : account_slash;
  for (size_t blank = rest.find(L' ', share_at); blank != std::wstring::npos && blank < limit;
       blank = rest.find(L' ', blank + 1))
    out.push_back(rest.substr(0, blank));
  return out;
}

}  // namespace

std::vector<LogEntry> parse_log(const std::wstring& content) {
  std::vector<LogEntry> out;
  size_t pos = 0;
  while (pos < content.size()) {
    size_t end = content.find(L'\n', pos);
    if (end == std::wstring::npos) end = content.size();
    std::wstring line = content.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    size_t mark = line.find(L"> ");
    // "dd-" at the start and "yyyy hh:mm" right before the mark.
    if (mark == std::wstring::npos || mark < 16 || !digits(line, 0, 2) || line[2] != L'-' ||
        !digits(line, mark - 5, 2) || line[mark - 3] != L':' || !digits(line, mark - 2, 2))
      continue;
    out.push_back({line.substr(0, mark), line.substr(mark + 2)});
  }
  return out;
}

bool parse_stamp(const std::wstring& text, const std::vector<std::wstring>& months, Stamp& out) {
  // dd-<month>-yyyy hh:mm: the month name's length is the locale's.
  if (text.size() < 17 || !digits(text, 0, 2) || text[2] != L'-') return false;
  size_t dash = text.find(L'-', 3);
  if (dash == std::wstring::npos || dash + 11 != text.size()) return false;
  if (!digits(text, dash + 1, 4) || text[dash + 5] != L' ' || !digits(text, dash + 6, 2) || text[dash + 8] != L':' ||
      !digits(text, dash + 9, 2))
    return false;
  std::wstring month = text.substr(3, dash - 3);
  for (size_t m = 0; m < months.size() && m < 12; ++m) {
    if (months[m] != month) continue;
    out = {number(text, dash + 1, 4), static_cast<int>(m) + 1, number(text, 0, 2), number(text, dash + 6, 2),
           number(text, dash + 9, 2)};
    return true;
  }
  return false;
}

int compare_stamps(const Stamp& a, const Stamp& b) {
  const int x[] = {a.year, a.month, a.day, a.hour, a.minute};
  const int y[] = {b.year, b.month, b.day, b.hour, b.minute};
  for (int k = 0; k < 5; ++k)
    if (x[k] != y[k]) return x[k] < y[k] ? -1 : 1;
  return 0;
}

std::vector<LogSession> log_sessions(const std::vector<LogEntry>& entries) {
  std::vector<LogSession> sessions;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::wstring& text = entries[i].text;
    if (starts_with(text, kStarted)) {
      if (!sessions.empty()) sessions.back().end = i;
      sessions.push_back({i, entries.size(), entries[i].stamp, {}});
      continue;
    }
    if (sessions.empty() || !starts_with(text, kAdded)) continue;
    LogSession& s = sessions.back();
    ShareChange c;
    c.line = i;
    // A share that was there before has its previous list on the line right before.
    const std::wstring rest = text.substr(kAdded.size());
    if (i > s.first && starts_with(entries[i - 1].text, kPrevious)) {
      const std::wstring& prev = entries[i - 1].text;
      size_t colon = prev.find(L": ", kPrevious.size());
      std::wstring object = colon == std::wstring::npos ? L"" : prev.substr(kPrevious.size(), colon - kPrevious.size());
      if (!object.empty() && starts_with(rest, object + L" ")) {
        c.objects = {object};
        c.existed = true;
        c.previous_sddl = prev.substr(colon + 2);
      }
    }
    if (c.objects.empty()) c.objects = added_objects(rest);
    if (c.objects.empty()) continue;
    // Only a share's first change in the session tells how it was before the session.
    bool seen = false;
    for (const ShareChange& e : s.changes)
      for (const std::wstring& o : e.objects)
        if (o == c.objects.front()) seen = true;
    if (!seen) s.changes.push_back(c);
  }
  return sessions;
}

bool line_names_share(const std::wstring& text, const std::wstring& object) {
  for (const wchar_t* head : {L"Added ", L"Deleted ", L"Restored "}) {
    std::wstring h = head + object;
    if (starts_with(text, h) && (text.size() == h.size() || text[h.size()] == L' ' || text[h.size()] == L':'))
      return true;
  }
  return starts_with(text, kPrevious + object + L":");
}

}  // namespace corvane
