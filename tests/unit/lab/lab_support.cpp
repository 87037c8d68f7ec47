#include "lab_support.h"

namespace labtests {

std::wstring with_section(const std::wstring& name, const std::wstring& body, std::wstring description) {
  std::wstring head = L"[" + name + L"]";
  size_t start = description.find(head);
  if (start == std::wstring::npos) return description + L"\r\n" + head + L"\r\n" + body + L"\r\n";
  size_t end = description.find(L"\n[", start + head.size());
  end = end == std::wstring::npos ? description.size() : end + 1;
  return description.substr(0, start) + head + L"\r\n" + body + L"\r\n" + description.substr(end);
}

static std::wstring command_line(const std::wstring& program, const std::wstring& arguments) {
  return L"\"" + corvlab::TempLab::program_folder() + program + L"\" " + arguments;
}

HANDLE start(const std::wstring& program, const std::wstring& arguments) {
  std::wstring cmd = command_line(program, arguments);
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

Run run(const std::wstring& program, const std::wstring& arguments, DWORD timeout_ms) {
  Run r;
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &sa, 0)) return r;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  std::wstring cmd = command_line(program, arguments);
  STARTUPINFOW si = {sizeof si};
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = write_end;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi = {};
  BOOL ok = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(write_end);
  if (ok) {
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(read_end, buf, sizeof buf, &got, nullptr) && got) r.output.append(buf, got);
    if (WaitForSingleObject(pi.hProcess, timeout_ms) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &r.exit_code);
    else TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(read_end);
  return r;
}

std::string free_letter() {
  // Test programs running side by side start their search at different letters.
  static unsigned next = GetCurrentProcessId();
  for (unsigned i = 0; i < 19; ++i) {
    char c = static_cast<char>('G' + (next++ % 19));
    char root[] = {c, ':', '\\', 0};
    if (GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) return std::string(1, c) + ":";
  }
  return "";
}

}  // namespace labtests
