// corvanecmd ended at exact points of add, delete and undo (the lab's die_at and die_after
// faults), one drive at a time and eight at once: afterwards the change log names every share
// that was touched, and undo of the ended session puts the lab's shares back as they were.
#include "lab_runs.h"

using namespace corvane_test;

namespace {

const std::vector<std::wstring> kServers = {L"\\\\S1", L"\\\\S2", L"\\\\S3", L"\\\\S4", L"\\\\S5", L"\\\\S6"};

// Six servers with two drives each, one of them slow so that work ends out of order.
std::wstring network(const std::wstring& faults = L"") {
  return lab_with_servers(6, L"slow=S2\r\nslow_ms=40" + (faults.empty() ? L"" : L"\r\n" + faults));
}

std::wstring drives_arg() {
  std::wstring list;
  for (const std::wstring& s : kServers) list += (list.empty() ? L"" : L",") + s + L"\\C," + s + L"\\D";
  return list;
}

struct CrashLab {
  corvlab::TempLab lab{network()};
  std::wstring log = lab.folder() + L"\\changes.log";

  void faults(const std::wstring& text) { lab.describe(network(text)); }
  Result run(const std::wstring& args, unsigned parallel) {
    std::wstring at_once = parallel ? L" --parallel " + std::to_wstring(parallel) : L"";  // undo works one by one
    return corvanecmd(args + L" --yes --csv" + at_once + L" --log \"" + log + L"\"");
  }
  std::wstring log_text() const { return corvlab::TempLab::read_text(log); }
};

// The shares whose entries differ between two states.
std::vector<std::wstring> touched(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after) {
  std::vector<std::wstring> out;
  auto name = [](const std::wstring& entry) { return entry.substr(0, entry.find(L'|')); };
  for (const auto* side : {&before, &after})
    for (const std::wstring& e : *side) {
      const auto& other = side == &before ? after : before;
      if (std::find(other.begin(), other.end(), e) == other.end() &&
          std::find(out.begin(), out.end(), name(e)) == out.end())
        out.push_back(name(e));
    }
  return out;
}

// Ends a run at `fault`, checks that the log names each share it touched, then undoes the
// ended session and expects the shares as they were before it.
// `parallel` 0: the command's own way (undo works one share at a time).
// `sweep`: the fault may lie past the run's last call (it then ends as usual, and false says so)
// or before its first change.
bool crash_then_undo(CrashLab& c, const std::wstring& command, const std::wstring& fault, unsigned parallel,
                     bool sweep = false) {
  SCOPED_TRACE(command + L" with " + fault);
  const auto before = shares_now(kServers);
  const size_t log_size = c.log_text().size();
  c.faults(fault);
  Result ended = c.run(command, parallel);
  c.faults(L"");
  if (sweep && ended.exit != 0xDEADu) {
    // Past its last call: the run ended as usual, and is undone so that the next point finds the
    // shares as this one did.
    if (shares_now(kServers) != before) {
      EXPECT_EQ(c.run(L"undo", 0).exit, 0u);
    }
    EXPECT_EQ(shares_now(kServers), before);
    return false;
  }
  EXPECT_EQ(ended.exit, 0xDEADu) << ended.out << ended.err;
  const auto after = shares_now(kServers);
  const auto changed = touched(before, after);
  if (!sweep) {
    EXPECT_FALSE(changed.empty());
  }
  if (changed.empty()) return true;  // ended before its first change: nothing to undo
  const std::wstring session = c.log_text().substr(log_size);
  for (const std::wstring& share : changed)
    EXPECT_TRUE(session.find(share + L" ") != std::wstring::npos || session.find(share + L":") != std::wstring::npos)
        << share << " is not named in\n"
        << session;

  Result undo = c.run(L"undo", 0);
  EXPECT_EQ(undo.exit, 0u) << undo.out << undo.err;
  EXPECT_EQ(shares_now(kServers), before);
  return true;
}

}  // namespace

