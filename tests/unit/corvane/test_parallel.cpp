// The parallel search and share commands against the one-by-one ones: the same log, the same
// list, the same progress, no letter mapped twice at once, nothing left mapped after a stop.
#include "corvane_test.h"

#include <algorithm>
#include <map>

#include "search.h"
#include "shares.h"

using namespace corvane;
using namespace corvane_test;

namespace {

// CORP with eight more servers: floppies, refused drives, one switched off, two slow ones so
// that servers finish out of order.
std::wstring busy_network() {
  std::wstring servers = L"servers=FS01,FS02,ARCHIVE", extra;
  for (int k = 1; k <= 8; ++k) {
    std::wstring name = L"S" + std::to_wstring(k);
    servers += L"," + name;
    extra += L"[server " + name + L"]\r\n" + (k == 7 ? L"unreachable=yes\r\n" : L"") +
             (k == 3 ? L"share_status=5\r\n" : L"") + L"drives=A,C,D\r\n";
    extra += L"[drive " + name + L" A]\r\nadmin_share=no\r\n";
    extra += L"[drive " + name + L" C]\r\nlabel=SYS" + std::to_wstring(k) + L"\r\n";
    extra += L"[drive " + name + L" D]\r\nlabel=DATA\r\n" + (k % 4 == 0 ? L"connect=5\r\n" : L"");
  }
  return lab_with(L"servers=FS01,FS02,ARCHIVE", servers, extra);
}

std::wstring letter_of(const std::wstring& args, const wchar_t* key) {
  size_t at = args.find(key);
  return at == std::wstring::npos ? L"" : args.substr(at + wcslen(key), 2);
}

struct Pass {
  std::vector<std::wstring> lines, items;
  SearchOutcome outcome;
};

// What the search reports as it goes, as one line per call.
struct Recorder : SearchProgress {
  std::vector<std::wstring> calls;
  void domain(const std::wstring& name) override { calls.push_back(L"domain " + name); }
  void server(size_t n, size_t m, const std::wstring& name) override {
    calls.push_back(std::to_wstring(n) + L"/" + std::to_wstring(m) + L" " + name);
  }
};

Pass search(unsigned parallel, SearchProgress& progress) {
  MemoryLog log;
  MemoryList list;
  Pass r;
  r.outcome = search_drives({L"CORP", L"BRANCH"}, log, list, progress, parallel);
  r.lines = log.lines;
  r.items = list.texts();
  return r;
}

// Replays the lab's journal: a letter is never mapped while it is mapped already, and none is
// left mapped at the end. Returns the most letters mapped at one time.
size_t check_mappings(const corvlab::TempLab& lab) {
  std::map<std::wstring, bool> mapped;
  size_t most = 0, now = 0;
  for (const auto& e : lab.journal()) {
    if (e.function == L"WNetAddConnectionA" && e.status == 0) {
      std::wstring l = letter_of(e.args, L"local=\"");
      EXPECT_FALSE(mapped[l]) << "letter mapped twice at once: " << e.args;
      mapped[l] = true;
      most = std::max(most, ++now);
    } else if (e.function == L"WNetCancelConnection2A" && e.status == 0) {
      std::wstring l = letter_of(e.args, L"name=\"");
      if (mapped[l]) --now;
      mapped[l] = false;
    }
  }
  EXPECT_EQ(now, 0u) << "mappings left behind";
  return most;
}

}  // namespace

