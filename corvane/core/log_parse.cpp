#include "log_parse.h"

namespace corvane {

namespace {

bool digits(const std::wstring& s, size_t at, size_t n) {
  if (at + n > s.size()) return false;
  for (size_t k = at; k < at + n; ++k)
    if (s[k] < L'0' || s[k] > L'9') return false;
  return true;
}

// Only after digits() said yes.
int number(const std::wstring& s, size_t at, size_t n) {
  int v = 0;
  for (size_t k = at; k < at + n; ++k) v = v * 10 + (s[k] - L'0');
  return v;
}

}  // namespace

std::vector<LogEntry> parse_log(const std::wstring& content) {
  std::vector<LogEntry> out;
  bool last_line_read = false;  // whether the line before was taken
  size_t pos = 0;
  while (pos < content.size()) {
    size_t end = content.find(L'\n', pos);
    if (end == std::wstring::npos) end = content.size();
    std::wstring line = content.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    size_t mark = line.find(L"> ");
    // "dd-" at the start and "yyyy hh:mm" right before the mark; no zero (a power loss's tail).
    if (mark == std::wstring::npos || mark < 16 || !digits(line, 0, 2) || line[2] != L'-' ||
        !digits(line, mark - 5, 2) || line[mark - 3] != L':' || !digits(line, mark - 2, 2) ||
        line.find(L'\0') != std::wstring::npos) {
      last_line_read = false;
      continue;
    }
    std::wstring text = line.substr(mark + 2);
    if (text == kTornLine) {
      if (last_line_read) out.pop_back();
      last_line_read = false;
      continue;
    }
    out.push_back({line.substr(0, mark), text});
    last_line_read = true;
  }
  return out;
}

bool parse_stamp(const std::wstring& text, const std::vector<std::wstring>& months, Stamp& out) {
  // dd-<month>-yyyy hh:mm: the month name's length is the locale's.
  if (text.size() < 17 || !digits(text, 0, 2) || text[2] != L'-') return false;
  size_t dash = text.rfind(L'-');
  if (dash == std::wstring::npos || dash < 4 || dash + 11 != text.size()) return false;
  if (!digits(text, dash + 1, 4) || text[dash + 5] != L' ' || !digits(text, dash + 6, 2) || text[dash + 8] != L':' ||
      !digits(text, dash + 9, 2))
    return false;
  std::wstring month = unescape_text(text.substr(3, dash - 3));
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

ShareRecord ShareBefore::to_make() const {
  ShareRecord r = record;
  r.has_access_list = true;
  r.sddl = sddl;
  return r;
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

// Takes the share's creation off the pending list; true when one was pending.
bool settle(LogSession& s, const std::wstring& object) {
  for (size_t k = 0; k < s.pending.size(); ++k)
    if (same_name(s.pending[k], object)) {
      s.pending.erase(s.pending.begin() + static_cast<std::ptrdiff_t>(k));
      return true;
    }
  return false;
}

// An earlier version logged a created share by its "Added" line alone. Share names may hold
// blanks: every cut at a blank before the account's backslash is a reading.
bool legacy_change(const std::wstring& rest, ShareBefore& b) {
  b.legacy = true;
  size_t share_at = rest.find(L'\\', 2);
  size_t slash = share_at == std::wstring::npos ? share_at : rest.find(L'\\', share_at + 1);
  size_t limit = slash == std::wstring::npos ? rest.size() : slash;
  for (size_t blank = share_at == std::wstring::npos ? share_at : rest.find(L' ', share_at);
       blank != std::wstring::npos && blank < limit; blank = rest.find(L' ', blank + 1))
    b.readings.push_back(rest.substr(0, blank));
  if (b.readings.empty()) return false;
  b.object = b.readings.front();
  return true;
}

void apply(LogSession& s, const ChangeLine& line, bool escaped) {
  std::vector<ShareBefore>& changes = s.changes;
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
      } else if (line.kind == ChangeLine::Previous && settle(s, c->object)) {
        // Its creation found it there (made meanwhile by someone else): nothing was made, and if
        // the share is new to these lines it is its list that counts.
        if (!c->made.empty()) c->made.pop_back();
        if (!c->existed && !c->legacy && c->made.empty()) {
          c->existed = true;
          c->sddl = line.sddl;
        }
      }
      if (line.kind == ChangeLine::Creating) {
        c->made.push_back(line.record);
        settle(s, c->object);
        s.pending.push_back(c->object);
      }
      // The settings to make it again: those recorded when it was first deleted.
      if (line.kind == ChangeLine::Deleting && !c->record_known) {
        c->record = line.record;
        c->record_known = true;
      }
      break;
    }
    case ChangeLine::Added: {
      ShareBefore* c = named_change(changes, line.object);
      if (!c) {
        // In this version's sessions every change has its record: a lone "Added" line tells of a
        // failure, which changed nothing.
        ShareBefore b;
        if (escaped || !legacy_change(line.object, b)) break;
        changes.push_back(b);
        c = &changes.back();
      }
      if (settle(s, c->object) && line.failed && !c->made.empty()) c->made.pop_back();
      if (c->account.empty()) c->account = added_account(line.object, c->object);
      break;
    }
    case ChangeLine::Revoked:
      if (ShareBefore* c = named_change(changes, line.object))
        if (c->account.empty()) c->account = added_account(line.object, c->object);
      break;
    default: break;
  }
}

}  // namespace

