// The account-picker stand-in, bound at run time by name as its callers bind it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lab_support.h"

using corvlab::TempLab;
using labtests::with_section;

namespace {

// Nine words; window and texts pointer-sized.
struct Request {
  DWORD size;
  DWORD word1;
  DWORD word2;
  HWND owner;
  LPCWSTR title;
  LPCWSTR server;
  DWORD flags;
  DWORD param2;
  LPCWSTR help_file;
};
static_assert(sizeof(void*) == 8 ? sizeof(Request) == 56 : sizeof(Request) == 36, "request record size");

using OpenFn = HANDLE(WINAPI*)(Request*);
using EnumFn = BOOL(WINAPI*)(HANDLE, void*, DWORD*);
using CloseFn = BOOL(WINAPI*)(HANDLE);

struct Picker {
  HMODULE dll = LoadLibraryW(L"NETUI2.DLL");
  OpenFn open = dll ? reinterpret_cast<OpenFn>(reinterpret_cast<void*>(GetProcAddress(dll, "OpenUserBrowser")))
                    : nullptr;
  EnumFn next = dll ? reinterpret_cast<EnumFn>(reinterpret_cast<void*>(GetProcAddress(dll, "EnumUserBrowserSelection")))
                    : nullptr;
  CloseFn close = dll ? reinterpret_cast<CloseFn>(reinterpret_cast<void*>(GetProcAddress(dll, "CloseUserBrowser")))
                      : nullptr;
  ~Picker() {
    if (dll) FreeLibrary(dll);
  }
};

struct Account {
  std::wstring account, domain, description;
};

// Reads the texts at pointer-sized words 5, 6 and 7, as the callers do.
std::vector<Account> picks(Picker& p, Request& r) {
  std::vector<Account> out;
  HANDLE h = p.open(&r);
  if (!h) return out;
  std::vector<BYTE> buf(4096);
  DWORD len = 4096;
  while (p.next(h, buf.data(), &len) && out.size() < 10) {
    auto* words = reinterpret_cast<LPCWSTR*>(buf.data());
    out.push_back({words[5] ? words[5] : L"(null)", words[6] ? words[6] : L"(null)", words[7] ? words[7] : L"(null)"});
  }
  EXPECT_TRUE(p.close(h));
  return out;
}

std::wstring hex_of(const void* p, size_t n) {
  std::wstring out;
  wchar_t b[4];
  for (size_t i = 0; i < n; ++i) {
    swprintf(b, 4, L"%02x", static_cast<const BYTE*>(p)[i]);
    out += b;
  }
  return out;
}

}  // namespace

TEST(UserBrowser, ScriptedPicksAndTheKeptRequestRecord) {
  TempLab lab(with_section(L"picker", L"pick1=CORP\\collector|Collector service account\r\npick2=BRANCH\\scanner|"));
  Picker p;
  ASSERT_TRUE(p.open && p.next && p.close);

  Request r;
  memset(&r, 0, sizeof r);  // padding included, so the kept bytes can be compared
  r.size = sizeof(Request);
  r.owner = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x10AB4));
  r.title = L"Select Account";
  r.server = L"";
  r.flags = 0x000E;  // users, users ex, global groups: several may be picked
  r.param2 = 7;
  std::vector<Account> got = picks(p, r);
  ASSERT_EQ(2u, got.size());
  EXPECT_EQ(L"collector", got[0].account);
  EXPECT_EQ(L"CORP", got[0].domain);
  EXPECT_EQ(L"Collector service account", got[0].description);
  EXPECT_EQ(L"scanner", got[1].account);
  EXPECT_EQ(L"", got[1].description);

  EXPECT_EQ(std::to_wstring(sizeof(Request)), lab.state(L"picker request", L"size"));
  EXPECT_EQ(L"0", lab.state(L"picker request", L"word1"));
  EXPECT_EQ(L"0", lab.state(L"picker request", L"word2"));
  EXPECT_EQ(L"Select Account", lab.state(L"picker request", L"title"));
  EXPECT_EQ(L"0", lab.state(L"picker request", L"server_null"));  // empty, not null
  EXPECT_EQ(L"", lab.state(L"picker request", L"server"));
  EXPECT_EQ(L"14", lab.state(L"picker request", L"flags"));
  EXPECT_EQ(L"7", lab.state(L"picker request", L"param2"));
  EXPECT_EQ(L"1", lab.state(L"picker request", L"help_file_null"));
  EXPECT_EQ(hex_of(&r, sizeof r), lab.state(L"picker request", L"raw"));

  // One choice only: the first pick; the request kept is the newest.
  r.flags = 0x100E;
  r.help_file = L"corvane.hlp";
  got = picks(p, r);
  ASSERT_EQ(1u, got.size());
  EXPECT_EQ(L"collector", got[0].account);
  EXPECT_EQ(L"4110", lab.state(L"picker request", L"flags"));
  EXPECT_EQ(L"corvane.hlp", lab.state(L"picker request", L"help_file"));
  EXPECT_EQ(2u, lab.journal(L"OpenUserBrowser").size());
  EXPECT_EQ(3u, lab.journal(L"EnumUserBrowserSelection").size());
}

TEST(UserBrowser, NoPicksIsACancelAndAWrongSizeIsRefused) {
  TempLab lab(with_section(L"picker", L""));
  Picker p;
  ASSERT_TRUE(p.open);
  Request r = {sizeof(Request), 0, 0, nullptr, L"t", L"", 4100, 0, nullptr};
  EXPECT_EQ(nullptr, p.open(&r));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CANCELLED), GetLastError());
  r.size = sizeof(void*) == 8 ? 36 : 40;  // the other architecture's size
  EXPECT_EQ(nullptr, p.open(&r));
  EXPECT_EQ(std::to_wstring(r.size), lab.state(L"picker request", L"size"));
}
