// Many threads on one object: no crash, no deadlock (every wait is bounded), no lost update.
#include <atomic>
#include <cstdio>
#include <functional>
#include <set>
#include <thread>
#include "wick_test.h"

using corv::Bstr;
using corv::ComPtr;
using wicktest::Via;

namespace {

constexpr int kThreads = 8;
constexpr DWORD kDeadline = 60000;

struct ThreadArg {
  std::function<void(int)>* fn;
  int k;
  HANDLE go;
};

DWORD WINAPI thread_main(void* p) {
  auto* a = static_cast<ThreadArg*>(p);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  WaitForSingleObject(a->go, INFINITE);
  (*a->fn)(a->k);
  CoUninitialize();
  return 0;
}

// Runs fn(k) on kThreads threads started together; false when they do not all finish in time.
bool run_threads(std::function<void(int)> fn) {
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<ThreadArg> args;
  for (int k = 0; k < kThreads; ++k) args.push_back({&fn, k, go});
  std::vector<HANDLE> threads;
  for (auto& a : args) threads.push_back(CreateThread(nullptr, 0, thread_main, &a, 0, nullptr));
  SetEvent(go);
  DWORD r = WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, kDeadline);
  if (r == WAIT_TIMEOUT) {
    // Threads still hold references into this frame: stop here rather than unwind under them.
    ADD_FAILURE() << "deadlock: threads still running after " << kDeadline << " ms";
    fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
  }
  for (HANDLE h : threads) CloseHandle(h);
  CloseHandle(go);
  return true;
}

class Threads : public ::testing::TestWithParam<Via> {};

TEST_P(Threads, AttributeAndEntryPairUnderEightThreads) {
  auto entry = wicktest::make<IzrEntry>(CLSID_zrEntry, GetParam());
  ASSERT_TRUE(entry);
  Bstr shared(L"shared");
  ComPtr<IDispatch> d;
  ASSERT_EQ(S_OK, entry->add(shared.get(), 0, d.out()));
  ComPtr<IzrAttribute> attr;
  ASSERT_EQ(S_OK, d->QueryInterface(IID_IzrAttribute, attr.out_void()));
  constexpr int kAdds = 200;
  std::atomic<int> failures{0};

  // Every thread appends its own values to the shared attribute and its own attributes to the
  // entry, while reading both whole (serialising the entry takes entry, then attribute).
  bool finished = run_threads([&](int k) {
    for (int i = 0; i < kAdds; ++i) {
      VARIANT v;
      VariantInit(&v);
      V_VT(&v) = VT_I4;
      V_I4(&v) = k * 100000 + i;
      if (attr->add(&v) != S_OK) ++failures;
      Bstr name((L"t" + std::to_wstring(k) + L"_" + std::to_wstring(i)).c_str());
      ComPtr<IDispatch> got;
      if (entry->add(name.get(), 1, got.out()) != S_OK) ++failures;
      if (i % 10 == 0) {
        Bstr data;
        if (entry->get_Data(data.out()) != S_OK) ++failures;
        Bstr adata;
        if (attr->get_Data(adata.out()) != S_OK) ++failures;
        ComPtr<IUnknown> en;
        if (entry->get__NewEnum(en.out()) != S_OK) ++failures;
        long idx = 0;
        if (entry->findAttribute(shared.get(), &idx) != S_OK || idx != 0) ++failures;
      }
    }
  });
  ASSERT_TRUE(finished) << "deadlock";
  EXPECT_EQ(0, failures.load());

  long n = 0;
  ASSERT_EQ(S_OK, attr->get_Count(&n));
  ASSERT_EQ(kThreads * kAdds, n);
  std::set<long> seen;
  for (long i = 0; i < n; ++i) {
    corv::Variant v;
    ASSERT_EQ(S_OK, attr->get_Value(i, v.out()));
    seen.insert(V_I4(v.get()));
  }
  EXPECT_EQ(static_cast<size_t>(kThreads * kAdds), seen.size());
  ASSERT_EQ(S_OK, entry->get_Count(&n));
  EXPECT_EQ(1 + kThreads * kAdds, n);
  for (int k = 0; k < kThreads; ++k) {
    Bstr name((L"T" + std::to_wstring(k) + L"_" + std::to_wstring(kAdds - 1)).c_str());
    long idx = -1;
    entry->findAttribute(name.get(), &idx);
    EXPECT_GT(idx, 0);
  }
}

