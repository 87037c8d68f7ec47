// The parallel search against the one-by-one search: the same log, the same list, no letter
// mapped twice at once, nothing left mapped after a stop.
#include "corvane_test.h"

#include <map>

#include "search.h"

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
    extra += L"[server " + name + L"]\r\n" + (k == 7 ? L"unreachable=yes\r\n" : L"") + L"drives=A,C,D\r\n";
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

TEST(CorvaneParallel, SameLogAndListAsOneByOne) {
  corvlab::TempLab lab(busy_network());
  SearchProgress quiet;
  Pass one = search(1, quiet);
  EXPECT_EQ(check_mappings(lab), 1u);
  ASSERT_GT(one.items.size(), 10u);

  corvlab::TempLab lab8(busy_network());
  Pass eight = search(8, quiet);
  EXPECT_EQ(eight.lines, one.lines);
  EXPECT_EQ(eight.items, one.items);
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
