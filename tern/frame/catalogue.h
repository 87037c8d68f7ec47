// The library's message catalogue and the system's error texts.
#pragma once
#include <windows.h>
#include <string>

namespace tern {

// Lookup identifiers for a report's error text.
constexpr DWORD kLookupSystem = 0;             // the system's message table
constexpr DWORD kLookupNone = 0xFFFFFFFF;      // no error text at all
constexpr DWORD kLookupNetMsg = 0xC0001000;    // the network message module first

// Severities (the log object's zrERROR_SEVERITY values).
constexpr long kSevError = 0;
constexpr long kSevInformational = 2;

// Formats catalogue message id with up to three string inserts (null inserts read as empty)
// into out, cut at the first CR LF. On failure out keeps what it held; returns false.
bool catalogue_text(std::wstring& out, DWORD id, const wchar_t* i1 = nullptr, const wchar_t* i2 = nullptr,
                    const wchar_t* i3 = nullptr);

// The system's text for an error code, cut at the first CR LF; empty when there is none.
std::wstring system_error_text(DWORD code);

// The text for code from the module named by catalogue message lookup_id ("netmsg.dll"), taken
// from the system folder only, cut at the first CR LF; empty when the module or the message is
// missing.
std::wstring lookup_module_text(DWORD code, DWORD lookup_id);

// "(local)" for an unset computer, else the name as held.
std::wstring computer_text(const wchar_t* system);

}  // namespace tern