TEST(CorvaneParallel, SameLogListAndProgressAsOneByOne) {
  corvlab::TempLab lab(busy_network());
  Recorder one_progress;
  Pass one = search(1, one_progress);
  EXPECT_EQ(check_mappings(lab), 1u);
  ASSERT_GT(one.items.size(), 10u);

  // The workers take the servers of both domains from one pool; the domains and the servers'
  // numbers within them are still reported as the one-by-one search reports them.
  corvlab::TempLab lab8(busy_network());
  Recorder eight_progress;
  Pass eight = search(8, eight_progress);
  EXPECT_EQ(eight.lines, one.lines);
  EXPECT_EQ(eight.items, one.items);
  EXPECT_EQ(eight_progress.calls, one_progress.calls);
  EXPECT_NE(std::find(one_progress.calls.begin(), one_progress.calls.end(), L"domain BRANCH"),
            one_progress.calls.end());
  EXPECT_FALSE(eight.outcome.stopped);
  EXPECT_TRUE(eight.outcome.commands_enabled());
  // Several letters were in use at once, never one twice.
  EXPECT_GT(check_mappings(lab8), 1u);
}

TEST(CorvaneParallel, StopLeavesNoMappingAndAnOrderedPrefix) {
  corvlab::TempLab lab(busy_network());
  struct StopSoon : SearchProgress {
    size_t found = 0;
    void drives_found(size_t total) override { found = total; }
    bool pump() override { return found < 3; }
  } stop;
  Pass r = search(4, stop);
  EXPECT_TRUE(r.outcome.stopped);
  check_mappings(lab);
  // What was listed (every drive found before the stop, several servers being probed at once)
  // stands in the full list's order.
  SearchProgress quiet;
  corvlab::TempLab full_lab(busy_network());
  Pass full = search(1, quiet);
  ASSERT_LE(r.items.size(), full.items.size());
  EXPECT_GE(r.items.size(), 3u);
  size_t at = 0;
  for (const auto& item : r.items) {
    while (at < full.items.size() && full.items[at] != item) ++at;
    EXPECT_LT(at, full.items.size()) << "out of order or unknown: " << item;
  }
}

// Adding (twice: created, then updated with the previous list logged) and deleting, several
// drives at once: the same log lines in list order, the same outcomes and markers, on a network
// where one server refuses share changes and one is switched off.
TEST(CorvaneParallel, ShareCommandsLogInListOrder) {
  ComScope com;
  struct Run {
    std::vector<std::wstring> lines, results;
    std::vector<int> markers;
  };
  auto run = [](unsigned parallel) {
    corvlab::TempLab lab(busy_network());
    MemoryList list;
    for (int k = 1; k <= 8; ++k)
      for (const wchar_t* d : {L"C", L"D"}) list.add_item(L"\\\\S" + std::to_wstring(k) + L"\\" + d, k != 5);
    MemoryLog log;
    Run r;
    std::vector<std::vector<ShareOutcome>> passes = {
        add_shares({L"p<drive>", L"Users", 0x1200A9, {1, 0, 4}}, list, log, parallel),
        add_shares({L"p<drive>", L"Users", 0x1301BF, {1, 0, 4}}, list, log, parallel),
        delete_shares(L"p<drive>", list, log, parallel)};
    for (const auto& pass : passes)
      for (const ShareOutcome& o : pass) r.results.push_back(o.item + L" " + o.result + L" " + o.detail);
    for (const Item& i : list.items) r.markers.push_back(i.marker);
    r.lines = log.lines;
    return r;
  };
  Run one = run(1), eight = run(8);
  EXPECT_EQ(eight.lines, one.lines);
  EXPECT_EQ(eight.results, one.results);
  EXPECT_EQ(eight.markers, one.markers);
  // The run did meet every path: created, updated with its previous list, refused, unreachable.
  auto has = [&](const std::wstring& part) {
    return std::any_of(one.lines.begin(), one.lines.end(),
                       [&](const std::wstring& l) { return l.find(part) != std::wstring::npos; });
  };
  EXPECT_TRUE(has(L"Previous permissions of \\\\S1\\pC: "));
  EXPECT_TRUE(has(L"Added \\\\S3\\pC BUILTIN\\Users "));
  EXPECT_TRUE(has(L"Deleted \\\\S7\\pD "));
  EXPECT_FALSE(has(L"S5"));
}
