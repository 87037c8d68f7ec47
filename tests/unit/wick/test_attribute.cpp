// zrAttribute through its interface: values, enumeration, and the Data serialisation.
#include "wick_test.h"

using corv::Bstr;
using corv::ComPtr;
using corvtest::bytes;
using corvtest::bytes_of;
using corvtest::hex;
using wicktest::Via;

namespace {

VARIANT i4(long v) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = VT_I4;
  V_I4(&x) = v;
  return x;
}

class Attribute : public ::testing::TestWithParam<Via> {
protected:
  void SetUp() override {
    attr = wicktest::make<IzrAttribute>(CLSID_zrAttribute, GetParam());
    ASSERT_TRUE(attr);
  }
  std::vector<uint8_t> data() {
    Bstr d;
    EXPECT_EQ(S_OK, attr->get_Data(d.out()));
    return bytes_of(d.get());
  }
  HRESULT put_data(const std::vector<uint8_t>& v) {
    Bstr b = bytes(v);
    BSTR p = b.get();
    return attr->put_Data(&p);
  }
  long count() {
    long n = -1;
    EXPECT_EQ(S_OK, attr->get_Count(&n));
    return n;
  }
  std::wstring name() {
    Bstr n;
    EXPECT_EQ(S_OK, attr->get_Name(n.out()));
    return corvtest::str(n.get());
  }
  void set_name(const wchar_t* n) {
    Bstr b(n);
    BSTR p = b.get();
    ASSERT_EQ(S_OK, attr->put_Name(&p));
  }
  // Control 0, Type 2, name cn, one VT_BSTR value x.
  const std::vector<uint8_t> example = hex(
      "01 EE CC AA 01 00 00 00 00 00 00 00 02 00 00 00 04 00 00 00 63 00 6E 00 01 00 00 00 08 00 00 00 02 00 00 00 78 00");
  ComPtr<IzrAttribute> attr;
};

TEST_P(Attribute, NewAttributeSerialisesToTheEmptyForm) {
  EXPECT_EQ(0, count());
  EXPECT_EQ(L"", name());
  EXPECT_EQ(hex("01 EE CC AA 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"), data());
  EXPECT_EQ(E_POINTER, attr->get_Name(nullptr));
}

TEST_P(Attribute, ExampleFormRoundTrips) {
  ASSERT_EQ(S_OK, put_data(example));
  long type = 0, control = 9;
  EXPECT_EQ(S_OK, attr->get_Type(&type));
  EXPECT_EQ(S_OK, attr->get_Control(&control));
  EXPECT_EQ(2, type);
  EXPECT_EQ(0, control);
  EXPECT_EQ(L"cn", name());
  ASSERT_EQ(1, count());
  corv::Variant v;
  ASSERT_EQ(S_OK, attr->get_Value(0, v.out()));
  ASSERT_EQ(VT_BSTR, V_VT(v.get()));
  EXPECT_EQ(L"x", corvtest::str(V_BSTR(v.get())));
  EXPECT_EQ(example, data());

  // Built through the members, the same bytes come out.
  auto other = wicktest::make<IzrAttribute>(CLSID_zrAttribute, GetParam());
  ASSERT_EQ(S_OK, other->put_Type(2));
  Bstr n(L"cn");
  BSTR pn = n.get();
  ASSERT_EQ(S_OK, other->put_Name(&pn));
  corv::Variant x;
  V_VT(x.get()) = VT_BSTR;
  V_BSTR(x.get()) = SysAllocString(L"x");
  ASSERT_EQ(S_OK, other->add(x.get()));
  Bstr d;
  ASSERT_EQ(S_OK, other->get_Data(d.out()));
  EXPECT_EQ(example, bytes_of(d.get()));
}

