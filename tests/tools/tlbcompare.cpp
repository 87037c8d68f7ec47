// Compares the type libraries embedded in two builds of one library (i686 and x86_64):
// every type, member, parameter, value and help string must agree; only what depends on
// the pointer size (vtable offsets, instance sizes, system kind) may differ.
// Usage: tlbcompare <i686 module> <x86_64 module>   Exit 0 when they agree.
#include <windows.h>
#include <oleauto.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring bstr(BSTR b) {
  std::wstring s = b ? std::wstring(b, SysStringLen(b)) : L"<null>";
  SysFreeString(b);
  return s;
}

std::wstring doc(ITypeInfo* ti, MEMBERID id) {
  BSTR n = nullptr, h = nullptr;
  ti->GetDocumentation(id, &n, &h, nullptr, nullptr);
  return bstr(n) + L" \"" + bstr(h) + L"\"";
}

std::wstring type_text(ITypeInfo* ti, const TYPEDESC& td) {
  if (td.vt == VT_PTR) return L"*" + type_text(ti, *td.lptdesc);
  if (td.vt == VT_USERDEFINED) {
    ITypeInfo* ref = nullptr;
    std::wstring s = L"?";
    if (SUCCEEDED(ti->GetRefTypeInfo(td.hreftype, &ref))) {
      BSTR n = nullptr;
      ref->GetDocumentation(MEMBERID_NIL, &n, nullptr, nullptr, nullptr);
      s = bstr(n);
      ref->Release();
    }
    return s;
  }
  return L"vt" + std::to_wstring(td.vt);
}

void dump(ITypeLib* tl, std::vector<std::wstring>& out, SYSKIND& sys) {
  TLIBATTR* la = nullptr;
  tl->GetLibAttr(&la);
  sys = la->syskind;
  wchar_t g[64];
  StringFromGUID2(la->guid, g, 64);
  out.push_back(std::wstring(L"library ") + g + L" " + std::to_wstring(la->wMajorVerNum) + L"." +
                std::to_wstring(la->wMinorVerNum) + L" lcid " + std::to_wstring(la->lcid) + L" flags " +
                std::to_wstring(la->wLibFlags));
  tl->ReleaseTLibAttr(la);
  BSTR n = nullptr, h = nullptr;
  tl->GetDocumentation(-1, &n, &h, nullptr, nullptr);
  out.push_back(L"  " + bstr(n) + L" \"" + bstr(h) + L"\"");
  for (UINT i = 0; i < tl->GetTypeInfoCount(); ++i) {
    ITypeInfo* ti = nullptr;
    if (FAILED(tl->GetTypeInfo(i, &ti))) {
      out.push_back(L"type ? unreadable");
      continue;
    }
    TYPEATTR* ta = nullptr;
    ti->GetTypeAttr(&ta);
    StringFromGUID2(ta->guid, g, 64);
    out.push_back(L"type " + doc(ti, MEMBERID_NIL) + L" kind " + std::to_wstring(ta->typekind) + L" " + g + L" flags " +
                  std::to_wstring(ta->wTypeFlags) + L" funcs " + std::to_wstring(ta->cFuncs) + L" vars " +
                  std::to_wstring(ta->cVars) + L" impl " + std::to_wstring(ta->cImplTypes));
    for (UINT f = 0; f < ta->cFuncs; ++f) {
      FUNCDESC* fd = nullptr;
      ti->GetFuncDesc(f, &fd);
      std::wstring line = L"  func " + doc(ti, fd->memid) + L" id " + std::to_wstring(fd->memid) + L" inv " +
                          std::to_wstring(fd->invkind) + L" ret " + type_text(ti, fd->elemdescFunc.tdesc) + L" (";
      BSTR names[32] = {};
      UINT got = 0;
      ti->GetNames(fd->memid, names, 32, &got);
      for (SHORT p = 0; p < fd->cParams; ++p) {
        line += type_text(ti, fd->lprgelemdescParam[p].tdesc) + L" flags" +
                std::to_wstring(fd->lprgelemdescParam[p].paramdesc.wParamFlags) + L" ";
      }
      for (UINT k = 0; k < got; ++k) line += bstr(names[k]) + L",";
      out.push_back(line + L")");
      ti->ReleaseFuncDesc(fd);
    }
    for (UINT v = 0; v < ta->cVars; ++v) {
      VARDESC* vd = nullptr;
      ti->GetVarDesc(v, &vd);
      std::wstring val;
      if (vd->varkind == VAR_CONST && vd->lpvarValue) {
        VARIANT x;
        VariantInit(&x);
        if (SUCCEEDED(VariantChangeType(&x, vd->lpvarValue, 0, VT_BSTR))) val = bstr(V_BSTR(&x));
      }
      out.push_back(L"  var " + doc(ti, vd->memid) + L" = " + val);
      ti->ReleaseVarDesc(vd);
    }
    for (UINT k = 0; k < ta->cImplTypes; ++k) {
      HREFTYPE ref = 0;
      INT flags = 0;
      ITypeInfo* it = nullptr;
      ti->GetImplTypeFlags(k, &flags);
      if (SUCCEEDED(ti->GetRefTypeOfImplType(k, &ref)) && SUCCEEDED(ti->GetRefTypeInfo(ref, &it))) {
        out.push_back(L"  impl " + doc(it, MEMBERID_NIL) + L" flags " + std::to_wstring(flags));
        it->Release();
      }
    }
    ti->ReleaseTypeAttr(ta);
    ti->Release();
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fwprintf(stderr, L"usage: tlbcompare <i686 module> <x86_64 module>\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ITypeLib* a = nullptr;
  ITypeLib* b = nullptr;
  HRESULT ha = LoadTypeLibEx(argv[1], REGKIND_NONE, &a);
  HRESULT hb = LoadTypeLibEx(argv[2], REGKIND_NONE, &b);
  if (FAILED(ha) || FAILED(hb)) {
    fwprintf(stderr, L"cannot load: %ls 0x%08lx, %ls 0x%08lx\n", argv[1], ha, argv[2], hb);
    return 1;
  }
  std::vector<std::wstring> da, db;
  SYSKIND sa, sb;
  dump(a, da, sa);
  dump(b, db, sb);
  int bad = 0;
  if (sa != SYS_WIN32) {
    fwprintf(stderr, L"i686 type library is not SYS_WIN32 (%d)\n", sa);
    ++bad;
  }
  if (sb != SYS_WIN64) {
    fwprintf(stderr, L"x86_64 type library is not SYS_WIN64 (%d)\n", sb);
    ++bad;
  }
  size_t n = da.size() > db.size() ? da.size() : db.size();
  for (size_t i = 0; i < n; ++i) {
    const std::wstring& x = i < da.size() ? da[i] : L"<missing>";
    const std::wstring& y = i < db.size() ? db[i] : L"<missing>";
    if (x != y) {
      fwprintf(stderr, L"differs:\n  i686:   %ls\n  x86_64: %ls\n", x.c_str(), y.c_str());
      if (++bad > 20) break;
    }
  }
  wprintf(L"tlbcompare: %u lines compared, %d differences\n", static_cast<unsigned>(n), bad);
  a->Release();
  b->Release();
  CoUninitialize();
  return bad ? 1 : 0;
}
