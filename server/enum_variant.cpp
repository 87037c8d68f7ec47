#include "enum_variant.h"
#include "server.h"
#include <new>

namespace corv {

EnumVariant::EnumVariant() { server().lock(); }

EnumVariant::~EnumVariant() {
  for (VARIANT& v : items_) VariantClear(&v);
  server().unlock();
}

HRESULT EnumVariant::create(const VARIANT* items, size_t count, IEnumVARIANT** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  EnumVariant* e = new (std::nothrow) EnumVariant();
  if (!e) return E_OUTOFMEMORY;
  try {
    e->items_.reserve(count);
  } catch (...) {
    e->Release();
    return E_OUTOFMEMORY;
  }
  for (size_t i = 0; i < count; ++i) {
    VARIANT v;
    VariantInit(&v);
    HRESULT hr = VariantCopy(&v, const_cast<VARIANT*>(&items[i]));
    if (FAILED(hr)) {
      e->Release();
      return hr;
    }
    e->items_.push_back(v);
  }
  *out = e;
  return S_OK;
}

HRESULT EnumVariant::create_from_objects(IDispatch* const* items, size_t count, IEnumVARIANT** out) {
  std::vector<VARIANT> vs;
  try {
    vs.resize(count);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  for (size_t i = 0; i < count; ++i) {
    VariantInit(&vs[i]);
    V_VT(&vs[i]) = VT_DISPATCH;
    V_DISPATCH(&vs[i]) = items[i];  // borrowed: create() takes its own references
  }
  return create(vs.data(), count, out);
}

HRESULT EnumVariant::create_unknown(const VARIANT* items, size_t count, IUnknown** out) {
  if (!out) return E_POINTER;
  IEnumVARIANT* e = nullptr;
  HRESULT hr = create(items, count, &e);
  *out = e;
  return hr;
}

STDMETHODIMP EnumVariant::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IEnumVARIANT)) return E_NOINTERFACE;
  *ppv = static_cast<IEnumVARIANT*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) EnumVariant::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) EnumVariant::Release() {
  LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

STDMETHODIMP EnumVariant::Next(ULONG celt, VARIANT* rgVar, ULONG* fetched) {
  if (fetched) *fetched = 0;
  // A null item array, or a count other than 1 with nowhere to say how many came: E_POINTER.
  if (!rgVar || (celt != 1 && !fetched)) return E_POINTER;
  if (celt == 0) return S_OK;
  ULONG n = 0;
  while (n < celt && pos_ < items_.size()) {
    VariantInit(&rgVar[n]);
    HRESULT hr = VariantCopy(&rgVar[n], &items_[pos_]);
    if (FAILED(hr)) {
      for (ULONG i = 0; i < n; ++i) VariantClear(&rgVar[i]);
      return hr;
    }
    ++n;
    ++pos_;
  }
  if (fetched) *fetched = n;
  return n == celt ? S_OK : S_FALSE;
}

STDMETHODIMP EnumVariant::Skip(ULONG celt) {
  size_t left = items_.size() - pos_;
  if (celt > left) {
    pos_ = items_.size();
    return S_FALSE;
  }
  pos_ += celt;
  return S_OK;
}

STDMETHODIMP EnumVariant::Reset() {
  pos_ = 0;
  return S_OK;
}

STDMETHODIMP EnumVariant::Clone(IEnumVARIANT** out) {
  if (!out) return E_POINTER;
  HRESULT hr = create(items_.data(), items_.size(), out);
  if (SUCCEEDED(hr)) static_cast<EnumVariant*>(*out)->pos_ = pos_;
  return hr;
}

}  // namespace corv
