// zrAcl through its interface: identity, binary form, empty-list rule, sort, enumerator.
#include "model_helpers.h"

using corv::Bstr;
using corv::ComPtr;
using corvtest::hex;
using namespace modeltest;

namespace {

const Bytes kEveryoneAllow = hex("00 00 14 00 FF 01 1F 00 01 01 00 00 00 00 00 01 00 00 00 00");

long count_of(IzrAcl* a) {
  long n = -1;
  EXPECT_EQ(S_OK, a->get_AceCount(&n));
  return n;
}

long revision_of(IzrAcl* a) {
  long r = -1;
  EXPECT_EQ(S_OK, a->get_AclRevision(&r));
  return r;
}

VARIANT_BOOL sort(IzrAcl* a) {
  VARIANT_BOOL correct = 5;
  EXPECT_EQ(S_OK, a->sort(&correct));
  EXPECT_TRUE(correct == VARIANT_TRUE || correct == VARIANT_FALSE);
  return correct;
}

// Entry order as object identities.
std::vector<IzrAce*> order(IzrAcl* a) {
  std::vector<IzrAce*> out;
  for (auto& e : entries(a)) out.push_back(e.get());
  return out;
}

}  // namespace

TEST(ZrAcl, NewListAndTheEmptyListRule) {
  auto a = corvtest::create<IzrAcl>(CLSID_zrAcl);
  EXPECT_EQ(0, count_of(a.get()));
  EXPECT_EQ(0, revision_of(a.get()));
  VARIANT_BOOL deny = 0;
  ASSERT_EQ(S_OK, a->get_AccessDeniedIfEmpty(&deny));
  EXPECT_EQ(VARIANT_TRUE, deny);
  EXPECT_EQ(hex("00 00 08 00 00 00 00 00"), data_of(a.get()));

  // Not denying when empty: no list at all.
  ASSERT_EQ(S_OK, a->put_AccessDeniedIfEmpty(VARIANT_FALSE));
  BSTR out = nullptr;
  EXPECT_EQ(S_FALSE, a->get_Data(&out));
  EXPECT_EQ(nullptr, out);
  auto e = ace(0, 0, 0x1F01FF, L"S-1-1-0");
  ASSERT_EQ(S_OK, a->AddAce(e.get()));
  EXPECT_EQ(cat({hex("00 00 1C 00 01 00 00 00"), kEveryoneAllow}), data_of(a.get()));

  // The flag keeps the 16 bits it was given; any of them counts as true.
  ASSERT_EQ(S_OK, a->RemoveAce(e.get()));
  ASSERT_EQ(S_OK, a->put_AccessDeniedIfEmpty(5));
  ASSERT_EQ(S_OK, a->get_AccessDeniedIfEmpty(&deny));
  EXPECT_EQ(5, deny);
  EXPECT_EQ(hex("00 00 08 00 00 00 00 00"), data_of(a.get()));
  // Clear keeps it.
  ASSERT_EQ(S_OK, a->Clear());
  ASSERT_EQ(S_OK, a->get_AccessDeniedIfEmpty(&deny));
  EXPECT_EQ(5, deny);
}

