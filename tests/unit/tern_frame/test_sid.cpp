// zrSid through its interface, as clients use it.
#include "com_test.h"
#include <lm.h>
#include <sddl.h>
#include <thread>
#include "tern_h.h"
#include "test_log.h"

using corv::Bstr;
using corv::ComPtr;
using corvtest::bytes;
using corvtest::bytes_of;
using corvtest::create;
using corvtest::hex;
using corvtest::str;

namespace {

ComPtr<IzrSid> make_sid(const wchar_t* text = nullptr) {
  auto sid = create<IzrSid>(CLSID_zrSid);
  if (sid && text) {
    Bstr t(text);
    EXPECT_EQ(S_OK, sid->put_Sid(t.get()));
  }
  return sid;
}

std::wstring sid_text(IzrSid* sid) {
  Bstr out;
  HRESULT hr = sid->get_Sid(out.out());
  return hr == S_OK ? str(out.get()) : L"<" + std::to_wstring(hr) + L">";
}

std::vector<uint8_t> sid_data(IzrSid* sid) {
  Bstr out;
  EXPECT_EQ(S_OK, sid->get_Data(out.out()));
  return bytes_of(out.get());
}

bool valid(IzrSid* sid) {
  VARIANT_BOOL v = 7;
  EXPECT_EQ(S_OK, sid->get_Valid(&v));
  EXPECT_TRUE(v == VARIANT_TRUE || v == VARIANT_FALSE);
  return v == VARIANT_TRUE;
}

// The system's binary form of a text identifier.
std::vector<uint8_t> system_sid(const wchar_t* text) {
  PSID p = nullptr;
  if (!ConvertStringSidToSidW(text, &p)) return {};
  std::vector<uint8_t> v(static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + GetLengthSid(p));
  LocalFree(p);
  return v;
}

void put_account(IzrSid* sid, const wchar_t* name) {
  Bstr n(name);
  ASSERT_EQ(S_OK, sid->put_Account(n.get()));
}

std::wstring account(IzrSid* sid) {
  Bstr b;
  EXPECT_EQ(S_OK, sid->get_Account(b.out()));
  return str(b.get());
}
std::wstring domain(IzrSid* sid) {
  Bstr b;
  EXPECT_EQ(S_OK, sid->get_Domain(b.out()));
  return str(b.get());
}
std::wstring system_of(IzrSid* sid) {
  Bstr b;
  EXPECT_EQ(S_OK, sid->get_System(b.out()));
  return str(b.get());
}
long sid_type(IzrSid* sid) {
  long t = -1;
  EXPECT_EQ(S_OK, sid->get_SidType(&t));
  return t;
}

}  // namespace

TEST(ZrSidText, AgreesWithTheSystemBinaryForm) {
  for (const wchar_t* t : {L"S-1-5-32-544", L"S-1-1-0", L"S-1-5-18", L"S-1-5-21-3623811015-3361044348-30300820-1013",
                           L"S-1-16-12288", L"S-1-5-1-2-3-4-5-6-7-8"}) {
    SCOPED_TRACE(std::string(t, t + wcslen(t)));
    auto sid = make_sid(t);
    ASSERT_TRUE(valid(sid.get()));
    EXPECT_EQ(system_sid(t), sid_data(sid.get()));
    EXPECT_EQ(t, sid_text(sid.get()));
  }
  auto admins = make_sid(L"S-1-5-32-544");
  EXPECT_EQ(hex("01 02 00 00 00 00 00 05 20 00 00 00 20 02 00 00"), sid_data(admins.get()));
  long rid = 0;
  short count = 0;
  EXPECT_EQ(S_OK, admins->get_Rid(&rid));
  EXPECT_EQ(S_OK, admins->get_SubauthorityCount(&count));
  EXPECT_EQ(544, rid);
  EXPECT_EQ(2, count);
}

