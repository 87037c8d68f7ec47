#include "zr_data_convertor.h"
#include <cwchar>
#include <string>
#include <vector>
#include "byte_string.h"
#include "filter_escape.h"
#include "text_codecs.h"

namespace wick {
namespace {

HRESULT new_text(const std::u16string& t, BSTR* out) {
  *out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(t.data()), static_cast<UINT>(t.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT new_bytes(const std::vector<uint8_t>& b, BSTR* out) {
  *out = corv::make_bytes(b);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT run(zrDATA_CONVERSION direction, BSTR source, BSTR* out) {
  corv::ByteView in = corv::read_bytes(source);
  switch (direction) {
    case zrBinToHex:
      if (in.size == 0) return S_OK;
      return new_text(bin_to_hex(in.data, in.size), out);
    case zrHexToBin: {
      if (!source) return S_OK;
      // Read as text up to its first NUL (an odd trailing byte counts as half a character).
      size_t n = wcsnlen(source, (in.size + 1) / 2);
      if (n == 0) return S_OK;
      std::vector<uint8_t> bytes;
      if (!hex_to_bin(reinterpret_cast<const char16_t*>(source), n, bytes)) return E_INVALIDARG;
      return new_bytes(bytes, out);
    }
    case zrLdapStrToBin:
      if (in.size < 2) return S_OK;
      return new_bytes(ldap_str_to_bin(in.data, in.size), out);
    case zrBinToLdapStr:
      if (in.size == 0) return S_OK;
      return new_text(bin_to_ldap_str(in.data, in.size), out);
    case zrBinToLdapFilter:
      if (!source) return S_OK;
      return escape_filter_element(in.data, in.size, out);
    default: return E_INVALIDARG;
  }
}

}  // namespace

STDMETHODIMP ZrDataConvertor::convert(zrDATA_CONVERSION Direction, BSTR* SourceString, BSTR* ResultString) {
  if (ResultString) *ResultString = nullptr;  // the null string is also the answer for "nothing"
  if (!SourceString) return S_OK;
  if (!ResultString) return E_POINTER;
  corv::Lock hold(lock_);
  try {
    return run(Direction, *SourceString, ResultString);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// Declared but not implemented: nothing is read; the pure results read as nothing and false
// (the in-out list is the caller's and stays).
STDMETHODIMP ZrDataConvertor::printf(long, BSTR*, BSTR* BinaryData, SAFEARRAY**, VARIANT_BOOL* Result) {
  if (BinaryData) *BinaryData = nullptr;
  if (Result) *Result = VARIANT_FALSE;
  return E_NOTIMPL;
}

STDMETHODIMP ZrDataConvertor::scanf(long, BSTR*, BSTR*, SAFEARRAY** argv, VARIANT_BOOL* Result) {
  if (argv) *argv = nullptr;
  if (Result) *Result = VARIANT_FALSE;
  return E_NOTIMPL;
}

}  // namespace wick
