// Drive discovery: the servers of the chosen domains, their disk drives, each drive proved
// reachable through its administrative share.
#pragma once
#include "reports.h"

#include <memory>
#include <string>
#include <vector>

namespace corvane {

struct SearchOutcome {
  size_t drives = 0;         // items listed
  bool ended_early = false;  // an empty domain name or a failed server enumeration ended it
  bool stopped = false;      // the user stopped it
  size_t servers_unlisted = 0;  // servers whose disks could not be listed (each has its log line)
  size_t partial_lists = 0;     // domains whose browse list came back incomplete (234) and was used so
  long browse_status = 0;       // the status of the server enumeration that ended it, if one did
  // Whether "Add/Update" and "Delete Shares" may be enabled afterwards.
  bool commands_enabled() const { return !ended_early && drives > 0; }
};

// A one-line summary for a status line: "Search finished: 5 drives found", and what was left
// out ("; 2 servers could not be listed", "; 1 browse list incomplete", the status that ended it).
std::wstring search_summary(const SearchOutcome& outcome);

// Searches the given domains in order (the window passes the taken ones: all of them, or the
// selected ones when the search is restricted). Clears the list first. With `parallel` above 1
// that many servers are probed at once, each through a letter of its own; the log and the list
// still get exactly what the one-by-one search gives, in its order.
SearchOutcome search_drives(const std::vector<std::wstring>& domains, ChangeLog& log, DriveList& list,
                            SearchProgress& progress, unsigned parallel = 1);

// The same for named servers ("FS01" or "\\\\FS01"), as a command line gives them.
SearchOutcome search_servers(const std::vector<std::wstring>& servers, ChangeLog& log, DriveList& list,
                             SearchProgress& progress, unsigned parallel = 1);

// The servers of one domain, in the browser's order, and the status of the listing: 0;
// kErrorMoreData (234) when the browser gave only part of its list, which is in `servers` and
// used as far as it goes, with a line on `log` that says so; any other status lists nothing.
long domain_servers(const std::wstring& domain, ChangeLog& log, std::vector<std::wstring>& servers);

// Lists the reachable drives of one server ("\\NAME"). Answers false when stopped.
bool find_drives(const std::wstring& server, ChangeLog& log, DriveList& list, SearchProgress& progress);

}  // namespace corvane
