// The unload rule of wick.dll: S_OK exactly when nothing the library made is still held.
#include "wick_test.h"

using corv::Bstr;
using corv::ComPtr;
using wicktest::Via;

namespace {

HRESULT can_unload() { return wicktest::library().can_unload(); }

TEST(Unload, WickMayUnloadOnceEverythingIsReleased) {
  ASSERT_TRUE(wicktest::library().can_unload);
  for (Via via : {Via::Registry, Via::Factory}) {
    SCOPED_TRACE(via == Via::Registry ? "registry" : "factory");
    {
      auto log = wicktest::make<IzrLog>(CLSID_zrLog, via);
      auto conv = wicktest::make<IzrDataConvertor>(CLSID_zrDataConvertor, via);
      auto entry = wicktest::make<IzrEntry>(CLSID_zrEntry, via);
      ASSERT_TRUE(log && conv && entry);
      EXPECT_EQ(S_FALSE, can_unload());
      // Everything the objects hand out: attributes, enumerators, the connection point.
      Bstr n(L"cn");
      ComPtr<IDispatch> attr;
      ASSERT_EQ(S_OK, entry->add(n.get(), 2, attr.out()));
      ComPtr<IUnknown> entry_enum, attr_enum;
      ASSERT_EQ(S_OK, entry->get__NewEnum(entry_enum.out()));
      ComPtr<IzrAttribute> a;
      ASSERT_EQ(S_OK, attr->QueryInterface(IID_IzrAttribute, a.out_void()));
      ASSERT_EQ(S_OK, a->get__NewEnum(attr_enum.out()));
      Bstr data;
      ASSERT_EQ(S_OK, entry->get_Data(data.out()));
      BSTR d = data.get();
      ASSERT_EQ(S_OK, entry->put_Data(&d));

      auto cp = wicktest::log_point(log.get());
      auto sink = wicktest::Sink::make();
      DWORD cookie = 0;
      ASSERT_EQ(S_OK, cp->Advise(sink.get(), &cookie));
      ComPtr<IEnumConnections> conns;
      ASSERT_EQ(S_OK, cp->EnumConnections(conns.out()));
      ComPtr<IConnectionPointContainer> cpc;
      ASSERT_EQ(S_OK, log->QueryInterface(IID_IConnectionPointContainer, cpc.out_void()));
      ComPtr<IEnumConnectionPoints> points;
      ASSERT_EQ(S_OK, cpc->EnumConnectionPoints(points.out()));
      Bstr s(L"s");
      ASSERT_EQ(S_OK, log->LogError(s.get(), s.get(), 0, 0, s.get()));

      // Parents gone, the things they handed out still count.
      log.reset();
      cpc.reset();
      cp.reset();
      entry.reset();
      conv.reset();
      a.reset();
      attr.reset();
      EXPECT_EQ(S_FALSE, can_unload());
      entry_enum.reset();
      attr_enum.reset();
      EXPECT_EQ(S_FALSE, can_unload());
      points.reset();
      EXPECT_EQ(S_FALSE, can_unload());
      conns.reset();
    }
    EXPECT_EQ(S_OK, can_unload());
  }
  // A class object held by a client counts as well.
  ComPtr<IClassFactory> cf;
  ASSERT_EQ(S_OK, wicktest::library().get_class_object(CLSID_zrEntry, IID_IClassFactory, cf.out_void()));
  EXPECT_EQ(S_FALSE, can_unload());
  cf.reset();
  EXPECT_EQ(S_OK, can_unload());
}

TEST(Unload, ClassObjectsOfTheOtherLibraryAreNotHere) {
  const CLSID sid = {0xF2A7BAE1, 0x0C06, 0x4E32, {0x9B, 0x2A, 0xB3, 0x0D, 0x5C, 0xC5, 0x59, 0x90}};
  void* p = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, wicktest::library().get_class_object(sid, IID_IClassFactory, &p));
  EXPECT_EQ(nullptr, p);
  ComPtr<IClassFactory> cf;
  ASSERT_EQ(S_OK, wicktest::library().get_class_object(CLSID_zrLog, IID_IClassFactory, cf.out_void()));
  ComPtr<IUnknown> outer;
  ASSERT_EQ(S_OK, cf->CreateInstance(nullptr, IID_IUnknown, outer.out_void()));
  for (const CLSID* c : {&CLSID_zrLog, &CLSID_zrDataConvertor, &CLSID_zrAttribute, &CLSID_zrEntry}) {
    ComPtr<IClassFactory> f;
    ASSERT_EQ(S_OK, wicktest::library().get_class_object(*c, IID_IClassFactory, f.out_void()));
    ComPtr<IUnknown> inner;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, f->CreateInstance(outer.get(), IID_IUnknown, inner.out_void()));
  }
}

}  // namespace
