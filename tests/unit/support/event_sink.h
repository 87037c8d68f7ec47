// Base of the dispatch objects the tests make (event sinks, a log, a script-like object): a
// reference count made with one reference (make() attaches it), QueryInterface for IUnknown,
// IDispatch and one interface more, and no type information. The derived object writes Invoke
// and the methods of its own interface.
#pragma once
#include <windows.h>
#include <oleauto.h>

namespace corvtest {

template <class Interface = IDispatch, const IID* Extra = nullptr>
class DispatchObject : public Interface {
public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = riid == IID_IUnknown || serves(riid) ? static_cast<Interface*>(this) : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    this->AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (!n) delete this;
    return static_cast<ULONG>(n);
  }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  LONG refs() const { return refs_; }

protected:
  DispatchObject() = default;
  virtual ~DispatchObject() = default;
  // The interfaces it answers besides IUnknown.
  virtual bool serves(REFIID riid) const { return riid == IID_IDispatch || (Extra && riid == *Extra); }

private:
  volatile LONG refs_ = 1;
};

// An event sink for the outgoing interface `Events`.
template <const IID* Events>
using EventSink = DispatchObject<IDispatch, Events>;

}  // namespace corvtest
