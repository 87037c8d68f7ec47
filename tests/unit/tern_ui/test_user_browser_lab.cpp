// zrUserBrowser against the lab's user browser: the request record, the picks in order, and
// GetSelection's bounds.
#include "com_test.h"
#include <thread>
#include "labtest.h"
#include "tern_h.h"

using corv::Bstr;
using corv::ComPtr;
using corvtest::create;

namespace {

std::wstring network(const std::wstring& picks) {
  return L"[network]\r\ndomains=CORP\r\n[domain CORP]\r\nservers=FS01\r\n[server FS01]\r\ndrives=\r\n[picker]\r\n" +
         picks;
}
const wchar_t* kThreePicks =
    L"pick1=CORP\\alice|Alice Liddell\r\npick2=CORP\\bob\r\npick3=BUILTIN\\Users|Local users\r\n";

struct Entry {
  HRESULT hr;
  std::wstring domain, account, description;
};
Entry selection(IzrUserBrowser* b, long index) {
  Bstr d, a, t;
  Entry e;
  e.hr = b->GetSelection(index, d.out(), a.out(), t.out());
  e.domain = corvtest::str(d.get());
  e.account = corvtest::str(a.get());
  e.description = corvtest::str(t.get());
  return e;
}

unsigned long long number(const std::wstring& s) {
  std::wstring t = s.compare(0, 2, L"0x") == 0 ? s.substr(2) : s;
  return wcstoull(t.c_str(), nullptr, 16);
}

}  // namespace

// Called late-bound with only the two required arguments, as a script would: the type
// library's defaults reach the record (4100, 0, an empty server, no help file).
TEST(UserBrowserLab, DefaultsAndOnePick) {
  corvlab::TempLab lab(network(kThreePicks));
  auto b = create<IzrUserBrowser>(CLSID_zrUserBrowser);
  ASSERT_TRUE(b);
  ComPtr<IDispatch> d;
  ASSERT_EQ(S_OK, b->QueryInterface(IID_IDispatch, d.out_void()));
  VARIANT owner, title, result;
  VariantInit(&owner);
  V_VT(&owner) = VT_I4;
  V_I4(&owner) = 0x1234;
  VariantInit(&title);
  V_VT(&title) = VT_BSTR;
  V_BSTR(&title) = SysAllocString(L"Choose an account");
  ASSERT_EQ(S_OK, corvtest::invoke(d.get(), L"Open", DISPATCH_METHOD, {owner, title}, &result));
  VariantClear(&title);
  ASSERT_EQ(VT_I4, V_VT(&result));
  EXPECT_EQ(1, V_I4(&result));  // single choice: the picker stops after one

  EXPECT_EQ(std::to_wstring(sizeof(void*) == 8 ? 56 : 36), lab.state(L"picker request", L"size"));
  EXPECT_EQ(L"0", lab.state(L"picker request", L"word1"));
  EXPECT_EQ(L"0", lab.state(L"picker request", L"word2"));
  EXPECT_EQ(0x1234u, number(lab.state(L"picker request", L"owner")));
  EXPECT_EQ(L"Choose an account", lab.state(L"picker request", L"title"));
  EXPECT_EQ(L"0", lab.state(L"picker request", L"server_null"));  // an empty server is passed as is
  EXPECT_EQ(L"", lab.state(L"picker request", L"server"));
  EXPECT_EQ(L"4100", lab.state(L"picker request", L"flags"));
  EXPECT_EQ(L"0", lab.state(L"picker request", L"param2"));
  EXPECT_EQ(L"1", lab.state(L"picker request", L"help_file_null"));

  Entry e = selection(b.get(), 0);
  EXPECT_EQ(S_OK, e.hr);
  EXPECT_EQ(L"CORP", e.domain);
  EXPECT_EQ(L"alice", e.account);
  EXPECT_EQ(L"Alice Liddell", e.description);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_INDEX), selection(b.get(), 1).hr);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_INDEX), selection(b.get(), -1).hr);
  EXPECT_EQ(1u, lab.journal(L"CloseUserBrowser").size());
}

