// The type-library contract: what each interface, enumeration, class and library must look
// like when read back from the embedded type library. One file per area declares its tables:
//
//   static const int reg = contract::add(contract::Interface{L"tern.dll", &IID_IzrSid, L"IzrSid",
//       L"IzrSid Interface", {{L"Sid", 1, contract::GET, L"String representation of the SID"}, ...}});
//
// Members are listed in slot order (after the IDispatch methods), one row per accessor.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <vector>

namespace contract {

enum Kind { FUNC = INVOKE_FUNC, GET = INVOKE_PROPERTYGET, PUT = INVOKE_PROPERTYPUT, PUTREF = INVOKE_PROPERTYPUTREF };

struct Member {
  const wchar_t* name;
  DISPID id;
  int kind;
  const wchar_t* help;   // nullptr: the member has no help string
};

struct Interface {
  const wchar_t* module;  // "tern.dll" or "wick.dll", read from the staging folder
  const IID* iid;
  const wchar_t* name;
  const wchar_t* help;
  std::vector<Member> members;
  bool dual = true;       // false for an outgoing dispinterface (members are then methods only)
};

struct EnumValue {
  const wchar_t* name;
  long value;
};

struct Enum {
  const wchar_t* module;
  const wchar_t* name;
  const wchar_t* help;    // nullptr: no help string
  std::vector<EnumValue> values;
};

struct Coclass {
  const wchar_t* module;
  const CLSID* clsid;
  const wchar_t* name;
  const wchar_t* help;
  const IID* default_iid;
  const IID* source_iid;  // nullptr: no event interface
};

struct Library {
  const wchar_t* module;
  const GUID* libid;
  const wchar_t* name;
  const wchar_t* help;
  WORD major, minor;
  std::vector<const wchar_t*> enum_order;  // every enumeration of the library, in order
};

int add(const Interface& i);
int add(const Enum& e);
int add(const Coclass& c);
int add(const Library& l);

const std::vector<Interface>& interfaces();
const std::vector<Enum>& enums();
const std::vector<Coclass>& coclasses();
const std::vector<Library>& libraries();

}  // namespace contract
