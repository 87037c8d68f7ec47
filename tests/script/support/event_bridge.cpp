// Test equipment for script tests: connects a script object to the outgoing events of a
// component, the way a script host's ConnectObject does (Wine's script host lacks it).
//
//   Set bridge = CreateObject("CorvTest.EventBridge")
//   bridge.Connect source, handler    ' handler: an object with a method per event, by name
//   bridge.Disconnect                 ' every connection made by this bridge
//
// The bridge advises a real sink on the source's first connection point; each event is
// forwarded to the handler's method of the same name (found through the source's type
// library), with the event's arguments.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <dispex.h>
#include <olectl.h>
#include <new>
#include <string>
#include <vector>

#include "event_sink.h"

namespace {

// {965F6573-1AAA-46E0-BD0C-DEAAD651CDF7}
const CLSID kClsid = {0x965F6573, 0x1AAA, 0x46E0, {0xBD, 0x0C, 0xDE, 0xAA, 0xD6, 0x51, 0xCD, 0xF7}};
volatile LONG g_locks = 0;
// IDispatchEx, spelt out: not every import library carries it.
const IID kIDispatchEx = {0xA6EF9860, 0xC720, 0x11D0, {0x93, 0x37, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};

template <class T>
void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

// The sink advised on the source: answers the event interface, forwards to the handler.
class Sink final : public corvtest::DispatchObject<> {
public:
  Sink(REFIID iid, ITypeInfo* events, IDispatch* handler) : iid_(iid), events_(events), handler_(handler) {
    events_->AddRef();
    handler_->AddRef();
    InterlockedIncrement(&g_locks);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID lcid, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO* ex,
                      UINT* arg) override {
    BSTR name = nullptr;
    UINT n = 0;
    if (FAILED(events_->GetNames(id, &name, 1, &n)) || n == 0) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS dp = {params ? params->rgvarg : nullptr, nullptr, params ? params->cArgs : 0, 0};
    DISPID target = 0;
    // Script objects answer names through IDispatchEx (Wine's script engine only there).
    IDispatchEx* dex = nullptr;
    HRESULT hr;
    if (SUCCEEDED(handler_->QueryInterface(kIDispatchEx, reinterpret_cast<void**>(&dex)))) {
      hr = dex->GetDispID(name, fdexNameCaseInsensitive, &target);
      if (SUCCEEDED(hr)) hr = dex->InvokeEx(target, lcid, DISPATCH_METHOD, &dp, result, ex, nullptr);
      dex->Release();
    } else {
      hr = handler_->GetIDsOfNames(IID_NULL, &name, 1, lcid, &target);
      if (SUCCEEDED(hr)) hr = handler_->Invoke(target, IID_NULL, lcid, DISPATCH_METHOD, &dp, result, ex, arg);
    }
    SysFreeString(name);
    return hr;
  }

private:
  ~Sink() override {
    events_->Release();
    handler_->Release();
    InterlockedDecrement(&g_locks);
  }
  bool serves(REFIID riid) const override { return riid == IID_IDispatch || riid == iid_; }
  IID iid_;
  ITypeInfo* events_;
  IDispatch* handler_;
};

class Bridge final : public IDispatch {
public:
  Bridge() { InterlockedIncrement(&g_locks); }
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch) *ppv = static_cast<IDispatch*>(this);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1 || !names || !ids) return DISP_E_UNKNOWNNAME;
    if (!lstrcmpiW(names[0], L"Connect")) *ids = 1;
    else if (!lstrcmpiW(names[0], L"Disconnect")) *ids = 2;
    else return DISP_E_UNKNOWNNAME;
    return S_OK;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    if (id == 2) {
      disconnect();
      return S_OK;
    }
    if (id != 1 || !params || params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
    IDispatch* source = object(params->rgvarg[1]);
    IDispatch* handler = object(params->rgvarg[0]);
    if (!source || !handler) return DISP_E_TYPEMISMATCH;
    return connect(source, handler);
  }

private:
  struct Link {
    IConnectionPoint* point;
    DWORD cookie;
  };
  ~Bridge() {
    disconnect();
    InterlockedDecrement(&g_locks);
  }
  static IDispatch* object(VARIANT& v) {
    VARIANT* p = (V_VT(&v) == (VT_BYREF | VT_VARIANT)) ? V_VARIANTREF(&v) : &v;
    if (V_VT(p) == VT_DISPATCH) return V_DISPATCH(p);
    if (V_VT(p) == (VT_BYREF | VT_DISPATCH)) return *V_DISPATCHREF(p);
    return nullptr;
  }
  HRESULT connect(IDispatch* source, IDispatch* handler) {
    IConnectionPointContainer* cpc = nullptr;
    IEnumConnectionPoints* points = nullptr;
    IConnectionPoint* point = nullptr;
    ITypeInfo* own = nullptr;
    ITypeLib* lib = nullptr;
    ITypeInfo* events = nullptr;
    Sink* sink = nullptr;
    IID iid;
    UINT index = 0;
    DWORD cookie = 0;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc));
    if (SUCCEEDED(hr)) hr = cpc->EnumConnectionPoints(&points);
    if (SUCCEEDED(hr)) hr = points->Next(1, &point, nullptr) == S_OK ? S_OK : CONNECT_E_NOCONNECTION;
    if (SUCCEEDED(hr)) hr = point->GetConnectionInterface(&iid);
    if (SUCCEEDED(hr)) hr = source->GetTypeInfo(0, LOCALE_USER_DEFAULT, &own);
    if (SUCCEEDED(hr)) hr = own->GetContainingTypeLib(&lib, &index);
    if (SUCCEEDED(hr)) hr = lib->GetTypeInfoOfGuid(iid, &events);
    if (SUCCEEDED(hr)) {
      sink = new (std::nothrow) Sink(iid, events, handler);
      hr = sink ? point->Advise(sink, &cookie) : E_OUTOFMEMORY;
    }
    if (SUCCEEDED(hr)) {
      try {
        links_.push_back({point, cookie});
        point = nullptr;  // kept by the link
      } catch (const std::bad_alloc&) {
        point->Unadvise(cookie);
        hr = E_OUTOFMEMORY;
      }
    }
    release(sink);
    release(events);
    release(lib);
    release(own);
    release(point);
    release(points);
    release(cpc);
    return hr;
  }
  void disconnect() {
    for (Link& l : links_) {
      l.point->Unadvise(l.cookie);
      l.point->Release();
    }
    links_.clear();
  }
  std::vector<Link> links_;
  volatile LONG refs_ = 1;
};

class Factory final : public IClassFactory {
public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) *ppv = static_cast<IClassFactory*>(this);
    if (!*ppv) return E_NOINTERFACE;
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Bridge* b = new (std::nothrow) Bridge();
    if (!b) return E_OUTOFMEMORY;
    HRESULT hr = b->QueryInterface(riid, ppv);
    b->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) InterlockedIncrement(&g_locks);
    else InterlockedDecrement(&g_locks);
    return S_OK;
  }
};

Factory g_factory;

}  // namespace

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != kClsid) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return g_locks == 0 ? S_OK : S_FALSE; }
