#include "zr_user_browser.h"
#include <new>

namespace tern {
namespace {

// Copies a held text into an [out] text; a null reference is skipped.
HRESULT copy_out(const corv::Bstr& from, BSTR* to) {
  if (!to) return S_OK;
  if (!from) {
    *to = nullptr;
    return S_OK;
  }
  *to = SysAllocStringLen(from.get(), from.length());
  return *to ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

STDMETHODIMP ZrUserBrowser::Open(LONG hWndOwner, BSTR Title, BSTR Server, BSTR HelpFileName, LONG Param1, LONG Param2,
                                 LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = 0;
  selection_.clear();
  try {
    PickRequest r = {reinterpret_cast<HWND>(static_cast<LONG_PTR>(hWndOwner)),
                     Title,
                     Server,
                     HelpFileName,
                     static_cast<DWORD>(Param1),
                     static_cast<DWORD>(Param2)};
    pick_accounts(r, selection_);
  } catch (const std::bad_alloc&) {
    // Keeps the picks that could be stored.
  }
  *pVal = static_cast<LONG>(selection_.size());
  return S_OK;
}

STDMETHODIMP ZrUserBrowser::GetSelection(LONG Index, BSTR* Domain, BSTR* Account, BSTR* Description) {
  // A null reference is skipped; every other one reads as a null string until a pick fills it.
  for (BSTR* out : {Domain, Account, Description})
    if (out) *out = nullptr;
  if (Index < 0 || static_cast<size_t>(Index) >= selection_.size()) return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX);
  const PickedAccount& a = selection_[static_cast<size_t>(Index)];
  BSTR d = nullptr, n = nullptr, t = nullptr;
  HRESULT hr = copy_out(a.domain, Domain ? &d : nullptr);
  if (SUCCEEDED(hr)) hr = copy_out(a.account, Account ? &n : nullptr);
  if (SUCCEEDED(hr)) hr = copy_out(a.description, Description ? &t : nullptr);
  if (FAILED(hr)) {
    SysFreeString(d);
    SysFreeString(n);
    SysFreeString(t);
    return hr;
  }
  if (Domain) *Domain = d;
  if (Account) *Account = n;
  if (Description) *Description = t;
  return S_OK;
}

}  // namespace tern
