// IEnumVARIANT over a snapshot of variants, written once for every collection (_NewEnum).
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <vector>

namespace corv {

class EnumVariant final : public IEnumVARIANT {
public:
  // Takes a copy of each item; returns E_OUTOFMEMORY if a copy or the object cannot be made.
  static HRESULT create(const VARIANT* items, size_t count, IEnumVARIANT** out);
  // Convenience for collections of objects: each item becomes a VT_DISPATCH variant.
  static HRESULT create_from_objects(IDispatch* const* items, size_t count, IEnumVARIANT** out);
  // As create(), handed out as IUnknown for a _NewEnum property.
  static HRESULT create_unknown(const VARIANT* items, size_t count, IUnknown** out);

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Next(ULONG celt, VARIANT* rgVar, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG celt) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumVARIANT** out) override;

private:
  EnumVariant();
  ~EnumVariant();
  volatile LONG refs_ = 1;
  std::vector<VARIANT> items_;
  size_t pos_ = 0;
};

}  // namespace corv
