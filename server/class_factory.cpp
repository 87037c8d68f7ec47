#include "class_factory.h"
#include <new>

namespace corv {

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
  *ppv = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

// A client holding the class object keeps the library loaded: one lock while the count is
// above the library's own reference.
STDMETHODIMP_(ULONG) ClassFactory::AddRef() {
  LONG n = InterlockedIncrement(&refs_);
  if (n == 2) server().lock();
  return static_cast<ULONG>(n);
}

STDMETHODIMP_(ULONG) ClassFactory::Release() {
  LONG n = InterlockedDecrement(&refs_);
  if (n == 1) server().unlock();
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return create_(riid, ppv);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock) server().lock();
  else server().unlock();
  return S_OK;
}

}  // namespace corv
