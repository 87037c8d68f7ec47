#include "zr_ace.h"
#include <rpc.h>
#include <cstring>
#include "byte_string.h"
#include "own_object.h"
#include "sid_codec.h"
#include "zr_sid.h"

namespace tern {
namespace {

thread_local IClassFactory* t_identifier_factory = nullptr;

HRESULT guid_text(const GuidBytes& g, BSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  UUID u;
  std::memcpy(&u, g.data(), sizeof u);
  RPC_WSTR s = nullptr;
  if (UuidToStringW(&u, &s) != RPC_S_OK || !s) return E_OUTOFMEMORY;
  *out = SysAllocString(reinterpret_cast<const wchar_t*>(s));
  RpcStringFreeW(&s);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT guid_parse(BSTR text, GuidBytes& g) {
  UUID u;
  if (UuidFromStringW(reinterpret_cast<RPC_WSTR>(text), &u) != RPC_S_OK) return E_INVALIDARG;
  std::memcpy(g.data(), &u, sizeof u);
  return S_OK;
}

}  // namespace

IdentifierFactoryScope::IdentifierFactoryScope(IClassFactory* factory) : previous_(t_identifier_factory) {
  t_identifier_factory = factory;
}

IdentifierFactoryScope::~IdentifierFactoryScope() { t_identifier_factory = previous_; }

HRESULT identifier_bytes(IzrSid* sid, corv::Bstr& holder, const uint8_t*& data, size_t& size) {
  if (ZrSid* own = ZrSid::from(sid)) return own->identifier(data, size) ? S_OK : E_INVALIDARG;
  RETURN_IF_FAILED(sid->get_Data(holder.out()));
  corv::ByteView b = corv::read_bytes(holder.get());
  // An identifier object without a valid identifier cannot make an entry: its binary form
  // would be malformed, so the caller fails rather than write one.
  if (!sid_is_valid(b.data, b.size)) return E_INVALIDARG;
  data = b.data;
  size = sid_length(b.data[1]);
  return S_OK;
}

ZrAce::ZrAce() { OwnObject<ZrAce, IzrAce>::note(this); }

HRESULT ZrAce::final_construct() {
  if (IClassFactory* f = t_identifier_factory) return f->CreateInstance(nullptr, IID_IzrSid, sid_.out_void());
  return CoCreateInstance(CLSID_zrSid, nullptr, CLSCTX_ALL, IID_IzrSid, sid_.out_void());
}

ZrAce* ZrAce::from(IzrAce* p) { return OwnObject<ZrAce, IzrAce>::from(p); }

STDMETHODIMP ZrAce::get_AceType(long* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = static_cast<long>(f_.type);
  return S_OK;
}
STDMETHODIMP ZrAce::put_AceType(long newVal) {
  f_.type = static_cast<uint32_t>(newVal);
  return S_OK;
}
STDMETHODIMP ZrAce::get_AceFlags(long* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = static_cast<long>(f_.flags);
  return S_OK;
}
STDMETHODIMP ZrAce::put_AceFlags(long newVal) {
  f_.flags = static_cast<uint32_t>(newVal);
  return S_OK;
}
STDMETHODIMP ZrAce::get_Flags(long* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = static_cast<long>(f_.object_flags);
  return S_OK;
}
STDMETHODIMP ZrAce::put_Flags(long newVal) {
  f_.object_flags = static_cast<uint32_t>(newVal);
  return S_OK;
}
STDMETHODIMP ZrAce::get_AccessMask(long* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = static_cast<long>(f_.mask);
  return S_OK;
}
STDMETHODIMP ZrAce::put_AccessMask(long newVal) {
  f_.mask = static_cast<uint32_t>(newVal);
  return S_OK;
}

STDMETHODIMP ZrAce::get_ObjectType(BSTR* pVal) { return guid_text(f_.object_type, pVal); }

STDMETHODIMP ZrAce::put_ObjectType(BSTR newVal) {
  RETURN_IF_FAILED(guid_parse(newVal, f_.object_type));
  f_.object_flags |= kAceObjectTypePresent;
  return S_OK;
}

STDMETHODIMP ZrAce::get_InheritedObjectType(BSTR* pVal) { return guid_text(f_.inherited_object_type, pVal); }

STDMETHODIMP ZrAce::put_InheritedObjectType(BSTR newVal) {
  RETURN_IF_FAILED(guid_parse(newVal, f_.inherited_object_type));
  f_.object_flags |= kAceInheritedObjectTypePresent;
  return S_OK;
}

STDMETHODIMP ZrAce::get_Sid(IDispatch** pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  return sid_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(pVal));
}

STDMETHODIMP ZrAce::putref_Sid(IDispatch* newVal) {
  if (!newVal) return E_INVALIDARG;
  corv::ComPtr<IzrSid> sid;
  if (FAILED(newVal->QueryInterface(IID_IzrSid, sid.out_void()))) return E_INVALIDARG;
  sid_ = std::move(sid);
  return S_OK;
}

STDMETHODIMP ZrAce::get_Data(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  corv::Bstr holder;
  const uint8_t* sid = nullptr;
  size_t n = 0;
  RETURN_IF_FAILED(identifier_bytes(sid_.get(), holder, sid, n));
  size_t total = ace_sid_offset(f_) + n;
  BSTR b = SysAllocStringByteLen(nullptr, static_cast<UINT>(total));
  if (!b) return E_OUTOFMEMORY;
  ace_write(f_, sid, n, reinterpret_cast<uint8_t*>(b));
  *pVal = b;
  return S_OK;
}

HRESULT ZrAce::append_to(std::vector<uint8_t>& out) {
  corv::Bstr holder;
  const uint8_t* sid = nullptr;
  size_t n = 0;
  RETURN_IF_FAILED(identifier_bytes(sid_.get(), holder, sid, n));
  size_t at = out.size();
  out.resize(at + ace_sid_offset(f_) + n);
  ace_write(f_, sid, n, out.data() + at);
  return S_OK;
}

STDMETHODIMP ZrAce::put_Data(BSTR* newVal) {
  corv::ByteView b = corv::read_bytes(newVal ? *newVal : nullptr);
  AceView v;
  if (!ace_parse(b.data, b.size, v)) return E_INVALIDARG;
  return load(b.data, v);
}

HRESULT ZrAce::load(const uint8_t* bytes, const AceView& v) {
  f_ = v.fields;
  // The identifier object is refilled in place, so whoever shares it sees the new identifier.
  corv::Bstr sid = corv::Bstr::attach(corv::make_bytes(bytes + v.sid_offset, v.sid_length));
  if (!sid) return E_OUTOFMEMORY;
  BSTR raw = sid.get();
  HRESULT hr = sid_->put_Data(&raw);
  return FAILED(hr) ? hr : S_OK;
}

}  // namespace tern
