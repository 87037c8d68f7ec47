// One run of corvanecmd: its arguments checked against what they name, the drives it works on
// (given, or found by a search), and its command.
#pragma once
#include <string>
#include <vector>

#include "account.h"
#include "change_log_file.h"
#include "cmd_args.h"
#include "reports.h"
#include "search.h"
#include "session.h"

namespace corvane {

class IniFile;
struct CommandReport;

// The drive list of a command-line run: every drive taken.
struct Drives : DriveList {
  std::vector<FoundDrive> items;
  std::vector<int> markers;
  void clear() override {
    items.clear();
    markers.clear();
  }
  void add(const FoundDrive& d) override {
    items.push_back(d);
    markers.push_back(0);
  }
  size_t count() const override { return items.size(); }
  std::wstring text(size_t i) const override { return items[i].item; }
  bool ticked(size_t) const override { return true; }
  int marker(size_t i) const override { return markers[i]; }
  void set_marker(size_t i, int m) override { markers[i] = m; }
};

class Run {
public:
  // `a` parsed without error (its row set).
  Run(const CmdArgs& a, ChangeLogFile& log, const IniFile& ini);

  // Checks everything the arguments name before anything is logged or changed: 0, or the exit
  // status with its message given.
  int prepare();
  // Runs the command in its session: its exit status.
  int execute();

private:
  void gather();
  std::wstring pattern() const { return a_.pattern ? *a_.pattern : settings_.pattern; }
  std::wstring account() const { return a_.account ? *a_.account : settings_.account; }
  unsigned parallel_count() const { return a_.parallel ? *a_.parallel : settings_.parallel; }
  int usage_error(const std::wstring& what);
  // A table of the outcomes per drive: 1 when one failed or the log could not be written.
  int results(const CommandReport& report);
  // The account looked up once for the run; false, said on the error stream with `tail`, when
  // it cannot be found.
  bool look_up(const std::wstring& name, RunAccount& account, const wchar_t* tail);

  // The commands, one per row of the command table.
  int find();
  int export_list();
  int remove();
  int add();
  int check();
  int revoke();
  int undo();
  int shares();

  const CmdArgs& a_;
  ChangeLogFile& log_;
  const FormValues settings_;
  Drives list_;
  SearchOutcome search_;
  std::vector<std::wstring> drives_, servers_;
  Stamp since_;
};

}  // namespace corvane
