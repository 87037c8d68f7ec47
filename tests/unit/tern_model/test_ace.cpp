// zrAce through its interface: binary form, object layouts, GUID texts, the shared identifier.
#include "model_helpers.h"

using corv::Bstr;
using corv::ComPtr;
using corvtest::hex;
using namespace modeltest;

namespace {

const wchar_t* kGuidText = L"01234567-89ab-cdef-0123-456789abcdef";
const Bytes kGuidBytes = hex("67 45 23 01 ab 89 ef cd 01 23 45 67 89 ab cd ef");
const wchar_t* kOtherGuid = L"bf967aba-0de6-11d0-a285-00aa003049e2";

std::wstring text_of(HRESULT (STDMETHODCALLTYPE IzrAce::*get)(BSTR*), IzrAce* a) {
  Bstr t;
  EXPECT_EQ(S_OK, (a->*get)(t.out()));
  return corvtest::str(t.get());
}

long flags_of(IzrAce* a) {
  long f = -1;
  EXPECT_EQ(S_OK, a->get_Flags(&f));
  return f;
}

}  // namespace

TEST(ZrAce, AllowedEntryForEveryoneRoundTrips) {
  auto a = ace(0, 0, 0x1F01FF, L"S-1-1-0");
  const Bytes expected = hex("00 00 14 00 FF 01 1F 00 01 01 00 00 00 00 00 01 00 00 00 00");
  EXPECT_EQ(expected, data_of(a.get()));

  auto b = corvtest::create<IzrAce>(CLSID_zrAce);
  ASSERT_EQ(S_OK, put(b.get(), expected));
  long type = -1, flags = -1, mask = 0;
  b->get_AceType(&type);
  b->get_AceFlags(&flags);
  b->get_AccessMask(&mask);
  EXPECT_EQ(0, type);
  EXPECT_EQ(0, flags);
  EXPECT_EQ(0x1F01FF, mask);
  ComPtr<IDispatch> s;
  ASSERT_EQ(S_OK, b->get_Sid(s.out()));
  EXPECT_EQ(L"S-1-1-0", sid_text_of(s.get()));
  EXPECT_EQ(expected, data_of(b.get()));
}

TEST(ZrAce, NewEntryHoldsDefaultsAndItsOwnIdentifierObject) {
  auto a = corvtest::create<IzrAce>(CLSID_zrAce);
  ASSERT_TRUE(a);
  long v = -1;
  for (auto get : {&IzrAce::get_AceType, &IzrAce::get_AceFlags, &IzrAce::get_Flags, &IzrAce::get_AccessMask}) {
    ASSERT_EQ(S_OK, (a.get()->*get)(&v));
    EXPECT_EQ(0, v);
  }
  EXPECT_EQ(L"00000000-0000-0000-0000-000000000000", text_of(&IzrAce::get_ObjectType, a.get()));
  EXPECT_EQ(L"00000000-0000-0000-0000-000000000000", text_of(&IzrAce::get_InheritedObjectType, a.get()));
  ComPtr<IDispatch> s;
  ASSERT_EQ(S_OK, a->get_Sid(s.out()));
  auto sid_obj = as<IzrSid>(s.get());
  ASSERT_TRUE(sid_obj);
  VARIANT_BOOL valid = 5;
  sid_obj->get_Valid(&valid);
  EXPECT_EQ(VARIANT_FALSE, valid);
  // Each entry gets an identifier object of its own.
  auto b = corvtest::create<IzrAce>(CLSID_zrAce);
  ComPtr<IDispatch> t;
  ASSERT_EQ(S_OK, b->get_Sid(t.out()));
  EXPECT_FALSE(same_object(s.get(), t.get()));
}

