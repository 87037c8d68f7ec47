// zrEntry through its interface: slots, name matching, enumeration and the Data serialisation.
#include "wick_test.h"

using corv::Bstr;
using corv::ComPtr;
using corvtest::bytes;
using corvtest::bytes_of;
using corvtest::hex;
using wicktest::Via;

namespace {

class Entry : public ::testing::TestWithParam<Via> {
protected:
  void SetUp() override {
    entry = wicktest::make<IzrEntry>(CLSID_zrEntry, GetParam());
    ASSERT_TRUE(entry);
  }
  ComPtr<IzrAttribute> add(const wchar_t* name, long values = 1) {
    Bstr n(name);
    ComPtr<IDispatch> d;
    EXPECT_EQ(S_OK, entry->add(n.get(), values, d.out()));
    ComPtr<IzrAttribute> a;
    if (d) {
      EXPECT_EQ(S_OK, d->QueryInterface(IID_IzrAttribute, a.out_void()));
    }
    return a;
  }
  long count() {
    long n = -1;
    EXPECT_EQ(S_OK, entry->get_Count(&n));
    return n;
  }
  long find(const wchar_t* name) {
    Bstr n(name);
    long i = -7;
    EXPECT_EQ(S_OK, entry->findAttribute(n.get(), &i));
    return i;
  }
  std::vector<uint8_t> data() {
    Bstr d;
    EXPECT_EQ(S_OK, entry->get_Data(d.out()));
    return bytes_of(d.get());
  }
  HRESULT put_data(const std::vector<uint8_t>& v) {
    Bstr b = bytes(v);
    BSTR p = b.get();
    return entry->put_Data(&p);
  }
  static std::wstring name_of(IzrAttribute* a) {
    Bstr n;
    a->get_Name(n.out());
    return corvtest::str(n.get());
  }
  ComPtr<IzrEntry> entry;
};

const char* kEmptyEntry = "02 AA F5 EE 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
const char* kCnAttribute =
    "01 EE CC AA 01 00 00 00 00 00 00 00 00 00 00 00 04 00 00 00 63 00 6E 00 01 00 00 00 00 00 00 00 00 00 00 00";

TEST_P(Entry, NewEntrySerialisesToTheEmptyForm) {
  EXPECT_EQ(hex(kEmptyEntry), data());
  ASSERT_EQ(S_OK, put_data(hex(kEmptyEntry)));
  EXPECT_EQ(0, count());
  Bstr n;
  EXPECT_EQ(S_OK, entry->get_Name(n.out()));
  EXPECT_EQ(L"", corvtest::str(n.get()));
}

TEST_P(Entry, AddedAttributeIsEmbeddedWithItsOwnForm) {
  auto cn = add(L"cn");
  ASSERT_TRUE(cn);
  EXPECT_EQ(1, count());
  long values = 0;
  cn->get_Count(&values);
  EXPECT_EQ(1, values);
  corv::Variant v;
  ASSERT_EQ(S_OK, cn->get_Value(0, v.out()));
  EXPECT_EQ(VT_EMPTY, V_VT(v.get()));
  std::vector<uint8_t> expected = hex("02 AA F5 EE 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 24 00 00 00");
  std::vector<uint8_t> embedded = hex(kCnAttribute);
  expected.insert(expected.end(), embedded.begin(), embedded.end());
  ASSERT_EQ(60u, expected.size());
  EXPECT_EQ(expected, data());

  // Flags come before the name in the entry form.
  Bstr name(L"e");
  BSTR pn = name.get();
  ASSERT_EQ(S_OK, entry->put_Name(&pn));
  ASSERT_EQ(S_OK, entry->put_Flags(0x11223344));
  std::vector<uint8_t> d = data();
  EXPECT_EQ(hex("02 AA F5 EE 01 00 00 00 44 33 22 11 02 00 00 00 65 00 01 00 00 00"),
            std::vector<uint8_t>(d.begin(), d.begin() + 22));

  // Read back into a new entry: new attribute objects with the same content.
  auto other = wicktest::make<IzrEntry>(CLSID_zrEntry, GetParam());
  Bstr b = bytes(d);
  BSTR pb = b.get();
  ASSERT_EQ(S_OK, other->put_Data(&pb));
  long flags = 0;
  other->get_Flags(&flags);
  EXPECT_EQ(0x11223344, flags);
  ComPtr<IDispatch> got;
  ASSERT_EQ(S_OK, other->get_Attribute(0, got.out()));
  EXPECT_NE(static_cast<IDispatch*>(cn.get()), got.get());
  Bstr again;
  ASSERT_EQ(S_OK, other->get_Data(again.out()));
  EXPECT_EQ(d, bytes_of(again.get()));
}

TEST_P(Entry, NamesMatchWithoutRegardToAsciiCase) {
  auto cn = add(L"cn");
  add(L"\u00e9t\u00e9");
  EXPECT_EQ(0, find(L"CN"));
  EXPECT_EQ(0, find(L"cN"));
  EXPECT_EQ(1, find(L"\u00e9T\u00e9"));
  EXPECT_EQ(-1, find(L"\u00c9t\u00e9"));  // only A-Z and a-z fold
  EXPECT_EQ(-1, find(L""));
  EXPECT_EQ(-1, find(L"c"));
  long i = 0;
  EXPECT_EQ(S_OK, entry->findAttribute(nullptr, &i));
  EXPECT_EQ(-1, i);
  // An unnamed attribute matches nothing, not even the empty name.
  add(L"");
  add(L"");
  EXPECT_EQ(4, count());
  EXPECT_EQ(-1, find(L""));

  Bstr name;
  ASSERT_EQ(S_OK, entry->get_AttributeName(1, name.out()));
  EXPECT_EQ(L"\u00e9t\u00e9", corvtest::str(name.get()));
  EXPECT_EQ(DISP_E_BADINDEX, entry->get_AttributeName(4, name.out()));
  EXPECT_EQ(DISP_E_BADINDEX, entry->get_AttributeName(-1, name.out()));
}

TEST_P(Entry, AddOfAPresentNameReusesThatAttribute) {
  auto first = add(L"cn", 3);
  corv::Variant x;
  V_VT(x.get()) = VT_I4;
  V_I4(x.get()) = 5;
  ASSERT_EQ(S_OK, first->put_Value(0, x.get()));
  auto again = add(L"CN", 2);
  EXPECT_EQ(first.get(), again.get());
  EXPECT_EQ(1, count());            // no second slot for the same object
  EXPECT_EQ(L"CN", name_of(first.get()));  // takes the new letter case
  long values = 0;
  first->get_Count(&values);
  EXPECT_EQ(2, values);             // resized exactly
  corv::Variant v;
  ASSERT_EQ(S_OK, first->get_Value(0, v.out()));
  EXPECT_EQ(5, V_I4(v.get()));      // the kept values stay
  ComPtr<IDispatch> none;
  Bstr n(L"x");
  EXPECT_EQ(E_INVALIDARG, entry->add(n.get(), -1, none.out()));
  EXPECT_EQ(1, count());
}

TEST_P(Entry, SlotsByIndexAndByName) {
  auto a = add(L"a"), b = add(L"b");
  ComPtr<IDispatch> got;
  ASSERT_EQ(S_OK, entry->get_Attribute(1, got.out()));
  EXPECT_EQ(static_cast<IDispatch*>(b.get()), got.get());
  EXPECT_EQ(DISP_E_BADINDEX, entry->get_Attribute(2, got.out()));
  EXPECT_EQ(DISP_E_BADINDEX, entry->get_Attribute(-1, got.out()));

  // A client's attribute replaces a slot; the entry then sees the client's changes.
  auto mine = wicktest::make<IzrAttribute>(CLSID_zrAttribute, GetParam());
  Bstr mn(L"mine");
  BSTR pm = mn.get();
  mine->put_Name(&pm);
  ASSERT_EQ(S_OK, entry->putref_Attribute(0, mine.get()));
  EXPECT_EQ(-1, find(L"a"));
  EXPECT_EQ(0, find(L"MINE"));
  Bstr renamed(L"other");
  BSTR pr = renamed.get();
  mine->put_Name(&pr);
  EXPECT_EQ(0, find(L"other"));

  // An object that is not an attribute: its QueryInterface failure, nothing changed.
  auto conv = wicktest::make<IzrDataConvertor>(CLSID_zrDataConvertor, GetParam());
  EXPECT_EQ(E_NOINTERFACE, entry->putref_Attribute(1, conv.get()));
  ASSERT_EQ(S_OK, entry->get_Attribute(1, got.out()));
  EXPECT_EQ(static_cast<IDispatch*>(b.get()), got.get());
  EXPECT_EQ(DISP_E_BADINDEX, entry->putref_Attribute(2, mine.get()));

  // By name: a missing name gives Nothing on get and DISP_E_BADINDEX on put.
  Bstr bn(L"B"), missing(L"zz");
  ASSERT_EQ(S_OK, entry->get_AttributeA(bn.get(), got.out()));
  EXPECT_EQ(static_cast<IDispatch*>(b.get()), got.get());
  got.reset();
  IDispatch* nothing = reinterpret_cast<IDispatch*>(0x1);
  EXPECT_EQ(S_OK, entry->get_AttributeA(missing.get(), &nothing));
  EXPECT_EQ(nullptr, nothing);
  EXPECT_EQ(DISP_E_BADINDEX, entry->putref_AttributeA(missing.get(), a.get()));
  ASSERT_EQ(S_OK, entry->putref_AttributeA(bn.get(), a.get()));
  ASSERT_EQ(S_OK, entry->get_Attribute(1, got.out()));
  EXPECT_EQ(static_cast<IDispatch*>(a.get()), got.get());
  Bstr an(L"A");
  EXPECT_EQ(E_NOINTERFACE, entry->putref_AttributeA(an.get(), conv.get()));
}

TEST_P(Entry, SlotsHoldOneReferenceEach) {
  auto a = add(L"a");
  a->AddRef();
  LONG held = static_cast<LONG>(a->Release());  // the test's and the entry's references
  ASSERT_EQ(S_OK, entry->remove(0));
  a->AddRef();
  EXPECT_EQ(held - 1, static_cast<LONG>(a->Release()));
  EXPECT_EQ(DISP_E_BADINDEX, entry->remove(0));
  add(L"x");
  add(L"y");
  ASSERT_EQ(S_OK, entry->clear());
  EXPECT_EQ(0, count());
}

TEST_P(Entry, RemoveAByNameRemovesEveryMatch) {
  auto a = add(L"dup");
  add(L"keep");
  auto other = wicktest::make<IzrAttribute>(CLSID_zrAttribute, GetParam());
  Bstr n(L"DUP");
  BSTR pn = n.get();
  other->put_Name(&pn);
  add(L"x");
  add(L"y");
  ASSERT_EQ(S_OK, entry->putref_Attribute(2, other.get()));
  ASSERT_EQ(S_OK, entry->putref_Attribute(3, a.get()));
  EXPECT_EQ(4, count());
  Bstr dup(L"Dup");
  EXPECT_EQ(S_OK, entry->removeA(dup.get()));
  EXPECT_EQ(1, count());
  EXPECT_EQ(0, find(L"keep"));
  EXPECT_EQ(S_OK, entry->removeA(dup.get()));
  EXPECT_EQ(1, count());
}

TEST_P(Entry, EnumeratorIsASnapshotOfTheAttributes) {
  auto a = add(L"a"), b = add(L"b");
  ComPtr<IUnknown> unk;
  ASSERT_EQ(S_OK, entry->get__NewEnum(unk.out()));
  ComPtr<IEnumVARIANT> en;
  ASSERT_EQ(S_OK, unk->QueryInterface(IID_IEnumVARIANT, en.out_void()));
  ASSERT_EQ(S_OK, entry->clear());
  VARIANT got[3];
  ULONG n = 0;
  EXPECT_EQ(S_FALSE, en->Next(3, got, &n));
  ASSERT_EQ(2u, n);
  EXPECT_EQ(VT_DISPATCH, V_VT(&got[0]));
  EXPECT_EQ(static_cast<IDispatch*>(a.get()), V_DISPATCH(&got[0]));
  EXPECT_EQ(static_cast<IDispatch*>(b.get()), V_DISPATCH(&got[1]));
  VariantClear(&got[0]);
  VariantClear(&got[1]);
}

// An attribute's form asks the objects it holds for their values, and such an object may change
// the entry meanwhile: clear it (freeing the attribute being asked) or add to it past the
// attributes being asked. Data gives the entry as it was when asked, and the change stays.
TEST_P(Entry, DataIsSoundWhenAStoredObjectChangesTheEntry) {
  for (long adds : {0L, 16L}) {
    SCOPED_TRACE(adds);
    entry = wicktest::make<IzrEntry>(CLSID_zrEntry, GetParam());
    auto object = wicktest::ValueObject::make();
    ASSERT_EQ(S_OK, wicktest::put_object(add(L"cn").get(), 0, object.get()));  // the entry's reference only
    const std::vector<uint8_t> quiet = data();
    IzrEntry* target = entry.get();
    object->during = [target, adds] {
      if (!adds) target->clear();
      for (long i = 0; i < adds; ++i) {
        Bstr n(std::to_wstring(i).c_str());
        ComPtr<IDispatch> d;
        target->add(n.get(), 1, d.out());
      }
    };
    object.reset();
    EXPECT_EQ(quiet, data());
    EXPECT_EQ(adds ? adds + 1 : 0, count());
  }
}

TEST_P(Entry, DataGetFailsWhenAnAttributeCannotSerialise) {
  auto a = add(L"a");
  corv::Variant null;
  V_VT(null.get()) = VT_NULL;
  ASSERT_EQ(S_OK, a->put_Value(0, null.get()));
  BSTR d = reinterpret_cast<BSTR>(0x1);
  EXPECT_EQ(E_INVALIDARG, entry->get_Data(&d));
  EXPECT_EQ(nullptr, d);
  EXPECT_EQ(1, count());
}

TEST_P(Entry, DataPutResetsFirstAndRefusesBadForms) {
  std::vector<uint8_t> good = hex("02 AA F5 EE 01 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00");
  std::vector<uint8_t> attr = hex(kCnAttribute);
  std::vector<uint8_t> wrong = attr;
  wrong[0] = 0x09;
  auto append = [](std::vector<uint8_t>& v, const std::vector<uint8_t>& a) {
    v.push_back(static_cast<uint8_t>(a.size()));
    v.insert(v.end(), 3, 0);
    v.insert(v.end(), a.begin(), a.end());
  };
  std::vector<uint8_t> second_bad = good;
  append(second_bad, attr);
  append(second_bad, wrong);
  std::vector<uint8_t> both_good = good;
  append(both_good, attr);
  append(both_good, attr);
  both_good.push_back(0xEE);  // ignored

  std::vector<std::vector<uint8_t>> bad = {
      {},                                                    // an entry refuses an empty byte string
      hex("02 AA F5 EE 01 00 00"),
      hex("02 AA F5 EF 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"),
      hex("02 AA F5 EE 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"),
      second_bad,                                            // the first attribute is not kept
      hex("02 AA F5 EE 01 00 00 00 00 00 00 00 00 00 00 00 FF FF FF 7F 00 00 00 00"),  // huge count
      hex("02 AA F5 EE 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 FF FF FF FF"),
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(i);
    add(L"old");
    entry->put_Flags(3);
    EXPECT_EQ(E_INVALIDARG, put_data(bad[i]));
    EXPECT_EQ(0, count());
    long flags = -1;
    entry->get_Flags(&flags);
    EXPECT_EQ(0, flags);
  }
  EXPECT_EQ(E_POINTER, entry->put_Data(nullptr));
  ASSERT_EQ(S_OK, put_data(both_good));
  EXPECT_EQ(2, count());
  ComPtr<IDispatch> x, y;
  entry->get_Attribute(0, x.out());
  entry->get_Attribute(1, y.out());
  EXPECT_NE(x.get(), y.get());  // two separate objects
  both_good.pop_back();
  EXPECT_EQ(both_good, data());
}

INSTANTIATE_TEST_SUITE_P(Wick, Entry, ::testing::Values(Via::Registry, Via::Factory), wicktest::via_name);

}  // namespace