TEST_P(Attribute, AddAcceptsNumbersAndStringsByValueOrByReference) {
  VARIANT minus5 = i4(-5);
  ASSERT_EQ(S_OK, attr->add(&minus5));
  VARIANT u;
  VariantInit(&u);
  V_VT(&u) = VT_UI4;
  V_UI4(&u) = 0xFFFFFFFFu;
  ASSERT_EQ(S_OK, attr->add(&u));  // by value a VT_UI4 stays VT_UI4
  ULONG referenced = 7;
  VARIANT uref;
  VariantInit(&uref);
  V_VT(&uref) = VT_UI4 | VT_BYREF;
  V_UI4REF(&uref) = &referenced;
  ASSERT_EQ(S_OK, attr->add(&uref));  // by reference it becomes a VT_I4
  Bstr s = wicktest::text(std::wstring(L"ab\0c", 4));
  BSTR sp = s.get();
  VARIANT sref;
  VariantInit(&sref);
  V_VT(&sref) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&sref) = &sp;
  ASSERT_EQ(S_OK, attr->add(&sref));  // copied up to the first NUL
  VARIANT sval;
  VariantInit(&sval);
  V_VT(&sval) = VT_BSTR;
  V_BSTR(&sval) = s.get();
  ASSERT_EQ(S_OK, attr->add(&sval));  // copied whole
  referenced = 99;                      // no reference into the caller's memory was kept
  V_VT(&sval) = VT_I4;                  // (s itself still belongs to the test)

  for (VARTYPE bad : {VT_EMPTY, VT_NULL, VT_I2, VT_R8, VT_DISPATCH, VT_BOOL}) {
    VARIANT b;
    VariantInit(&b);
    V_VT(&b) = bad;
    EXPECT_EQ(E_INVALIDARG, attr->add(&b)) << bad;
  }
  ASSERT_EQ(5, count());
  corv::Variant v;
  ASSERT_EQ(S_OK, attr->get_Value(1, v.out()));
  EXPECT_EQ(VT_UI4, V_VT(v.get()));
  ASSERT_EQ(S_OK, attr->get_Value(2, v.out()));
  EXPECT_EQ(VT_I4, V_VT(v.get()));
  EXPECT_EQ(7, V_I4(v.get()));
  ASSERT_EQ(S_OK, attr->get_Value(3, v.out()));
  EXPECT_EQ(L"ab", corvtest::str(V_BSTR(v.get())));
  ASSERT_EQ(S_OK, attr->get_Value(4, v.out()));
  EXPECT_EQ(4u, SysStringLen(V_BSTR(v.get())));

  // Data: the held type, then the platform's text of the value.
  std::vector<uint8_t> d = data();
  std::vector<uint8_t> values(d.begin() + 24, d.end());
  EXPECT_EQ(hex("03000000 04000000 2D003500"
                "13000000 14000000 3400320039003400390036003700320039003500"),
            std::vector<uint8_t>(values.begin(), values.begin() + 12 + 8 + 20));
  // And back: the same types and values.
  Bstr again = bytes(d);
  auto copy = wicktest::make<IzrAttribute>(CLSID_zrAttribute, GetParam());
  BSTR ap = again.get();
  ASSERT_EQ(S_OK, copy->put_Data(&ap));
  ASSERT_EQ(S_OK, copy->get_Value(0, v.out()));
  EXPECT_EQ(VT_I4, V_VT(v.get()));
  EXPECT_EQ(-5, V_I4(v.get()));
  ASSERT_EQ(S_OK, copy->get_Value(1, v.out()));
  EXPECT_EQ(VT_UI4, V_VT(v.get()));
  EXPECT_EQ(0xFFFFFFFFu, V_UI4(v.get()));
  Bstr d2;
  ASSERT_EQ(S_OK, copy->get_Data(d2.out()));
  EXPECT_EQ(d, bytes_of(d2.get()));
}

TEST_P(Attribute, IndexesOutsideTheListAreRefused) {
  VARIANT one = i4(1);
  ASSERT_EQ(S_OK, attr->add(&one));
  corv::Variant v;
  for (long bad : {-1L, 1L, 1000L}) {
    EXPECT_EQ(DISP_E_BADINDEX, attr->get_Value(bad, v.out()));
    EXPECT_EQ(DISP_E_BADINDEX, attr->put_Value(bad, &one));
    EXPECT_EQ(DISP_E_BADINDEX, attr->remove(bad));
  }
  EXPECT_EQ(1, count());
}

