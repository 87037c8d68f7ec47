// tern meets wick: a zrSid whose Log is a real zrLog leaves a line in the log file for every
// failed resolution, and none for a successful one.
#include "tern_h.h"
#include "test_log.h"
#include "wick_test.h"

using corv::Bstr;
using corv::ComPtr;

namespace {

TEST(TernWithLog, FailedResolutionsLeaveTheirLines) {
  auto log = corvtest::create<IzrLog>(CLSID_zrLog);
  auto sid = corvtest::create<IzrSid>(CLSID_zrSid);
  ASSERT_TRUE(log && sid);
  wicktest::TempFile file(L"tern");
  Bstr name(file.path.c_str());
  ASSERT_EQ(S_OK, log->put_FileName(name.get()));
  ASSERT_EQ(S_OK, log->put_FlagFile(VARIANT_TRUE));
  ComPtr<IDispatch> as_dispatch;
  ASSERT_EQ(S_OK, log->QueryInterface(IID_IDispatch, as_dispatch.out_void()));
  ASSERT_EQ(S_OK, sid->putref_Log(as_dispatch.get()));
  // Sinks on the log see the same records.
  auto cp = wicktest::log_point(log.get());
  auto sink = wicktest::Sink::make();
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, cp->Advise(sink.get(), &cookie));

  Bstr unknown(L"no-such-account-4711");
  ASSERT_EQ(S_OK, sid->put_Account(unknown.get()));
  VARIANT_BOOL ok = VARIANT_TRUE;
  EXPECT_EQ(S_FALSE, sid->AccountToSid(&ok));
  EXPECT_EQ(VARIANT_FALSE, ok);

  // A resolution that works leaves nothing.
  Bstr everyone(L"S-1-1-0");
  ASSERT_EQ(S_OK, sid->put_Sid(everyone.get()));
  EXPECT_EQ(S_OK, sid->SidToAccount(&ok));
  EXPECT_EQ(VARIANT_TRUE, ok);

  // An identifier no one has.
  Bstr nobody(L"S-1-5-21-1-2-3-4444");
  ASSERT_EQ(S_OK, sid->put_Sid(nobody.get()));
  EXPECT_EQ(S_FALSE, sid->SidToAccount(&ok));

  std::wstring text = corvtest::system_text(1332);
  std::wstring expected =
      L"(null)\tzrSid\tError\t1332\t" + text +
      L" Cannot resolve account 'no-such-account-4711' to SID (System (local), LookupAccountName).\r\n"
      L"(null)\tzrSid\tError\t1332\t" +
      text + L" Cannot resolve SID S-1-5-21-1-2-3-4444 to account (System (local), LookupAccountSid).\r\n";
  std::vector<uint8_t> got = file.bytes();
  EXPECT_EQ(std::string(expected.begin(), expected.end()), std::string(got.begin(), got.end()));

  ASSERT_EQ(2u, sink->events.size());
  EXPECT_EQ(L"zrSid", sink->events[0].source);
  EXPECT_EQ(1332, sink->events[0].error);
  EXPECT_EQ(0, sink->events[0].severity);
  cp->Unadvise(cookie);
}

}  // namespace
