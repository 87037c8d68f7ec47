#include "dispatch.h"
#include <vector>

namespace corv {
namespace {

// The member's description for this kind of call, or null.
FUNCDESC* find_member(ITypeInfo* ti, DISPID id, WORD flags) {
  TYPEATTR* ta = nullptr;
  if (FAILED(ti->GetTypeAttr(&ta))) return nullptr;
  UINT n = ta->cFuncs;
  ti->ReleaseTypeAttr(ta);
  for (UINT i = 0; i < n; ++i) {
    FUNCDESC* fd = nullptr;
    if (FAILED(ti->GetFuncDesc(i, &fd))) continue;
    if (fd->memid == id && (fd->invkind & flags)) return fd;
    ti->ReleaseFuncDesc(fd);
  }
  return nullptr;
}

bool wants_plain_reference(const ELEMDESC& e, VARTYPE& pointee) {
  if (e.tdesc.vt != VT_PTR || !e.tdesc.lptdesc) return false;
  pointee = e.tdesc.lptdesc->vt;
  return pointee != VT_VARIANT && pointee != VT_PTR && pointee != VT_USERDEFINED && pointee != VT_SAFEARRAY;
}

}  // namespace

HRESULT invoke_through(ITypeInfo* ti, void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* excep, UINT* arg_err) {
  bool adapt = false;
  if (params && params->rgvarg) {
    for (UINT i = 0; i < params->cArgs && !adapt; ++i)
      adapt = V_VT(&params->rgvarg[i]) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&params->rgvarg[i]);
  }
  if (!adapt) return ti->Invoke(object, id, flags, params, result, excep, arg_err);

  FUNCDESC* fd = find_member(ti, id, flags);
  if (!fd) return ti->Invoke(object, id, flags, params, result, excep, arg_err);
  std::vector<VARIANT> args(params->rgvarg, params->rgvarg + params->cArgs);  // shallow: nothing is owned
  const UINT positional = params->cArgs - params->cNamedArgs;
  for (UINT j = 0; j < params->cArgs; ++j) {
    VARIANT& a = args[j];
    if (V_VT(&a) != (VT_VARIANT | VT_BYREF) || !V_VARIANTREF(&a)) continue;
    VARIANT* inner = V_VARIANTREF(&a);
    // Which parameter this argument fills: named ones by their identifier (the value of a
    // property put is the last parameter), positional ones right to left.
    int param;
    if (j < params->cNamedArgs) {
      DISPID named = params->rgdispidNamedArgs[j];
      param = named == DISPID_PROPERTYPUT ? fd->cParams - 1 : static_cast<int>(named);
    } else {
      param = static_cast<int>(params->cArgs - 1 - j);
      if (static_cast<UINT>(param) >= positional) continue;
    }
    if (param < 0 || param >= fd->cParams) continue;
    const ELEMDESC& desc = fd->lprgelemdescParam[param];
    VARTYPE pointee = VT_EMPTY;
    if (!wants_plain_reference(desc, pointee)) continue;
    const USHORT io = desc.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT);
    if (io == PARAMFLAG_FOUT) {
      if (V_VT(inner) & VT_BYREF) continue;  // a reference to somewhere else: not ours to clear
      if (FAILED(VariantClear(inner))) continue;
      V_VT(inner) = pointee;
      V_UI8(inner) = 0;  // null string, zero number: an empty result slot
    } else if (V_VT(inner) != pointee) {
      continue;
    }
    V_VT(&a) = static_cast<VARTYPE>(pointee | VT_BYREF);
    V_BYREF(&a) = &V_UI1(inner);  // the value inside the caller's variant
  }
  ti->ReleaseFuncDesc(fd);
  DISPPARAMS adapted = *params;
  adapted.rgvarg = args.data();
  return ti->Invoke(object, id, flags, &adapted, result, excep, arg_err);
}

}  // namespace corv
