#include "search.h"

#include "ordered_pool.h"

#include "app.h"
#include "class_disk.h"
#include "disk_text.h"
#include "drive_item.h"
#include "net_api.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace corvane {

namespace {

// A letter held for the probes of one worker (or of the one-by-one search), given back when the
// holder ends. It can be swapped for another when a program outside the reservation took it.
class ReservedLetter {
public:
  explicit ReservedLetter(bool take = true) : letter_(take ? LetterReservation::reserve() : std::wstring()) {}
  ~ReservedLetter() { LetterReservation::release(letter_); }
  ReservedLetter(const ReservedLetter&) = delete;
  ReservedLetter& operator=(const ReservedLetter&) = delete;
  const std::wstring& get() const { return letter_; }
  // Another letter in place of this one; false (this one kept) when none is free.
  bool replace() {
    std::wstring next = LetterReservation::reserve();
    if (next.empty()) return false;
    LetterReservation::release(letter_);
    letter_ = next;
    return true;
  }
private:
  std::wstring letter_;
};

// The temporary connection of a reachable drive, ended however the drive's steps end: forced,
// and only while the letter still shows it (a connection someone else made on it stays).
class Mapping {
public:
  Mapping(ClassDisk& disk, const std::wstring& letter, const std::wstring& remote, ChangeLog& log)
      : disk_(disk), letter_(letter), remote_(remote), log_(log) {}
  ~Mapping() {
    if (!same_name(ClassDisk::ConnectedTo(letter_), remote_)) return;
    if (long status = disk_.DisConnect(letter_))
      log_.write(connection_not_ended_line(letter_, remote_, status_words(status)));
  }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
private:
  ClassDisk& disk_;
  const std::wstring letter_, remote_;
  ChangeLog& log_;
};

// What probing one server came to.
enum class Probe { done, unlisted, stopped };

// Probes one server's drives through the reserved letter (none: the server is logged as having
// no letter to probe with).
Probe probe_server(const std::wstring& server, ReservedLetter& local, ChangeLog& log, DriveList& list,
                   SearchProgress& progress) {
  std::vector<std::wstring> letters;
  // A server whose disks cannot be listed (not an administrator there, switched off) says why.
  if (long status = server_disk_letters(server, letters)) {
    log.write(disks_not_listed_line(server, status_words(status)));
    return Probe::unlisted;
  }
  if (local.get().empty()) {
    log.write(found_drive_line(server, L"no free drive letter"));
    return Probe::done;
  }
  ClassDisk disk;
  for (const std::wstring& letter : letters) {
    std::wstring item = item_text(server, letter);
    const std::wstring share = admin_share(server, letter);
    disk.Connect(local.get(), share);
    // A letter taken outside the reservation since (85), or remembered by the profile (1202),
    // is left to its owner: another letter is tried, and no connection is ever cancelled for it.
    for (int tries = 0; (disk.ErrorNum == 85 || disk.ErrorNum == 1202) && tries < 3 && local.replace(); ++tries)
      disk.Connect(local.get(), share);
    if (disk.ErrorNum == 0) {
      bool go_on;
      {
        Mapping mapped(disk, local.get(), share, log);
        disk.DriveName(local.get());
        // What was read counts only when the letter still shows the share asked for.
        std::wstring shown = ClassDisk::ConnectedTo(local.get());
        if (!same_name(shown, share)) {
          log.write(found_drive_line(item, L"Drive " + local.get() + L" was connected to " +
                                               (shown.empty() ? L"nothing" : shown) + L" when read"));
        } else {
          log.write(found_drive_line(item, L""));
          list.add({item, disk.VolumeLabel(), disk.Filesystem(), disk.Serial(), disk.CapacityMB(), disk.FreeSpaceMB()});
          progress.drives_found(list.count());
        }
        go_on = progress.pump();
      }
      if (!go_on) return Probe::stopped;
    } else if (disk.ErrorNum != 67) {
      // 67: the drive has no administrative share (removable drives); left out silently.
      log.write(found_drive_line(item, disk.ErrorMsg));
    }
  }
  return Probe::done;
}

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
  bool unlisted = false;
  LogResult write(const std::wstring& text, bool) override {
    events.push_back({false, text, {}});
    return {};
  }
  void clear() override {}
  void add(const FoundDrive& d) override {
    events.push_back({true, {}, d});
    ++drives;
  }
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
                    SearchProgress& progress, size_t& unlisted,
                    const std::vector<std::pair<size_t, std::wstring>>& domains = {}) {
  const size_t n = servers.size();
  std::vector<Findings> findings(n);

  // Fewer free letters, fewer workers; with none at all, one worker reports that per server.
  std::vector<std::unique_ptr<ReservedLetter>> letters;
  // Finding free letters asks the system about every drive and connection: not on a window's thread.
  progress.beside([&] {
    for (unsigned k = 0; k < std::min<size_t>(parallel, n); ++k) {
      auto letter = std::make_unique<ReservedLetter>();
      if (letter->get().empty()) break;
      letters.push_back(std::move(letter));
    }
  });
  std::atomic<bool> stop{false};
  size_t first = 0, end = n;  // the current domain's servers
  OrderedPool pool;
  pool.job = [&](size_t k, size_t worker) {
    WorkerProgress wp(stop);
    ReservedLetter none(false);  // no letter could be reserved for this worker
    ReservedLetter& local = worker < letters.size() ? *letters[worker] : none;
    findings[k].unlisted = probe_server(L"\\\\" + servers[k], local, findings[k], findings[k], wp) == Probe::unlisted;
  };
  pool.deliver = [&](size_t k) {
    for (size_t d = 0; d < domains.size(); ++d) {
      if (domains[d].first != k) continue;
      progress.domain(domains[d].second);
      first = k;
      end = d + 1 < domains.size() ? domains[d + 1].first : n;
    }
    progress.server(k - first + 1, end - first, servers[k]);
    if (findings[k].unlisted) ++unlisted;
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
  return probe_server(server, local, log, list, progress) != Probe::stopped;
}

namespace {
// Probes servers (names without backslashes) one by one or several at once, counting those whose
// disks could not be listed. False when stopped.
bool probe_servers(const std::vector<std::wstring>& servers, ChangeLog& log, DriveList& list, SearchProgress& progress,
                   unsigned parallel, size_t& unlisted) {
  if (parallel > 1 && servers.size() > 1) return probe_parallel(servers, parallel, log, list, progress, unlisted);
  for (size_t k = 0; k < servers.size(); ++k) {
    if (!progress.pump()) return false;
    progress.server(k + 1, servers.size(), servers[k]);
    ReservedLetter local;
    Probe p = probe_server(L"\\\\" + servers[k], local, log, list, progress);
    if (p == Probe::stopped) return false;
    if (p == Probe::unlisted) ++unlisted;
  }
  return true;
}

std::wstring bare(const std::wstring& server) {
  size_t k = 0;
  while (k < server.size() && server[k] == L'\\') ++k;
  return server.substr(k);
}

// The servers of one domain for the search, listed beside the window's thread; a failure keeps
// its status.
bool search_domain(const std::wstring& domain, ChangeLog& log, SearchProgress& progress, SearchOutcome& outcome,
                   std::vector<std::wstring>& servers) {
  if (domain.empty()) return false;
  long status = 0;
  progress.beside([&] { status = domain_servers(domain, log, servers); });
  if (status == kErrorMoreData) {
    ++outcome.partial_lists;
    return true;
  }
  if (status != 0) {
    outcome.browse_status = status;
    return false;
  }
  return true;
}
}  // namespace

long domain_servers(const std::wstring& domain, ChangeLog& log, std::vector<std::wstring>& servers) {
  long status = classNetAPI().fnNetServerEnum(domain, kSvTypeServer, servers);
  if (status == kErrorMoreData) log.write(browse_list_incomplete_line(domain, servers.size(), status_words(status)));
  return status;
}

std::wstring search_summary(const SearchOutcome& outcome) {
  std::wstring s = outcome.stopped       ? L"Search stopped: "
                   : outcome.ended_early ? L"Search ended early: "
                                         : L"Search finished: ";
  s += std::to_wstring(outcome.drives) + (outcome.drives == 1 ? L" drive found" : L" drives found");
  if (outcome.servers_unlisted)
    s += L"; " + std::to_wstring(outcome.servers_unlisted) +
         (outcome.servers_unlisted == 1 ? L" server not listed" : L" servers not listed");
  if (outcome.partial_lists)
    s += L"; " + std::to_wstring(outcome.partial_lists) +
         (outcome.partial_lists == 1 ? L" browse list incomplete" : L" browse lists incomplete");
  if (outcome.browse_status) s += L"; a server list could not be read (" + status_words(outcome.browse_status) + L")";
  // Short enough for the window's status line; the log names each server and why.
  if (outcome.servers_unlisted || outcome.partial_lists) s += L" - see Log";
  return s;
}

SearchOutcome search_drives(const std::vector<std::wstring>& domains, ChangeLog& log, DriveList& list,
                            SearchProgress& progress, unsigned parallel) {
  SearchOutcome outcome;
  list.clear();
  if (parallel > 1) {
    // The servers of every domain go to one pool, so that the last servers of one domain do not
    // leave workers idle; a domain that cannot be listed ends the list as it ends the sequential
    // search, after the servers before it.
    std::vector<std::wstring> all;
    std::vector<std::pair<size_t, std::wstring>> starts;
    for (const std::wstring& domain : domains) {
      std::vector<std::wstring> servers;
      if (!search_domain(domain, log, progress, outcome, servers)) {
        outcome.ended_early = true;
        break;
      }
      starts.emplace_back(all.size(), domain);
      all.insert(all.end(), servers.begin(), servers.end());
    }
    if (!probe_parallel(all, parallel, log, list, progress, outcome.servers_unlisted, starts)) {
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
    if (!search_domain(domain, log, progress, outcome, servers)) {
      outcome.ended_early = true;
      break;
    }
    if (!probe_servers(servers, log, list, progress, parallel, outcome.servers_unlisted)) {
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
  outcome.stopped = !probe_servers(names, log, list, progress, parallel, outcome.servers_unlisted);
  outcome.drives = list.count();
  return outcome;
}

}  // namespace corvane
