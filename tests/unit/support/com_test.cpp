#include "com_test.h"

namespace corvtest {

void ComEnvironment::SetUp() { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
void ComEnvironment::TearDown() { CoUninitialize(); }

// Registered before main() runs, so every test program gets the component system.
static ::testing::Environment* const g_com_env = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

corv::Bstr bytes(const std::vector<uint8_t>& v) {
  return corv::Bstr::attach(SysAllocStringByteLen(v.empty() ? "" : reinterpret_cast<const char*>(v.data()),
                                                  static_cast<UINT>(v.size())));
}

std::vector<uint8_t> bytes_of(BSTR b) {
  if (!b) return {};
  const uint8_t* p = reinterpret_cast<const uint8_t*>(b);
  return std::vector<uint8_t>(p, p + SysStringByteLen(b));
}

std::vector<uint8_t> hex(const char* text) {
  std::vector<uint8_t> out;
  int nib = -1;
  for (const char* p = text; *p; ++p) {
    int v;
    if (*p >= '0' && *p <= '9') v = *p - '0';
    else if (*p >= 'a' && *p <= 'f') v = *p - 'a' + 10;
    else if (*p >= 'A' && *p <= 'F') v = *p - 'A' + 10;
    else continue;
    if (nib < 0) nib = v;
    else {
      out.push_back(static_cast<uint8_t>(nib * 16 + v));
      nib = -1;
    }
  }
  return out;
}

std::wstring str(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

std::wstring program_folder() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring s(buf, n);
  return s.substr(0, s.find_last_of(L"\\/") + 1);
}

HRESULT invoke(IDispatch* d, const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
  DISPID id = 0;
  LPOLESTR n = const_cast<LPOLESTR>(name);
  HRESULT hr = d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  std::vector<VARIANT> rev(args.rbegin(), args.rend());  // arguments go right to left
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS dp = {rev.empty() ? nullptr : rev.data(), nullptr, static_cast<UINT>(rev.size()), 0};
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    dp.rgdispidNamedArgs = &put_id;
    dp.cNamedArgs = 1;
  }
  if (result) VariantInit(result);
  return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, result, nullptr, nullptr);
}

}  // namespace corvtest
