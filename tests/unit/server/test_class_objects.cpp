// Class objects, the lock count and the unload rule, IObjectSafety and QueryInterface.
#include <objsafe.h>
#include <thread>
#include "com_test.h"
#include "tern_h.h"
#include "wick_h.h"

using corv::ComPtr;

namespace {

// tern.dll loaded straight from the staging folder, its exports called directly.
struct Library {
  HMODULE module = nullptr;
  HRESULT(WINAPI* get_class_object)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(WINAPI* can_unload)() = nullptr;
  Library() {
    module = LoadLibraryW((corvtest::program_folder() + L"tern.dll").c_str());
    if (!module) return;
    get_class_object = reinterpret_cast<decltype(get_class_object)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    can_unload = reinterpret_cast<decltype(can_unload)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  }
  ~Library() {
    if (module) FreeLibrary(module);
  }
};

const CLSID kWickLog = {0xC480D702, 0x4A7A, 0x4C24, {0x9F, 0xFE, 0x20, 0xAD, 0x4C, 0xCA, 0x5D, 0xB0}};

}  // namespace

TEST(ClassObject, AnswersOnlyItsOwnClassesAndInterfaces) {
  Library lib;
  ASSERT_TRUE(lib.get_class_object);
  EXPECT_EQ(E_POINTER, lib.get_class_object(CLSID_zrSid, IID_IClassFactory, nullptr));
  void* p = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, lib.get_class_object(kWickLog, IID_IClassFactory, &p));
  EXPECT_EQ(nullptr, p);
  ComPtr<IClassFactory> cf;
  ASSERT_EQ(S_OK, lib.get_class_object(CLSID_zrSid, IID_IClassFactory, cf.out_void()));
  ComPtr<IUnknown> unk;
  EXPECT_EQ(S_OK, cf->QueryInterface(IID_IUnknown, unk.out_void()));
  ComPtr<IDispatch> disp;
  EXPECT_EQ(E_NOINTERFACE, cf->QueryInterface(IID_IDispatch, disp.out_void()));
  // The same class object each time.
  ComPtr<IClassFactory> again;
  ASSERT_EQ(S_OK, lib.get_class_object(CLSID_zrSid, IID_IClassFactory, again.out_void()));
  EXPECT_EQ(cf.get(), again.get());
}

TEST(ClassObject, RefusesAggregationAndMakesWorkingObjects) {
  Library lib;
  ComPtr<IClassFactory> cf;
  ASSERT_EQ(S_OK, lib.get_class_object(CLSID_zrSid, IID_IClassFactory, cf.out_void()));
  ComPtr<IUnknown> outer;
  ASSERT_EQ(S_OK, cf->CreateInstance(nullptr, IID_IUnknown, outer.out_void()));
  ComPtr<IUnknown> inner;
  EXPECT_EQ(CLASS_E_NOAGGREGATION, cf->CreateInstance(outer.get(), IID_IUnknown, inner.out_void()));
  EXPECT_FALSE(inner);
  ComPtr<IClassFactory> wrong;
  EXPECT_EQ(E_NOINTERFACE, cf->CreateInstance(nullptr, IID_IClassFactory, wrong.out_void()));
  ComPtr<IzrSid> sid;
  ASSERT_EQ(S_OK, cf->CreateInstance(nullptr, IID_IzrSid, sid.out_void()));
  corv::Bstr t(L"S-1-1-0");
  EXPECT_EQ(S_OK, sid->put_Sid(t.get()));
}

TEST(ClassObject, TwoThreadsGetTheSameClassObject) {
  Library lib;
  IClassFactory* got[2] = {};
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread a([&] {
    WaitForSingleObject(go, INFINITE);
    lib.get_class_object(CLSID_zrSid, IID_IClassFactory, reinterpret_cast<void**>(&got[0]));
  });
  std::thread b([&] {
    WaitForSingleObject(go, INFINITE);
    lib.get_class_object(CLSID_zrSid, IID_IClassFactory, reinterpret_cast<void**>(&got[1]));
  });
  SetEvent(go);
  a.join();
  b.join();
  CloseHandle(go);
  ASSERT_TRUE(got[0] && got[1]);
  EXPECT_EQ(got[0], got[1]);
  got[0]->Release();
  got[1]->Release();
}

TEST(UnloadRule, CountsObjectsHeldClassObjectsAndServerLocks) {
  Library lib;
  ASSERT_TRUE(lib.can_unload);
  EXPECT_EQ(S_OK, lib.can_unload());
  ComPtr<IClassFactory> cf;
  ASSERT_EQ(S_OK, lib.get_class_object(CLSID_zrSid, IID_IClassFactory, cf.out_void()));
  EXPECT_EQ(S_FALSE, lib.can_unload());  // a client holds the class object
  ComPtr<IzrSid> sid;
  ASSERT_EQ(S_OK, cf->CreateInstance(nullptr, IID_IzrSid, sid.out_void()));
  ASSERT_EQ(S_OK, cf->LockServer(TRUE));
  cf.reset();
  EXPECT_EQ(S_FALSE, lib.can_unload());  // the object and the lock
  ComPtr<IClassFactory> again;
  ASSERT_EQ(S_OK, lib.get_class_object(CLSID_zrSid, IID_IClassFactory, again.out_void()));
  ASSERT_EQ(S_OK, again->LockServer(FALSE));
  again.reset();
  EXPECT_EQ(S_FALSE, lib.can_unload());  // the object alone
  ComPtr<IDispatch> second;
  ASSERT_EQ(S_OK, sid->QueryInterface(IID_IDispatch, second.out_void()));
  sid.reset();
  EXPECT_EQ(S_FALSE, lib.can_unload());  // still referenced through IDispatch
  second.reset();
  EXPECT_EQ(S_OK, lib.can_unload());
}

