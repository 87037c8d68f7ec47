#include "filter_escape.h"
#include "raii.h"
#include "text_codecs.h"

namespace wick {
namespace {

// ULONG ldap_escape_filter_elementW(PCHAR source, ULONG sourceLength, PWCHAR dest, ULONG destLength)
using EscapeFn = ULONG(__cdecl*)(PCHAR, ULONG, PWCHAR, ULONG);

// Looked up by name: the export's ordinal differs between implementations of the library (on
// some it is another routine altogether), and calling the wrong one would corrupt memory.
EscapeFn escape_routine() {
  static const EscapeFn fn = [] {
    HMODULE ldap = LoadLibraryW(L"wldap32.dll");  // kept for the life of the process
    return ldap ? reinterpret_cast<EscapeFn>(reinterpret_cast<void*>(GetProcAddress(ldap,
                                                                                    "ldap_escape_filter_elementW")))
                : nullptr;
  }();
  return fn;
}

// The two-call protocol: the size needed (terminating NUL included), then the escaping into a
// text of that size less one. False when the routine refuses the buffer it asked for.
bool escape_with_routine(EscapeFn fn, const uint8_t* data, size_t n, BSTR* out, HRESULT* hr) {
  if (n > 0x3FFFFFFF) return false;
  char empty = 0;
  PCHAR src = n ? reinterpret_cast<PCHAR>(const_cast<uint8_t*>(data)) : &empty;
  ULONG size = fn(src, static_cast<ULONG>(n), nullptr, 0);
  if (size == 0 || size > 0x3FFFFFFF) return false;
  corv::Bstr text = corv::Bstr::attach(SysAllocStringLen(nullptr, size - 1));
  if (!text) {
    *hr = E_OUTOFMEMORY;
    return true;
  }
  if (fn(src, static_cast<ULONG>(n), text.get(), 2 * size) != 0) return false;
  *out = text.release();
  *hr = S_OK;
  return true;
}

}  // namespace

bool directory_escape_routine_available() { return escape_routine() != nullptr; }

HRESULT escape_filter_element(const uint8_t* data, size_t n, BSTR* out) {
  *out = nullptr;
  HRESULT hr = S_OK;
  if (EscapeFn fn = escape_routine())
    if (escape_with_routine(fn, data, n, out, &hr)) return hr;
  // No usable routine: escape the bytes the way a filter value is escaped.
  std::u16string text = escape_filter_value(data, n);
  *out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace wick