TEST(ZrAcl, HoldsEntriesByIdentity) {
  auto e = ace(0, 0, 0x1F01FF, L"S-1-1-0");
  auto twin = ace(0, 0, 0x1F01FF, L"S-1-1-0");
  auto a = acl(2, {e.get()});
  EXPECT_EQ(cat({hex("02 00 1C 00 01 00 00 00"), kEveryoneAllow}), data_of(a.get()));

  EXPECT_EQ(E_ABORT, a->AddAce(e.get()));
  EXPECT_EQ(1, count_of(a.get()));
  ASSERT_EQ(S_OK, a->AddAce(twin.get()));  // equal properties, another object
  EXPECT_EQ(2, count_of(a.get()));
  EXPECT_EQ(E_ABORT, a->RemoveAce(ace(0, 0, 0x1F01FF, L"S-1-1-0").get()));
  EXPECT_EQ(2, count_of(a.get()));

  // What is not an entry is refused.
  EXPECT_EQ(E_INVALIDARG, a->AddAce(nullptr));
  EXPECT_EQ(E_INVALIDARG, a->AddAce(sid(L"S-1-1-0").get()));
  EXPECT_EQ(E_INVALIDARG, a->RemoveAce(nullptr));
  EXPECT_EQ(E_INVALIDARG, a->RemoveAce(sid(L"S-1-1-0").get()));

  // The list writes its entries as they are now.
  ASSERT_EQ(S_OK, e->put_AccessMask(0x120089));
  Bytes d = data_of(a.get());
  EXPECT_EQ(0x89, d[12]);
  ASSERT_EQ(S_OK, a->RemoveAce(e.get()));
  EXPECT_EQ(order(a.get()), std::vector<IzrAce*>{twin.get()});
  ASSERT_EQ(S_OK, a->Clear());
  EXPECT_EQ(0, count_of(a.get()));
  EXPECT_EQ(0, revision_of(a.get()));
}

TEST(ZrAcl, SortPutsDenyFirstAndReversesExplicitGroups) {
  auto allow = ace(0, 0, 1, L"S-1-1-0");
  auto deny = ace(1, 0, 1, L"S-1-1-0");
  auto a = acl(2, {allow.get(), deny.get()});
  EXPECT_EQ(VARIANT_FALSE, sort(a.get()));
  EXPECT_EQ((std::vector<IzrAce*>{deny.get(), allow.get()}), order(a.get()));
  EXPECT_EQ(VARIANT_TRUE, sort(a.get()));
  EXPECT_EQ((std::vector<IzrAce*>{deny.get(), allow.get()}), order(a.get()));

  auto d1 = ace(1, 0, 1, L"S-1-1-0"), d2 = ace(6, 0, 2, L"S-1-1-0");
  auto b = acl(2, {d1.get(), d2.get()});
  EXPECT_EQ(VARIANT_FALSE, sort(b.get()));
  EXPECT_EQ((std::vector<IzrAce*>{d2.get(), d1.get()}), order(b.get()));
  EXPECT_EQ(VARIANT_FALSE, sort(b.get()));
  EXPECT_EQ((std::vector<IzrAce*>{d1.get(), d2.get()}), order(b.get()));

  auto inherited_allow = ace(0, 0x10, 1, L"S-1-1-0");
  auto explicit_allow = ace(0, 0, 1, L"S-1-1-0");
  auto inherited_deny = ace(1, 0x13, 1, L"S-1-1-0");
  auto c = acl(2, {inherited_allow.get(), explicit_allow.get(), inherited_deny.get()});
  EXPECT_EQ(VARIANT_FALSE, sort(c.get()));
  EXPECT_EQ((std::vector<IzrAce*>{explicit_allow.get(), inherited_deny.get(), inherited_allow.get()}), order(c.get()));

  // Audit entries sort with the allowed ones; inherited ones keep their order.
  auto audit = ace(2, 0x40, 1, L"S-1-1-0");
  auto inherited_audit = ace(7, 0x10, 1, L"S-1-1-0");
  auto i2 = ace(0, 0x10, 2, L"S-1-1-0");
  auto d = acl(2, {inherited_audit.get(), audit.get(), deny.get(), i2.get(), allow.get()});
  sort(d.get());
  EXPECT_EQ((std::vector<IzrAce*>{deny.get(), allow.get(), audit.get(), inherited_audit.get(), i2.get()}),
            order(d.get()));

  auto empty = corvtest::create<IzrAcl>(CLSID_zrAcl);
  EXPECT_EQ(VARIANT_TRUE, sort(empty.get()));
}

