// A second process against the lab, for the persistence and concurrency tests.
//   lab_peer get <server> <share>          prints the remark; exit code = status
//   lab_peer del <server> <share>          exit code = status
//   lab_peer add-many <server> <prefix> <n> <path>
//                                          adds <prefix>0 .. <prefix>n-1; exit code = failures
#include <windows.h>
#include <lm.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 1000;
  std::wstring cmd = argv[1];
  LPWSTR server = argv[2];
  if (cmd == L"get") {
    LPBYTE buf = nullptr;
    NET_API_STATUS st = NetShareGetInfo(server, argv[3], 2, &buf);
    if (!st) {
      printf("%ls\n", reinterpret_cast<SHARE_INFO_2*>(buf)->shi2_remark);
      NetApiBufferFree(buf);
    }
    return static_cast<int>(st);
  }
  if (cmd == L"del") return static_cast<int>(NetShareDel(server, argv[3], 0));
  if (cmd == L"add-many" && argc >= 6) {
    int failures = 0, n = _wtoi(argv[4]);
    for (int i = 0; i < n; ++i) {
      std::wstring name = argv[3] + std::to_wstring(i);
      SHARE_INFO_2 si = {};
      si.shi2_netname = &name[0];
      si.shi2_path = argv[5];
      si.shi2_max_uses = SHI_USES_UNLIMITED;
      if (NetShareAdd(server, 2, reinterpret_cast<LPBYTE>(&si), nullptr)) ++failures;
    }
    return failures;
  }
  return 1000;
}