TEST_P(Attribute, ValuePutStoresACopyOfAnyVariant) {
  ASSERT_EQ(S_OK, attr->resize(3));
  double d = 2.5;
  VARIANT ref;
  VariantInit(&ref);
  V_VT(&ref) = VT_R8 | VT_BYREF;
  V_R8REF(&ref) = &d;
  ASSERT_EQ(S_OK, attr->put_Value(0, &ref));
  d = 7;
  corv::Variant v;
  ASSERT_EQ(S_OK, attr->get_Value(0, v.out()));
  ASSERT_EQ(VT_R8, V_VT(v.get()));
  EXPECT_EQ(2.5, V_R8(v.get()));
  // A copy that fails leaves an error value and still answers S_OK.
  VARIANT broken;
  VariantInit(&broken);
  V_VT(&broken) = 0x7FF;  // not a variant type
  EXPECT_EQ(S_OK, attr->put_Value(1, &broken));
  ASSERT_EQ(S_OK, attr->get_Value(1, v.out()));
  EXPECT_EQ(VT_ERROR, V_VT(v.get()));
  EXPECT_TRUE(FAILED(V_ERROR(v.get())));
}

TEST_P(Attribute, ResizeRemoveAndClear) {
  ASSERT_EQ(S_OK, attr->resize(3));
  EXPECT_EQ(hex("01 EE CC AA 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 03 00 00 00"
                "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"),
            data());
  for (long i = 0; i < 3; ++i) {
    VARIANT x = i4(10 + i);
    ASSERT_EQ(S_OK, attr->put_Value(i, &x));
  }
  ASSERT_EQ(S_OK, attr->remove(1));
  corv::Variant v;
  ASSERT_EQ(S_OK, attr->get_Value(1, v.out()));
  EXPECT_EQ(12, V_I4(v.get()));
  ASSERT_EQ(S_OK, attr->resize(1));
  EXPECT_EQ(1, count());
  ASSERT_EQ(S_OK, attr->get_Value(0, v.out()));
  EXPECT_EQ(10, V_I4(v.get()));
  EXPECT_EQ(E_INVALIDARG, attr->resize(-1));
  EXPECT_EQ(1, count());

  set_name(L"keep");
  ASSERT_EQ(S_OK, attr->put_Type(5));
  ASSERT_EQ(S_OK, attr->put_Control(6));
  ASSERT_EQ(S_OK, attr->clear());
  EXPECT_EQ(0, count());
  EXPECT_EQ(L"keep", name());
  long t = 0;
  attr->get_Type(&t);
  EXPECT_EQ(5, t);
}

TEST_P(Attribute, ValueWithoutTextFormStopsData) {
  ASSERT_EQ(S_OK, attr->resize(1));
  VARIANT null;
  VariantInit(&null);
  V_VT(&null) = VT_NULL;
  ASSERT_EQ(S_OK, attr->put_Value(0, &null));
  BSTR d = reinterpret_cast<BSTR>(0x1);
  EXPECT_EQ(E_INVALIDARG, attr->get_Data(&d));
  EXPECT_EQ(nullptr, d);
  EXPECT_EQ(1, count());
}

// Data asks a stored object for its value (its default property), and the object may change
// the attribute meanwhile: Data gives the attribute as it was when asked, and the change stays.
TEST_P(Attribute, DataIsSoundWhenAStoredObjectChangesTheAttribute) {
  for (long grow_to : {64L, 0L}) {  // past the values being converted; empty, dropping the object
    SCOPED_TRACE(grow_to);
    attr = wicktest::make<IzrAttribute>(CLSID_zrAttribute, GetParam());
    auto object = wicktest::ValueObject::make();
    VARIANT x = i4(5);
    ASSERT_EQ(S_OK, attr->resize(1));
    ASSERT_EQ(S_OK, wicktest::put_object(attr.get(), 0, object.get()));
    ASSERT_EQ(S_OK, attr->add(&x));
    const std::vector<uint8_t> quiet = data();
    EXPECT_EQ(hex("01 EE CC AA 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00"
                  "09 00 00 00 02 00 00 00 68 00 03 00 00 00 02 00 00 00 35 00"),
              quiet);
    IzrAttribute* target = attr.get();
    object->during = [target, grow_to] { grow_to ? target->resize(grow_to) : target->clear(); };
    object.reset();  // the attribute holds the only reference now
    EXPECT_EQ(quiet, data());
    EXPECT_EQ(grow_to, count());
  }
}