TEST(QueryInterface, OffersTheListedInterfacesOnly) {
  auto sid = corvtest::create<IzrSid>(CLSID_zrSid);
  ASSERT_TRUE(sid);
  for (REFIID iid : {IID_IUnknown, IID_IDispatch, IID_IzrSid, IID_IObjectSafety}) {
    ComPtr<IUnknown> p;
    EXPECT_EQ(S_OK, sid->QueryInterface(iid, p.out_void()));
  }
  for (REFIID iid :
       {IID_IConnectionPointContainer, IID_IPersist, IID_ISupportErrorInfo, IID_IProvideClassInfo, IID_IClassFactory}) {
    ComPtr<IUnknown> p;
    EXPECT_EQ(E_NOINTERFACE, sid->QueryInterface(iid, p.out_void()));
    EXPECT_FALSE(p);
  }
  // Identity: IUnknown is the same pointer whichever interface asks.
  ComPtr<IUnknown> a, b;
  ComPtr<IObjectSafety> safety;
  ASSERT_EQ(S_OK, sid->QueryInterface(IID_IObjectSafety, safety.out_void()));
  ASSERT_EQ(S_OK, sid->QueryInterface(IID_IUnknown, a.out_void()));
  ASSERT_EQ(S_OK, safety->QueryInterface(IID_IUnknown, b.out_void()));
  EXPECT_EQ(a.get(), b.get());
}

