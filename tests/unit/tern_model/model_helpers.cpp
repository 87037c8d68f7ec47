#include "model_helpers.h"
#include <sddl.h>

namespace modeltest {

corv::ComPtr<IzrSid> sid(const wchar_t* text) {
  auto s = corvtest::create<IzrSid>(CLSID_zrSid);
  if (s && text) {
    corv::Bstr t(text);
    EXPECT_EQ(S_OK, s->put_Sid(t.get()));
  }
  return s;
}

corv::ComPtr<IzrAce> ace(long type, long flags, long mask, const wchar_t* sid_text) {
  auto a = corvtest::create<IzrAce>(CLSID_zrAce);
  if (!a) return a;
  EXPECT_EQ(S_OK, a->put_AceType(type));
  EXPECT_EQ(S_OK, a->put_AceFlags(flags));
  EXPECT_EQ(S_OK, a->put_AccessMask(mask));
  if (sid_text) {
    corv::ComPtr<IDispatch> d;
    EXPECT_EQ(S_OK, a->get_Sid(d.out()));
    corv::Bstr t(sid_text);
    EXPECT_EQ(S_OK, as<IzrSid>(d.get())->put_Sid(t.get()));
  }
  return a;
}

corv::ComPtr<IzrAcl> acl(long revision, std::initializer_list<IzrAce*> list) {
  auto a = corvtest::create<IzrAcl>(CLSID_zrAcl);
  if (!a) return a;
  EXPECT_EQ(S_OK, a->put_AclRevision(revision));
  for (IzrAce* e : list) EXPECT_EQ(S_OK, a->AddAce(e));
  return a;
}

template <class T>
static Bytes data_of_any(T* obj) {
  corv::Bstr b;
  HRESULT hr = obj->get_Data(b.out());
  EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
  return corvtest::bytes_of(b.get());
}
Bytes data_of(IzrSid* s) { return data_of_any(s); }
Bytes data_of(IzrAce* a) { return data_of_any(a); }
Bytes data_of(IzrAcl* a) { return data_of_any(a); }
Bytes data_of(IzrSd* d) { return data_of_any(d); }

template <class T>
static HRESULT put_any(T* obj, const Bytes& b) {
  corv::Bstr s = corvtest::bytes(b);
  BSTR raw = s.get();
  return obj->put_Data(&raw);
}
HRESULT put(IzrSid* s, const Bytes& b) { return put_any(s, b); }
HRESULT put(IzrAce* a, const Bytes& b) { return put_any(a, b); }
HRESULT put(IzrAcl* a, const Bytes& b) { return put_any(a, b); }
HRESULT put(IzrSd* d, const Bytes& b) { return put_any(d, b); }

Bytes system_sid(const wchar_t* text) {
  PSID p = nullptr;
  if (!ConvertStringSidToSidW(text, &p)) {
    ADD_FAILURE() << "ConvertStringSidToSidW";
    return {};
  }
  Bytes out(static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + GetLengthSid(p));
  LocalFree(p);
  return out;
}

std::wstring sid_text(IzrSid* s) {
  corv::Bstr t;
  if (s->get_Sid(t.out()) != S_OK) return L"";
  return corvtest::str(t.get());
}

std::wstring sid_text_of(IDispatch* s) { return sid_text(as<IzrSid>(s).get()); }

std::vector<corv::ComPtr<IzrAce>> entries(IzrAcl* a) {
  std::vector<corv::ComPtr<IzrAce>> out;
  corv::ComPtr<IUnknown> unk;
  EXPECT_EQ(S_OK, a->get__NewEnum(unk.out()));
  corv::ComPtr<IEnumVARIANT> en;
  if (!unk || FAILED(unk.query(en.out()))) return out;
  VARIANT v;
  VariantInit(&v);
  ULONG got = 0;
  while (en->Next(1, &v, &got) == S_OK && got == 1) {
    EXPECT_EQ(VT_DISPATCH, V_VT(&v));
    if (V_VT(&v) == VT_DISPATCH) out.push_back(as<IzrAce>(V_DISPATCH(&v)));
    VariantClear(&v);
  }
  return out;
}

bool same_object(IUnknown* a, IUnknown* b) {
  corv::ComPtr<IUnknown> x, y;
  if (FAILED(a->QueryInterface(IID_IUnknown, x.out_void())) || FAILED(b->QueryInterface(IID_IUnknown, y.out_void())))
    return false;
  return x.get() == y.get();
}

}  // namespace modeltest