TEST(ZrSidText, TextsThatDoNotParseLeaveNoIdentifier) {
  for (const wchar_t* t :
       {L"s-1-5-32-544", L"S-1-5", L"S-1", L"", L"S-1-5-1-2-3-4-5-6-7-8-9", L"S-1-0x010203040506-7"}) {
    SCOPED_TRACE(std::string(t, t + wcslen(t)));
    auto sid = make_sid(L"S-1-5-18");
    Bstr text(t);
    EXPECT_EQ(S_OK, sid->put_Sid(text.get()));
    EXPECT_FALSE(valid(sid.get()));
    // No text and no bytes: both read as the null string.
    BSTR out = reinterpret_cast<BSTR>(0x1234);
    EXPECT_EQ(S_FALSE, sid->get_Sid(&out));
    EXPECT_EQ(nullptr, out);
    out = reinterpret_cast<BSTR>(0x1234);
    EXPECT_EQ(S_OK, sid->get_Data(&out));
    EXPECT_EQ(nullptr, out);
    short count = 9;
    long rid = 9;
    EXPECT_EQ(S_OK, sid->get_SubauthorityCount(&count));
    EXPECT_EQ(S_OK, sid->get_Rid(&rid));
    EXPECT_EQ(0, count);
    EXPECT_EQ(0, rid);
  }
  auto sid = make_sid();
  EXPECT_EQ(S_OK, sid->put_Sid(nullptr));
  EXPECT_FALSE(valid(sid.get()));
}

TEST(ZrSidText, LenientNumbersAsTheConversionReadsThem) {
  EXPECT_EQ(L"S-1-5-32", sid_text(make_sid(L"S-2-5-32").get()));
  EXPECT_EQ(L"S-1-5-0", sid_text(make_sid(L"S-1-5-").get()));
  EXPECT_EQ(L"S-1-5-32-544", sid_text(make_sid(L"S-1-5-32-544 xyz").get()));
  EXPECT_EQ(L"S-1-4294967295-1", sid_text(make_sid(L"S-1-4294967296-1").get()));
}

TEST(ZrSidBinary, HexadecimalAuthorityOnOutputOnly) {
  auto sid = make_sid();
  Bstr data = bytes(hex("01 01 01 02 03 04 05 06 07 00 00 00"));
  BSTR raw = data.get();
  ASSERT_EQ(S_OK, sid->put_Data(&raw));
  EXPECT_EQ(L"S-1-0x010203040506-7", sid_text(sid.get()));
  // The object's own hexadecimal output does not parse back.
  auto again = make_sid(L"S-1-0x010203040506-7");
  EXPECT_FALSE(valid(again.get()));
}

TEST(ZrSidBinary, DataPutTakesOnlyAWholeValidIdentifier) {
  const auto admins = hex("01 02 00 00 00 00 00 05 20 00 00 00 20 02 00 00");
  struct Case {
    const char* what;
    std::vector<uint8_t> in;
    bool ok;
  };
  auto longer = admins;
  longer.insert(longer.end(), {0xAA, 0xBB, 0xCC});  // odd length, extra bytes ignored
  auto truncated = admins;
  truncated.pop_back();
  auto bad_revision = admins;
  bad_revision[0] = 2;
  std::vector<uint8_t> sixteen(8 + 64, 0);
  sixteen[0] = 1;
  sixteen[1] = 16;
  std::vector<uint8_t> zero_subs = hex("01 00 00 00 00 00 00 05");
  for (const Case& c : {Case{"exact", admins, true}, Case{"longer", longer, true}, Case{"truncated", truncated, false},
                        Case{"revision 2", bad_revision, false}, Case{"16 sub-authorities", sixteen, false},
                        Case{"header only", zero_subs, true}, Case{"7 bytes", hex("01 00 00 00 00 00 05"), false},
                        Case{"empty", {}, false}}) {
    SCOPED_TRACE(c.what);
    auto sid = make_sid(L"S-1-1-0");
    Bstr b = bytes(c.in);
    BSTR raw = b.get();
    EXPECT_EQ(S_OK, sid->put_Data(&raw));
    EXPECT_EQ(c.ok, valid(sid.get()));
    if (c.ok) {
      std::vector<uint8_t> want(c.in.begin(), c.in.begin() + 8 + 4 * c.in[1]);
      EXPECT_EQ(want, sid_data(sid.get()));
    }
  }
  auto sid = make_sid(L"S-1-1-0");
  EXPECT_EQ(S_OK, sid->put_Data(nullptr));
  EXPECT_FALSE(valid(sid.get()));
  BSTR null_string = nullptr;
  sid = make_sid(L"S-1-1-0");
  EXPECT_EQ(S_OK, sid->put_Data(&null_string));
  EXPECT_FALSE(valid(sid.get()));
}

