#include "registrar.h"
#include "raii.h"
#include <vector>

namespace corv {
namespace {

HKEY root_of(const std::wstring& name) {
  if (name == L"HKCR" || name == L"HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
  if (name == L"HKLM" || name == L"HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
  if (name == L"HKCU" || name == L"HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
  if (name == L"HKU" || name == L"HKEY_USERS") return HKEY_USERS;
  return nullptr;
}

HRESULT set_value(HKEY key, const wchar_t* name, const RgsValue& v) {
  LONG rc;
  if (v.kind == L'd') {
    DWORD d = v.number;
    rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), sizeof d);
  } else {
    rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.text.c_str()),
                        static_cast<DWORD>((v.text.size() + 1) * sizeof(wchar_t)));
  }
  return HRESULT_FROM_WIN32(rc);
}

HRESULT register_key(HKEY parent, const RgsNode& n) {
  if (n.force_remove) RegDeleteTreeW(parent, n.name.c_str());
  RegKey key;
  LONG rc = RegCreateKeyExW(parent, n.name.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.out(), nullptr);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  if (n.value.present) RETURN_IF_FAILED(set_value(key.get(), nullptr, n.value));
  for (const RgsNode& c : n.children) {
    if (c.is_value) RETURN_IF_FAILED(set_value(key.get(), c.name.c_str(), c.value));
    else RETURN_IF_FAILED(register_key(key.get(), c));
  }
  return S_OK;
}

// Removes what register_key wrote: a ForceRemove key with all below it; a plain key after
// its own children, and only once nothing else is left in it; a NoRemove key never.
void unregister_key(HKEY parent, const RgsNode& n) {
  if (n.force_remove && !n.no_remove) {
    RegDeleteTreeW(parent, n.name.c_str());
    return;
  }
  RegKey key;
  if (RegOpenKeyExW(parent, n.name.c_str(), 0, KEY_READ | KEY_WRITE, key.out()) != ERROR_SUCCESS) return;
  for (const RgsNode& c : n.children) {
    if (c.is_value) {
      if (!n.no_remove) RegDeleteValueW(key.get(), c.name.c_str());
    } else {
      unregister_key(key.get(), c);
    }
  }
  key.reset();
  if (!n.no_remove) RegDeleteKeyW(parent, n.name.c_str());
}

}  // namespace

HRESULT run_registration_text(const std::wstring& text, const std::wstring& module_path, bool do_register) {
  std::vector<RgsNode> roots;
  if (!parse_rgs(rgs_substitute(text, L"MODULE", module_path), roots, nullptr)) return DISP_E_EXCEPTION;
  for (const RgsNode& r : roots) {
    HKEY root = root_of(r.name);
    if (!root) return DISP_E_EXCEPTION;
    for (const RgsNode& c : r.children) {
      if (c.is_value) return DISP_E_EXCEPTION;
      if (do_register) RETURN_IF_FAILED(register_key(root, c));
      else unregister_key(root, c);
    }
  }
  return S_OK;
}

HRESULT run_registration_script(HMODULE module, UINT id, const std::wstring& module_path, bool do_register) {
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
  HGLOBAL mem = res ? LoadResource(module, res) : nullptr;
  const char* bytes = mem ? static_cast<const char*>(LockResource(mem)) : nullptr;
  DWORD size = res ? SizeofResource(module, res) : 0;
  if (!bytes) {
    DWORD err = GetLastError();
    return HRESULT_FROM_WIN32(err ? err : ERROR_RESOURCE_DATA_NOT_FOUND);
  }
  std::wstring text;
  if (size) {
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), nullptr, 0);
    if (n <= 0) return DISP_E_EXCEPTION;
    text.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), &text[0], n);
  }
  return run_registration_text(text, module_path, do_register);
}

}  // namespace corv
