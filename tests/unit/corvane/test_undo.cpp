// Undo from the change log: updated shares get their previous lists back exactly, created ones
// go, and shares changed again since are left alone and named.
#include "corvane_test.h"

#include <lm.h>
#include <sddl.h>

#include "change_log_file.h"
#include "log_parse.h"
#include "shares.h"
#include "undo.h"

using namespace corvane;
using namespace corvane_test;

namespace {

std::wstring dacl_of(const std::wstring& server, const std::wstring& share) {
  LPBYTE buf = nullptr;
  if (NetShareGetInfo(const_cast<LPWSTR>(server.c_str()), const_cast<LPWSTR>(share.c_str()), 502, &buf) != 0) return L"(gone)";
  auto* info = reinterpret_cast<SHARE_INFO_502*>(buf);
  LPWSTR sddl = nullptr;
  std::wstring out = L"(none)";
  if (info->shi502_security_descriptor &&
      ConvertSecurityDescriptorToStringSecurityDescriptorW(info->shi502_security_descriptor, SDDL_REVISION_1,
                                                           DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
    out = sddl;
    LocalFree(sddl);
  }
  NetApiBufferFree(buf);
  return out;
}

struct Session {
  ChangeLogFile& log;
  explicit Session(ChangeLogFile& l) : log(l) { log.write(L"Started Velmora Corvane session."); }
  ~Session() { log.write(L"Corvane session terminated."); }
};

void add(ChangeLogFile& log, const std::wstring& pattern, const std::vector<std::wstring>& items,
         unsigned long mask = 0x1200A9) {
  MemoryList list;
  for (const auto& i : items) list.add_item(i);
  add_shares({pattern, L"Users", mask, {1, 0, 4}}, list, log);
}

std::wstring temp_log() {
  wchar_t t[MAX_PATH];
  GetTempPathW(MAX_PATH, t);
  std::wstring p = std::wstring(t) + L"corvane-undo-" + std::to_wstring(GetCurrentProcessId()) + L".log";
  DeleteFileW(p.c_str());
  return p;
}

}  // namespace

TEST(CorvaneUndo, PutsBackTheLastSessionAndLeavesLaterChanges) {
  ComScope com;
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  ChangeLogFile log(temp_log());
  const std::wstring before = dacl_of(L"\\\\FS01", L"PROJECTS");
  {
    Session s(log);
    add(log, L"PROJECTS", {L"\\\\FS01\\D"});
    add(log, L"u<drive>", {L"\\\\FS01\\C", L"\\\\FS01\\D"});
  }
  ASSERT_NE(dacl_of(L"\\\\FS01", L"PROJECTS"), before);
  {
    // A later session only deletes one of them: that share changed again.
    Session s(log);
    MemoryList list;
    list.add_item(L"\\\\FS01\\D");
    delete_shares(L"u<drive>", list, log);
  }

  UndoPlan plan = plan_undo(log.path(), std::nullopt);
  ASSERT_EQ(plan.sessions.size(), 1u);
  ASSERT_EQ(plan.steps.size(), 3u);
  EXPECT_EQ(plan.steps[0].kind, UndoStep::Restore);
  EXPECT_EQ(plan.steps[1].kind, UndoStep::Delete);
  EXPECT_EQ(plan.steps[1].object, L"\\\\FS01\\uC");
  EXPECT_EQ(plan.steps[2].kind, UndoStep::Leave);
  EXPECT_NE(plan.steps[2].reason.find(L"Deleted \\\\FS01\\uD"), std::wstring::npos) << plan.steps[2].reason;

  MemoryLog undo_log;
  auto out = run_undo(plan, undo_log);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].result, L"restored");
  EXPECT_EQ(out[1].result, L"deleted");
  EXPECT_EQ(out[2].result, L"left");
  EXPECT_EQ(dacl_of(L"\\\\FS01", L"PROJECTS"), before);  // exactly the previous list
  EXPECT_EQ(dacl_of(L"\\\\FS01", L"uC"), L"(gone)");
  ASSERT_EQ(undo_log.lines.size(), 2u);
  EXPECT_EQ(undo_log.lines[0].rfind(L"Restored \\\\FS01\\PROJECTS: D:", 0), 0u) << undo_log.lines[0];
  EXPECT_EQ(undo_log.lines[1], L"Deleted \\\\FS01\\uC");
  DeleteFileW(log.path().c_str());
}

TEST(CorvaneUndo, SinceTakesEverySessionBackToTheFirstState) {
  ComScope com;
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  ChangeLogFile log(temp_log());
  const std::wstring before = dacl_of(L"\\\\FS01", L"PROJECTS");
  { Session s(log); add(log, L"PROJECTS", {L"\\\\FS01\\D"}); }
  { Session s(log); add(log, L"PROJECTS", {L"\\\\FS01\\D"}, 0x1F01FF); }

  // The last session alone puts back the first session's result; from the first, the original.
  UndoPlan last = plan_undo(log.path(), std::nullopt);
  ASSERT_EQ(last.steps.size(), 1u);
  EXPECT_NE(last.steps[0].sddl.find(L"(A;CINP;0x1200a9;;;BU)"), std::wstring::npos) << last.steps[0].sddl;

  auto entries = parse_log(corvlab::TempLab::read_text(log.path()));
  ASSERT_FALSE(entries.empty());
  Stamp first;
  ASSERT_TRUE(parse_stamp(entries[0].stamp, locale_months(), first)) << entries[0].stamp;
  UndoPlan all = plan_undo(log.path(), first);
  EXPECT_EQ(all.sessions.size(), 2u);
  ASSERT_EQ(all.steps.size(), 1u);
  MemoryLog undo_log;
  run_undo(all, undo_log);
  EXPECT_EQ(dacl_of(L"\\\\FS01", L"PROJECTS"), before);

  // Nothing changed after a later stamp: nothing to do.
  Stamp later = first;
  later.year += 1;
  EXPECT_TRUE(plan_undo(log.path(), later).steps.empty());
  DeleteFileW(log.path().c_str());
}