TEST(ZrSidBinary, SubauthorityCountGrowsWithZerosAndShrinks) {
  auto sid = make_sid(L"S-1-5-32-544");
  ASSERT_EQ(S_OK, sid->put_SubauthorityCount(4));
  EXPECT_EQ(L"S-1-5-32-544-0-0", sid_text(sid.get()));
  ASSERT_EQ(S_OK, sid->put_SubauthorityCount(1));
  EXPECT_EQ(L"S-1-5-32", sid_text(sid.get()));
  ASSERT_EQ(S_OK, sid->put_SubauthorityCount(2));
  EXPECT_EQ(L"S-1-5-32-0", sid_text(sid.get()));  // values cut off do not come back
  ASSERT_EQ(S_OK, sid->put_SubauthorityCount(16));
  EXPECT_FALSE(valid(sid.get()));
  BSTR untouched = nullptr;
  EXPECT_EQ(S_FALSE, sid->get_Sid(&untouched));
  EXPECT_EQ(nullptr, untouched);

  // Outside 0..255 the count byte cannot hold the value: ignored, not wrapped.
  sid = make_sid(L"S-1-5-32-544");
  EXPECT_EQ(S_OK, sid->put_SubauthorityCount(-1));
  EXPECT_EQ(L"S-1-5-32-544", sid_text(sid.get()));
  EXPECT_EQ(S_OK, sid->put_SubauthorityCount(258));
  EXPECT_EQ(L"S-1-5-32-544", sid_text(sid.get()));
  // Without an identifier nothing happens.
  sid = make_sid();
  EXPECT_EQ(S_OK, sid->put_SubauthorityCount(3));
  EXPECT_FALSE(valid(sid.get()));
}

TEST(ZrSidBinary, RidIsTheLastSubAuthority) {
  auto sid = make_sid(L"S-1-5-32-544");
  ASSERT_EQ(S_OK, sid->put_Rid(545));
  EXPECT_EQ(L"S-1-5-32-545", sid_text(sid.get()));
  ASSERT_EQ(S_OK, sid->put_Rid(-1));
  EXPECT_EQ(L"S-1-5-32-4294967295", sid_text(sid.get()));
  // No sub-authorities: the getter gives 0 and the setter writes nowhere.
  ASSERT_EQ(S_OK, sid->put_SubauthorityCount(0));
  ASSERT_TRUE(valid(sid.get()));
  const auto before = sid_data(sid.get());
  ASSERT_EQ(8u, before.size());
  long rid = 7;
  EXPECT_EQ(S_OK, sid->get_Rid(&rid));
  EXPECT_EQ(0, rid);
  EXPECT_EQ(S_OK, sid->put_Rid(99));
  EXPECT_EQ(before, sid_data(sid.get()));
}

TEST(ZrSidNames, SystemIsNormalisedAndStringGettersCopy) {
  auto sid = make_sid();
  for (auto [in, out] :
       {std::pair{L"server", L"\\\\server"},
        {L"\\\\server", L"\\\\server"},
        {L"\\\\\\server", L"\\\\server"},
        {L"\\\\", L"\\\\"},
        {L"", L""}}) {
    Bstr b(in);
    EXPECT_EQ(S_OK, sid->put_System(b.get()));
    EXPECT_EQ(out, system_of(sid.get()));
  }
  EXPECT_EQ(S_OK, sid->put_System(nullptr));
  EXPECT_EQ(L"", system_of(sid.get()));
  EXPECT_EQ(E_POINTER, sid->get_System(nullptr));
  EXPECT_EQ(E_POINTER, sid->get_Domain(nullptr));
  EXPECT_EQ(S_OK, sid->get_Account(nullptr));
  EXPECT_EQ(E_POINTER, sid->get_Valid(nullptr));
  put_account(sid.get(), L"  Mixed Case  ");
  EXPECT_EQ(L"  Mixed Case  ", account(sid.get()));  // stored as given
  EXPECT_EQ(L"", domain(sid.get()));
  EXPECT_EQ(SidTypeInvalid, sid_type(sid.get()));
}

TEST(ZrSidNames, InitCurrentUserTakesTheTokenUser) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  BYTE buf[1024];
  DWORD len = 0;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, buf, sizeof buf, &len));
  CloseHandle(token);
  PSID user = reinterpret_cast<TOKEN_USER*>(buf)->User.Sid;
  std::vector<uint8_t> want(static_cast<uint8_t*>(user), static_cast<uint8_t*>(user) + GetLengthSid(user));

  auto sid = make_sid();
  put_account(sid.get(), L"kept");
  ASSERT_EQ(S_OK, sid->InitCurrentUser());
  EXPECT_EQ(want, sid_data(sid.get()));
  EXPECT_EQ(L"kept", account(sid.get()));
  EXPECT_EQ(SidTypeInvalid, sid_type(sid.get()));
}

