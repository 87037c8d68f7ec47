// Runs of the staged corvanecmd.exe and the lab's shares as they stand, for the tests that
// drive the program from outside.
#pragma once
#include "corvane_test.h"

#include <lm.h>

#include <algorithm>
#include <string>
#include <vector>

#include "share_calls.h"
#include "shares.h"

namespace corvane_test {

struct Result {
  DWORD exit = 99;
  std::string out, err;
};

// Reads what the pipe holds now, without waiting for more.
inline void take_available(HANDLE h, std::string& s) {
  char buf[4096];
  DWORD avail = 0, got = 0;
  while (PeekNamedPipe(h, nullptr, 0, nullptr, &avail, nullptr) && avail &&
         ReadFile(h, buf, avail < sizeof buf ? avail : sizeof buf, &got, nullptr) && got)
    s.append(buf, got);
}

// Runs a staged program (corvanecmd.exe, labctl.exe; or one given by its full path) with the arguments and the given
// standard input.
inline Result run_staged(const std::wstring& program, const std::wstring& args, const std::string& input = "",
                         ULONGLONG limit_ms = 120000) {
  Result r;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out_r, out_w, err_r, err_w, in_r, in_w;
  CreatePipe(&out_r, &out_w, &sa, 0);
  CreatePipe(&err_r, &err_w, &sa, 0);
  CreatePipe(&in_r, &in_w, &sa, 0);
  for (HANDLE h : {out_r, err_r, in_w}) SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{sizeof si};
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out_w;
  si.hStdError = err_w;
  si.hStdInput = in_r;
  PROCESS_INFORMATION pi{};
  std::wstring exe = program.find(L':') != std::wstring::npos ? program : corvlab::TempLab::program_folder() + program;
  std::wstring line = L"\"" + exe + L"\" " + args;
  BOOL started = CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                                &pi);
  CloseHandle(out_w);
  CloseHandle(err_w);
  CloseHandle(in_r);
  if (!started) {
    ADD_FAILURE() << program << " did not start: " << GetLastError();
    for (HANDLE h : {out_r, err_r, in_w}) CloseHandle(h);
    return r;
  }
  DWORD w = 0;
  if (!input.empty()) WriteFile(in_w, input.data(), static_cast<DWORD>(input.size()), &w, nullptr);
  CloseHandle(in_w);
  // Stderr is small (a question, a line): read it after the output, which may be larger.
  // Read while it runs, and stop at its end rather than at the pipes' end: a process it caused
  // Wine to start (the mount manager's helpers) may hold the pipes open for longer.
  ULONGLONG deadline = GetTickCount64() + limit_ms;
  for (;;) {
    take_available(out_r, r.out);
    take_available(err_r, r.err);
    if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) break;
    if (GetTickCount64() > deadline) {
      TerminateProcess(pi.hProcess, 99);
      ADD_FAILURE() << program << " did not end";
      break;
    }
  }
  take_available(out_r, r.out);
  take_available(err_r, r.err);
  GetExitCodeProcess(pi.hProcess, &r.exit);
  for (HANDLE h : {pi.hProcess, pi.hThread, out_r, err_r}) CloseHandle(h);
  return r;
}

inline Result corvanecmd(const std::wstring& args, const std::string& input = "", ULONGLONG limit_ms = 120000) {
  return run_staged(L"corvanecmd.exe", args, input, limit_ms);
}

// A copy of corvanecmd.exe elsewhere, by its full path.
inline Result corvanecmd_at(const std::wstring& exe, const std::wstring& args) { return run_staged(exe, args); }

// Every share of the servers as "\\\\SERVER\\NAME|path|remark|max uses|SDDL", sorted.
inline std::vector<std::wstring> shares_now(const std::vector<std::wstring>& servers) {
  std::vector<std::wstring> out;
  for (const std::wstring& server : servers) {
    LPBYTE buf = nullptr;
    DWORD read = 0, total = 0;
    if (NetShareEnum(const_cast<LPWSTR>(server.c_str()), 0, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr) != 0)
      continue;
    for (DWORD k = 0; k < read; ++k) {
      std::wstring name = reinterpret_cast<SHARE_INFO_0*>(buf)[k].shi0_netname;
      corvane::ShareNow n = corvane::read_share(server, name);
      out.push_back(server + L"\\" + name + L"|" + n.record.path + L"|" + n.record.remark + L"|" +
                    std::to_wstring(n.record.max_uses) + L"|" + n.record.sddl);
    }
    NetApiBufferFree(buf);
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace corvane_test
