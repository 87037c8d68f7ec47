#include "search.h"

#include "ordered_pool.h"

#include "class_disk.h"
#include "disk_text.h"
#include "drive_item.h"
#include "net_api.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace corvane {

namespace {

// Cancels the temporary mapping of a reachable drive however the drive's steps end.
class Mapping {
public:
  Mapping(ClassDisk& disk, const std::wstring& letter) : disk_(disk), letter_(letter) {}
  ~Mapping() { disk_.DisConnect2(letter_); }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
private:
  ClassDisk& disk_;
  const std::wstring& letter_;
};

// Probes one server's drives through the given local letter (none: the server is logged as
// having no letter to probe with). Answers false when stopped.
bool probe_server(const std::wstring& server, const std::wstring& local, ChangeLog& log, DriveList& list,
                  SearchProgress& progress) {
  std::vector<std::wstring> letters;
  // An unreachable server contributes nothing and leaves no trace.
  if (server_disk_letters(server, letters) != 0) return true;
  if (local.empty()) {
    log.write(found_drive_line(server, L"no free drive letter"));
    return true;
  }
  ClassDisk disk;
  disk.DisConnect(local);
  for (const std::wstring& letter : letters) {
    std::wstring item = item_text(server, letter);
    disk.Connect(local, admin_share(server, letter));
    if (disk.ErrorNum == 0) {
      bool go_on;
      {
        Mapping mapped(disk, local);
        disk.DriveName(local);
        log.write(found_drive_line(item, L""));
        list.add({item, disk.VolumeLabel(), disk.Filesystem(), disk.Serial(), disk.CapacityMB(), disk.FreeSpaceMB()});
        progress.drives_found(list.count());
        go_on = progress.pump();
      }
      if (!go_on) return false;
    } else if (disk.ErrorNum != 67) {
      // 67: the drive has no administrative share (removable drives); left out silently.
      log.write(found_drive_line(item, disk.ErrorMsg));
    }
  }
  return true;
}

// A letter from the process-wide reservation, given back when the holder ends.
class ReservedLetter {
public:
  ReservedLetter() : letter_(LetterReservation::reserve()) {}
  ~ReservedLetter() { LetterReservation::release(letter_); }
  ReservedLetter(const ReservedLetter&) = delete;
  ReservedLetter& operator=(const ReservedLetter&) = delete;
  const std::wstring& get() const { return letter_; }
private:
  std::wstring letter_;
};

// One server's findings, recorded by a worker in the order the sequential search would have
// reported them, and delivered later in server order.
struct Findings : ChangeLog, DriveList {
  struct Event {
    bool is_drive = false;
    std::wstring line;
    FoundDrive drive;
  };
  std::vector<Event> events;
  size_t drives = 0;
  LogResult write(const std::wstring& text, bool) override {
    events.push_back({false, text, {}});
    return {};
  }
  void clear() override {}
  void add(const FoundDrive& d) override { events.push_back({true, {}, d}); ++drives; }
  size_t count() const override { return drives; }
  std::wstring text(size_t) const override { return {}; }
  bool ticked(size_t) const override { return true; }
  int marker(size_t) const override { return 0; }
  void set_marker(size_t, int) override {}
};

// A worker's view of the search's progress: no window to pump, only the stop request.
struct WorkerProgress : SearchProgress {
  const std::atomic<bool>& stop;
  explicit WorkerProgress(const std::atomic<bool>& s) : stop(s) {}
  bool pump() override { return !stop.load(); }
};

// Probes servers with several workers, each with a letter of its own; the findings reach the log
// and the list in server order, on the caller's thread, which keeps pumping its window meanwhile.
// `domains` (if any) names the domain that begins at a server's index: it is reported, and the
// servers are counted within it, as the sequential search does. Answers false when stopped.
bool probe_parallel(const std::vector<std::wstring>& servers, unsigned parallel, ChangeLog& log, DriveList& list,
                    SearchProgress& progress, const std::vector<std::pair<size_t, std::wstring>>& domains = {}) {
  const size_t n = servers.size();
  std::vector<Findings> findings(n);

  // Fewer free letters, fewer workers; with none at all, one worker reports that per server.
  std::vector<std::unique_ptr<ReservedLetter>> letters;
  for (unsigned k = 0; k < std::min<size_t>(parallel, n); ++k) {
    auto letter = std::make_unique<ReservedLetter>();
    if (letter->get().empty()) break;
    letters.push_back(std::move(letter));
  }
  std::atomic<bool> stop{false};
  size_t first = 0, end = n;  // the current domain's servers
  OrderedPool pool;
  pool.job = [&](size_t k, size_t worker) {
    WorkerProgress wp(stop);
    std::wstring local = worker < letters.size() ? letters[worker]->get() : std::wstring();
    probe_server(L"\\\\" + servers[k], local, findings[k], findings[k], wp);
  };
  pool.deliver = [&](size_t k) {
    for (size_t d = 0; d < domains.size(); ++d) {
      if (domains[d].first != k) continue;
      progress.domain(domains[d].second);
      first = k;
      end = d + 1 < domains.size() ? domains[d + 1].first : n;
    }
    progress.server(k - first + 1, end - first, servers[k]);
    for (const Findings::Event& e : findings[k].events) {
      if (e.is_drive) {
        list.add(e.drive);
        progress.drives_found(list.count());
      } else {
        log.write(e.line);
      }
    }
    findings[k] = Findings();
  };
  pool.pump = [&] {
    if (!progress.pump()) stop = true;
    return !stop.load();
  };
  return pool.run(n, std::max<size_t>(letters.size(), 1));
}

}  // namespace