// Mixed writers: Data round trips, removals and replacements racing each other. Only the
// absence of crashes and deadlocks and the consistency of each result are checked.
TEST_P(Threads, EntryDataRoundTripsWhileOthersChangeIt) {
  auto entry = wicktest::make<IzrEntry>(CLSID_zrEntry, GetParam());
  auto attr = wicktest::make<IzrAttribute>(CLSID_zrAttribute, GetParam());
  ASSERT_TRUE(entry && attr);
  std::atomic<int> failures{0};
  bool finished = run_threads([&](int k) {
    for (int i = 0; i < 300; ++i) {
      switch ((k + i) % 5) {
        case 0: {
          Bstr data;
          if (entry->get_Data(data.out()) != S_OK) {
            ++failures;
            break;
          }
          BSTR p = data.get();
          // Another thread's Data put may land between: only the form itself must be sound.
          if (entry->put_Data(&p) != S_OK) ++failures;
          break;
        }
        case 1: {
          Bstr n(L"x");
          ComPtr<IDispatch> got;
          if (entry->add(n.get(), 2, got.out()) != S_OK) ++failures;
          break;
        }
        case 2: {
          Bstr n(L"X");
          entry->removeA(n.get());
          break;
        }
        case 3: {
          long count = 0;
          entry->get_Count(&count);
          if (count > 0) entry->putref_Attribute(0, attr.get());  // may have gone meanwhile
          break;
        }
        default: {
          Bstr data;
          if (attr->get_Data(data.out()) != S_OK) {
            ++failures;
            break;
          }
          BSTR p = data.get();
          if (attr->put_Data(&p) != S_OK) ++failures;
          VARIANT v;
          VariantInit(&v);
          V_VT(&v) = VT_I4;
          V_I4(&v) = i;
          attr->add(&v);
        }
      }
    }
  });
  ASSERT_TRUE(finished) << "deadlock";
  EXPECT_EQ(0, failures.load());
}

TEST_P(Threads, ConvertorUnderEightThreads) {
  auto conv = wicktest::make<IzrDataConvertor>(CLSID_zrDataConvertor, GetParam());
  ASSERT_TRUE(conv);
  std::atomic<int> failures{0};
  bool finished = run_threads([&](int k) {
    for (int i = 0; i < 500; ++i) {
      std::vector<uint8_t> in(static_cast<size_t>(1 + (i * 7 + k) % 40));
      for (size_t j = 0; j < in.size(); ++j) in[j] = static_cast<uint8_t>(k * 31 + i + j * 13);
      corv::Bstr src = corvtest::bytes(in);
      BSTR s = src.get();
      corv::Bstr hexed, back, ldap, ldap_back, filter;
      if (conv->convert(zrBinToHex, &s, hexed.out()) != S_OK) {
        ++failures;
        continue;
      }
      BSTR h = hexed.get();
      if (conv->convert(zrHexToBin, &h, back.out()) != S_OK || corvtest::bytes_of(back.get()) != in) ++failures;
      if (conv->convert(zrBinToLdapStr, &s, ldap.out()) != S_OK) {
        ++failures;
        continue;
      }
      BSTR l = ldap.get();
      if (conv->convert(zrLdapStrToBin, &l, ldap_back.out()) != S_OK || corvtest::bytes_of(ldap_back.get()) != in)
        ++failures;
      if (conv->convert(zrBinToLdapFilter, &s, filter.out()) != S_OK || !filter) ++failures;
    }
  });
  ASSERT_TRUE(finished) << "deadlock";
  EXPECT_EQ(0, failures.load());
}

// Loggers and sinks that connect and disconnect at once: a sink connected throughout sees
// every record, the others never more, and no sink reference is lost or leaked.
TEST_P(Threads, LogWithSinksComingAndGoing) {
  auto log = wicktest::make<IzrLog>(CLSID_zrLog, GetParam());
  ASSERT_TRUE(log);
  auto cp = wicktest::log_point(log.get());
  ASSERT_TRUE(cp);
  auto steady = wicktest::Sink::make();
  DWORD steady_cookie = 0;
  ASSERT_EQ(S_OK, cp->Advise(steady.get(), &steady_cookie));
  std::vector<ComPtr<wicktest::Sink>> churn;
  for (int k = 0; k < kThreads / 2; ++k) churn.push_back(wicktest::Sink::make());
  constexpr int kRecords = 400;
  std::atomic<int> failures{0};
  bool finished = run_threads([&](int k) {
    if (k % 2 == 0) {
      for (int i = 0; i < kRecords; ++i) {
        Bstr s(L"sys"), src(L"src"), d((L"record " + std::to_wstring(k) + L"/" + std::to_wstring(i)).c_str());
        if (log->LogError(s.get(), src.get(), i % 6, i, d.get()) != S_OK) ++failures;
      }
    } else {
      wicktest::Sink* mine = churn[static_cast<size_t>(k / 2)].get();
      for (int i = 0; i < kRecords; ++i) {
        DWORD cookie = 0;
        if (cp->Advise(mine, &cookie) != S_OK) {
          ++failures;
          continue;
        }
        if (i % 3 == 0) {
          ComPtr<IEnumConnections> en;
          if (cp->EnumConnections(en.out()) != S_OK) ++failures;
        }
        if (cp->Unadvise(cookie) != S_OK) ++failures;
      }
    }
  });
  ASSERT_TRUE(finished) << "deadlock";
  EXPECT_EQ(0, failures.load());
  EXPECT_EQ(static_cast<size_t>(kThreads / 2 * kRecords), steady->count());
  for (auto& s : churn) {
    EXPECT_LE(s->count(), static_cast<size_t>(kThreads / 2 * kRecords));
    EXPECT_EQ(1, s->refs());  // the test's own: none left with the log
  }
  ASSERT_EQ(S_OK, cp->Unadvise(steady_cookie));
  EXPECT_EQ(1, steady->refs());
}

INSTANTIATE_TEST_SUITE_P(Wick, Threads, ::testing::Values(Via::Registry, Via::Factory), wicktest::via_name);

}  // namespace
