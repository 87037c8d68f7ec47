// Byte strings: automation strings whose payload is raw bytes, counted in bytes.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <cstdint>
#include <vector>

namespace corv {

// A view of a byte string; a null string reads as length 0 with no payload.
struct ByteView {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

inline ByteView read_bytes(BSTR b) {
  if (!b) return {};
  return {reinterpret_cast<const uint8_t*>(b), SysStringByteLen(b)};
}

// A new byte string holding exactly n bytes; nullptr when it cannot be allocated.
inline BSTR make_bytes(const void* p, size_t n) {
  if (n > 0x7FFFFFF0u) return nullptr;
  return SysAllocStringByteLen(static_cast<const char*>(p), static_cast<UINT>(n));
}
inline BSTR make_bytes(const std::vector<uint8_t>& v) {
  return make_bytes(v.empty() ? "" : reinterpret_cast<const char*>(v.data()), v.size());
}

inline VARIANT_BOOL to_vb(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }

// A new copy of a text (empty when none), for string getters.
inline HRESULT copy_text(const wchar_t* s, BSTR* out) {
  *out = SysAllocString(s ? s : L"");
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace corv
