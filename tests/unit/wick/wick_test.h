// Helpers for the wick.dll tests: objects made through the component system (registration)
// or straight from the library's class factory, files, and a recording event sink.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <functional>
#include <string>
#include <vector>
#include "com_test.h"
#include "event_sink.h"
#include "wick_h.h"

namespace wicktest {

// How a test makes its objects.
enum class Via { Registry, Factory };

inline std::string via_name(const ::testing::TestParamInfo<Via>& p) {
  return p.param == Via::Registry ? "Registry" : "Factory";
}

// wick.dll loaded from the staging folder, its exports called directly.
struct Library {
  HMODULE module = nullptr;
  HRESULT(WINAPI* get_class_object)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(WINAPI* can_unload)() = nullptr;
  Library();
  ~Library();
};
Library& library();

HRESULT make_raw(REFCLSID clsid, Via via, REFIID iid, void** out);

template <class T>
corv::ComPtr<T> make(REFCLSID clsid, Via via) {
  corv::ComPtr<T> p;
  HRESULT hr = make_raw(clsid, via, __uuidof(T), p.out_void());
  EXPECT_EQ(S_OK, hr) << "creating the object";
  return p;
}

// A BSTR holding exactly the given characters (embedded NULs included).
corv::Bstr text(const std::wstring& s);

// A fresh path in the temporary folder; the file is removed when the holder goes.
struct TempFile {
  std::wstring path;
  explicit TempFile(const wchar_t* tag);
  ~TempFile();
  std::vector<uint8_t> bytes() const;
};

// Bytes of an 8-bit text or of UTF-16LE text.
std::vector<uint8_t> ascii(const std::string& s);
std::vector<uint8_t> utf16(const std::wstring& s);

// One onError call as a sink saw it.
struct Event {
  DISPID id;
  std::vector<VARTYPE> types;    // argument types, in declaration order
  std::wstring system, source, description;
  long severity = 0, error = 0;
};

// An event sink for _IzrLogEvents (or for nothing, when `answers` is false). It may run a
// callback inside onError, to call back into the source.
class Sink final : public corvtest::DispatchObject<> {
public:
  static corv::ComPtr<Sink> make(bool answers = true) { return corv::ComPtr<Sink>::attach(new Sink(answers)); }

  std::vector<Event> events;     // guarded by lock
  CRITICAL_SECTION lock;
  HRESULT answer = S_OK;         // what Invoke returns
  void (*during)(Sink*, void*) = nullptr;
  void* during_arg = nullptr;
  size_t count();

  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override;

private:
  explicit Sink(bool answers) : answers_(answers) { InitializeCriticalSection(&lock); }
  ~Sink() { DeleteCriticalSection(&lock); }
  // One that does not answer is no sink for the log's events.
  bool serves(REFIID riid) const override { return answers_ && (riid == IID_IDispatch || riid == DIID__IzrLogEvents); }
  bool answers_;
};

// An object whose default property (DISPID_VALUE) answers "h", as a script object's would.
// `during` runs once, inside the next property get: it may change the container converting it.
class ValueObject final : public corvtest::DispatchObject<> {
public:
  static corv::ComPtr<ValueObject> make() { return corv::ComPtr<ValueObject>::attach(new ValueObject); }
  std::function<void()> during;

  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
    if (auto run = std::move(during)) run();
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = SysAllocString(L"h");
    return S_OK;
  }
};

// Stores the object as the value at index (the attribute takes its own reference).
inline HRESULT put_object(IzrAttribute* a, long index, IDispatch* object) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = object;
  return a->put_Value(index, &v);
}

// The log object's one connection point.
corv::ComPtr<IConnectionPoint> log_point(IUnknown* log);

}  // namespace wicktest