TEST(ZrAcl, DataPutReadsEntriesAndRefusesMalformedLists) {
  auto a = ace(1, 2, 0x10000, L"S-1-5-32-544");
  auto b = ace(5, 0, 0x100, L"S-1-5-18");
  Bstr g(L"bf967aba-0de6-11d0-a285-00aa003049e2");
  b->put_ObjectType(g.get());
  auto src = acl(4, {a.get(), b.get()});
  const Bytes two = data_of(src.get());

  auto l = corvtest::create<IzrAcl>(CLSID_zrAcl);
  ASSERT_EQ(S_OK, put(l.get(), two));
  EXPECT_EQ(2, count_of(l.get()));
  EXPECT_EQ(4, revision_of(l.get()));
  EXPECT_EQ(two, data_of(l.get()));
  // New entry objects, made by the library, not the source's.
  auto got = entries(l.get());
  ASSERT_EQ(2u, got.size());
  EXPECT_FALSE(same_object(got[0].get(), a.get()));
  ComPtr<IDispatch> s0, s1;
  ASSERT_EQ(S_OK, got[0]->get_Sid(s0.out()));
  ASSERT_EQ(S_OK, got[1]->get_Sid(s1.out()));
  EXPECT_FALSE(same_object(s0.get(), s1.get()));  // each entry has an identifier object of its own
  EXPECT_EQ(L"S-1-5-32-544", sid_text_of(s0.get()));
  Bstr t;
  ASSERT_EQ(S_OK, got[1]->get_ObjectType(t.out()));
  EXPECT_EQ(L"bf967aba-0de6-11d0-a285-00aa003049e2", corvtest::str(t.get()));

  // Seven bytes: refused, list emptied with revision 0.
  EXPECT_EQ(E_INVALIDARG, put(l.get(), Bytes(two.begin(), two.begin() + 7)));
  EXPECT_EQ(0, count_of(l.get()));
  EXPECT_EQ(0, revision_of(l.get()));

  // Shorter than AclSize, or an entry outside AclSize: empty with revision 0.
  ASSERT_EQ(S_OK, put(l.get(), two));
  EXPECT_EQ(E_INVALIDARG, put(l.get(), Bytes(two.begin(), two.end() - 1)));
  EXPECT_EQ(0, count_of(l.get()));
  Bytes overcount = two;
  overcount[4] = 3;
  EXPECT_EQ(E_INVALIDARG, put(l.get(), overcount));
  EXPECT_EQ(0, count_of(l.get()));
  EXPECT_EQ(0, revision_of(l.get()));

  // A malformed second entry stops the read; the first stays.
  Bytes bad = two;
  size_t second = 8 + bad[8 + 2];
  bad[second + 8] = 0;       // object flags: no GUID, so the identifier starts at 12 ...
  bad[second + 12 + 1] = 9;  // ... and claims 44 bytes, past the entry's 40
  EXPECT_EQ(E_INVALIDARG, put(l.get(), bad));
  EXPECT_EQ(1, count_of(l.get()));
  EXPECT_EQ(4, revision_of(l.get()));

  BSTR none = nullptr;
  EXPECT_EQ(E_INVALIDARG, l->put_Data(&none));
  EXPECT_EQ(0, count_of(l.get()));
  // Bytes beyond AclSize are ignored; an empty list reads back as the header.
  ASSERT_EQ(S_OK, put(l.get(), hex("02 00 08 00 00 00 00 00 FF FF FF")));
  EXPECT_EQ(hex("02 00 08 00 00 00 00 00"), data_of(l.get()));
}

TEST(ZrAcl, DataGetFailsWholeWhenAnEntryFails) {
  auto good = ace(0, 0, 1, L"S-1-1-0");
  auto no_sid = ace(0, 0, 1, nullptr);
  auto a = acl(2, {good.get(), no_sid.get()});
  BSTR out = nullptr;
  EXPECT_EQ(E_INVALIDARG, a->get_Data(&out));
  EXPECT_EQ(nullptr, out);
}