std::vector<LogSession> log_sessions(const std::vector<LogEntry>& entries) {
  std::vector<LogSession> sessions;
  std::vector<bool> escaped;  // per session: it names itself, so its lines are escaped
  size_t current = SIZE_MAX;
  auto named = [&](const std::wstring& id) {
    for (size_t k = sessions.size(); k-- > 0;)
      if (sessions[k].id == id) return k;
    return SIZE_MAX;
  };
  for (size_t i = 0; i < entries.size(); ++i) {
    const bool esc = current != SIZE_MAX && escaped[current];
    ChangeLine line = read_change_line(entries[i].text, esc);
    switch (line.kind) {
      case ChangeLine::Started:
        sessions.push_back({i, 0, entries[i].stamp, line.kind_of_session, L"", {}, {}});
        escaped.push_back(false);
        current = sessions.size() - 1;
        continue;
      case ChangeLine::Session:
        // Written with its start lines, in one piece: it names the session just started.
        if (current != SIZE_MAX && sessions[current].id.empty() && named(line.session) == SIZE_MAX) {
          sessions[current].id = line.session;
          escaped[current] = true;
          continue;
        }
        [[fallthrough]];
      case ChangeLine::Resumed:
        current = named(line.session);
        if (current == SIZE_MAX) {
          // Its start is not in this log (cut off, or another file's): a session of its own.
          sessions.push_back({i, 0, entries[i].stamp, L"unknown", line.session, {}, {}});
          escaped.push_back(true);
          current = sessions.size() - 1;
        }
        continue;
      case ChangeLine::Other:
      case ChangeLine::Torn: continue;
      default: break;
    }
    if (current == SIZE_MAX) continue;
    LogSession& s = sessions[current];
    apply(s, line, esc);
    if (!s.changes.empty()) s.last_change = i;
  }
  return sessions;
}

std::vector<const LogSession*> sessions_to_undo(const std::vector<LogSession>& sessions,
                                                const std::optional<Stamp>& since,
                                                const std::vector<std::wstring>& months) {
  std::vector<const LogSession*> chosen;
  if (since) {
    bool from = false;
    for (const LogSession& s : sessions) {
      Stamp at;
      from = from || (parse_stamp(s.stamp, months, at) && compare_stamps(at, *since) >= 0);
      if (from && !s.changes.empty()) chosen.push_back(&s);
    }
    return chosen;
  }
  const LogSession* last = nullptr;
  for (const LogSession& s : sessions)
    if (!s.changes.empty() && (!last || s.last_change > last->last_change)) last = &s;
  if (last) chosen.push_back(last);
  return chosen;
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

namespace {
// Whether the share there now is one these sessions made.
bool made_here(const ShareBefore& before, const ShareRecord& now) {
  if (before.legacy) return is_program_remark(now.remark);
  for (const ShareRecord& m : before.made)
    if (same_name(m.path, now.path) && m.remark == now.remark) return true;
  return false;
}
}  // namespace

UndoDecision decide_undo(const ShareBefore& before, const ShareNow& now) {
  UndoDecision d;
  if (now.status != 0 && now.status != 2310) {
    d.action = UndoDecision::Fail;
    return d;  // the caller names the status
  }
  const bool there = now.status == 0;
  const bool ours = there && made_here(before, now.record);
  if (!before.existed) {
    if (!there) {
      d.reason = L"not there, as before";
      return d;
    }
    d.action = ours ? UndoDecision::Delete : UndoDecision::NotPutBack;
    if (!ours)
      d.reason = L"the share there now is not the one made then (its remark is \"" + now.record.remark + L"\")";
    return d;
  }
  if (!there) {
    d.action = before.record_known ? UndoDecision::Recreate : UndoDecision::Fail;
    if (!before.record_known) d.reason = L"it is gone and its path is not on record";
    return d;
  }
  if (before.record_known) {
    if (!same_name(now.record.path, before.record.path)) {
      if (ours) {
        d.action = UndoDecision::Replace;
        return d;
      }
      d.action = UndoDecision::NotPutBack;
      d.reason = L"the share there now is another one (path " + now.record.path + L", not " + before.record.path + L")";
      return d;
    }
    if (ours && (now.record.remark != before.record.remark || now.record.max_uses != before.record.max_uses)) {
      d.action = UndoDecision::Replace;
      return d;
    }
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
