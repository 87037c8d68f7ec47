// Helpers of the lab tests: descriptions, child processes, free drive letters.
#pragma once
#include <windows.h>

#include <string>

#include "labtest.h"

namespace labtests {

// The demo description with one section's body replaced (or appended when absent).
std::wstring with_section(const std::wstring& name, const std::wstring& body,
                          std::wstring description = corvlab::TempLab::default_description());

struct Run {
  DWORD exit_code = 0xFFFFFFFF;
  std::string output;
};
// Runs a program of the staging folder, waits at most timeout_ms, captures its standard output.
Run run(const std::wstring& program, const std::wstring& arguments, DWORD timeout_ms = 60000);
HANDLE start(const std::wstring& program, const std::wstring& arguments);

// A letter from G: to Y: that no drive uses, as "X:".
std::string free_letter();

}  // namespace labtests
