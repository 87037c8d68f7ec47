// The escaped value of a directory search-filter element, through the directory client's own
// routine when it can be had, else escaped here.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <cstdint>

namespace wick {

// A new text for the n bytes (an empty text for n = 0). E_OUTOFMEMORY when it cannot be made.
HRESULT escape_filter_element(const uint8_t* data, size_t n, BSTR* out);

// Whether the directory client's routine was found (loads WLDAP32 on first use).
bool directory_escape_routine_available();

}  // namespace wick
