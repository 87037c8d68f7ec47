// Base of an event sink in a test: a dispatch object that answers IUnknown, IDispatch and one
// outgoing interface, counts its references and takes events through Invoke, which the
// derived sink writes. Made with one reference (make() attaches it).
#pragma once
#include <windows.h>
#include <oleauto.h>

namespace corvtest {

template <const IID* Events>
class EventSink : public IDispatch {
public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == *Events) *ppv = static_cast<IDispatch*>(this);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (!n) delete this;
    return static_cast<ULONG>(n);
  }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

protected:
  EventSink() = default;
  virtual ~EventSink() = default;

private:
  volatile LONG refs_ = 1;
};

}  // namespace corvtest
