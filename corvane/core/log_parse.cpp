#include "log_parse.h"
#include "safe_text.h"

#include <cwctype>

namespace corvane {

namespace {

bool digits(const std::wstring& s, size_t at, size_t n) {
  if (at + n > s.size()) return false;
  for (size_t k = at; k < at + n; ++k)
    if (s[k] < L'0' || s[k] > L'9') return false;  // ASCII only: other digits would throw below
  return true;
}

int number(const std::wstring& s, size_t at, size_t n) {
  unsigned long long v = 0;
  return parse_decimal(s.substr(at, n), 9999, v) ? static_cast<int>(v) : -1;
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

namespace {

ShareBefore* find_change(std::vector<ShareBefore>& changes, const std::wstring& object) {
  for (ShareBefore& c : changes) {
    if (same_name(c.object, object)) return &c;
    for (const std::wstring& r : c.readings)
      if (same_name(r, object)) return &c;
  }
  return nullptr;
}

// The share an "Added", "Deleted" or "Restored" line's rest is about, among those known.
ShareBefore* named_change(std::vector<ShareBefore>& changes, const std::wstring& rest) {
  ShareBefore* best = nullptr;
  for (ShareBefore& c : changes)  // the longest name wins: "\\S\My Share" over "\\S\My"
    if (names_share(rest, c.object) && (!best || c.object.size() > best->object.size())) best = &c;
  return best;
}

}  // namespace

std::vector<LogSession> log_sessions(const std::vector<LogEntry>& entries) {
  std::vector<LogSession> sessions;
  // Per share of the current session: whether its "Added" line came since its "Creating" line.
  std::vector<std::wstring> added_since_creating;
  for (size_t i = 0; i < entries.size(); ++i) {
    ChangeLine line = read_change_line(entries[i].text);
    if (line.kind == ChangeLine::Started) {
      if (!sessions.empty()) sessions.back().end = i;
      sessions.push_back({i, entries.size(), entries[i].stamp, line.kind_of_session, {}});
      added_since_creating.clear();
      continue;
    }
    if (sessions.empty() || line.kind == ChangeLine::Other) continue;
    std::vector<ShareBefore>& changes = sessions.back().changes;
    auto was_added = [&](const std::wstring& o) {
      for (const std::wstring& a : added_since_creating)
        if (same_name(a, o)) return true;
      return false;
    };
    switch (line.kind) {
      case ChangeLine::Creating:
      case ChangeLine::Deleting:
      case ChangeLine::Previous: {
        ShareBefore* c = find_change(changes, line.object);
        if (!c) {
          ShareBefore b;
          b.object = line.object;
          b.existed = line.kind != ChangeLine::Creating;
          b.sddl = line.kind == ChangeLine::Previous ? line.sddl : line.record.sddl;
          changes.push_back(b);
          c = &changes.back();
        } else if (line.kind == ChangeLine::Previous && !c->existed && !c->legacy && !was_added(c->object)) {
          // Found there after all (made meanwhile by someone else): it is its list that counts.
          c->existed = true;
          c->sddl = line.sddl;
        }
        if (line.kind == ChangeLine::Creating) {
          c->made.push_back(line.record);
          for (size_t k = 0; k < added_since_creating.size(); ++k)
            if (same_name(added_since_creating[k], c->object)) added_since_creating.erase(added_since_creating.begin() + k--);
        }
        // The settings to make it again: those recorded before it was deleted.
        if (line.kind == ChangeLine::Deleting && !c->record_known) {
          c->record = line.record;
          c->record_known = true;
        }
        break;
      }
      case ChangeLine::Added: {
        ShareBefore* c = named_change(changes, line.object);
        if (!c) {
          // An earlier version logged a created share by its "Added" line alone. Share names may
          // hold blanks: every cut at a blank before the account's backslash is a reading.
          ShareBefore b;
          b.legacy = true;
          size_t share_at = line.object.find(L'\\', 2);
          size_t slash = share_at == std::wstring::npos ? share_at : line.object.find(L'\\', share_at + 1);
          size_t limit = slash == std::wstring::npos ? line.object.size() : slash;
          for (size_t blank = share_at == std::wstring::npos ? share_at : line.object.find(L' ', share_at);
               blank != std::wstring::npos && blank < limit; blank = line.object.find(L' ', blank + 1))
            b.readings.push_back(line.object.substr(0, blank));
          if (b.readings.empty()) break;
          b.object = b.readings.front();
          changes.push_back(b);
          c = &changes.back();
        }
        if (c->account.empty()) c->account = added_account(line.object, c->object);
        added_since_creating.push_back(c->object);
        break;
      }
      case ChangeLine::Revoked:
        if (ShareBefore* c = named_change(changes, line.object))
          if (c->account.empty()) c->account = added_account(line.object, c->object);
        break;
      default:
        break;
    }
  }
  return sessions;
}

std::vector<ShareBefore> changes_of(const std::vector<const LogSession*>& sessions) {
  std::vector<ShareBefore> out;
  for (const LogSession* s : sessions) {
    for (const ShareBefore& c : s->changes) {
      ShareBefore* known = nullptr;
      for (const std::wstring& name : c.readings.empty() ? std::vector<std::wstring>{c.object} : c.readings)
        if (!known) known = find_change(out, name);
      if (!known) {
        out.push_back(c);
        continue;
      }
      // The earliest session tells how the share was; later ones add what they made and settings.
      known->made.insert(known->made.end(), c.made.begin(), c.made.end());
      if (!known->record_known && c.record_known) {
        known->record = c.record;
        known->record_known = true;
      }
      if (known->account.empty()) known->account = c.account;
    }
  }
  return out;
}

UndoDecision decide_undo(const ShareBefore& before, const ShareNow& now) {
  UndoDecision d;
  if (now.status != 0 && now.status != 2310) {
    d.action = UndoDecision::Fail;
    return d;  // the caller names the status
  }
  const bool there = now.status == 0;
  if (!before.existed) {
    if (!there) {
      d.reason = L"not there, as before";
      return d;
    }
    bool ours = false;
    if (before.legacy) {
      ours = now.record.remark.rfind(L"Added via Velmora Corvane v", 0) == 0;
    } else {
      for (const ShareRecord& m : before.made)
        ours = ours || (same_name(m.path, now.record.path) && m.remark == now.record.remark);
    }
    d.action = ours ? UndoDecision::Delete : UndoDecision::NotPutBack;
    if (!ours) d.reason = L"the share there now is not the one made then (its remark is \"" + now.record.remark + L"\")";
    return d;
  }
  if (!there) {
    d.action = before.record_known ? UndoDecision::Recreate : UndoDecision::Fail;
    if (!before.record_known) d.reason = L"it is gone and its path is not on record";
    return d;
  }
  if (now.record.sddl == before.sddl) {
    d.reason = L"its access list is as it was";
    return d;
  }
  if (before.sddl.empty()) {
    d.action = UndoDecision::NotPutBack;
    d.reason = L"it had no access list of its own; the entry for " +
               (before.account.empty() ? std::wstring(L"the account") : before.account) + L" remains";
    return d;
  }
  d.action = UndoDecision::Restore;
  return d;
}

}  // namespace corvane