TEST(ObjectSafety, ReportsAndSetsOptionsPerObject) {
  auto sid = corvtest::create<IzrSid>(CLSID_zrSid);
  ComPtr<IObjectSafety> s;
  ASSERT_EQ(S_OK, sid->QueryInterface(IID_IObjectSafety, s.out_void()));
  DWORD supported = 9, enabled = 9;
  EXPECT_EQ(E_POINTER, s->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled));
  EXPECT_EQ(E_POINTER, s->GetInterfaceSafetyOptions(IID_IDispatch, &supported, nullptr));
  ASSERT_EQ(S_OK, s->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
  EXPECT_EQ(3u, supported);
  EXPECT_EQ(0u, enabled);
  EXPECT_EQ(E_NOINTERFACE, s->GetInterfaceSafetyOptions(IID_IPersist, &supported, &enabled));
  EXPECT_EQ(0u, supported);
  EXPECT_EQ(0u, enabled);

  EXPECT_EQ(S_OK, s->SetInterfaceSafetyOptions(IID_IDispatch, 3, 3));
  EXPECT_EQ(S_OK, s->SetInterfaceSafetyOptions(IID_IDispatch, 1, 0));  // clears option 1 only
  ASSERT_EQ(S_OK, s->GetInterfaceSafetyOptions(IID_IzrSid, &supported, &enabled));
  EXPECT_EQ(2u, enabled);  // one set of options, whatever interface asks
  EXPECT_EQ(E_FAIL, s->SetInterfaceSafetyOptions(IID_IDispatch, 4, 4));
  EXPECT_EQ(E_NOINTERFACE, s->SetInterfaceSafetyOptions(IID_IPersist, 1, 1));
  ASSERT_EQ(S_OK, s->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
  EXPECT_EQ(2u, enabled);

  auto other = corvtest::create<IzrSid>(CLSID_zrSid);
  ComPtr<IObjectSafety> s2;
  ASSERT_EQ(S_OK, other->QueryInterface(IID_IObjectSafety, s2.out_void()));
  ASSERT_EQ(S_OK, s2->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
  EXPECT_EQ(0u, enabled);
}

TEST(LateBinding, ScriptStyleCallsReachTheVtable) {
  auto sid = corvtest::create<IzrSid>(CLSID_zrSid);
  ComPtr<IDispatch> d;
  ASSERT_EQ(S_OK, sid->QueryInterface(IID_IDispatch, d.out_void()));
  VARIANT arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_BSTR;
  V_BSTR(&arg) = SysAllocString(L"S-1-5-32-544");
  ASSERT_EQ(S_OK, corvtest::invoke(d.get(), L"Sid", DISPATCH_PROPERTYPUT, {arg}, nullptr));
  VariantClear(&arg);
  corv::Variant rid;
  ASSERT_EQ(S_OK, corvtest::invoke(d.get(), L"rid", DISPATCH_PROPERTYGET, {}, rid.get()));  // names ignore case
  EXPECT_EQ(VT_I4, V_VT(rid.get()));
  EXPECT_EQ(544, V_I4(rid.get()));
  corv::Variant valid;
  ASSERT_EQ(S_OK, corvtest::invoke(d.get(), L"Valid", DISPATCH_PROPERTYGET, {}, valid.get()));
  EXPECT_EQ(VT_BOOL, V_VT(valid.get()));
  EXPECT_EQ(VARIANT_TRUE, V_BOOL(valid.get()));
  corv::Variant none;
  EXPECT_EQ(DISP_E_UNKNOWNNAME, corvtest::invoke(d.get(), L"NoSuchMember", DISPATCH_METHOD, {}, none.get()));
  UINT n = 0;
  EXPECT_EQ(S_OK, d->GetTypeInfoCount(&n));
  EXPECT_EQ(1u, n);
}

// Members that take a string by reference, called as scripts call them: by value, by
// reference to a string, and by reference to a variant holding the string.
TEST(LateBinding, ByReferenceStringParametersAcceptWhatScriptsPass) {
  auto sid = corvtest::create<IzrSid>(CLSID_zrSid);
  ComPtr<IDispatch> d;
  ASSERT_EQ(S_OK, sid->QueryInterface(IID_IDispatch, d.out_void()));
  const auto bytes = corvtest::hex("01 01 00 00 00 00 00 01 00 00 00 00");  // S-1-1-0
  auto check = [&](VARIANT arg, const char* how) {
    corv::Bstr t(L"S-1-5-18");
    sid->put_Sid(t.get());
    EXPECT_EQ(S_OK, corvtest::invoke(d.get(), L"Data", DISPATCH_PROPERTYPUT, {arg}, nullptr)) << how;
    corv::Bstr out;
    EXPECT_EQ(S_OK, sid->get_Sid(out.out())) << how;
    EXPECT_EQ(L"S-1-1-0", corvtest::str(out.get())) << how;
  };
  corv::Bstr b = corvtest::bytes(bytes);
  VARIANT by_value;
  V_VT(&by_value) = VT_BSTR;
  V_BSTR(&by_value) = b.get();
  check(by_value, "by value");
  BSTR raw = b.get();
  VARIANT by_ref;
  V_VT(&by_ref) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&by_ref) = &raw;
  check(by_ref, "by reference");
  VARIANT inner = by_value;
  VARIANT by_variant_ref;
  V_VT(&by_variant_ref) = VT_VARIANT | VT_BYREF;
  V_VARIANTREF(&by_variant_ref) = &inner;
  check(by_variant_ref, "by reference to a variant");
  EXPECT_EQ(b.get(), V_BSTR(&inner));  // the caller's string is neither freed nor replaced
}

// An [out] parameter called with script variables: whatever the variables held, the results
// land in them (the log object's GetLastError has four such strings and numbers).
TEST(LateBinding, OutParametersFillScriptVariables) {
  auto log = corvtest::create<IDispatch>(CLSID_zrLog);
  ASSERT_TRUE(log);
  auto arg_str = [](const wchar_t* s) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(s);
    return v;
  };
  auto arg_i4 = [](long n) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
  };
  std::vector<VARIANT> in = {arg_str(L"sys"), arg_str(L"src"), arg_i4(1), arg_i4(-5), arg_str(L"desc")};
  corv::Variant r;
  ASSERT_EQ(S_OK, corvtest::invoke(log.get(), L"LogError", DISPATCH_METHOD, in, r.get()));
  for (VARIANT& v : in) VariantClear(&v);

  VARIANT vars[5];
  for (VARIANT& v : vars) VariantInit(&v);  // Empty, as a fresh script variable
  V_VT(&vars[1]) = VT_BSTR;
  V_BSTR(&vars[1]) = SysAllocString(L"old text");  // replaced, not leaked into the result
  V_VT(&vars[2]) = VT_I2;
  V_I2(&vars[2]) = 7;  // another type: the variable takes the parameter's
  std::vector<VARIANT> refs(5);
  for (int i = 0; i < 5; ++i) {
    V_VT(&refs[i]) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&refs[i]) = &vars[i];
  }
  ASSERT_EQ(S_OK, corvtest::invoke(log.get(), L"GetLastError", DISPATCH_METHOD, refs, r.get()));
  ASSERT_EQ(VT_BSTR, V_VT(&vars[0]));
  EXPECT_EQ(L"sys", corvtest::str(V_BSTR(&vars[0])));
  ASSERT_EQ(VT_BSTR, V_VT(&vars[1]));
  EXPECT_EQ(L"src", corvtest::str(V_BSTR(&vars[1])));
  ASSERT_EQ(VT_I4, V_VT(&vars[2]));
  EXPECT_EQ(1, V_I4(&vars[2]));
  ASSERT_EQ(VT_I4, V_VT(&vars[3]));
  EXPECT_EQ(-5, V_I4(&vars[3]));
  ASSERT_EQ(VT_BSTR, V_VT(&vars[4]));
  EXPECT_EQ(L"desc", corvtest::str(V_BSTR(&vars[4])));
  for (VARIANT& v : vars) VariantClear(&v);
}
