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
  // Whether "Add/Update" and "Delete Shares" may be enabled afterwards.
  bool commands_enabled() const { return !ended_early && drives > 0; }
};

// Searches the given domains in order (the window passes the taken ones: all of them, or the
// selected ones when the search is restricted). Clears the list first. With `parallel` above 1
// that many servers are probed at once, each through a letter of its own; the log and the list
// still get exactly what the one-by-one search gives, in its order.
SearchOutcome search_drives(const std::vector<std::wstring>& domains, ChangeLog& log, DriveList& list,
                            SearchProgress& progress, unsigned parallel = 1);

// The same for named servers ("FS01" or "\\\\FS01"), as a command line gives them.
SearchOutcome search_servers(const std::vector<std::wstring>& servers, ChangeLog& log, DriveList& list,
                             SearchProgress& progress, unsigned parallel = 1);

// Lists the reachable drives of one server ("\\NAME"). Answers false when stopped.
bool find_drives(const std::wstring& server, ChangeLog& log, DriveList& list, SearchProgress& progress);

}  // namespace corvane
