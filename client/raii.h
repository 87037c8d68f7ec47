// RAII holders for the platform's resources: BSTR, VARIANT, COM pointers, handles, keys, buffers.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <utility>

namespace corv {

// Owns one BSTR (text or byte string).
class Bstr {
public:
  Bstr() = default;
  explicit Bstr(const wchar_t* text) : b_(text ? SysAllocString(text) : nullptr) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& o) noexcept : b_(o.release()) {}
  Bstr& operator=(Bstr&& o) noexcept {
    reset(o.release());
    return *this;
  }
  ~Bstr() { reset(); }

  static Bstr attach(BSTR b) {
    Bstr r;
    r.b_ = b;
    return r;
  }
  BSTR get() const { return b_; }
  BSTR* out() {
    reset();
    return &b_;
  }   // for [out] BSTR* parameters
  BSTR release() {
    BSTR b = b_;
    b_ = nullptr;
    return b;
  }
  void reset(BSTR b = nullptr) {
    if (b_) SysFreeString(b_);
    b_ = b;
  }
  UINT length() const { return b_ ? SysStringLen(b_) : 0; }
  UINT byte_length() const { return b_ ? SysStringByteLen(b_) : 0; }
  const wchar_t* c_str() const { return b_ ? b_ : L""; }
  explicit operator bool() const { return b_ != nullptr; }
private:
  BSTR b_ = nullptr;
};

// Owns one VARIANT.
class Variant {
public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }
  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  VARIANT* out() {
    VariantClear(&v_);
    return &v_;
  }
  HRESULT copy_to(VARIANT* dst) const {
    VariantInit(dst);
    return VariantCopy(dst, const_cast<VARIANT*>(&v_));
  }
  void detach(VARIANT* dst) {
    *dst = v_;
    VariantInit(&v_);
  }
private:
  VARIANT v_;
};

// Owns one counted COM reference.
template <class T>
class ComPtr {
public:
  ComPtr() = default;
  ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  ComPtr& operator=(const ComPtr& o) {
    if (this != &o) {
      T* old = p_;
      p_ = o.p_;
      if (p_) p_->AddRef();
      if (old) old->Release();
    }
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) {
      reset();
      p_ = o.p_;
      o.p_ = nullptr;
    }
    return *this;
  }
  ~ComPtr() { reset(); }

  static ComPtr attach(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** out() {
    reset();
    return &p_;
  }
  void** out_void() { return reinterpret_cast<void**>(out()); }
  T* detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  void reset() {
    if (p_) {
      T* p = p_;
      p_ = nullptr;
      p->Release();
    }
  }
  explicit operator bool() const { return p_ != nullptr; }
  template <class U> HRESULT query(U** out) const {
    return p_ ? p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out)) : E_POINTER;
  }
private:
  T* p_ = nullptr;
};

// Owns a kernel handle (CloseHandle). Null and INVALID_HANDLE_VALUE both mean none.
class Handle {
public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& o) noexcept : h_(o.release()) {}
  Handle& operator=(Handle&& o) noexcept {
    reset(o.release());
    return *this;
  }
  ~Handle() { reset(); }
  HANDLE get() const { return h_; }
  HANDLE* out() {
    reset();
    return &h_;
  }
  HANDLE release() {
    HANDLE h = h_;
    h_ = nullptr;
    return h;
  }
  void reset(HANDLE h = nullptr) {
    if (valid()) CloseHandle(h_);
    h_ = h;
  }
  bool valid() const { return h_ && h_ != INVALID_HANDLE_VALUE; }
private:
  HANDLE h_ = nullptr;
};

// Owns an open registry key (RegCloseKey); predefined roots are never closed.
class RegKey {
public:
  RegKey() = default;
  explicit RegKey(HKEY k) : k_(k) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& o) noexcept : k_(o.release()) {}
  RegKey& operator=(RegKey&& o) noexcept {
    reset(o.release());
    return *this;
  }
  ~RegKey() { reset(); }
  HKEY get() const { return k_; }
  HKEY* out() {
    reset();
    return &k_;
  }
  HKEY release() {
    HKEY k = k_;
    k_ = nullptr;
    return k;
  }
  void reset(HKEY k = nullptr) {
    if (k_ && !is_predefined(k_)) RegCloseKey(k_);
    k_ = k;
  }
  // The roots are 32-bit values sign-extended to pointer width: HKEY_LOCAL_MACHINE is
  // 0x80000002 on 32-bit Windows and 0xFFFFFFFF80000002 on 64-bit.
  static bool is_predefined(HKEY k) {
    const auto v = reinterpret_cast<LONG_PTR>(k);
    const auto root = [](ULONG value) { return static_cast<LONG_PTR>(static_cast<LONG>(value)); };
    return (v >= root(0x80000000UL) && v <= root(0x80000007UL)) || v == root(0x80000050UL) || v == root(0x80000060UL);
  }
private:
  HKEY k_ = nullptr;
};

// Owns memory from LocalAlloc / FormatMessage (LocalFree).
template <class T = void>
class LocalMem {
public:
  LocalMem() = default;
  LocalMem(const LocalMem&) = delete;
  LocalMem& operator=(const LocalMem&) = delete;
  ~LocalMem() {
    if (p_) LocalFree(p_);
  }
  T* get() const { return p_; }
  T** out() {
    if (p_) LocalFree(p_);
    p_ = nullptr;
    return &p_;
  }
private:
  T* p_ = nullptr;
};

// Owns a loaded module (FreeLibrary).
class Module {
public:
  Module() = default;
  explicit Module(HMODULE m) : m_(m) {}
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  ~Module() {
    if (m_) FreeLibrary(m_);
  }
  HMODULE get() const { return m_; }
private:
  HMODULE m_ = nullptr;
};

// Holds a critical section for the duration of a scope.
class CritSec {
public:
  CritSec() { InitializeCriticalSection(&cs_); }
  ~CritSec() { DeleteCriticalSection(&cs_); }
  CritSec(const CritSec&) = delete;
  CritSec& operator=(const CritSec&) = delete;
  void lock() { EnterCriticalSection(&cs_); }
  void unlock() { LeaveCriticalSection(&cs_); }
private:
  CRITICAL_SECTION cs_;
};

class Lock {
public:
  explicit Lock(CritSec& cs) : cs_(cs) { cs_.lock(); }
  ~Lock() { cs_.unlock(); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
private:
  CritSec& cs_;
};

// The calling thread in a COM apartment for a scope: joined on construction, left on
// destruction only when the join succeeded (a thread already in another apartment stays there).
class ComApartment {
public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) : hr_(CoInitializeEx(nullptr, model)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool joined() const { return SUCCEEDED(hr_); }
  HRESULT result() const { return hr_; }
private:
  HRESULT hr_;
};

// The wait cursor for a scope; the cursor before it comes back when the scope ends.
class WaitCursor {
public:
  WaitCursor() : old_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(old_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
private:
  HCURSOR old_;
};

// Runs a function when the scope ends, however it ends.
template <class F>
class ScopeExit {
public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() { f_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
private:
  F f_;
};

}  // namespace corv

#define RETURN_IF_FAILED(expr)   \
  do {                           \
    HRESULT hr_ = (expr);        \
    if (FAILED(hr_)) return hr_; \
  } while (0)
