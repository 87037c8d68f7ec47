// Adding, updating and deleting shares with the account's entry, and the list export, against
// the lab: the shares and descriptors are read back from the lab, not from the program.
#include "corvane_test.h"

#include <lm.h>
#include <sddl.h>

#include "inventory.h"
#include "share_calls.h"
#include "share_export.h"
#include "share_runs.h"

#include <algorithm>

using namespace corvane;
using namespace corvane_test;

namespace {

struct ShareFacts {
  bool exists = false;
  std::wstring path, remark, dacl;  // dacl as SDDL
  DWORD type = 0, max_uses = 0;
};

ShareFacts share_facts(const std::wstring& server, const std::wstring& share) {
  ShareFacts f;
  LPBYTE buf = nullptr;
  if (NetShareGetInfo(const_cast<LPWSTR>(server.c_str()), const_cast<LPWSTR>(share.c_str()), 502, &buf) != 0) return f;
  auto* info = reinterpret_cast<SHARE_INFO_502*>(buf);
  f.exists = true;
  f.path = info->shi502_path ? info->shi502_path : L"";
  f.remark = info->shi502_remark ? info->shi502_remark : L"";
  f.type = info->shi502_type;
  f.max_uses = info->shi502_max_uses;
  LPWSTR sddl = nullptr;
  if (info->shi502_security_descriptor &&
      ConvertSecurityDescriptorToStringSecurityDescriptorW(info->shi502_security_descriptor, SDDL_REVISION_1,
                                                           DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
    f.dacl = sddl;
    LocalFree(sddl);
  }
  NetApiBufferFree(buf);
  return f;
}

size_t count_of(const std::wstring& text, const std::wstring& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

ShareRequest request(const std::wstring& pattern, const std::wstring& account, unsigned long mask = 0x1200A9) {
  return {pattern, account, mask, {1, 0, 4}};
}

const wchar_t kUsersRead[] = L"(A;CINP;0x1200a9;;;BU)";

}  // namespace

TEST(CorvaneShares, CreatesSharesWithTheAccountsReadEntry) {
  ComScope com;
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  MemoryLog log;
  MemoryList list;
  list.add_item(L"\\\\FS01\\C");
  list.add_item(L"\\\\FS01\\D");
  list.add_item(L"\\\\FS02\\C", false);
  add_run(request(L"new<drive>", L"Users"), list, log);

  ASSERT_EQ(log.lines.size(), 4u);
  EXPECT_EQ(log.lines[1], L"Added \\\\FS01\\newC BUILTIN\\Users");
  EXPECT_EQ(log.lines[3], L"Added \\\\FS01\\newD BUILTIN\\Users");
  ShareFacts c = share_facts(L"\\\\FS01", L"newC");
  // Before it was made, the share was on record as it was then made.
  EXPECT_EQ(log.lines[0], L"Creating \\\\FS01\\newC | path C:\\ | max uses 1 | remark " + c.remark);
  ASSERT_TRUE(c.exists);
  EXPECT_EQ(c.path, L"C:\\");
  EXPECT_EQ(c.type, 0u);
  EXPECT_EQ(c.max_uses, 1u);
  EXPECT_EQ(c.remark.rfind(L"Added via Velmora Corvane v1.0 at ", 0), 0u) << c.remark;
  EXPECT_EQ(c.remark.size(), std::wstring(L"Added via Velmora Corvane v1.0 at ").size() + 17) << c.remark;
  // The new share's default permission (Everyone, read) stays; the account's entry joins it.
  EXPECT_EQ(c.dacl, std::wstring(L"D:(A;;0x1200a9;;;WD)") + kUsersRead);
  EXPECT_EQ(share_facts(L"\\\\FS01", L"newD").path, L"D:\\");
  EXPECT_FALSE(share_facts(L"\\\\FS02", L"newC").exists);  // unticked
  for (const Item& i : list.items) EXPECT_EQ(i.marker, 0);
  // The share record as handed over: read permission and no password.
  auto adds = lab.journal(L"NetShareAdd");
  ASSERT_EQ(adds.size(), 2u);
  EXPECT_NE(adds[0].args.find(L"level=2"), std::wstring::npos) << adds[0].args;
  EXPECT_NE(adds[0].args.find(L"max_uses=1"), std::wstring::npos) << adds[0].args;

  // The walk-through's pattern: D$ is there already (2118) and has no descriptor, so its list
  // becomes exactly the account's entry.
  MemoryLog admin_log;
  MemoryList admin;
  admin.add_item(L"\\\\FS01\\D");
  add_run(request(L"<drive>$", L"Users"), admin, admin_log);
  EXPECT_EQ(lab.journal(L"NetShareAdd").back().status, 2118u);
  EXPECT_EQ(admin_log.lines, (std::vector<std::wstring>{L"Previous permissions of \\\\FS01\\D$: ",
                                                        L"Added \\\\FS01\\D$ BUILTIN\\Users"}));
  EXPECT_EQ(share_facts(L"\\\\FS01", L"D$").dacl, std::wstring(L"D:") + kUsersRead);
  EXPECT_EQ(admin.items[0].marker, 0);
}

TEST(CorvaneShares, UpdatesReplaceTheAccountsEntryByIdentifier) {
  ComScope com;
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  MemoryList list;
  list.add_item(L"\\\\FS01\\D");
  const std::wstring before = share_facts(L"\\\\FS01", L"PROJECTS").dacl;
  ASSERT_EQ(count_of(before, L"(A;"), 2u) << before;

  MemoryLog log;
  add_run(request(L"PROJECTS", L"Users"), list, log);
  ASSERT_EQ(log.lines.size(), 2u);
  // What the list was, before it is rewritten.
  EXPECT_EQ(log.lines[0].rfind(L"Previous permissions of \\\\FS01\\PROJECTS: ", 0), 0u) << log.lines[0];
  EXPECT_NE(log.lines[0].find(before), std::wstring::npos) << log.lines[0];
  EXPECT_EQ(log.lines[1], L"Added \\\\FS01\\PROJECTS BUILTIN\\Users");
  std::wstring after = share_facts(L"\\\\FS01", L"PROJECTS").dacl;
  EXPECT_EQ(count_of(after, L"(A;"), 3u) << after;
  EXPECT_EQ(count_of(after, kUsersRead), 1u) << after;
  EXPECT_EQ(share_facts(L"\\\\FS01", L"PROJECTS").path, L"D:\\Projects");  // path and remark kept

  // Re-runs under other spellings of the same account replace the entry, never add one.
  for (const wchar_t* same : {L"Users", L"BUILTIN\\Users", L"users"}) {
    add_run(request(L"PROJECTS", same), list, log);
    std::wstring again = share_facts(L"\\\\FS01", L"PROJECTS").dacl;
    EXPECT_EQ(count_of(again, L"(A;"), 3u) << same << ": " << again;
    EXPECT_EQ(count_of(again, L";;;BU)"), 1u) << same << ": " << again;
  }
  // The boxes choose the mask.
  add_run(request(L"PROJECTS", L"Users", 0x1F01FF), list, log);
  std::wstring full = share_facts(L"\\\\FS01", L"PROJECTS").dacl;
  EXPECT_NE(full.find(L"(A;CINP;FA;;;BU)"), std::wstring::npos) << full;
  add_run(request(L"PROJECTS", L"Users", 0x1301BF), list, log);
  std::wstring change = share_facts(L"\\\\FS01", L"PROJECTS").dacl;
  EXPECT_NE(change.find(L"(A;CINP;0x1301bf;;;BU)"), std::wstring::npos) << change;
  EXPECT_EQ(list.items[0].marker, 0);
}

TEST(CorvaneShares, DenyEntriesStayAndAShareWithoutListGetsOneEntry) {
  ComScope com;
  corvlab::TempLab lab(
      corvlab::TempLab::default_description() +
      L"\r\n[share FS01 DENIED]\r\npath=D:\\Denied\r\nsddl=D:(D;;FA;;;BU)(A;;0x1200a9;;;BU)(A;;FA;;;BA)\r\n");
  MemoryLog log;
  MemoryList fs01;
  fs01.add_item(L"\\\\FS01\\D");
  add_run(request(L"DENIED", L"Users"), fs01, log);
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ(log.lines.back(), L"Added \\\\FS01\\DENIED BUILTIN\\Users (a deny entry for this account remains)");
  std::wstring dacl = share_facts(L"\\\\FS01", L"DENIED").dacl;
  EXPECT_NE(dacl.find(L"(D;;FA;;;BU)"), std::wstring::npos) << dacl;
  EXPECT_EQ(dacl.find(L"(A;;0x1200a9;;;BU)"), std::wstring::npos) << dacl;  // the old allow entry went
  EXPECT_EQ(count_of(dacl, kUsersRead), 1u) << dacl;
  EXPECT_EQ(count_of(dacl, L"(A;;FA;;;BA)"), 1u) << dacl;

  // SCANS on BR01 has no descriptor at all.
  MemoryList br01;
  br01.add_item(L"\\\\BR01\\D");
  MemoryLog scans_log;
  add_run(request(L"SCANS", L"Users"), br01, scans_log);
  EXPECT_EQ(share_facts(L"\\\\BR01", L"SCANS").dacl, std::wstring(L"D:") + kUsersRead);
  // It was there before, so the log says what it had: nothing.
  EXPECT_EQ(scans_log.lines, (std::vector<std::wstring>{L"Previous permissions of \\\\BR01\\SCANS: ",
                                                        L"Added \\\\BR01\\SCANS BUILTIN\\Users"}));
}

TEST(CorvaneShares, FailuresAreMarkedAndNamedAndAnUnknownAccountTouchesNothing) {
  ComScope com;
  corvlab::TempLab lab(lab_with(L"comment=Project file server", L"comment=Project file server\r\nshare_status=5"));
  MemoryList list;
  list.add_item(L"\\\\FS02\\C");
  list.add_item(L"\\\\FS01\\C");
  MemoryLog log;
  auto report = add_run(request(L"x<drive>", L"Users"), list, log);
  ASSERT_EQ(log.lines.size(), 4u);
  // The refused creation's line carries the status's text, and so does the outcome.
  const std::wstring head = L"Added \\\\FS02\\xC BUILTIN\\Users ";
  EXPECT_EQ(log.lines[1].rfind(head, 0), 0u) << log.lines[1];
  EXPECT_GT(log.lines[1].size(), head.size() + 3) << log.lines[1];
  ASSERT_EQ(report.outcomes.size(), 2u);
  EXPECT_EQ(report.outcomes[0].detail.rfind(L"status 5: ", 0), 0u) << report.outcomes[0].detail;
  EXPECT_EQ(log.lines[3], L"Added \\\\FS01\\xC BUILTIN\\Users");
  EXPECT_EQ(list.items[0].marker, 1);
  EXPECT_EQ(list.items[1].marker, 0);

  MemoryLog none;
  size_t adds = lab.journal(L"NetShareAdd").size();
  EXPECT_FALSE(resolves(L"no-such-account-anywhere"));
  add_run(request(L"y<drive>", L"no-such-account-anywhere"), list, none);
  EXPECT_TRUE(none.lines.empty());
  EXPECT_EQ(lab.journal(L"NetShareAdd").size(), adds);
  EXPECT_TRUE(resolves(L"Users"));
}

TEST(CorvaneShares, DeleteThenExportLeavesDeletedDrivesOut) {
  ComScope com;
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  MemoryList list;
  list.add_item(L"\\\\FS01\\C");
  list.add_item(L"\\\\FS01\\D");
  list.add_item(L"\\\\BR01\\C", false);
  MemoryLog log;
  add_run(request(L"d<drive>", L"Users"), list, log);
  ASSERT_TRUE(share_facts(L"\\\\FS01", L"dC").exists);

  list.items[1].ticked = false;
  MemoryLog del;
  delete_shares(L"d<drive>", list, del);
  ASSERT_EQ(del.lines.size(), 2u);
  EXPECT_EQ(del.lines[0].rfind(L"Deleting \\\\FS01\\dC | path C:\\ | max uses 1 | access list ", 0), 0u)
      << del.lines[0];
  EXPECT_EQ(del.lines[1], L"Deleted \\\\FS01\\dC");
  EXPECT_FALSE(share_facts(L"\\\\FS01", L"dC").exists);
  EXPECT_TRUE(share_facts(L"\\\\FS01", L"dD").exists);
  EXPECT_EQ(list.items[0].marker, 1);

  // Deleting again fails, and says so; the marker stays.
  delete_shares(L"d<drive>", list, del);
  ASSERT_EQ(del.lines.size(), 3u);
  EXPECT_EQ(del.lines[2].rfind(L"Deleted \\\\FS01\\dC ", 0), 0u) << del.lines[2];
  EXPECT_EQ(list.items[0].marker, 1);

  list.items[1].ticked = true;
  EXPECT_EQ(export_lines(L"d<drive>", list), std::vector<std::wstring>{L"\\\\FS01\\dD"});
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring path = std::wstring(temp) + L"corvane-export-" + std::to_wstring(GetCurrentProcessId()) + L".lst";
  list.items[0].ticked = false;  // unticked and marked: still out
  ASSERT_TRUE(write_export(path, export_lines(L"d<drive>", list)));
  std::wstring text = corvlab::TempLab::read_text(path);
  EXPECT_EQ(text, L"\\\\FS01\\dD\r\n");
  // An empty list replaces the file with an empty one.
  MemoryList empty;
  ASSERT_TRUE(write_export(path, export_lines(L"d<drive>", empty)));
  EXPECT_EQ(corvlab::TempLab::read_text(path), L"");
  DeleteFileW(path.c_str());
}

TEST(CorvaneShares, PreviewTellsWhatWouldChangeAndChangesNothing) {
  ComScope com;
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  MemoryList list;
  list.add_item(L"\\\\FS01\\D");
  list.add_item(L"\\\\FS01\\C");
  const std::wstring before = share_facts(L"\\\\FS01", L"PROJECTS").dacl;
  ShareRequest r = request(L"PROJECTS", L"BUILTIN\\Users");
  auto items = preview_run(r, list);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_TRUE(items[0].exists);
  EXPECT_EQ(items[0].path, L"D:\\Projects");
  EXPECT_EQ(items[0].entry, L"added");
  EXPECT_NE(items[0].old_sddl.find(L"(A;;FA;;;BA)"), std::wstring::npos) << items[0].old_sddl;
  EXPECT_NE(items[0].new_sddl.find(kUsersRead), std::wstring::npos) << items[0].new_sddl;
  EXPECT_NE(std::find(items[0].words.begin(), items[0].words.end(), L"BUILTIN\\Users: Read (allow)"),
            items[0].words.end());
  EXPECT_NE(std::find(items[0].words.begin(), items[0].words.end(), L"BUILTIN\\Administrators: Full Control (allow)"),
            items[0].words.end());

  // Nothing was created, written or deleted: the lab saw reads only.
  for (const auto& e : lab.journal())
    EXPECT_TRUE(e.function.find(L"Get") != std::wstring::npos || e.function.find(L"Enum") != std::wstring::npos ||
                e.function == L"NetApiBufferFree" || e.function == L"NetUserModalsGet" ||
                e.function == L"NetWkstaGetInfo")
        << e.function << " " << e.args;
  EXPECT_EQ(share_facts(L"\\\\FS01", L"PROJECTS").dacl, before);

  // After the real run the same preview finds the entry to replace.
  MemoryLog log;
  add_run(r, list, log);
  auto again = preview_run(r, list);
  EXPECT_EQ(again[0].entry, L"replaced");
  std::wstring report = preview_report(r, again);
  EXPECT_NE(report.find(L"Nothing has been changed."), std::wstring::npos);
  EXPECT_NE(report.find(L"\\\\FS01\\PROJECTS\r\n  Share: already there, path D:\\Projects"), std::wstring::npos)
      << report;
  // The list as it is now, in words too.
  EXPECT_NE(report.find(L"  Access list now: "), std::wstring::npos) << report;
  EXPECT_NE(
      report.find(
          L"\r\n    NT AUTHORITY\\Authenticated Users: Change (allow)\r\n    BUILTIN\\Users: Read (allow)\r\n  Entry for the account: replaced"),
      std::wstring::npos)
      << report;

  // A share that cannot be read (a server that does not answer) is never "to be created".
  MemoryList off;
  off.add_item(L"\\\\ARCHIVE\\C");
  std::wstring unread = preview_report(r, preview_run(r, off));
  EXPECT_NE(unread.find(L"Share: cannot be read (status 53: "), std::wstring::npos) << unread;
  EXPECT_EQ(unread.find(L"to be created"), std::wstring::npos) << unread;

  // An account that cannot be found is named, and nothing would be done.
  auto unknown = preview_run(request(L"x<drive>", L"no-such-account-anywhere"), list);
  ASSERT_EQ(unknown.size(), 2u);
  EXPECT_FALSE(unknown[0].possible);
  EXPECT_FALSE(unknown[0].exists);
  EXPECT_EQ(unknown[0].path, L"D:\\");
}

// A change-log line that cannot be written (a full disk) stops every change not yet begun, one
// at a time and four at once: every share made has its line, and the report says why.
TEST(CorvaneShares, NoChangeWithoutItsRecord) {
  ComScope com;
  struct FullLog : MemoryLog {
    size_t room = 3;
    LogResult write(const std::wstring& text, bool durable) override {
      if (lines.size() >= room) return {ERROR_DISK_FULL, L"There is not enough space on the disk."};
      return MemoryLog::write(text, durable);
    }
  };
  for (unsigned parallel : {1u, 4u}) {
    SCOPED_TRACE(parallel);
    corvlab::TempLab lab(corvlab::TempLab::default_description());
    MemoryList list;
    for (const wchar_t* item : {L"\\\\FS01\\C", L"\\\\FS01\\D", L"\\\\FS02\\C", L"\\\\BR01\\C", L"\\\\BR01\\D"})
      list.add_item(item);
    FullLog log;
    CommandReport report = add_run(request(L"w<drive>", L"Users"), list, log, parallel);
    EXPECT_NE(report.log_error.find(L"No further share change was started"), std::wstring::npos) << report.log_error;
    EXPECT_GE(report.failed(), 2u);
    size_t records = 0;
    for (const std::wstring& l : log.lines) records += l.rfind(L"Creating ", 0) == 0;
    EXPECT_EQ(lab.journal(L"NetShareAdd").size(), records);
    for (const auto& add : lab.journal(L"NetShareAdd")) {
      // server="\\FS01" ... netname="wC"
      auto value = [&](const std::wstring& key) {
        size_t at = add.args.find(key + L"=\"") + key.size() + 2;
        return add.args.substr(at, add.args.find(L'"', at) - at);
      };
      std::wstring record = L"Creating " + value(L"server") + L"\\" + value(L"netname") + L" | ";
      EXPECT_TRUE(std::any_of(log.lines.begin(), log.lines.end(), [&](const std::wstring& l) {
        return l.rfind(record, 0) == 0;
      })) << add.args;
    }
  }
}

// A server with more shares than one answer holds: every one is listed, read block by block.
TEST(CorvaneShares, InventoryReadsEveryBlock) {
  ComScope com;
  std::wstring many;
  for (int k = 0; k < 150; ++k)
    many += L"[share BR01 S" + std::to_wstring(1000 + k) +
            L"]\r\npath=D:\\\r\nsddl=D:(A;;FA;;;BA)(D;;0x1301bf;;;BG)\r\n";
  corvlab::TempLab lab(lab_with(L"", L"", many));
  std::wstring error;
  auto listed = list_shares({L"BR01", L"ARCHIVE"}, {L"S1<drive>", L"", false}, 1, error);
  EXPECT_EQ(error, L"");
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].status, 0);
  EXPECT_EQ(listed[0].shares.size(), 0u);  // "S1<drive>": one letter after S1, none of these
  listed = list_shares({L"BR01", L"ARCHIVE"}, {}, 2, error);
  ASSERT_EQ(listed[0].shares.size(), 153u);  // C$, D$, SCANS and the 150
  EXPECT_EQ(listed[0].shares[3].entries.size(), 2u);
  EXPECT_EQ(listed[0].shares[3].entries[1].kind, L"deny");
  EXPECT_EQ(listed[1].status, 53);
  size_t more = 0;
  for (const auto& e : lab.journal(L"NetShareEnum")) more += e.status == ERROR_MORE_DATA;
  EXPECT_GE(more, 2u);
  // Only the shares with an entry for the account (by identifier).
  listed = list_shares({L"BR01"}, {L"", L"Guests", false}, 1, error);
  EXPECT_EQ(listed[0].shares.size(), 150u);
  list_shares({L"BR01"}, {L"", L"no-such-account-anywhere", false}, 1, error);
  EXPECT_FALSE(error.empty());
}
