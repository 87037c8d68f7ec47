// Drive discovery against the lab network: what is listed, what is logged, which mappings remain.
#include "corvane_test.h"

#include <winnetwk.h>

#include "class_disk.h"
#include "net_api.h"
#include "search.h"

using namespace corvane;
using namespace corvane_test;

namespace {

struct StopAfter : SearchProgress {
  size_t limit;
  size_t pumps = 0;
  explicit StopAfter(size_t drives) : limit(drives) {}
  size_t found = 0;
  void drives_found(size_t total) override { found = total; }
  bool pump() override {
    ++pumps;
    return found < limit;
  }
};

std::vector<std::wstring> lab_connections(const corvlab::TempLab& lab) {
  std::vector<std::wstring> out;
  for (const auto& e : lab.journal()) {
    if (e.function == L"WNetAddConnection2W" && e.status == 0) out.push_back(L"+" + e.args);
    if (e.function == L"WNetCancelConnection2W" && e.status == 0) out.push_back(L"-" + e.args);
  }
  return out;
}

}  // namespace

TEST(CorvaneSearch, DefaultNetworkListsReachableDrivesAndLogsRefusals) {
  ComScope com;
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  MemoryLog log;
  MemoryList list;
  SearchProgress progress;
  SearchOutcome out = search_drives({L"CORP", L"BRANCH"}, log, list, progress);

  EXPECT_FALSE(out.ended_early);
  EXPECT_FALSE(out.stopped);
  EXPECT_TRUE(out.commands_enabled());
  // Nothing for FS01's floppy (no administrative share); the switched-off ARCHIVE is named with
  // the status of its disk list.
  ASSERT_EQ(log.lines.size(), 7u);
  EXPECT_EQ(log.lines[4].rfind(L"Drives of \\\\ARCHIVE not listed: status 53: ", 0), 0u) << log.lines[4];
  log.lines.erase(log.lines.begin() + 4);
  EXPECT_EQ(out.servers_unlisted, 1u);
  EXPECT_EQ(log.lines,
            (std::vector<std::wstring>{L"Found drive \\\\FS01\\C", L"Found drive \\\\FS01\\D",
                                       L"Found drive \\\\FS02\\C", L"Found drive \\\\FS02\\E Unrecognized Error  5.",
                                       L"Found drive \\\\BR01\\C", L"Found drive \\\\BR01\\D"}));
  EXPECT_EQ(list.texts(), (std::vector<std::wstring>{L"\\\\FS01\\C", L"\\\\FS01\\D", L"\\\\FS02\\C", L"\\\\BR01\\C",
                                                     L"\\\\BR01\\D"}));
  ASSERT_EQ(list.count(), 5u);
  for (const Item& i : list.items) {
    EXPECT_TRUE(i.ticked);
    EXPECT_EQ(i.marker, 0);
  }
  // The volume read through the mapped letter: labels and serials as described.
  EXPECT_EQ(list.items[0].drive.label, L"SYSTEM");
  EXPECT_EQ(list.items[0].drive.serial, std::to_wstring(static_cast<int32_t>(0x1A2B3C4Du)));
  EXPECT_EQ(list.items[3].drive.label, L"No label");
  EXPECT_FALSE(list.items[1].drive.filesystem.empty());
  EXPECT_GT(list.items[1].drive.capacity_mb, 0.0);

  // Every mapping made was cancelled again; the lab holds none.
  int made = 0, cancelled = 0;
  for (const auto& c : lab_connections(lab)) (c[0] == L'+' ? made : cancelled)++;
  EXPECT_EQ(made, 5);
  EXPECT_EQ(cancelled, 5);
}

TEST(CorvaneSearch, NothingTakenFailedEnumerationsAndEmptyNames) {
  ComScope com;
  corvlab::TempLab lab(lab_with(L"more_data=", L"more_data=CORP"));
  MemoryLog log;
  MemoryList list;
  SearchProgress progress;

  // No domain taken (restricted to a selection of none): nothing is asked.
  list.add_item(L"\\\\OLD\\C");
  SearchOutcome none = search_drives({}, log, list, progress);
  EXPECT_EQ(list.count(), 0u);  // a search always starts from an empty list
  EXPECT_FALSE(none.commands_enabled());
  EXPECT_TRUE(lab.journal(L"NetServerEnum").empty());

  // A server list answering 234 (the browser gave part of it) is searched as far as it goes,
  // with a line that says so, and BRANCH after it.
  SearchOutcome partial = search_drives({L"CORP", L"BRANCH"}, log, list, progress);
  EXPECT_FALSE(partial.ended_early);
  EXPECT_EQ(partial.partial_lists, 1u);
  EXPECT_EQ(list.texts(), (std::vector<std::wstring>{L"\\\\FS01\\C", L"\\\\FS01\\D", L"\\\\FS02\\C", L"\\\\BR01\\C",
                                                     L"\\\\BR01\\D"}));
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ(log.lines[0].rfind(L"Browse list of CORP incomplete, 2 names read: status 234: ", 0), 0u) << log.lines[0];
  auto enums = lab.journal(L"NetServerEnum");
  ASSERT_EQ(enums.size(), 2u);
  EXPECT_EQ(enums[0].status, 234u);

  // An empty domain name ends the search before anything after it.
  SearchOutcome empty = search_drives({L"", L"BRANCH"}, log, list, progress);
  EXPECT_TRUE(empty.ended_early);
  EXPECT_EQ(lab.journal(L"NetServerEnum").size(), 2u);

  // Drives found before a failing domain stay listed, but the commands stay off; the status
  // that ended the search is kept for the window to show.
  SearchOutcome later = search_drives({L"BRANCH", L"NOWHERE"}, log, list, progress);
  EXPECT_EQ(list.count(), 2u);
  EXPECT_TRUE(later.ended_early);
  EXPECT_EQ(later.browse_status, 6118);
  EXPECT_FALSE(later.commands_enabled());
}

