// Test helper run as a child process with Wine's debug channels on: one log object reports
// four records to the event log and the debugger output, under the source named on the
// command line ("-" leaves the source at its default).
#include <windows.h>
#include <ole2.h>
#include <string>
#include "raii.h"
#include "wick_h.h"

int wmain(int argc, wchar_t** argv) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;
  int rc = 0;
  {
    corv::ComPtr<IzrLog> log;
    if (FAILED(CoCreateInstance(CLSID_zrLog, nullptr, CLSCTX_INPROC_SERVER, IID_IzrLog, log.out_void()))) {
      rc = 3;
    } else {
      if (argc > 1 && std::wstring(argv[1]) != L"-") {
        corv::Bstr source(argv[1]);
        log->put_EvenSource(source.get());
      }
      log->put_FlagEventLog(VARIANT_TRUE);
      log->put_FlagTrace(VARIANT_TRUE);
      log->put_FlagCallOnError(VARIANT_FALSE);
      const long severities[] = {0, 1, 2, 9};
      for (long sev : severities) {
        corv::Bstr sys(L"Sys"), src(L"Src"), desc((L"Desc " + std::to_wstring(sev)).c_str());
        log->LogError(sys.get(), src.get(), sev, -5, desc.get());
      }
      log->LogError(nullptr, nullptr, 4, 7, nullptr);
    }
  }
  CoUninitialize();
  return rc;
}
