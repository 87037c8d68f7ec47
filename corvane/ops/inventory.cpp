#include "inventory.h"

#include "app.h"
#include "drive_item.h"
#include "ordered_pool.h"
#include "share_calls.h"

#include <lm.h>

#include <algorithm>
#include <set>

#include "net_buffer.h"

namespace corvane {

namespace {

constexpr unsigned long kTypeMask = 0xFF;  // STYPE_MASK: the kind, without the special bits
// Shares are read a block at a time (some dozens of shares), so that a server with thousands of
// shares answers in several calls rather than one buffer of any size.
constexpr DWORD kEnumBlock = 8192;
// Far beyond any real server (a few thousand shares), and each block holds several shares.
constexpr size_t kMostShares = 100000;
constexpr size_t kMostCalls = 20000;

std::wstring with_backslashes(const std::wstring& server) {
  size_t k = 0;
  while (k < server.size() && server[k] == L'\\') ++k;
  return L"\\\\" + server.substr(k);
}

bool administrative(const SHARE_INFO_502& s) {
  if (s.shi502_type & STYPE_SPECIAL) return true;
  std::wstring name = s.shi502_netname ? s.shi502_netname : L"";
  for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
  return (name.size() == 2 && name[1] == L'$' && name[0] >= L'A' && name[0] <= L'Z') || name == L"ADMIN$" ||
         name == L"IPC$" || name == L"PRINT$";
}

// Every share of one server, the enumeration resumed for as long as it says there is more and
// moves on: a server that answers "more" with no rows, with a resume handle it gave before, or
// past any real number of shares would keep the loop (and its memory) growing for ever, so it
// is that server's failure, said in words.
ServerListing list_server(const std::wstring& server, const InventoryRequest& request,
                          const std::wstring& account_sid) {
  ServerListing out;
  out.server = with_backslashes(server);
  DWORD resume = 0;
  std::set<DWORD> handles_seen;
  size_t rows_read = 0;
  auto stop = [&](const std::wstring& why) {
    out.status = ERROR_MORE_DATA;
    out.reason = status_words(out.status) + L" " + why;
  };
  for (size_t call = 0;; ++call) {
    corv::NetBuffer buf;
    DWORD read = 0, total = 0;
    const DWORD resume_before = resume;
    NET_API_STATUS st = NetShareEnum(const_cast<LPWSTR>(out.server.c_str()), 502, buf.out(), kEnumBlock, &read, &total,
                                     &resume);
    if (st != NERR_Success && st != ERROR_MORE_DATA) {
      out.status = static_cast<long>(st);
      out.reason = status_words(out.status);
      out.shares.clear();
      return out;
    }
    const SHARE_INFO_502* rows = buf.as<SHARE_INFO_502>();
    if (read > records_in_answer(buf.get(), sizeof(SHARE_INFO_502))) {
      out.status = ERROR_INVALID_DATA;
      out.reason = status_words(out.status) + L" (the server counts more shares than its answer holds)";
      out.shares.clear();
      return out;
    }
    for (DWORD k = 0; rows && k < read; ++k) {
      const SHARE_INFO_502& s = rows[k];
      ShareListing l;
      l.server = out.server;
      l.share = s.shi502_netname ? s.shi502_netname : L"";
      l.type = s.shi502_type;
      if ((l.type & kTypeMask) != STYPE_DISKTREE && !request.all) continue;
      if (!request.pattern.empty() && !pattern_matches(request.pattern, l.share)) continue;
      l.path = s.shi502_path ? s.shi502_path : L"";
      l.remark = s.shi502_remark ? s.shi502_remark : L"";
      l.current_uses = s.shi502_current_uses;
      l.max_uses = s.shi502_max_uses;
      l.administrative = administrative(s);
      l.has_descriptor = s.shi502_security_descriptor != nullptr;
      l.sddl = sddl_of_descriptor(buf.get(), s.shi502_security_descriptor, &l.unreadable);
      if (l.has_descriptor) l.entries = entries_of_sddl(l.sddl, l.server);
      // A list that cannot be read may hold the account: the share stays, as unknown.
      if (!account_sid.empty() && l.unreadable.empty() &&
          std::none_of(l.entries.begin(), l.entries.end(), [&](const EntryWords& e) { return e.sid == account_sid; }))
        continue;
      out.shares.push_back(l);
    }
    if (st == NERR_Success) break;
    rows_read += read;
    if (read == 0) {
      stop(L"(the server said there was more but gave no share)");
      break;
    }
    if (resume == resume_before || handles_seen.count(resume)) {
      stop(L"(the server gave a resume handle it had given before: its list would never end)");
      break;
    }
    if (rows_read > kMostShares || call + 1 >= kMostCalls) {
      stop(L"(the server kept saying there was more past " + std::to_wstring(rows_read) + L" shares)");
      break;
    }
    handles_seen.insert(resume_before);
  }
  return out;
}

}  // namespace

std::wstring ShareListing::kind() const {
  switch (type & kTypeMask) {
    case STYPE_DISKTREE: return administrative ? L"disk (administrative)" : L"disk";
    case STYPE_PRINTQ: return L"printer";
    case STYPE_IPC: return L"IPC";
    default: return L"device";
  }
}

std::wstring access_in_words(const ShareListing& share) {
  if (!share.unreadable.empty()) return L"(cannot be read: " + share.unreadable + L")";
  if (!share.has_descriptor) return L"(server default)";
  if (share.entries.empty()) return L"(no entry: refuses everyone)";
  std::wstring out;
  for (const EntryWords& e : share.entries)
    out += (out.empty() ? L"" : L"; ") + e.account + L": " + e.rights + L" (" + e.kind + L")";
  return out;
}

std::vector<ServerListing> list_shares(const std::vector<std::wstring>& servers, const InventoryRequest& request,
                                       unsigned parallel, std::wstring& account_error) {
  std::wstring sid;
  if (!request.account.empty()) {
    RunAccount a;
    if (!account_directory().look_up(request.account, a)) {
      account_error = L"the account " + request.account + L" cannot be found";
      return {};
    }
    sid = a.sid;
  }
  std::vector<ServerListing> out(servers.size());
  OrderedPool pool;
  pool.com = true;  // the lists are read in words through the tern objects
  pool.job = [&](size_t k, size_t) { out[k] = list_server(servers[k], request, sid); };
  pool.deliver = [](size_t) {};
  pool.run(servers.size(), std::max(1u, parallel));
  return out;
}

std::vector<CheckOutcome> check_shares(const RunAccount& account, const std::vector<RunTarget>& targets,
                                       unsigned long mask, unsigned parallel) {
  std::vector<CheckOutcome> out;
  for (const RunTarget& t : targets) {
    CheckOutcome c;
    c.item = t.item;
    c.object = t.object;
    out.push_back(c);
  }
  OrderedPool pool;
  pool.com = true;
  pool.job = [&](size_t k, size_t) {
    CheckOutcome& c = out[k];
    const ShareTarget& t = targets[k].target;
    ShareNow now = read_share(t.server, t.share);
    c.result = L"drift";
    if (now.status == NERR_NetNameNotFound) {
      c.detail = L"missing share";
      return;
    }
    if (now.status != 0) {
      c.result = L"failed";
      c.detail = L"cannot be read (" + status_words(now.status) + L")";
      return;
    }
    unsigned long allowed = 0;
    bool deny = false, entry = false;
    for (const EntryWords& e : entries_of_sddl(now.record.sddl)) {
      if (e.sid != account.sid) continue;
      if (e.type == ACCESS_ALLOWED_ACE_TYPE) {
        allowed |= e.mask;
        entry = true;
      } else if (e.type == ACCESS_DENIED_ACE_TYPE) {
        deny = true;
      }
    }
    std::vector<std::wstring> drift;
    if (now.record.sddl.empty()) drift.push_back(L"no entry (the share has no access list of its own)");
    else if (!entry) drift.push_back(L"no entry");
    else if (allowed != mask) drift.push_back(rights_in_words(allowed) + L" instead of " + rights_in_words(mask));
    if (deny) drift.push_back(L"deny entry present");
    for (const std::wstring& d : drift) c.detail += (c.detail.empty() ? L"" : L"; ") + d;
    c.ok = drift.empty();
    if (c.ok) c.result = L"ok";
  };
  pool.deliver = [](size_t) {};
  pool.run(out.size(), std::max(1u, parallel));
  return out;
}

}  // namespace corvane
