#include "search.h"

#include "class_disk.h"
#include "disk_text.h"
#include "drive_item.h"
#include "net_api.h"

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
}  // namespace

bool find_drives(const std::wstring& server, ChangeLog& log, DriveList& list, SearchProgress& progress) {
  std::vector<std::wstring> letters;
  // An unreachable server contributes nothing and leaves no trace.
  if (server_disk_letters(server, letters) != 0) return true;

  ClassDisk disk;
  std::wstring local = disk.GetNextFreedrive();
  if (local.empty()) {
    log.write(L"Found drive " + server + L" no free drive letter");
    return true;
  }
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

SearchOutcome search_drives(const std::vector<std::wstring>& domains, ChangeLog& log, DriveList& list,
                            SearchProgress& progress) {
  SearchOutcome outcome;
  list.clear();
  classNetAPI net;
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
    for (size_t k = 0; k < servers.size() && !outcome.stopped; ++k) {
      if (!progress.pump()) {
        outcome.stopped = true;
        break;
      }
      progress.server(k + 1, servers.size(), servers[k]);
      if (!find_drives(L"\\\\" + servers[k], log, list, progress)) outcome.stopped = true;
    }
    if (outcome.stopped) break;
  }
  outcome.drives = list.count();
  return outcome;
}

}  // namespace corvane