TEST(CorvaneSearch, StopEndsAfterTheDriveInProgressWithItsMappingCancelled) {
  ComScope com;
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  MemoryLog log;
  MemoryList list;
  StopAfter progress(1);
  SearchOutcome out = search_drives({L"CORP", L"BRANCH"}, log, list, progress);
  EXPECT_TRUE(out.stopped);
  EXPECT_EQ(list.texts(), std::vector<std::wstring>{L"\\\\FS01\\C"});
  EXPECT_EQ(log.lines, std::vector<std::wstring>{L"Found drive \\\\FS01\\C"});
  auto c = lab_connections(lab);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0][0], L'+');
  EXPECT_EQ(c[1][0], L'-');
  EXPECT_TRUE(lab.journal(L"NetServerDiskEnum").size() == 1u);  // FS02 never asked
}

TEST(CorvaneSearch, LongNamesAndTheDirectoryQueries) {
  ComScope com;
  const std::wstring long_name = L"FILESERVER-WITH-A-NAME-FAR-LONGER-THAN-FORTY-NINE-CHARACTERS-01";
  corvlab::TempLab lab(lab_with(L"servers=FS01,FS02,ARCHIVE", L"servers=FS01," + long_name,
                                L"[server " + long_name + L"]\r\ndrives=C\r\n[drive " + long_name +
                                    L" C]\r\nlabel=LONG\r\nserial=0000-0001\r\n"));
  classNetAPI net;
  EXPECT_TRUE(net.isNT());
  std::wstring domain = L"unchanged";
  EXPECT_EQ(net.fnGetDomainName(domain), L"0");
  EXPECT_EQ(domain, L"CORP");

  std::vector<std::wstring> names;
  EXPECT_EQ(net.fnNetServerEnum(L"ignored", kSvTypeDomainEnum, names), 0);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"CORP", L"BRANCH"}));
  // The domain list is asked of the browse list without naming a domain.
  EXPECT_NE(lab.journal(L"NetServerEnum").back().args.find(L"domain=null"), std::wstring::npos);
  EXPECT_EQ(net.fnNetServerEnum(L"CORP", kSvTypeServer, names), 0);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"FS01", long_name}));
  std::vector<std::wstring> kept{L"x"};
  EXPECT_EQ(net.fnNetServerEnum(L"NOWHERE", kSvTypeServer, kept), 6118);
  EXPECT_EQ(kept, std::vector<std::wstring>{L"x"});

  MemoryLog log;
  MemoryList list;
  SearchProgress progress;
  search_drives({L"CORP"}, log, list, progress);
  ASSERT_EQ(list.count(), 3u);
  EXPECT_EQ(list.text(2), L"\\\\" + long_name + L"\\C");
  EXPECT_EQ(log.lines.back(), L"Found drive \\\\" + long_name + L"\\C");

  // Every buffer handed out was released.
  size_t handed = 0;
  for (const auto& e : lab.journal())
    if (e.args.find(L"buf=") != std::wstring::npos && e.function != L"NetApiBufferFree") ++handed;
  EXPECT_EQ(lab.journal(L"NetApiBufferFree").size(), handed);
}

// Takes every free letter through the lab, so no other test may search meanwhile (RUN_SERIAL).
TEST(CorvaneSearchSerial, NoFreeLetterProbesNothing) {
  ComScope com;
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  // Shares to map letters to: one per letter, all on FS01's D.
  std::vector<std::wstring> taken;
  ClassDisk disk;
  for (int guard = 0; guard < 26; ++guard) {
    std::wstring letter = disk.GetNextFreedrive();
    if (letter.empty()) break;
    NETRESOURCEW res = {};
    res.dwType = RESOURCETYPE_DISK;
    res.lpLocalName = const_cast<LPWSTR>(letter.c_str());
    res.lpRemoteName = const_cast<LPWSTR>(L"\\\\FS01\\PUBLIC");
    ASSERT_EQ(WNetAddConnection2W(&res, nullptr, nullptr, 0), 0u) << "letter " << letter;
    taken.push_back(letter);
  }
  EXPECT_EQ(disk.GetNextFreedrive(), L"");

  MemoryLog log;
  MemoryList list;
  SearchProgress progress;
  size_t mapped = lab.journal(L"WNetAddConnection2W").size();
  EXPECT_TRUE(find_drives(L"\\\\FS01", log, list, progress));
  EXPECT_EQ(list.count(), 0u);
  EXPECT_EQ(log.lines, std::vector<std::wstring>{L"Found drive \\\\FS01 no free drive letter"});
  EXPECT_EQ(lab.journal(L"WNetAddConnection2W").size(), mapped) << "probed without a letter";
  for (const auto& l : taken) WNetCancelConnection2W(l.c_str(), 0, TRUE);
}
