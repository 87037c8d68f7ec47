// Undo from the change log: updated shares get their previous lists back exactly, created ones
// go, deleted ones come back with their settings, and an undo is undone like any other session.
#include "corvane_test.h"
#include "lab_runs.h"

#include <algorithm>

#include "change_log_file.h"
#include "log_parse.h"
#include "share_calls.h"
#include "share_runs.h"
#include "undo.h"

using namespace corvane;
using namespace corvane_test;

namespace {

struct Session {
  ChangeLogFile& log;
  explicit Session(ChangeLogFile& l) : log(l) { log.begin(L"", {1, 0, 4}); }
  ~Session() { log.end(); }
};

void add(ChangeLogFile& log, const std::wstring& pattern, const std::vector<std::wstring>& items,
         unsigned long mask = 0x1200A9) {
  MemoryList list;
  for (const auto& i : items) list.add_item(i);
  add_run({pattern, L"Users", mask, {1, 0, 4}}, list, log);
}

std::vector<std::wstring> shares_now() { return corvane_test::shares_now({L"\\\\FS01", L"\\\\BR01"}); }

UndoReport undo(ChangeLogFile& log, const std::optional<Stamp>& since = std::nullopt) {
  Session s(log);
  return run_undo(plan_undo(log.path(), since), log);
}

std::wstring temp_log() {
  wchar_t t[MAX_PATH];
  GetTempPathW(MAX_PATH, t);
  std::wstring p = std::wstring(t) + L"corvane-undo-" + std::to_wstring(GetCurrentProcessId()) + L".log";
  DeleteFileW(p.c_str());
  return p;
}

}  // namespace

TEST(CorvaneUndo, EverySessionIsUndoneAnUndoToo) {
  ComScope com;
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  ChangeLogFile log(temp_log());
  const auto original = shares_now();
  {
    // Updates an existing share, creates two.
    Session s(log);
    add(log, L"PROJECTS", {L"\\\\FS01\\D"});
    add(log, L"u<drive>", {L"\\\\FS01\\C", L"\\\\FS01\\D"});
  }
  const auto added = shares_now();
  ASSERT_NE(added, original);
  {
    // Deletes a share of its own and one of the description's (remark, unlimited uses, a list).
    Session s(log);
    MemoryList list;
    list.add_item(L"\\\\FS01\\C");
    delete_shares(L"u<drive>", list, log);
    MemoryList pub;
    pub.add_item(L"\\\\FS01\\D");
    delete_shares(L"PUBLIC", pub, log);
  }
  const auto deleted = shares_now();
  ASSERT_NE(deleted, added);

  // The deletions come back exactly as they were.
  UndoReport first = undo(log);
  ASSERT_EQ(first.outcomes.size(), 2u);
  EXPECT_EQ(first.outcomes[0].result, L"made again");
  EXPECT_EQ(first.outcomes[1].result, L"made again") << first.outcomes[1].detail;
  EXPECT_EQ(shares_now(), added);
  // Undo right after an undo puts back what it undid.
  UndoReport second = undo(log);
  ASSERT_EQ(second.outcomes.size(), 2u);
  EXPECT_EQ(second.outcomes[0].result, L"deleted");
  EXPECT_EQ(shares_now(), deleted);

  // From the first session on, undos among them: every share as before the first change.
  auto entries = parse_log(corvlab::TempLab::read_text(log.path()));
  ASSERT_FALSE(entries.empty());
  Stamp first_stamp;
  ASSERT_TRUE(parse_stamp(entries[0].stamp, locale_months(), first_stamp)) << entries[0].stamp;
  UndoReport all = undo(log, first_stamp);
  for (const UndoOutcome& o : all.outcomes) EXPECT_TRUE(o.ok) << o.object << " " << o.result << " " << o.detail;
  EXPECT_EQ(shares_now(), original);
  // Nothing started after a later stamp: nothing to do.
  Stamp later = first_stamp;
  later.year += 1;
  EXPECT_TRUE(plan_undo(log.path(), later).steps.empty());

  std::wstring error;
  auto sessions = recent_sessions(log.path(), error);
  EXPECT_EQ(error, L"");
  ASSERT_EQ(sessions.size(), 5u);
  EXPECT_EQ(sessions[0].shares, 3u);
  EXPECT_EQ(sessions[4].shares, 3u);
  DeleteFileW(log.path().c_str());
}

// A share that had no list of its own (an administrative share) cannot be given "none" again:
// undo says so and counts it as not done.
TEST(CorvaneUndo, ShareWithoutListOfItsOwnIsReportedNotPutBack) {
  ComScope com;
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  ChangeLogFile log(temp_log());
  {
    Session s(log);
    add(log, L"<drive>$", {L"\\\\FS01\\C"});
  }
  UndoReport r = undo(log);
  ASSERT_EQ(r.outcomes.size(), 1u);
  EXPECT_FALSE(r.outcomes[0].ok);
  EXPECT_EQ(r.outcomes[0].result, L"not put back");
  EXPECT_EQ(r.outcomes[0].detail, L"it had no access list of its own; the entry for BUILTIN\\Users remains");
  DeleteFileW(log.path().c_str());
}