TEST(CorvaneCrash, EndedRunsAreUndoneFromTheLog) {
  for (unsigned parallel : {1u, 8u}) {
    SCOPED_TRACE(parallel);
    CrashLab c;
    ASSERT_EQ(c.run(L"add --drives " + drives_arg() + L" --pattern k<drive> --account Users", parallel).exit, 0u);

    // Rewriting lists: ended before its fourth write, and right after its sixth.
    const std::wstring update = L"add --drives " + drives_arg() + L" --pattern k<drive> --account Users --access full";
    crash_then_undo(c, update, L"die_at=NetShareSetInfo:4", parallel);
    crash_then_undo(c, update, L"die_after=NetShareSetInfo:6", parallel);
    // Creating: ended right after its fifth creation, before its list was written.
    crash_then_undo(c, L"add --drives " + drives_arg() + L" --pattern n<drive> --account Users",
                    L"die_after=NetShareAdd:5", parallel);
    // Deleting: the deleted shares come back with their settings and lists.
    crash_then_undo(c, L"delete --drives " + drives_arg() + L" --pattern k<drive>", L"die_after=NetShareDel:3",
                    parallel);
    // Revoking: the lists come back with the account's entries.
    crash_then_undo(c, L"revoke --drives " + drives_arg() + L" --pattern k<drive> --account Users",
                    L"die_at=NetShareSetInfo:5", parallel);
    // An undo ended half-way is undone in turn.
    ASSERT_EQ(c.run(L"delete --drives " + drives_arg() + L" --pattern k<drive>", parallel).exit, 0u);
    crash_then_undo(c, L"undo", L"die_after=NetShareAdd:4", 0);
  }
}

// Every remote call of every command ended, before it and right after its change is stored, one
// share at a time and eight at once. Several hundred runs, about ten minutes: run it by hand
// (--gtest_also_run_disabled_tests --gtest_filter=*EveryRemoteCall*).
TEST(CorvaneCrash, DISABLED_EveryRemoteCallEnded) {
  const std::wstring drives = L" --drives " + drives_arg();
  struct Point {
    std::wstring command, function;
  };
  const Point points[] = {
      {L"add" + drives + L" --pattern k<drive> --account Users --access full", L"NetShareGetInfo"},
      {L"add" + drives + L" --pattern k<drive> --account Users --access full", L"NetShareSetInfo"},
      {L"add" + drives + L" --pattern n<drive> --account Users", L"NetShareAdd"},
      {L"add" + drives + L" --pattern n<drive> --account Users", L"NetShareSetInfo"},
      {L"revoke" + drives + L" --pattern k<drive> --account Users", L"NetShareSetInfo"},
      {L"delete" + drives + L" --pattern k<drive>", L"NetShareDel"},
      {L"undo", L"NetShareAdd"},
      {L"undo", L"NetShareDel"},
  };
  size_t ended = 0;
  for (unsigned parallel : {1u, 8u}) {
    CrashLab c;
    ASSERT_EQ(c.run(L"add" + drives + L" --pattern k<drive> --account Users", parallel).exit, 0u);
    for (const Point& p : points) {
      const bool undo = p.command == L"undo";
      // An undo to end: of a deletion (it makes shares again) or of a creation (it deletes them).
      if (undo) {
        Result first = c.run(p.function == L"NetShareAdd" ? L"delete" + drives + L" --pattern k<drive>"
                                                          : L"add" + drives + L" --pattern u<drive> --account Users",
                             parallel);
        ASSERT_EQ(first.exit, 0u) << first.out << first.err;
      }
      for (const wchar_t* kind : {L"die_at=", L"die_after="})
        for (int n = 1;
             crash_then_undo(c, p.command, kind + p.function + L":" + std::to_wstring(n), undo ? 0 : parallel, true);
             ++n)
          ++ended;
      // The undo's own session undone: the shares as before it.
      if (undo) {
        Result last = c.run(L"undo", 0);
        ASSERT_EQ(last.exit, 0u) << last.out << last.err;
      }
    }
  }
  std::printf("%zu ended runs\n", ended);
  EXPECT_GT(ended, 150u);
}