TEST(ZrSidResolve, AccountToSidResolvesBuiltinAliases) {
  auto sid = make_sid();
  put_account(sid.get(), L"Administrators");
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(S_OK, sid->AccountToSid(&ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  EXPECT_EQ(L"S-1-5-32-544", sid_text(sid.get()));
  EXPECT_EQ(L"Administrators", account(sid.get()));
  EXPECT_EQ(L"BUILTIN", domain(sid.get()));
  EXPECT_EQ(SidTypeAlias, sid_type(sid.get()));

  // Clear keeps the computer; the next resolution still works on it.
  Bstr local(L"");
  ASSERT_EQ(S_OK, sid->Clear());
  EXPECT_FALSE(valid(sid.get()));
  EXPECT_EQ(L"", account(sid.get()));
  EXPECT_EQ(SidTypeInvalid, sid_type(sid.get()));
  put_account(sid.get(), L"BUILTIN\\Users");
  ASSERT_EQ(S_OK, sid->AccountToSid(&ok));
  EXPECT_EQ(L"S-1-5-32-545", sid_text(sid.get()));
}

TEST(ZrSidResolve, FailedAccountLookupIsReportedAndChangesNothing) {
  auto log = corvtest::TestLog::make();
  auto sid = make_sid(L"S-1-5-18");
  ASSERT_EQ(S_OK, sid->putref_Log(log.get()));
  put_account(sid.get(), L"no-such-account-zz");
  VARIANT_BOOL ok = 5;
  ASSERT_EQ(S_FALSE, sid->AccountToSid(&ok));
  EXPECT_EQ(VARIANT_FALSE, ok);
  EXPECT_EQ(L"S-1-5-18", sid_text(sid.get()));  // identifier unchanged
  ASSERT_EQ(1u, log->records.size());
  const auto& r = log->records[0];
  EXPECT_TRUE(r.system_null);
  EXPECT_EQ(L"zrSid", r.source);
  EXPECT_EQ(0, r.severity);
  EXPECT_EQ(ERROR_NONE_MAPPED, r.error);
  EXPECT_EQ(corvtest::system_text(ERROR_NONE_MAPPED) +
                L" Cannot resolve account 'no-such-account-zz' to SID (System (local), LookupAccountName).",
            r.description);

  // A qualified name is not retried in the built-in domain.
  put_account(sid.get(), L"NOSUCHDOMAIN\\nobody");
  ASSERT_EQ(S_FALSE, sid->AccountToSid(&ok));
  ASSERT_EQ(2u, log->records.size());
  EXPECT_NE(std::wstring::npos, log->records[1].description.find(L"'NOSUCHDOMAIN\\nobody'"));

  // No account is looked up as an empty name (the platform answers that with the computer's
  // own domain); when that fails, the message names it as ''. The computer is named as held.
  Bstr server(L"nosuchserver");
  ASSERT_EQ(S_OK, sid->put_System(server.get()));
  ASSERT_EQ(S_OK, sid->put_Account(nullptr));
  ASSERT_EQ(S_FALSE, sid->AccountToSid(&ok));
  ASSERT_EQ(3u, log->records.size());
  EXPECT_FALSE(log->records[2].system_null);
  EXPECT_EQ(L"\\\\nosuchserver", log->records[2].system);
  EXPECT_NE(std::wstring::npos,
            log->records[2].description.find(
                L" Cannot resolve account '' to SID (System \\\\nosuchserver, LookupAccountName)."));
}

TEST(ZrSidResolve, SidToAccountNamesKnownIdentifiersAndReportsOthers) {
  auto log = corvtest::TestLog::make();
  auto sid = make_sid();
  ASSERT_EQ(S_OK, sid->putref_Log(log.get()));
  VARIANT_BOOL ok = 5;
  ASSERT_EQ(S_FALSE, sid->SidToAccount(&ok));  // nothing to resolve
  EXPECT_EQ(VARIANT_FALSE, ok);
  ASSERT_EQ(1u, log->records.size());
  EXPECT_EQ(ERROR_INVALID_SID, log->records[0].error);
  EXPECT_EQ(corvtest::system_text(ERROR_INVALID_SID), log->records[0].description);  // no message, no blank

  Bstr t(L"S-1-5-32-544");
  ASSERT_EQ(S_OK, sid->put_Sid(t.get()));
  ASSERT_EQ(S_OK, sid->SidToAccount(&ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  EXPECT_EQ(L"Administrators", account(sid.get()));
  EXPECT_EQ(L"BUILTIN", domain(sid.get()));
  EXPECT_EQ(SidTypeAlias, sid_type(sid.get()));

  Bstr unknown(L"S-1-5-21-1-2-3-4242");
  Bstr server(L"nosuchserver");
  ASSERT_EQ(S_OK, sid->put_Sid(unknown.get()));
  ASSERT_EQ(S_FALSE, sid->SidToAccount(&ok));
  EXPECT_EQ(L"Administrators", account(sid.get()));  // names unchanged on failure
  ASSERT_EQ(2u, log->records.size());
  EXPECT_NE(0, log->records[1].error);
  EXPECT_EQ(corvtest::system_text(static_cast<DWORD>(log->records[1].error)) +
                L" Cannot resolve SID S-1-5-21-1-2-3-4242 to account (System (local), LookupAccountSid).",
            log->records[1].description);
}

TEST(ZrSidResolve, SystemToSidTakesTheAccountDomain) {
  auto sid = make_sid();
  put_account(sid.get(), L"replaced");
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(S_OK, sid->SystemToSid(&ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  EXPECT_EQ(L"", account(sid.get()));
  EXPECT_EQ(SidTypeDomain, sid_type(sid.get()));
  // The same answer as the platform gives.
  USER_MODALS_INFO_2* info = nullptr;
  ASSERT_EQ(NERR_Success, NetUserModalsGet(nullptr, 2, reinterpret_cast<LPBYTE*>(&info)));
  std::vector<uint8_t> want(static_cast<uint8_t*>(info->usrmod2_domain_id),
                            static_cast<uint8_t*>(info->usrmod2_domain_id) + GetLengthSid(info->usrmod2_domain_id));
  EXPECT_EQ(std::wstring(info->usrmod2_domain_name), domain(sid.get()));
  NetApiBufferFree(info);
  EXPECT_EQ(want, sid_data(sid.get()));
}

TEST(ZrSidLog, LogPropertyHoldsOnlyALogObject) {
  auto sid = make_sid();
  IDispatch* out = reinterpret_cast<IDispatch*>(0x1);
  EXPECT_EQ(E_FAIL, sid->get_Log(&out));
  EXPECT_EQ(nullptr, out);

  auto other = make_sid();  // a dispatch object that is no log
  EXPECT_EQ(E_NOINTERFACE, sid->putref_Log(other.get()));
  EXPECT_EQ(E_FAIL, sid->get_Log(&out));

  auto log = corvtest::TestLog::make();
  LONG base = log->refs();
  ASSERT_EQ(S_OK, sid->putref_Log(log.get()));
  EXPECT_EQ(base + 1, log->refs());
  ComPtr<IDispatch> got;
  ASSERT_EQ(S_OK, sid->get_Log(got.out()));
  EXPECT_EQ(static_cast<IDispatch*>(log.get()), got.get());
  got.reset();
  EXPECT_EQ(S_OK, sid->putref_Log(nullptr));
  EXPECT_EQ(base, log->refs());
  EXPECT_EQ(E_FAIL, sid->get_Log(&out));

  ASSERT_EQ(S_OK, sid->putref_Log(log.get()));
  sid.reset();  // the object releases its log when it goes
  EXPECT_EQ(base, log->refs());
}

TEST(ZrSidLog, ResultsDoNotDependOnTheLog) {
  auto log = corvtest::TestLog::make();
  log->answer = E_FAIL;
  auto sid = make_sid();
  ASSERT_EQ(S_OK, sid->putref_Log(log.get()));
  put_account(sid.get(), L"no-such-account-zz");
  VARIANT_BOOL ok = 5;
  EXPECT_EQ(S_FALSE, sid->AccountToSid(&ok));
  EXPECT_EQ(VARIANT_FALSE, ok);
  EXPECT_EQ(1u, log->records.size());
}

TEST(ZrSidThreads, BuiltinDomainIsMadeOnceUnderConcurrentFirstUse) {
  // Fresh process: eight threads race to the first built-in lookup.
  std::vector<std::thread> threads;
  std::vector<int> results(8, 0);
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&results, i] {
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      {
        ComPtr<IzrSid> sid;
        if (SUCCEEDED(CoCreateInstance(CLSID_zrSid, nullptr, CLSCTX_INPROC_SERVER, IID_IzrSid, sid.out_void()))) {
          Bstr a(L"Administrators");
          sid->put_Account(a.get());
          VARIANT_BOOL ok = 0;
          sid->AccountToSid(&ok);
          Bstr text;
          if (ok == VARIANT_TRUE && sid->get_Sid(text.out()) == S_OK && str(text.get()) == L"S-1-5-32-544")
            results[i] = 1;
        }
      }
      CoUninitialize();
    });
  }
  for (auto& t : threads) t.join();
  for (int r : results) EXPECT_EQ(1, r);
}
