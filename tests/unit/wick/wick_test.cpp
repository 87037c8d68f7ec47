#include "wick_test.h"

namespace wicktest {

Library::Library() {
  module = LoadLibraryW((corvtest::program_folder() + L"wick.dll").c_str());
  if (!module) return;
  get_class_object = reinterpret_cast<decltype(get_class_object)>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  can_unload = reinterpret_cast<decltype(can_unload)>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
}

Library::~Library() {
  if (module) FreeLibrary(module);
}

// Kept until the process ends and never freed then: a FreeLibrary from the program's static
// destructors would unload the library after the component system has been shut down.
Library& library() {
  static Library* lib = new Library;
  return *lib;
}

HRESULT make_raw(REFCLSID clsid, Via via, REFIID iid, void** out) {
  *out = nullptr;
  if (via == Via::Registry) return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, out);
  Library& lib = library();
  if (!lib.get_class_object) return E_FAIL;
  corv::ComPtr<IClassFactory> cf;
  HRESULT hr = lib.get_class_object(clsid, IID_IClassFactory, cf.out_void());
  if (FAILED(hr)) return hr;
  return cf->CreateInstance(nullptr, iid, out);
}

corv::Bstr text(const std::wstring& s) {
  return corv::Bstr::attach(SysAllocStringLen(s.data(), static_cast<UINT>(s.size())));
}

TempFile::TempFile(const wchar_t* tag) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  path = std::wstring(dir) + L"wick_" + tag + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
         std::to_wstring(GetTickCount()) + L".log";
  DeleteFileW(path.c_str());
}

TempFile::~TempFile() { DeleteFileW(path.c_str()); }

std::vector<uint8_t> TempFile::bytes() const {
  std::vector<uint8_t> out;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return out;
  uint8_t buf[4096];
  DWORD n = 0;
  while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n) out.insert(out.end(), buf, buf + n);
  CloseHandle(f);
  return out;
}

std::vector<uint8_t> ascii(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> utf16(const std::wstring& s) {
  std::vector<uint8_t> out;
  for (wchar_t c : s) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

size_t Sink::count() {
  EnterCriticalSection(&lock);
  size_t n = events.size();
  LeaveCriticalSection(&lock);
  return n;
}

STDMETHODIMP Sink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
  Event e;
  e.id = id;
  UINT n = params ? params->cArgs : 0;
  // Arguments arrive last first.
  for (UINT i = 0; i < n; ++i) e.types.push_back(V_VT(&params->rgvarg[n - 1 - i]));
  auto arg = [&](UINT k) -> VARIANT& { return params->rgvarg[n - 1 - k]; };
  if (n == 5) {
    if (V_VT(&arg(0)) == VT_BSTR) e.system = corvtest::str(V_BSTR(&arg(0)));
    if (V_VT(&arg(1)) == VT_BSTR) e.source = corvtest::str(V_BSTR(&arg(1)));
    if (V_VT(&arg(2)) == VT_I4) e.severity = V_I4(&arg(2));
    if (V_VT(&arg(3)) == VT_I4) e.error = V_I4(&arg(3));
    if (V_VT(&arg(4)) == VT_BSTR) e.description = corvtest::str(V_BSTR(&arg(4)));
    // A sink may keep or change what it is given: each one has its own copies.
    if (V_VT(&arg(0)) == VT_BSTR && V_BSTR(&arg(0)) && SysStringLen(V_BSTR(&arg(0)))) V_BSTR(&arg(0))[0] = L'#';
  }
  EnterCriticalSection(&lock);
  events.push_back(e);
  LeaveCriticalSection(&lock);
  if (during) during(this, during_arg);
  return answer;
}

corv::ComPtr<IConnectionPoint> log_point(IUnknown* log) {
  corv::ComPtr<IConnectionPointContainer> cpc;
  corv::ComPtr<IConnectionPoint> cp;
  EXPECT_EQ(S_OK, log->QueryInterface(IID_IConnectionPointContainer, cpc.out_void()));
  if (cpc) {
    EXPECT_EQ(S_OK, cpc->FindConnectionPoint(DIID__IzrLogEvents, cp.out()));
  }
  return cp;
}

}  // namespace wicktest
