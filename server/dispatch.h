// Late-bound calls through a type library, shared by every class.
#pragma once
#include <windows.h>
#include <oleauto.h>

namespace corv {

// ITypeInfo::Invoke, after one adaptation scripts need: an argument passed as a reference to
// a variant (how script engines pass their variables) is handed to a by-reference parameter
// of a plain type (BSTR*, long*, ...) as a reference to the value inside that variant, when
// the variant holds exactly that type. Everything else goes to the type library unchanged.
HRESULT invoke_through(ITypeInfo* ti, void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* excep, UINT* arg_err);

}  // namespace corv