TEST(ZrAcl, AListOver65535BytesIsRefusedNotWrapped) {
  // 15 sub-authorities: 68-byte identifier, 76-byte entry. 862 entries make 65520 bytes.
  auto big = sid(L"S-1-5-21-1-2-3-4-5-6-7");
  ASSERT_EQ(S_OK, big->put_SubauthorityCount(15));
  auto a = acl(2, {});
  for (int i = 0; i < 862; ++i) {
    auto e = ace(0, 0, i, nullptr);
    ASSERT_EQ(S_OK, e->putref_Sid(big.get()));
    ASSERT_EQ(S_OK, a->AddAce(e.get()));
  }
  Bytes d = data_of(a.get());
  ASSERT_EQ(65520u, d.size());
  EXPECT_EQ(0xF0, d[2]);
  EXPECT_EQ(0xFF, d[3]);
  EXPECT_EQ(862, d[4] | (d[5] << 8));
  auto l = corvtest::create<IzrAcl>(CLSID_zrAcl);
  ASSERT_EQ(S_OK, put(l.get(), d));
  EXPECT_EQ(862, count_of(l.get()));
  EXPECT_EQ(d, data_of(l.get()));

  auto one_more = ace(0, 0, 0, nullptr);
  ASSERT_EQ(S_OK, one_more->putref_Sid(big.get()));
  ASSERT_EQ(S_OK, a->AddAce(one_more.get()));
  BSTR out = nullptr;
  EXPECT_EQ(E_INVALIDARG, a->get_Data(&out));
  EXPECT_EQ(nullptr, out);
}

TEST(ZrAcl, EnumeratorIsASnapshotOfTheListsOwnEntries) {
  auto x = ace(0, 0, 1, L"S-1-1-0"), y = ace(1, 0, 2, L"S-1-1-0");
  auto a = acl(2, {x.get(), y.get()});
  ComPtr<IUnknown> unk;
  ASSERT_EQ(S_OK, a->get__NewEnum(unk.out()));
  ComPtr<IEnumVARIANT> en;
  ASSERT_EQ(S_OK, unk.query(en.out()));
  ASSERT_EQ(S_OK, a->RemoveAce(x.get()));  // after the call: no effect on the snapshot

  VARIANT items[3];
  for (VARIANT& v : items) VariantInit(&v);
  EXPECT_EQ(E_POINTER, en->Next(1, nullptr, nullptr));
  EXPECT_EQ(E_POINTER, en->Next(2, items, nullptr));
  ULONG got = 0;
  EXPECT_EQ(S_FALSE, en->Next(3, items, &got));
  ASSERT_EQ(2u, got);
  ASSERT_EQ(VT_DISPATCH, V_VT(&items[0]));
  EXPECT_TRUE(same_object(V_DISPATCH(&items[0]), x.get()));
  EXPECT_TRUE(same_object(V_DISPATCH(&items[1]), y.get()));
  for (VARIANT& v : items) VariantClear(&v);
  ASSERT_EQ(S_OK, en->Reset());
  ASSERT_EQ(S_OK, en->Skip(1));
  ComPtr<IEnumVARIANT> clone;
  ASSERT_EQ(S_OK, en->Clone(clone.out()));
  EXPECT_EQ(S_OK, clone->Next(1, items, nullptr));
  EXPECT_TRUE(same_object(V_DISPATCH(&items[0]), y.get()));
  VariantClear(&items[0]);
  EXPECT_EQ(1u, entries(a.get()).size());
}

TEST(ZrAcl, ForEachThroughLateBinding) {
  auto x = ace(0, 0, 1, L"S-1-1-0");
  auto a = acl(2, {x.get()});
  ComPtr<IDispatch> d;
  ASSERT_EQ(S_OK, a.query(d.out()));
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  corv::Variant r;
  ASSERT_EQ(S_OK, d->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &none, r.get(),
                            nullptr, nullptr));
  ASSERT_TRUE(V_VT(r.get()) == VT_UNKNOWN || V_VT(r.get()) == VT_DISPATCH);
  ComPtr<IEnumVARIANT> en;
  ASSERT_EQ(S_OK, V_UNKNOWN(r.get())->QueryInterface(IID_IEnumVARIANT, en.out_void()));
  corv::Variant item;
  EXPECT_EQ(S_OK, en->Next(1, item.get(), nullptr));
  EXPECT_TRUE(same_object(V_DISPATCH(item.get()), x.get()));
}
