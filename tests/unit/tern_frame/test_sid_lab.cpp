// zrSid against the lab network: account domains of other computers, the failure report when
// a computer cannot be reached (Wine's own NetUserModalsGet answers for any name), and no call
// out for an untrusted caller.
#include "com_test.h"
#include <lm.h>
#include <objsafe.h>
#include <sddl.h>
#include "labtest.h"
#include "tern_h.h"
#include "test_log.h"

using corv::Bstr;
using corv::ComPtr;

namespace {

std::wstring text(IzrSid* sid, HRESULT (STDMETHODCALLTYPE IzrSid::*get)(BSTR*)) {
  Bstr b;
  EXPECT_EQ(S_OK, (sid->*get)(b.out()));
  return corvtest::str(b.get());
}

}  // namespace

TEST(ZrSidLab, SystemToSidTakesTheServersAccountDomain) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  auto sid = corvtest::create<IzrSid>(CLSID_zrSid);
  Bstr server(L"FS01");
  ASSERT_EQ(S_OK, sid->put_System(server.get()));
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(S_OK, sid->SystemToSid(&ok));
  EXPECT_EQ(VARIANT_TRUE, ok);
  // What the platform answers for that computer.
  USER_MODALS_INFO_2* info = nullptr;
  ASSERT_EQ(NERR_Success, NetUserModalsGet(L"\\\\FS01", 2, reinterpret_cast<LPBYTE*>(&info)));
  LPWSTR want_text = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidW(info->usrmod2_domain_id, &want_text));
  EXPECT_EQ(std::wstring(want_text), text(sid.get(), &IzrSid::get_Sid));
  EXPECT_EQ(std::wstring(info->usrmod2_domain_name), text(sid.get(), &IzrSid::get_Domain));
  LocalFree(want_text);
  NetApiBufferFree(info);
  EXPECT_EQ(L"\\\\FS01", text(sid.get(), &IzrSid::get_Account));
  long type = 0;
  EXPECT_EQ(S_OK, sid->get_SidType(&type));
  EXPECT_EQ(SidTypeDomain, type);
  // The call went to that server at level 2.
  auto calls = lab.journal(L"NetUserModalsGet");
  ASSERT_FALSE(calls.empty());
  EXPECT_NE(std::wstring::npos, calls.front().args.find(L"\\\\FS01"));
}

TEST(ZrSidLab, UnreachableComputersAreReportedWithTheNetworkText) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  for (const wchar_t* name : {L"\\\\NOWHERE", L"ARCHIVE"}) {
    SCOPED_TRACE(std::string(name, name + wcslen(name)));
    auto log = corvtest::TestLog::make();
    auto sid = corvtest::create<IzrSid>(CLSID_zrSid);
    ASSERT_EQ(S_OK, sid->putref_Log(log.get()));
    Bstr t(L"S-1-5-18"), server(name);
    ASSERT_EQ(S_OK, sid->put_Sid(t.get()));
    ASSERT_EQ(S_OK, sid->put_System(server.get()));
    const std::wstring held = text(sid.get(), &IzrSid::get_System);
    VARIANT_BOOL ok = 5;
    ASSERT_EQ(S_FALSE, sid->SystemToSid(&ok));
    EXPECT_EQ(VARIANT_FALSE, ok);
    EXPECT_EQ(held, text(sid.get(), &IzrSid::get_Account));  // replaced before the call
    EXPECT_EQ(L"S-1-5-18", text(sid.get(), &IzrSid::get_Sid));
    ASSERT_EQ(1u, log->records.size());
    const auto& r = log->records[0];
    EXPECT_EQ(ERROR_BAD_NETPATH, r.error);
    EXPECT_EQ(0, r.severity);
    EXPECT_EQ(held, r.system);
    EXPECT_EQ(L"zrSid", r.source);
    // "netmsg.dll" is asked first; without it (as under Wine) the system's own text.
    HMODULE netmsg = LoadLibraryExW(L"netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const std::wstring message = L" Cannot get computer information (System " + held + L", NetUserModalsGet, level 2).";
    if (!netmsg) {
      EXPECT_EQ(corvtest::system_text(ERROR_BAD_NETPATH) + message, r.description);
    } else {
      FreeLibrary(netmsg);
      EXPECT_NE(std::wstring::npos, r.description.find(message));
    }
  }
}

// While a host has marked the callers untrusted (a page's script), the identifier object makes
// no call to a computer the caller names and does not tell who is signed in; the refusal is the
// member's error and goes to no log. Local lookups stay.
TEST(ZrSidLab, UntrustedCallersReachNoOtherComputerAndNotTheUser) {
  corvlab::TempLab lab(corvlab::TempLab::default_description());
  auto log = corvtest::TestLog::make();
  auto sid = corvtest::create<IzrSid>(CLSID_zrSid);
  ASSERT_EQ(S_OK, sid->putref_Log(log.get()));
  ComPtr<IObjectSafety> safety;
  ASSERT_EQ(S_OK, sid->QueryInterface(IID_IObjectSafety, safety.out_void()));
  ASSERT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                    INTERFACESAFE_FOR_UNTRUSTED_CALLER));
  Bstr held(L"S-1-5-18");
  ASSERT_EQ(S_OK, sid->put_Sid(held.get()));
  EXPECT_EQ(E_ACCESSDENIED, sid->InitCurrentUser());
  EXPECT_EQ(L"S-1-5-18", text(sid.get(), &IzrSid::get_Sid));

  using Lookup = HRESULT (STDMETHODCALLTYPE IzrSid::*)(VARIANT_BOOL*);
  const std::pair<const char*, Lookup> lookups[] = {{"SystemToSid", &IzrSid::SystemToSid},
                                                    {"SidToAccount", &IzrSid::SidToAccount},
                                                    {"AccountToSid", &IzrSid::AccountToSid}};
  for (const wchar_t* system : {L"FS01", L""}) {  // locally, SidToAccount names the account AccountToSid then looks up
    Bstr s(system);
    ASSERT_EQ(S_OK, sid->put_System(s.get()));
    for (const auto& [name, lookup] : lookups) {
      SCOPED_TRACE(std::string(name) + (*system ? " on FS01" : " locally"));
      VARIANT_BOOL resolved = 5;
      HRESULT hr = (sid.get()->*lookup)(&resolved);
      // The computer's own account domain is refused as well: it tells where the user is.
      bool refused = *system || lookup == &IzrSid::SystemToSid;
      EXPECT_EQ(refused ? E_ACCESSDENIED : S_OK, hr);
      EXPECT_EQ(refused ? VARIANT_FALSE : VARIANT_TRUE, resolved);
    }
  }
  EXPECT_TRUE(lab.journal(L"NetUserModalsGet").empty());
  EXPECT_TRUE(log->records.empty());

  // Lifted by the host, the same calls go out again.
  ASSERT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER, 0));
  Bstr fs01(L"FS01");
  ASSERT_EQ(S_OK, sid->put_System(fs01.get()));
  VARIANT_BOOL resolved = 5;
  EXPECT_EQ(S_OK, sid->SystemToSid(&resolved));
  EXPECT_EQ(VARIANT_TRUE, resolved);
  EXPECT_EQ(1u, lab.journal(L"NetUserModalsGet").size());
  EXPECT_EQ(S_OK, sid->InitCurrentUser());
  EXPECT_NE(L"S-1-5-18", text(sid.get(), &IzrSid::get_Sid));
}
