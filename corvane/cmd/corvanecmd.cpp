// corvanecmd: the program's operations for scheduled and scripted runs, with the same settings
// and change log as the window. Each run is a session of its own in the change log.
#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "app.h"
#include "change_log_file.h"
#include "cmd_args.h"
#include "console.h"
#include "ini_file.h"
#include "raii.h"
#include "run.h"

using namespace corvane;

int wmain(int argc, wchar_t** argv) {
  // Before anything is loaded: later DLLs from the system folder only.
  restrict_dll_search();
  std::vector<std::wstring> args(argv + 1, argv + argc);
  std::wstring error;
  CmdArgs a = parse_cmd_args(args, error);
  const std::wstring folder = data_folder();
  if (a.help) {
    std::wstring note = data_folder_note();
    out(cmd_usage() + L"\r\nSettings: " + folder + L"cv.ini\r\nChange log: " + folder + L"ShareChanges.log\r\n" +
        (note.empty() ? L"" : L"(not beside the program: " + note + L")\r\n"));
    return 0;
  }
  if (!error.empty()) {
    err(L"corvanecmd: " + error + L"\r\n");
    return 2;
  }
  corv::ComApartment apartment;
  if (!apartment.joined()) {
    err(L"corvanecmd: the component system cannot be started\r\n");
    return 1;
  }
  IniFile ini(folder + L"cv.ini");
  ChangeLogFile log(a.log_file.empty() ? folder + L"ShareChanges.log" : a.log_file);
  Run run(a, log, ini);
  if (int status = run.prepare()) return status;
  SessionScope session(log);
  LogResult begun = session.begin(a.command, program_version());
  if (!begun.ok()) {
    // Nothing is done in a session whose start is not on the log.
    session.abandon();
    err(L"corvanecmd: " + log.where() + L" cannot be written: " + begun.text + L"; nothing was changed\r\n");
    return 1;
  }
  int status = run.execute();
  session.end();
  return status;
}