TEST(UserBrowserLab, EveryPickInOrder) {
  corvlab::TempLab lab(network(kThreePicks));
  auto b = create<IzrUserBrowser>(CLSID_zrUserBrowser);
  ASSERT_TRUE(b);
  Bstr title(L"Accounts"), server(L"\\\\FS01"), help(L"corvane.hlp");
  LONG n = -1;
  ASSERT_EQ(S_OK, b->Open(0, title.get(), server.get(), help.get(), 4 | 2, 7, &n));
  ASSERT_EQ(3, n);
  EXPECT_EQ(1u, lab.journal(L"OpenUserBrowser").size());
  EXPECT_EQ(L"\\\\FS01", lab.state(L"picker request", L"server"));
  EXPECT_EQ(L"corvane.hlp", lab.state(L"picker request", L"help_file"));
  EXPECT_EQ(L"6", lab.state(L"picker request", L"flags"));
  EXPECT_EQ(L"7", lab.state(L"picker request", L"param2"));

  const wchar_t* expected[3][3] = {
      {L"CORP", L"alice", L"Alice Liddell"}, {L"CORP", L"bob", L""}, {L"BUILTIN", L"Users", L"Local users"}};
  for (long i = 0; i < 3; ++i) {
    Entry e = selection(b.get(), i);
    EXPECT_EQ(S_OK, e.hr);
    EXPECT_EQ(expected[i][0], e.domain);
    EXPECT_EQ(expected[i][1], e.account);
    EXPECT_EQ(expected[i][2], e.description);
  }
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_INDEX), selection(b.get(), 3).hr);
  EXPECT_EQ(3u, lab.journal(L"EnumUserBrowserSelection").size());
  EXPECT_EQ(1u, lab.journal(L"CloseUserBrowser").size());
}

// Null output references reach the object only from its own apartment (the marshaller refuses
// them on the way): this part runs on a thread of its own in a single-threaded apartment.
TEST(UserBrowserLab, NullOutputsAreSkipped) {
  corvlab::TempLab lab(network(kThreePicks));
  HRESULT open = E_FAIL, get = E_FAIL;
  LONG n = -1;
  std::wstring account;
  std::thread sta([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
      auto b = create<IzrUserBrowser>(CLSID_zrUserBrowser);
      Bstr title(L"Accounts"), none(L"");
      if (b) open = b->Open(0, title.get(), none.get(), none.get(), 4, 0, &n);
      Bstr a;
      if (b) get = b->GetSelection(2, nullptr, a.out(), nullptr);
      account = corvtest::str(a.get());
    }
    CoUninitialize();
  });
  sta.join();
  EXPECT_EQ(S_OK, open);
  EXPECT_EQ(3, n);
  EXPECT_EQ(S_OK, get);
  EXPECT_EQ(L"Users", account);
  EXPECT_EQ(1u, lab.journal(L"OpenUserBrowser").size());
}

TEST(UserBrowserLab, NothingPickedEmptiesTheSelection) {
  auto b = create<IzrUserBrowser>(CLSID_zrUserBrowser);
  ASSERT_TRUE(b);
  Bstr title(L"Accounts"), none(L"");
  LONG n = -1;
  {
    corvlab::TempLab lab(network(kThreePicks));
    ASSERT_EQ(S_OK, b->Open(0, title.get(), none.get(), none.get(), 4, 0, &n));
    ASSERT_EQ(3, n);
  }
  corvlab::TempLab lab(network(L""));
  ASSERT_EQ(S_OK, b->Open(0, title.get(), none.get(), none.get(), 4, 0, &n));
  EXPECT_EQ(0, n);
  // Nothing picked from the lab's browser, not a cancelled object picker in its place.
  EXPECT_EQ(1u, lab.journal(L"OpenUserBrowser").size());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_INDEX), selection(b.get(), 0).hr);
  EXPECT_TRUE(lab.journal(L"CloseUserBrowser").empty());  // no handle, nothing to close
}
