// Outgoing events: one connection point per class, written once for every class that fires
// events (IConnectionPointContainer, IConnectionPoint, IEnumConnections, IEnumConnectionPoints).
//
// Use: list corv::Events<&DIID_X> among the Extras of a corv::CoClass. The class then answers
// QueryInterface for IConnectionPointContainer, offers exactly one connection point (for the
// dispinterface X) and fires with
//
//   fire(dispid, {arg1, arg2, ...})      // arguments in the order the event declares them
//
// or, for full control, takes connected_sinks() and calls each sink itself.
//
// Rules the machinery keeps:
// - The outgoing interface is a dispinterface: Advise asks the sink for it (CONNECT_E_CANNOTCONNECT
//   when the sink does not answer) and keeps that IDispatch pointer, one reference per connection.
// - Cookies are never 0 and never reused within one object; Unadvise of an unknown cookie answers
//   CONNECT_E_NOCONNECTION. Connections are kept in the order they were made.
// - The sink list has its own critical section (sink_lock()). It is held only while the list is
//   read or changed, never while a sink is called: a sink may call back into the object, Advise
//   or Unadvise while it is being fired.
// - The connection point's reference count is the container's (it lives inside the object).
//   EnumConnections and EnumConnectionPoints hand out snapshots; the enumerators keep the server
//   lock count up while they live.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <initializer_list>
#include <vector>
#include "raii.h"

namespace corv {

// The one connection point of a container; its identity is its own, its lifetime the owner's.
class ConnectionPoint final : public IConnectionPoint {
public:
  ConnectionPoint(IConnectionPointContainer* owner, REFIID iid) : owner_(owner), iid_(iid) {}
  ~ConnectionPoint();
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  // IUnknown: AddRef and Release go to the owner.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
  // IConnectionPoint
  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** out) override;

  REFIID iid() const { return iid_; }
  CritSec& sink_lock() { return lock_; }
  // Number of connections now.
  size_t count();
  // References to the connected sinks, in connection order, taken under the lock. Empty when
  // the copy cannot be allocated (events are best effort).
  std::vector<ComPtr<IDispatch>> sinks();
  // Invokes `id` as a method on every sink connected when the call starts, outside the lock.
  // `args` in declaration order; each sink gets its own copies; results and failures ignored.
  void fire(DISPID id, const VARIANT* args, size_t count);

private:
  struct Connection {
    DWORD cookie;
    IDispatch* sink;
  };
  IConnectionPointContainer* owner_;
  IID iid_;
  CritSec lock_;
  std::vector<Connection> connections_;
  DWORD next_cookie_ = 1;
};

// IConnectionPointContainer with exactly one point; the mixin part shared by every Events<>.
class ConnectionPointContainerBase : public IConnectionPointContainer {
public:
  using interface_type = IConnectionPointContainer;
  static REFIID iid() { return IID_IConnectionPointContainer; }

  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
  STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

  ConnectionPoint& connection_point() { return point_; }
  CritSec& sink_lock() { return point_.sink_lock(); }
  size_t sink_count() { return point_.count(); }
  std::vector<ComPtr<IDispatch>> connected_sinks() { return point_.sinks(); }
  void fire(DISPID id, std::initializer_list<VARIANT> args) { point_.fire(id, args.begin(), args.size()); }

protected:
  explicit ConnectionPointContainerBase(REFIID event_iid) : point_(this, event_iid) {}
  ~ConnectionPointContainerBase() = default;

private:
  ConnectionPoint point_;
};

// The Extras mixin: EventIid is the address of the outgoing dispinterface's identifier.
template <const IID* EventIid>
class Events : public ConnectionPointContainerBase {
protected:
  Events() : ConnectionPointContainerBase(*EventIid) {}
};

// Small helpers for event arguments (the VARIANTs borrow; fire() copies them per sink).
inline VARIANT event_arg(BSTR s) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = s;
  return v;
}
inline VARIANT event_arg(long n) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = n;
  return v;
}
inline VARIANT event_arg(IDispatch* d) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = d;
  return v;
}

}  // namespace corv