bool find_drives(const std::wstring& server, ChangeLog& log, DriveList& list, SearchProgress& progress) {
  ReservedLetter local;
  return probe_server(server, local.get(), log, list, progress);
}

namespace {
// Probes servers (names without backslashes) one by one or several at once. False when stopped.
bool probe_servers(const std::vector<std::wstring>& servers, ChangeLog& log, DriveList& list,
                   SearchProgress& progress, unsigned parallel) {
  if (parallel > 1 && servers.size() > 1) return probe_parallel(servers, parallel, log, list, progress);
  for (size_t k = 0; k < servers.size(); ++k) {
    if (!progress.pump()) return false;
    progress.server(k + 1, servers.size(), servers[k]);
    if (!find_drives(L"\\\\" + servers[k], log, list, progress)) return false;
  }
  return true;
}

std::wstring bare(const std::wstring& server) {
  size_t k = 0;
  while (k < server.size() && server[k] == L'\\') ++k;
  return server.substr(k);
}
}  // namespace

SearchOutcome search_drives(const std::vector<std::wstring>& domains, ChangeLog& log, DriveList& list,
                            SearchProgress& progress, unsigned parallel) {
  SearchOutcome outcome;
  list.clear();
  classNetAPI net;
  if (parallel > 1) {
    // The servers of every domain go to one pool, so that the last servers of one domain do not
    // leave workers idle; a domain that cannot be listed ends the list as it ends the sequential
    // search, after the servers before it.
    std::vector<std::wstring> all;
    std::vector<std::pair<size_t, std::wstring>> starts;
    for (const std::wstring& domain : domains) {
      std::vector<std::wstring> servers;
      if (domain.empty() || net.fnNetServerEnum(domain, kSvTypeServer, servers) != 0) {
        outcome.ended_early = true;
        break;
      }
      starts.emplace_back(all.size(), domain);
      all.insert(all.end(), servers.begin(), servers.end());
    }
    if (!probe_parallel(all, parallel, log, list, progress, starts)) {
      // A server list that could not be read (above) still leaves the list incomplete: the
      // commands stay off after a stop too, as they do whenever the one-by-one search met one.
      outcome.stopped = true;
    } else {
      // Domains with no servers at the end are reported too.
      for (const auto& d : starts)
        if (d.first >= all.size()) progress.domain(d.second);
    }
    outcome.drives = list.count();
    return outcome;
  }
  for (const std::wstring& domain : domains) {
    if (domain.empty()) {
      outcome.ended_early = true;
      break;
    }
    progress.domain(domain);
    std::vector<std::wstring> servers;
    if (net.fnNetServerEnum(domain, kSvTypeServer, servers) != 0) {
      outcome.ended_early = true;
      break;
    }
    if (!probe_servers(servers, log, list, progress, parallel)) {
      outcome.stopped = true;
      break;
    }
  }
  outcome.drives = list.count();
  return outcome;
}

SearchOutcome search_servers(const std::vector<std::wstring>& servers, ChangeLog& log, DriveList& list,
                             SearchProgress& progress, unsigned parallel) {
  SearchOutcome outcome;
  list.clear();
  std::vector<std::wstring> names;
  for (const std::wstring& s : servers)
    if (!bare(s).empty()) names.push_back(bare(s));
  outcome.stopped = !probe_servers(names, log, list, progress, parallel);
  outcome.drives = list.count();
  return outcome;
}

}  // namespace corvane