TEST(ZrAce, ObjectEntriesPlaceTheirGuidsByTheFlags) {
  auto a = ace(5, 2, 0x100, L"S-1-5-32-544");
  Bstr g(kGuidText);
  ASSERT_EQ(S_OK, a->put_InheritedObjectType(g.get()));
  EXPECT_EQ(2, flags_of(a.get()));
  Bytes sid = system_sid(L"S-1-5-32-544");
  Bytes only_inherited = data_of(a.get());
  EXPECT_EQ(cat({hex("05 02 2C 00 00 01 00 00 02 00 00 00"), kGuidBytes, sid}), only_inherited);

  Bstr o(kOtherGuid);
  ASSERT_EQ(S_OK, a->put_ObjectType(o.get()));
  EXPECT_EQ(3, flags_of(a.get()));
  Bytes both = data_of(a.get());
  ASSERT_EQ(60u, both.size());
  EXPECT_EQ(60, both[2]);
  EXPECT_EQ(kGuidBytes, Bytes(both.begin() + 28, both.begin() + 44));
  EXPECT_EQ(sid, Bytes(both.begin() + 44, both.end()));

  // Read back: GUIDs, flags and type come from the bytes.
  auto b = corvtest::create<IzrAce>(CLSID_zrAce);
  ASSERT_EQ(S_OK, put(b.get(), both));
  EXPECT_EQ(3, flags_of(b.get()));
  EXPECT_EQ(kOtherGuid, text_of(&IzrAce::get_ObjectType, b.get()));
  EXPECT_EQ(kGuidText, text_of(&IzrAce::get_InheritedObjectType, b.get()));
  EXPECT_EQ(both, data_of(b.get()));

  // A plain type leaves flags and GUIDs out, whatever they hold.
  ASSERT_EQ(S_OK, a->put_AceType(0));
  EXPECT_EQ(cat({hex("00 02 18 00 00 01 00 00"), sid}), data_of(a.get()));
  // Clearing a presence bit drops its GUID from the form; the GUID itself is kept.
  ASSERT_EQ(S_OK, a->put_AceType(6));
  ASSERT_EQ(S_OK, a->put_Flags(1));
  Bytes only_object = data_of(a.get());
  EXPECT_EQ(44u, only_object.size());
  EXPECT_EQ(kGuidText, text_of(&IzrAce::get_InheritedObjectType, a.get()));
}

TEST(ZrAce, GuidTextsParseLikeTheSystemAndReadLowerCase) {
  auto a = corvtest::create<IzrAce>(CLSID_zrAce);
  Bstr braces(L"{01234567-89AB-CDEF-0123-456789ABCDEF}");
  EXPECT_EQ(E_INVALIDARG, a->put_ObjectType(braces.get()));
  EXPECT_EQ(0, flags_of(a.get()));
  Bstr junk(L"not a guid");
  EXPECT_EQ(E_INVALIDARG, a->put_InheritedObjectType(junk.get()));
  EXPECT_EQ(0, flags_of(a.get()));

  Bstr upper(L"01234567-89AB-CDEF-0123-456789ABCDEF");
  ASSERT_EQ(S_OK, a->put_Flags(0x10));
  ASSERT_EQ(S_OK, a->put_ObjectType(upper.get()));
  EXPECT_EQ(0x11, flags_of(a.get()));  // other bits kept
  EXPECT_EQ(kGuidText, text_of(&IzrAce::get_ObjectType, a.get()));
  // A refused text leaves the stored GUID as it was.
  EXPECT_EQ(E_INVALIDARG, a->put_ObjectType(braces.get()));
  EXPECT_EQ(kGuidText, text_of(&IzrAce::get_ObjectType, a.get()));
}

TEST(ZrAce, DataPutRefusesShortOrInconsistentFormsAndChangesNothing) {
  auto a = ace(1, 3, 0x55, L"S-1-5-18");
  const Bytes before = data_of(a.get());
  const Bytes good = hex("00 00 14 00 FF 01 1F 00 01 01 00 00 00 00 00 01 00 00 00 00");
  const Bytes refused[] = {
      Bytes(good.begin(), good.begin() + 11),                              // 11 bytes
      cat({hex("00 00 18 00"), Bytes(good.begin() + 4, good.end())}),      // AceSize beyond the string
      cat({Bytes(good.begin(), good.begin() + 9), hex("02"), Bytes(good.begin() + 10, good.end()), hex("00 00 00 00")}),
      hex("05 00 20 00 00 00 00 00 03 00 00 00 01 01 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 00"),
      Bytes(),
  };
  for (const Bytes& b : refused) {
    EXPECT_EQ(E_INVALIDARG, put(a.get(), b)) << b.size();
    EXPECT_EQ(before, data_of(a.get()));
  }
  BSTR none = nullptr;
  EXPECT_EQ(E_INVALIDARG, a->put_Data(&none));
  EXPECT_EQ(E_INVALIDARG, a->put_Data(nullptr));
  EXPECT_EQ(before, data_of(a.get()));

  // Bytes beyond AceSize are ignored.
  Bytes slack = good;
  slack.insert(slack.end(), {0xEE, 0xEE, 0xEE});
  ASSERT_EQ(S_OK, put(a.get(), slack));
  EXPECT_EQ(good, data_of(a.get()));
}