TEST_P(Attribute, EnumeratorIsASnapshot) {
  for (long i = 0; i < 3; ++i) {
    VARIANT x = i4(i);
    ASSERT_EQ(S_OK, attr->add(&x));
  }
  ComPtr<IUnknown> unk;
  ASSERT_EQ(S_OK, attr->get__NewEnum(unk.out()));
  ComPtr<IEnumVARIANT> en;
  ASSERT_EQ(S_OK, unk->QueryInterface(IID_IEnumVARIANT, en.out_void()));
  ASSERT_EQ(S_OK, attr->clear());
  VARIANT got[4];
  ULONG n = 0;
  EXPECT_EQ(S_FALSE, en->Next(4, got, &n));
  ASSERT_EQ(3u, n);
  for (ULONG i = 0; i < n; ++i) {
    EXPECT_EQ(static_cast<long>(i), V_I4(&got[i]));
    VariantClear(&got[i]);
  }
  // The empty attribute's enumerator has nothing to give.
  ASSERT_EQ(S_OK, attr->get__NewEnum(unk.out()));
  ASSERT_EQ(S_OK, unk->QueryInterface(IID_IEnumVARIANT, en.out_void()));
  EXPECT_EQ(S_FALSE, en->Next(1, got, &n));
  EXPECT_EQ(0u, n);
  EXPECT_EQ(E_POINTER, en->Next(1, nullptr, &n));
}

TEST_P(Attribute, DataPutResetsFirstAndRefusesBadForms) {
  auto make_dirty = [&] {
    set_name(L"old");
    attr->put_Type(7);
    attr->put_Control(8);
    VARIANT x = i4(1);
    attr->add(&x);
  };
  auto expect_reset = [&] {
    EXPECT_EQ(0, count());
    EXPECT_EQ(L"", name());
    long t = -1, c = -1;
    attr->get_Type(&t);
    attr->get_Control(&c);
    EXPECT_EQ(0, t);
    EXPECT_EQ(0, c);
  };
  // An empty byte string, or none, succeeds and leaves an empty attribute.
  make_dirty();
  EXPECT_EQ(S_OK, put_data({}));
  expect_reset();
  make_dirty();
  EXPECT_EQ(S_OK, attr->put_Data(nullptr));
  expect_reset();

  std::vector<std::vector<uint8_t>> bad = {
      hex("01 EE CC AA 01 00 00"),                                  // too short for magic and version
      hex("02 EE CC AA 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"),  // magic
      hex("01 EE CC AA 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"),  // version
      hex("01 EE CC AA 01 00 00 00 00 00 00 00 00 00 00 00 05 00 00 00 61 00"),        // name runs past the end
      // a count of two with one value
      hex("01 EE CC AA 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00 08 00 00 00 02 00 00 00 78 00"),
      // type 3 with the text abc
      hex("01 EE CC AA 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 03 00 00 00 06 00 00 00 61 00 62 00 63 00"),
      // a count of 0x7FFFFFFF: refused before any list is sized by it
      hex("01 EE CC AA 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 FF FF FF 7F 00 00 00 00 00 00 00 00"),
      hex("01 EE CC AA 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 FF FF FF FF"),
      // a text count of 0xFFFFFFFF
      hex("01 EE CC AA 01 00 00 00 00 00 00 00 00 00 00 00 FF FF FF FF 00 00"),
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(i);
    make_dirty();
    EXPECT_EQ(E_INVALIDARG, put_data(bad[i]));
    expect_reset();
  }
}

TEST_P(Attribute, DataPutKeepsOddTextsAndIgnoresTrailingBytes) {
  // Name of three bytes (half a character at its end), then bytes after the last value.
  std::vector<uint8_t> odd = hex(
      "01 EE CC AA 01 00 00 00 05 00 00 00 06 00 00 00 03 00 00 00 61 00 62 00 00 00 00 DE AD");
  ASSERT_EQ(S_OK, put_data(odd));
  Bstr n;
  ASSERT_EQ(S_OK, attr->get_Name(n.out()));
  EXPECT_EQ(3u, SysStringByteLen(n.get()));
  EXPECT_EQ(std::vector<uint8_t>(odd.begin(), odd.end() - 2), data());
  // Type codes keep only their low 16 bits: 0x10008 is a string.
  ASSERT_EQ(
      S_OK,
      put_data(hex(
          "01 EE CC AA 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 08 00 01 00 02 00 00 00 79 00")));
  corv::Variant v;
  ASSERT_EQ(S_OK, attr->get_Value(0, v.out()));
  EXPECT_EQ(VT_BSTR, V_VT(v.get()));
}

INSTANTIATE_TEST_SUITE_P(Wick, Attribute, ::testing::Values(Via::Registry, Via::Factory), wicktest::via_name);

}  // namespace
