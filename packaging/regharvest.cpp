// Package-time helper, run under Wine by scripts/package.
//
//   regharvest wxs <module> <source> <file id> <directory id>
//     Writes to stdout a WiX fragment with one component: the module as its key file and every
//     registry row the module's own DllRegisterServer writes. The rows come from the module
//     itself: its "REGISTRY" script resources, parsed by the same parser the libraries run,
//     and its embedded type library, laid out as RegisterTypeLib records it. A 64-bit type
//     library gives a 64-bit component. %MODULE% becomes the installed file, the help
//     directory the installed folder.
//   regharvest version <file>
//     Prints "version=a.b.c", "company=..." and "product=..." from the version resource.
//
// Exit 0 on success; 2 on bad arguments; 1 when the module cannot be read.
#include <windows.h>
#include <oleauto.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>
#include "rgs_parse.h"

namespace {

// A registry row as the installer's Registry table holds it. name "*": the key is created on
// install and removed with everything below it on uninstall; "+": created on install only.
struct Row {
  std::wstring key;
  std::wstring name;
  bool number = false;
  std::wstring value;  // already in the installer's formatted-text form
};

const wchar_t kModuleMark[] = L"\x1"
                              L"MODULE"
                              L"\x1";

// Text as the installer's formatted type: brackets are escaped, a leading '#' doubled
// (otherwise the value would be read as a number). The module mark becomes the file reference.
std::wstring formatted(const std::wstring& text, const std::wstring& file_id) {
  std::wstring out;
  if (!text.empty() && text[0] == L'#') out += L'#';
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, wcslen(kModuleMark), kModuleMark) == 0) {
      out += L"[#" + file_id + L"]";
      i += wcslen(kModuleMark) - 1;
    } else if (text[i] == L'[') {
      out += L"[\\[]";
    } else if (text[i] == L']') {
      out += L"[\\]]";
    } else {
      out += text[i];
    }
  }
  return out;
}

Row value_row(const std::wstring& key, const std::wstring& name, const corv::RgsValue& v, const std::wstring& file_id) {
  Row r{key, name, v.kind == L'd', L""};
  r.value = r.number ? std::to_wstring(v.number) : formatted(v.text, file_id);
  return r;
}

// The rows of one key of a script. A key that unregistration removes (anything not NoRemove
// under a NoRemove parent or the root) is removed whole on uninstall; an empty key is created.
void flatten(const corv::RgsNode& n, const std::wstring& parent, bool parent_kept, const std::wstring& file_id,
             std::vector<Row>& rows) {
  std::wstring key = parent.empty() ? n.name : parent + L"\\" + n.name;
  bool has_content = n.value.present || !n.children.empty();
  if (!n.no_remove && parent_kept) rows.push_back({key, L"*", false, L""});
  else if (!has_content) rows.push_back({key, L"+", false, L""});
  if (n.value.present) rows.push_back(value_row(key, L"", n.value, file_id));
  for (const corv::RgsNode& c : n.children) {
    if (c.is_value) rows.push_back(value_row(key, c.name, c.value, file_id));
  }
  for (const corv::RgsNode& c : n.children) {
    if (!c.is_value) flatten(c, key, n.no_remove, file_id, rows);
  }
}

std::wstring utf8_to_wide(const char* bytes, DWORD size) {
  std::wstring text;
  if (!size) return text;
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), nullptr, 0);
  if (n <= 0) return text;
  text.resize(static_cast<size_t>(n));
  MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), &text[0], n);
  return text;
}

