#include "connection_point.h"
#include <olectl.h>
#include <new>
#include "server.h"

namespace corv {
namespace {

// IEnumConnections over a snapshot of the connections (each holding a sink reference).
class EnumConnectionsImpl final : public IEnumConnections {
public:
  EnumConnectionsImpl() { server().lock(); }

  // Takes references to the sinks; false when the snapshot cannot be allocated.
  bool assign(const CONNECTDATA* items, size_t n) {
    try {
      items_.assign(items, items + n);
    } catch (const std::bad_alloc&) {
      return false;
    }
    for (CONNECTDATA& c : items_) c.pUnk->AddRef();
    return true;
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IEnumConnections)) return E_NOINTERFACE;
    *ppv = static_cast<IEnumConnections*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  STDMETHODIMP Next(ULONG celt, CONNECTDATA* out, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (!out) return E_POINTER;
    if (celt > 1 && !fetched) return E_POINTER;
    ULONG n = 0;
    for (; n < celt && pos_ < items_.size(); ++n, ++pos_) {
      out[n] = items_[pos_];
      out[n].pUnk->AddRef();  // the caller releases what it receives
    }
    if (fetched) *fetched = n;
    return n == celt ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG celt) override {
    size_t left = items_.size() - pos_;
    if (celt > left) {
      pos_ = items_.size();
      return S_FALSE;
    }
    pos_ += celt;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    pos_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumConnections** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* e = new (std::nothrow) EnumConnectionsImpl();
    if (!e) return E_OUTOFMEMORY;
    if (!e->assign(items_.data(), items_.size())) {
      e->Release();
      return E_OUTOFMEMORY;
    }
    e->pos_ = pos_;
    *out = e;
    return S_OK;
  }

private:
  ~EnumConnectionsImpl() {
    for (CONNECTDATA& c : items_) c.pUnk->Release();
    server().unlock();
  }
  volatile LONG refs_ = 1;
  std::vector<CONNECTDATA> items_;
  size_t pos_ = 0;
};

// IEnumConnectionPoints over the container's one point (which keeps the container alive).
class EnumPointsImpl final : public IEnumConnectionPoints {
public:
  explicit EnumPointsImpl(IConnectionPoint* point) : point_(point) { server().lock(); }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IEnumConnectionPoints)) return E_NOINTERFACE;
    *ppv = static_cast<IEnumConnectionPoints*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  STDMETHODIMP Next(ULONG celt, IConnectionPoint** out, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (!out) return E_POINTER;
    if (celt > 1 && !fetched) return E_POINTER;
    ULONG n = 0;
    if (celt > 0 && pos_ == 0) {
      out[0] = point_.get();
      out[0]->AddRef();
      pos_ = 1;
      n = 1;
    }
    if (fetched) *fetched = n;
    return n == celt ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG celt) override {
    if (celt == 0) return S_OK;
    bool ok = pos_ == 0 && celt == 1;
    pos_ = 1;
    return ok ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    pos_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumConnectionPoints** out) override {
    if (!out) return E_POINTER;
    auto* e = new (std::nothrow) EnumPointsImpl(point_.get());
    *out = e;
    if (!e) return E_OUTOFMEMORY;
    e->pos_ = pos_;
    return S_OK;
  }

private:
  ~EnumPointsImpl() { server().unlock(); }
  volatile LONG refs_ = 1;
  ComPtr<IConnectionPoint> point_;
  size_t pos_ = 0;
};

}  // namespace

ConnectionPoint::~ConnectionPoint() {
  // The owner is going away: no client can call the point any more.
  for (Connection& c : connections_) c.sink->Release();
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IConnectionPoint)) return E_NOINTERFACE;
  *ppv = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  *out = owner_;
  owner_->AddRef();
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie) *cookie = 0;
  if (!sink || !cookie) return E_POINTER;
  IDispatch* d = nullptr;
  if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&d))) || !d) return CONNECT_E_CANNOTCONNECT;
  {
    Lock hold(lock_);
    try {
      connections_.push_back({next_cookie_, d});
      *cookie = next_cookie_++;
      if (next_cookie_ == 0) next_cookie_ = 1;
      return S_OK;
    } catch (const std::bad_alloc&) {}
  }
  d->Release();
  return E_OUTOFMEMORY;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
  IDispatch* gone = nullptr;
  {
    Lock hold(lock_);
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
      if (it->cookie == cookie) {
        gone = it->sink;
        connections_.erase(it);
        break;
      }
    }
  }
  if (!gone) return CONNECT_E_NOCONNECTION;
  gone->Release();  // outside the lock: the sink's destructor may call back
  return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* e = new (std::nothrow) EnumConnectionsImpl();
  if (!e) return E_OUTOFMEMORY;
  bool ok;
  {
    Lock hold(lock_);
    std::vector<CONNECTDATA> snap;
    try {
      snap.reserve(connections_.size());
      for (const Connection& c : connections_) snap.push_back({c.sink, c.cookie});
      ok = e->assign(snap.data(), snap.size());
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  if (!ok) {
    e->Release();
    return E_OUTOFMEMORY;
  }
  *out = e;
  return S_OK;
}

size_t ConnectionPoint::count() {
  Lock hold(lock_);
  return connections_.size();
}

std::vector<ComPtr<IDispatch>> ConnectionPoint::sinks() {
  std::vector<ComPtr<IDispatch>> out;
  Lock hold(lock_);
  try {
    out.reserve(connections_.size());
    for (const Connection& c : connections_) out.emplace_back(c.sink);
  } catch (const std::bad_alloc&) {
    out.clear();  // the connections still hold these sinks: no sink is destroyed here
  }
  return out;
}

void ConnectionPoint::fire(DISPID id, const VARIANT* args, size_t count) {
  std::vector<ComPtr<IDispatch>> targets = sinks();
  if (targets.empty()) return;
  std::vector<VARIANT> call;
  try {
    call.resize(count);
  } catch (const std::bad_alloc&) {
    return;
  }
  for (ComPtr<IDispatch>& sink : targets) {
    // Fresh copies for each sink, in the reverse order that DISPPARAMS wants.
    size_t made = 0;
    HRESULT hr = S_OK;
    for (; made < count; ++made) {
      VARIANT& v = call[count - 1 - made];
      VariantInit(&v);
      hr = VariantCopy(&v, const_cast<VARIANT*>(&args[made]));
      if (FAILED(hr)) break;
    }
    if (SUCCEEDED(hr)) {
      DISPPARAMS dp = {call.empty() ? nullptr : call.data(), nullptr, static_cast<UINT>(count), 0};
      Variant result;
      sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, result.get(), nullptr, nullptr);
    }
    for (size_t i = 0; i < made; ++i) VariantClear(&call[count - 1 - i]);
  }
}

STDMETHODIMP ConnectionPointContainerBase::EnumConnectionPoints(IEnumConnectionPoints** out) {
  if (!out) return E_POINTER;
  *out = new (std::nothrow) EnumPointsImpl(&point_);
  return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ConnectionPointContainerBase::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(riid, point_.iid())) return CONNECT_E_NOCONNECTION;
  *out = &point_;
  point_.AddRef();
  return S_OK;
}

}  // namespace corv
