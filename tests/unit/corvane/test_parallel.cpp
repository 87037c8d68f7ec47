// The parallel search and share commands against the one-by-one ones: the same log, the same
// list, the same progress, no letter mapped twice at once, nothing left mapped after a stop.
#include "corvane_test.h"

#include <algorithm>
#include <map>

#include "search.h"
#include "share_calls.h"
#include "share_runs.h"

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
    if (e.function == L"WNetAddConnection2W" && e.status == 0) {
      std::wstring l = letter_of(e.args, L"local=\"");
      EXPECT_FALSE(mapped[l]) << "letter mapped twice at once: " << e.args;
      mapped[l] = true;
      most = std::max(most, ++now);
    } else if (e.function == L"WNetCancelConnection2W" && e.status == 0) {
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

// The share the line is about: from its first "\\" to a blank, a colon or a bar.
std::wstring share_of(const std::wstring& line) {
  size_t at = line.find(L"\\\\");
  if (at == std::wstring::npos) return L"";
  size_t end = line.find_first_of(L" :|", at);
  return line.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
}

// Each share's lines in their order, the creation's remark (it holds the minute) left out.
std::map<std::wstring, std::vector<std::wstring>> lines_per_share(const std::vector<std::wstring>& lines) {
  std::map<std::wstring, std::vector<std::wstring>> out;
  for (std::wstring l : lines) {
    size_t remark = l.find(L" | remark ");
    if (remark != std::wstring::npos) l.erase(remark);
    out[share_of(l)].push_back(l);
  }
  return out;
}

// Adding (twice: created, then updated with the previous list logged) and deleting, several
// drives at once: each share's lines and the outcomes and markers as one at a time, on a network
// where one server refuses share changes and one is switched off. Items naming one share (the
// same drive listed twice, a pattern without "<drive>") never race: the first in list order
// creates it at its own drive, the others update it, as one at a time.
TEST(CorvaneParallel, ShareCommandsAsOneAtATime) {
  ComScope com;
  struct Run {
    std::map<std::wstring, std::vector<std::wstring>> lines;
    std::vector<std::wstring> results;
    std::vector<int> markers;
    std::wstring same_path;
  };
  auto run = [](unsigned parallel) {
    corvlab::TempLab lab(busy_network());
    MemoryList list;
    for (int k = 1; k <= 8; ++k)
      for (const wchar_t* d : {L"C", L"D"}) list.add_item(L"\\\\S" + std::to_wstring(k) + L"\\" + d, k != 5);
    list.add_item(L"\\\\S2\\C");  // listed twice
    MemoryLog log;
    Run r;
    std::vector<CommandReport> passes = {add_run({L"p<drive>", L"Users", 0x1200A9, {1, 0, 4}}, list, log, parallel),
                                         add_run({L"p<drive>", L"Users", 0x1301BF, {1, 0, 4}}, list, log, parallel),
                                         delete_shares(L"p<drive>", list, log, parallel)};
    MemoryList same;
    for (const wchar_t* item : {L"\\\\S1\\D", L"\\\\S1\\C", L"\\\\S2\\C", L"\\\\S1\\D", L"\\\\S2\\D"})
      same.add_item(item);
    passes.push_back(add_run({L"same", L"Users", 0x1200A9, {1, 0, 4}}, same, log, parallel));
    for (const auto& pass : passes)
      for (const ShareOutcome& o : pass.outcomes)
        r.results.push_back(o.item + L" " + outcome_text(o.result) + L" " + o.detail);
    for (const Item& i : list.items) r.markers.push_back(i.marker);
    r.lines = lines_per_share(log.lines);
    r.same_path = read_share(L"\\\\S1", L"same").record.path;
    return r;
  };
  Run one = run(1), eight = run(8);
  EXPECT_EQ(eight.lines, one.lines);
  EXPECT_EQ(eight.results, one.results);
  EXPECT_EQ(eight.markers, one.markers);
  EXPECT_EQ(one.same_path, L"D:\\");
  EXPECT_EQ(eight.same_path, L"D:\\");
  // The run did meet every path: created, updated with its previous list, refused, unreachable.
  const auto& s1 = one.lines[L"\\\\S1\\pC"];
  ASSERT_EQ(s1.size(), 6u);
  EXPECT_EQ(s1[0].rfind(L"Creating \\\\S1\\pC | path C:\\ | max uses 1", 0), 0u) << s1[0];
  EXPECT_EQ(s1[2].rfind(L"Previous permissions of \\\\S1\\pC: ", 0), 0u) << s1[2];
  EXPECT_EQ(s1[4].rfind(L"Deleting \\\\S1\\pC | path C:\\ | max uses 1 | access list ", 0), 0u) << s1[4];
  EXPECT_EQ(s1[5], L"Deleted \\\\S1\\pC");
  EXPECT_EQ(one.lines[L"\\\\S3\\pC"].front().rfind(L"Creating ", 0), 0u);
  EXPECT_NE(one.lines[L"\\\\S3\\pC"].at(1).find(L"BUILTIN\\Users "), std::wstring::npos);  // refused, with its reason
  EXPECT_EQ(one.lines[L"\\\\S7\\pD"].size(), 3u);  // unreachable: nothing tried, one line a pass
  EXPECT_EQ(one.lines.count(L"\\\\S5\\pC"), 0u);
  EXPECT_EQ(one.lines[L"\\\\S2\\pC"].size(), 11u);  // listed twice: updated right after its creation
}