BOOL CALLBACK collect_id(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  if (IS_INTRESOURCE(name))
    reinterpret_cast<std::vector<UINT>*>(param)->push_back(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
  return TRUE;
}

bool script_rows(const std::wstring& module, const std::wstring& file_id, std::vector<Row>& rows) {
  HMODULE m = LoadLibraryExW(module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!m) {
    fwprintf(stderr, L"regharvest: cannot open %ls (%lu)\n", module.c_str(), GetLastError());
    return false;
  }
  std::vector<UINT> ids;
  EnumResourceNamesW(m, L"REGISTRY", collect_id, reinterpret_cast<LONG_PTR>(&ids));
  bool ok = !ids.empty();
  if (!ok) fwprintf(stderr, L"regharvest: %ls holds no registration script\n", module.c_str());
  for (UINT id : ids) {
    HRSRC res = FindResourceW(m, MAKEINTRESOURCEW(id), L"REGISTRY");
    HGLOBAL mem = res ? LoadResource(m, res) : nullptr;
    const char* bytes = mem ? static_cast<const char*>(LockResource(mem)) : nullptr;
    std::wstring text = bytes ? utf8_to_wide(bytes, SizeofResource(m, res)) : std::wstring();
    std::vector<corv::RgsNode> roots;
    std::wstring error;
    if (!corv::parse_rgs(corv::rgs_substitute(text, L"MODULE", kModuleMark), roots, &error)) {
      fwprintf(stderr, L"regharvest: script %u of %ls: %ls\n", id, module.c_str(), error.c_str());
      ok = false;
      continue;
    }
    for (const corv::RgsNode& root : roots) {
      if (root.name != L"HKCR" && root.name != L"HKEY_CLASSES_ROOT") {
        fwprintf(stderr, L"regharvest: script %u writes outside HKCR (%ls)\n", id, root.name.c_str());
        ok = false;
        continue;
      }
      for (const corv::RgsNode& c : root.children) flatten(c, L"", true, file_id, rows);
    }
  }
  FreeLibrary(m);
  return ok;
}

std::wstring guid_text(const GUID& g) {
  wchar_t buf[64];
  StringFromGUID2(g, buf, 64);
  return buf;
}

std::wstring take(BSTR b) {
  std::wstring s = b ? std::wstring(b, SysStringLen(b)) : std::wstring();
  SysFreeString(b);
  return s;
}

// What RegisterTypeLib records for the library and for its automation interfaces.
bool type_library_rows(const std::wstring& module, const std::wstring& file_id, const std::wstring& dir_id,
                       std::vector<Row>& rows, bool& win64) {
  ITypeLib* tl = nullptr;
  HRESULT hr = LoadTypeLibEx(module.c_str(), REGKIND_NONE, &tl);
  if (FAILED(hr)) {
    fwprintf(stderr, L"regharvest: no type library in %ls (0x%08lx)\n", module.c_str(), static_cast<unsigned long>(hr));
    return false;
  }
  TLIBATTR* la = nullptr;
  tl->GetLibAttr(&la);
  win64 = la->syskind == SYS_WIN64;
  std::wstring libid = guid_text(la->guid);
  wchar_t ver[32], lcid[16];
  swprintf(ver, 32, L"%x.%x", la->wMajorVerNum, la->wMinorVerNum);
  swprintf(lcid, 16, L"%lx", static_cast<unsigned long>(la->lcid));
  std::wstring base = L"TypeLib\\" + libid;
  std::wstring vkey = base + L"\\" + ver;
  BSTR name = nullptr, doc = nullptr;
  tl->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
  std::wstring lib_name = take(name), lib_doc = take(doc);
  rows.push_back({base, L"*", false, L""});
  rows.push_back({vkey, L"", false, formatted(lib_doc.empty() ? lib_name : lib_doc, file_id)});
  rows.push_back({vkey + L"\\FLAGS", L"", false, std::to_wstring(la->wLibFlags)});
  rows.push_back({vkey + L"\\" + lcid + L"\\" + (win64 ? L"win64" : L"win32"), L"", false, L"[#" + file_id + L"]"});
  rows.push_back({vkey + L"\\HELPDIR", L"", false, L"[" + dir_id + L"]"});
  tl->ReleaseTLibAttr(la);

  bool ok = true;
  for (UINT i = 0; i < tl->GetTypeInfoCount(); ++i) {
    ITypeInfo* ti = nullptr;
    if (FAILED(tl->GetTypeInfo(i, &ti))) {
      ok = false;
      continue;
    }
    TYPEATTR* ta = nullptr;
    ti->GetTypeAttr(&ta);
    bool automation = ta->typekind == TKIND_DISPATCH || (ta->typekind == TKIND_INTERFACE &&
                                                         (ta->wTypeFlags & (TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDUAL)));
    if (automation) {
      BSTR n = nullptr;
      ti->GetDocumentation(MEMBERID_NIL, &n, nullptr, nullptr, nullptr);
      std::wstring key = L"Interface\\" + guid_text(ta->guid);
      // Dispatch-only interfaces are marshalled by the dispatch proxy, the others by the
      // automation (type-library) marshaller.
      const wchar_t* ps = ta->typekind == TKIND_DISPATCH && !(ta->wTypeFlags & TYPEFLAG_FDUAL)
                              ? L"{00020420-0000-0000-C000-000000000046}"
                              : L"{00020424-0000-0000-C000-000000000046}";
      rows.push_back({key, L"*", false, L""});
      rows.push_back({key, L"", false, formatted(take(n), file_id)});
      rows.push_back({key + L"\\ProxyStubClsid", L"", false, ps});
      rows.push_back({key + L"\\ProxyStubClsid32", L"", false, ps});
      rows.push_back({key + L"\\TypeLib", L"", false, libid});
      rows.push_back({key + L"\\TypeLib", L"Version", false, ver});
    }
    ti->ReleaseTypeAttr(ta);
    ti->Release();
  }
  tl->Release();
  return ok;
}

std::wstring xml(const std::wstring& s) {
  std::wstring out;
  for (wchar_t c : s) {
    switch (c) {
      case L'&': out += L"&amp;"; break;
      case L'<': out += L"&lt;"; break;
      case L'>': out += L"&gt;"; break;
      case L'"': out += L"&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string utf8(const std::wstring& s) {
  if (s.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
  return out;
}

void put(const std::wstring& s) { fputs(utf8(s).c_str(), stdout); }

int wxs(const std::wstring& module, const std::wstring& source, const std::wstring& file_id,
        const std::wstring& dir_id) {
  std::vector<Row> rows;
  bool win64 = false;
  bool ok = script_rows(module, file_id, rows);
  ok = type_library_rows(module, file_id, dir_id, rows, win64) && ok;
  if (!ok) return 1;
  std::wstring leaf = source.substr(source.find_last_of(L"\\/") + 1);
  put(L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
  put(L"<!-- Written by regharvest from " + xml(leaf) + L": the module's own registration. -->\n");
  put(L"<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n  <Fragment>\n");
  put(L"    <DirectoryRef Id=\"" + xml(dir_id) + L"\">\n");
  put(L"      <Component Id=\"c_" + xml(file_id) + L"\" Guid=\"*\"" + (win64 ? L" Win64=\"yes\"" : L"") + L">\n");
  put(L"        <File Id=\"" + xml(file_id) + L"\" Name=\"" + xml(leaf) + L"\" Source=\"" + xml(source) +
      L"\" KeyPath=\"yes\"/>\n");
  for (const Row& r : rows) {
    put(L"        <RegistryValue Root=\"HKCR\" Key=\"" + xml(r.key) + L"\"");
    if (!r.name.empty()) put(L" Name=\"" + xml(r.name) + L"\"");
    put(std::wstring(L" Type=\"") + (r.number ? L"integer" : L"string") + L"\" Value=\"" + xml(r.value) + L"\"/>\n");
  }
  put(L"      </Component>\n    </DirectoryRef>\n  </Fragment>\n</Wix>\n");
  return 0;
}

std::wstring version_string(const std::wstring& file, const wchar_t* name) {
  DWORD dummy = 0, size = GetFileVersionInfoSizeW(file.c_str(), &dummy);
  std::vector<BYTE> data(size);
  if (!size || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return {};
  struct Lang {
    WORD lang, cp;
  }* langs = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&langs), &len) ||
      len < sizeof(Lang))
    return {};
  wchar_t path[128];
  swprintf(path, 128, L"\\StringFileInfo\\%04x%04x\\%ls", langs[0].lang, langs[0].cp, name);
  wchar_t* text = nullptr;
  if (!VerQueryValueW(data.data(), path, reinterpret_cast<void**>(&text), &len) || !len) return {};
  return text;
}

int version(const std::wstring& file) {
  DWORD dummy = 0, size = GetFileVersionInfoSizeW(file.c_str(), &dummy);
  std::vector<BYTE> data(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  if (!size || !GetFileVersionInfoW(file.c_str(), 0, size, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) || len < sizeof *fixed) {
    fwprintf(stderr, L"regharvest: no version resource in %ls\n", file.c_str());
    return 1;
  }
  // The installer compares three fields; the fourth is not part of a product version.
  printf("version=%lu.%lu.%lu\n", static_cast<unsigned long>(HIWORD(fixed->dwProductVersionMS)),
         static_cast<unsigned long>(LOWORD(fixed->dwProductVersionMS)),
         static_cast<unsigned long>(HIWORD(fixed->dwProductVersionLS)));
  put(L"company=" + version_string(file, L"CompanyName") + L"\n");
  put(L"product=" + version_string(file, L"ProductName") + L"\n");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring cmd = argc > 1 ? argv[1] : L"";
  if (cmd == L"wxs" && argc == 6) return wxs(argv[2], argv[3], argv[4], argv[5]);
  if (cmd == L"version" && argc == 3) return version(argv[2]);
  fwprintf(stderr, L"usage: regharvest wxs <module> <source> <file id> <directory id>\n"
                   L"       regharvest version <file>\n");
  return 2;
}
