// Late-bound calls through a type library, shared by every class.
#pragma once
#include <windows.h>
#include <oleauto.h>

namespace corv {

// ITypeInfo::Invoke, after one adaptation scripts need. Script engines pass their variables as
// references to variants; a by-reference parameter of a plain type (BSTR*, long*, ...) then
// gets a reference to the value inside the caller's variant:
// - an [out]-only parameter: the variant is cleared and given that type, so the member's
//   result lands in the script's variable whatever it held before;
// - an [in] or [in, out] parameter: only when the variant holds exactly that type.
// Everything else goes to the type library unchanged.
HRESULT invoke_through(ITypeInfo* ti, void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* excep, UINT* arg_err);

}  // namespace corv
