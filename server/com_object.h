// The shared base of every automation class: reference counting, QueryInterface from the
// class's own interface list, the lock count, IDispatch through the embedded type library,
// and IObjectSafety. A class file then holds only its own state and members.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <objsafe.h>
#include <atomic>
#include <new>
#include "dispatch.h"
#include "server.h"

namespace corv {

// Reference-count policies: "Both" classes count with interlocked operations,
// apartment classes with plain ones.
struct FreeThreaded {
  static LONG inc(volatile LONG& r) { return InterlockedIncrement(&r); }
  static LONG dec(volatile LONG& r) { return InterlockedDecrement(&r); }
};
struct ApartmentThreaded {
  static LONG inc(volatile LONG& r) { return ++r; }
  static LONG dec(volatile LONG& r) { return --r; }
};

// IDispatch of a dual interface, answered by the module's own type library.
template <class Itf>
class DispatchImpl : public Itf {
public:
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (!n) return E_POINTER;
    *n = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return server().type_info(__uuidof(Itf), out);
  }
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* ti = nullptr;
    HRESULT hr = server().type_info(__uuidof(Itf), &ti);
    if (FAILED(hr)) return hr;
    hr = DispGetIDsOfNames(ti, names, count, ids);
    ti->Release();
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                      UINT* arg_err) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* ti = nullptr;
    HRESULT hr = server().type_info(__uuidof(Itf), &ti);
    if (FAILED(hr)) return hr;
    hr = invoke_through(ti, static_cast<Itf*>(this), id, flags, params, result, excep, arg_err);
    ti->Release();
    return hr;
  }
};

// IObjectSafety with a fixed set of supported options; one set of current options per object.
template <DWORD Supported>
class ObjectSafetyImpl : public IObjectSafety {
public:
  using interface_type = IObjectSafety;
  static REFIID iid() { return IID_IObjectSafety; }

  // E_ACCESSDENIED while a host has told this object that its callers are untrusted (a page's
  // script), else S_OK. A member that would reach beyond what the caller handed it (files, the
  // registry, other computers, the signed-in user's identity) answers with it and does nothing.
  // The caller option is the one that counts: the untrusted-data option concerns initialisation
  // from persisted data, and these classes take data only through calls.
  HRESULT refuse_untrusted_caller() const {
    return (safety_.load(std::memory_order_acquire) & INTERFACESAFE_FOR_UNTRUSTED_CALLER) ? E_ACCESSDENIED : S_OK;
  }

  STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override {
    if (supported) *supported = 0;
    if (enabled) *enabled = 0;
    if (!supported || !enabled) return E_POINTER;
    IUnknown* probe = nullptr;
    HRESULT hr = QueryInterface(riid, reinterpret_cast<void**>(&probe));
    if (FAILED(hr)) return hr;
    probe->Release();
    *supported = Supported;
    *enabled = safety_.load(std::memory_order_acquire);
    return S_OK;
  }
  STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override {
    IUnknown* probe = nullptr;
    HRESULT hr = QueryInterface(riid, reinterpret_cast<void**>(&probe));
    if (FAILED(hr)) return E_NOINTERFACE;
    probe->Release();
    if (mask & ~Supported) return E_FAIL;
    DWORD now = safety_.load(std::memory_order_relaxed);
    while (!safety_.compare_exchange_weak(now, (now & ~mask) | (enabled & mask), std::memory_order_acq_rel));
    return S_OK;
  }

private:
  std::atomic<DWORD> safety_{0};  // a free-threaded object may be asked from any thread
};

using SafeForScripting = ObjectSafetyImpl<INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA>;

// Base of a class: Derived is the class, Itf its dual default interface, Extras further
// interface implementations (each with interface_type and iid()).
template <class Derived, class Itf, class Threading, class... Extras>
class CoClass : public DispatchImpl<Itf>, public Extras... {
public:
  CoClass() { server().lock(); }
  virtual ~CoClass() { server().unlock(); }
  CoClass(const CoClass&) = delete;
  CoClass& operator=(const CoClass&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, __uuidof(Itf))) {
      *ppv = static_cast<Itf*>(this);
    } else {
      (void)((IsEqualIID(riid, Extras::iid()) &&
              (*ppv = static_cast<typename Extras::interface_type*>(static_cast<Extras*>(this)), true)) ||
             ...);
    }
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(Threading::inc(refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG n = Threading::dec(refs_);
    if (n == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(n);
  }

  // The class's completion step after construction; only a class that can fail overrides it.
  HRESULT final_construct() { return S_OK; }

  // Creator for the class table: allocate, complete, query; the object dies on any failure.
  static HRESULT create(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    Derived* obj = new (std::nothrow) Derived();
    if (!obj) return E_OUTOFMEMORY;
    obj->AddRef();
    HRESULT hr = obj->final_construct();
    if (SUCCEEDED(hr)) hr = obj->QueryInterface(riid, ppv);
    obj->Release();
    return hr;
  }

  // A new instance as its default interface, for code inside the library.
  static HRESULT create_default(Itf** out) { return create(__uuidof(Itf), reinterpret_cast<void**>(out)); }

  Itf* default_interface() { return static_cast<Itf*>(this); }

private:
  volatile LONG refs_ = 0;
};

}  // namespace corv