TEST(ZrAce, DataPutOfAPlainEntryResetsObjectFieldsAndTakesAnInvalidIdentifierAsNone) {
  auto a = ace(5, 0, 0, L"S-1-5-18");
  Bstr g(kGuidText);
  a->put_ObjectType(g.get());
  a->put_InheritedObjectType(g.get());
  ASSERT_EQ(S_OK, put(a.get(), hex("01 10 14 00 01 00 00 00 01 01 00 00 00 00 00 01 00 00 00 00")));
  EXPECT_EQ(0, flags_of(a.get()));
  EXPECT_EQ(L"00000000-0000-0000-0000-000000000000", text_of(&IzrAce::get_ObjectType, a.get()));
  EXPECT_EQ(L"00000000-0000-0000-0000-000000000000", text_of(&IzrAce::get_InheritedObjectType, a.get()));

  // Revision 2 is no identifier: the fields are taken, the identifier object ends up empty.
  ASSERT_EQ(S_OK, put(a.get(), hex("02 03 14 00 07 00 00 00 02 01 00 00 00 00 00 01 00 00 00 00")));
  long type = 0, mask = 0;
  a->get_AceType(&type);
  a->get_AccessMask(&mask);
  EXPECT_EQ(2, type);
  EXPECT_EQ(7, mask);
  ComPtr<IDispatch> s;
  a->get_Sid(s.out());
  EXPECT_EQ(L"", sid_text_of(s.get()));
}

TEST(ZrAce, DataGetWithoutAValidIdentifierFailsWithTheNullString) {
  auto a = corvtest::create<IzrAce>(CLSID_zrAce);
  BSTR out = reinterpret_cast<BSTR>(static_cast<uintptr_t>(0x1234));
  EXPECT_EQ(E_INVALIDARG, a->get_Data(&out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(E_POINTER, a->get_Data(nullptr));
}

TEST(ZrAce, SidIsSharedNotCopied) {
  auto shared = sid(L"S-1-5-32-544");
  auto a = ace(0, 0, 1, nullptr);
  auto b = ace(1, 0, 2, nullptr);
  ASSERT_EQ(S_OK, a->putref_Sid(shared.get()));
  ASSERT_EQ(S_OK, b->putref_Sid(shared.get()));
  ComPtr<IDispatch> got;
  ASSERT_EQ(S_OK, a->get_Sid(got.out()));
  EXPECT_TRUE(same_object(got.get(), shared.get()));

  // A change through the shared object shows in both entries.
  ASSERT_EQ(S_OK, shared->put_Rid(545));
  Bytes da = data_of(a.get()), db = data_of(b.get());
  EXPECT_EQ(system_sid(L"S-1-5-32-545"), Bytes(da.begin() + 8, da.end()));
  EXPECT_EQ(system_sid(L"S-1-5-32-545"), Bytes(db.begin() + 8, db.end()));

  // Data put refills the held object in place, so the other entry sees it as well.
  ASSERT_EQ(S_OK, put(a.get(), hex("00 00 14 00 FF 01 1F 00 01 01 00 00 00 00 00 01 00 00 00 00")));
  EXPECT_EQ(L"S-1-1-0", sid_text(shared.get()));
  db = data_of(b.get());
  EXPECT_EQ(system_sid(L"S-1-1-0"), Bytes(db.begin() + 8, db.end()));

  // What is not an identifier object is refused and changes nothing.
  auto other = corvtest::create<IzrAcl>(CLSID_zrAcl);
  EXPECT_EQ(E_INVALIDARG, a->putref_Sid(other.get()));
  EXPECT_EQ(E_INVALIDARG, a->putref_Sid(nullptr));
  ASSERT_EQ(S_OK, a->get_Sid(got.out()));
  EXPECT_TRUE(same_object(got.get(), shared.get()));
}

TEST(ZrAce, LateBoundMembersAndDefaults) {
  auto a = ace(0, 0, 0, L"S-1-1-0");
  ComPtr<IDispatch> d;
  ASSERT_EQ(S_OK, a.query(d.out()));
  VARIANT arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = 0x120089;
  ASSERT_EQ(S_OK, corvtest::invoke(d.get(), L"AccessMask", DISPATCH_PROPERTYPUT, {arg}, nullptr));
  V_VT(&arg) = VT_BSTR;
  V_BSTR(&arg) = SysAllocString(kGuidText);
  ASSERT_EQ(S_OK, corvtest::invoke(d.get(), L"ObjectType", DISPATCH_PROPERTYPUT, {arg}, nullptr));
  VariantClear(&arg);
  corv::Variant r;
  ASSERT_EQ(S_OK, corvtest::invoke(d.get(), L"Flags", DISPATCH_PROPERTYGET, {}, r.get()));
  EXPECT_EQ(1, V_I4(r.get()));
  ASSERT_EQ(S_OK, corvtest::invoke(d.get(), L"Sid", DISPATCH_PROPERTYGET, {}, r.out()));
  ASSERT_EQ(VT_DISPATCH, V_VT(r.get()));
  EXPECT_EQ(L"S-1-1-0", sid_text_of(V_DISPATCH(r.get())));
  long mask = 0;
  a->get_AccessMask(&mask);
  EXPECT_EQ(0x120089, mask);
}
