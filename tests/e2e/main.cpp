// The end-to-end driver: GoogleTest runs by default; "demo <folder> <picture> [keep]" drives the
// program's whole main job on the lab network for scripts/demo ("keep": the window stays open
// for the user afterwards).
#include <gtest/gtest.h>

#include <cstdio>

#include "driver.h"

namespace e2e {
int run_demo(const std::wstring& folder, const std::string& picture, bool keep_open);
}

int wmain(int argc, wchar_t** argv) {
  // The lab stand-ins answer for the program too.
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", L"mscoree,mshtml=;netapi32,mpr,netui2=n,b");
  if (argc >= 4 && std::wstring(argv[1]) == L"demo") {
    std::wstring p = argv[3];
    bool keep = argc >= 5 && std::wstring(argv[4]) == L"keep";
    return e2e::run_demo(argv[2], std::string(p.begin(), p.end()), keep);
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
