// The account is looked up once per run, before any share is touched, however many drives the
// run works on: a look-up per drive would ask a domain controller once per share, and could
// name another account halfway through.
#include "corvane_test.h"

#include <atomic>

#include "share_runs.h"

using namespace corvane;
using namespace corvane_test;

namespace {

struct CountingDirectory : AccountDirectory {
  explicit CountingDirectory(AccountDirectory& real) : real(real) {}
  bool look_up(const std::wstring& name, RunAccount& out) override {
    ++look_ups;
    return real.look_up(name, out);
  }
  AccountDirectory& real;
  std::atomic<int> look_ups{0};
};

size_t share_calls(corvlab::TempLab& lab) {
  return lab.journal(L"NetShareGetInfo").size() + lab.journal(L"NetShareAdd").size() +
         lab.journal(L"NetShareSetInfo").size();
}

}  // namespace

TEST(CorvaneAccount, AddPreviewAndRevokeLookTheAccountUpOncePerRun) {
  ComScope com;
  corvlab::TempLab lab(lab_with_servers(4));
  MemoryList list;
  for (int k = 1; k <= 4; ++k)
    for (const wchar_t* drive : {L"C", L"D"}) list.add_item(L"\\\\S" + std::to_wstring(k) + L"\\" + drive);
  CountingDirectory counting(account_directory());
  DirectoryInPlace in_place(counting);
  MemoryLog log;
  const ShareRequest add{L"k<drive>", L"Users", 0x1200A9, {1, 0, 4}};

  CommandReport added = add_run(add, list, log, 4);
  EXPECT_EQ(counting.look_ups, 1);
  EXPECT_EQ(added.outcomes.size(), 8u);
  EXPECT_EQ(added.succeeded(), 8u);

  counting.look_ups = 0;
  std::vector<PreviewItem> preview = preview_run(add, list);
  EXPECT_EQ(counting.look_ups, 1);
  ASSERT_EQ(preview.size(), 8u);
  for (const PreviewItem& p : preview) EXPECT_EQ(p.entry, L"replaced") << p.object;

  counting.look_ups = 0;
  CommandReport revoked = revoke_run({L"k<drive>", L"Users", false, true}, list, log);
  EXPECT_EQ(counting.look_ups, 1);
  ASSERT_EQ(revoked.outcomes.size(), 8u);
  for (const ShareOutcome& o : revoked.outcomes)
    EXPECT_EQ(outcome_text(o.result), L"revoked") << o.object << " " << o.detail;

  // A name that does not resolve: its one look-up, and no share read or changed even when the
  // run is started with what the look-up left.
  counting.look_ups = 0;
  const size_t calls = share_calls(lab);
  MemoryLog none;
  RunAccount nobody;
  EXPECT_FALSE(account_directory().look_up(L"no-such-account-anywhere", nobody));
  EXPECT_EQ(counting.look_ups, 1);
  const std::vector<RunTarget> targets = run_targets(list, L"k<drive>");
  EXPECT_TRUE(add_shares(add, nobody, targets, list, none, 4).outcomes.empty());
  EXPECT_TRUE(revoke_shares({L"k<drive>", L"no-such-account-anywhere"}, nobody, targets, list, none).outcomes.empty());
  EXPECT_TRUE(none.lines.empty());
  EXPECT_EQ(share_calls(lab), calls);
}
