// Parser for registration scripts in the usual .rgs syntax:
//   HKCR { NoRemove CLSID { ForceRemove {guid} = s 'text' { val Name = s 'x' } } }
// Plain C++ with no platform headers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace corv {

struct RgsValue {
  bool present = false;
  wchar_t kind = L's';       // 's' text, 'd' 32-bit number
  std::wstring text;
  uint32_t number = 0;
};

struct RgsNode {
  std::wstring name;
  bool is_value = false;     // "val Name = ..." (a named value, not a key)
  bool force_remove = false;
  bool no_remove = false;
  RgsValue value;            // the key's default value, or the named value
  std::vector<RgsNode> children;
};

// Replaces %NAME% variables; a quote in a replacement is doubled, as the script's quoting needs.
std::wstring rgs_substitute(const std::wstring& script, const std::wstring& name, const std::wstring& value);

// Parses a whole script into its root keys. False with a reason on any syntax error.
bool parse_rgs(const std::wstring& script, std::vector<RgsNode>& roots, std::wstring* error);

}  // namespace corv
