#include "zr_si_editor.h"
#include <prsht.h>
#include <new>
#include "byte_string.h"
#include "sd_bytes.h"
#include "system_library.h"

namespace tern {
namespace {

// The editor library's entry points, by ordinal as the library has always exported them.
using EditSecurityFn = BOOL(WINAPI*)(HWND, LPSECURITYINFO);
using CreateSecurityPageFn = HPROPSHEETPAGE(WINAPI*)(LPSECURITYINFO);
constexpr WORD kEditSecurityOrdinal = 2;
constexpr WORD kCreateSecurityPageOrdinal = 1;

constexpr LONG kClearGenericMaps = 1, kClearObjectInfo = 2, kClearAccessRights = 4;
constexpr DISPID kOnApplySecurity = 1, kOnPropertySheetPageCallback = 2;

HRESULT hresult_of_last_error() {
  DWORD e = GetLastError();
  return static_cast<LONG>(e) <= 0 ? static_cast<HRESULT>(e) : HRESULT_FROM_WIN32(e);
}

// The editor library, loaded on first use and kept for the process: pages it makes live on
// after the call that created them.
HMODULE editor_library() {
  static HMODULE lib = load_system_library(L"Aclui.dll");
  return lib;
}

// Window handles cross the interface as 32-bit integers; widen with sign extension.
HWND window_from(LONG value) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(value)); }

LPWSTR text_or_null(std::wstring& s) { return s.empty() ? nullptr : &s[0]; }

template <class F>
HRESULT guarded(F&& f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace

// ---- the provider -----------------------------------------------------------------------

STDMETHODIMP SiProvider::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_ISecurityInformation)) {
    *ppv = static_cast<ISecurityInformation*>(this);
    AddRef();
    return S_OK;
  }
  return owner_->QueryInterface(riid, ppv);
}
STDMETHODIMP_(ULONG) SiProvider::AddRef() { return owner_->AddRef(); }
STDMETHODIMP_(ULONG) SiProvider::Release() { return owner_->Release(); }

STDMETHODIMP SiProvider::GetObjectInformation(PSI_OBJECT_INFO info) { return owner_->object_information(info); }
STDMETHODIMP SiProvider::GetSecurity(SECURITY_INFORMATION, PSECURITY_DESCRIPTOR* sd, BOOL want_default) {
  return owner_->security(sd, want_default);
}
STDMETHODIMP SiProvider::SetSecurity(SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR sd) {
  return owner_->apply(info, sd);
}
STDMETHODIMP SiProvider::GetAccessRights(const GUID* object_type, DWORD, PSI_ACCESS* access, ULONG* count,
                                         ULONG* default_index) {
  return owner_->access_rights(object_type, access, count, default_index);
}
STDMETHODIMP SiProvider::MapGeneric(const GUID* object_type, UCHAR*, ACCESS_MASK* mask) {
  return owner_->map_generic(object_type, mask);
}
STDMETHODIMP SiProvider::GetInheritTypes(PSI_INHERIT_TYPE* types, ULONG* count) {
  if (types) *types = nullptr;
  if (count) *count = 0;
  return S_OK;
}
STDMETHODIMP SiProvider::PropertySheetPageCallback(HWND hwnd, UINT msg, SI_PAGE_TYPE page) {
  owner_->page_event(hwnd, msg, page);
  return S_OK;
}

HRESULT ZrSiEditor::object_information(PSI_OBJECT_INFO info) {
  if (!info) return E_POINTER;
  info->dwFlags = flags_;
  info->hInstance = reinterpret_cast<HINSTANCE>(module_);
  info->pszServerName = text_or_null(server_);
  info->pszObjectName = text_or_null(object_);
  info->pszPageTitle = text_or_null(title_);
  info->guidObjectType = object_type_;
  return S_OK;
}

HRESULT ZrSiEditor::security(PSECURITY_DESCRIPTOR* sd, BOOL want_default) {
  if (!sd) return E_POINTER;
  *sd = nullptr;
  const StoredSd& stored = want_default ? default_sd_ : sd_;
  if (!stored.present || stored.bytes.empty()) return S_OK;
  void* block = LocalAlloc(LMEM_FIXED, stored.bytes.size());  // the editor frees it
  if (!block) return E_OUTOFMEMORY;
  memcpy(block, stored.bytes.data(), stored.bytes.size());
  *sd = block;
  return S_OK;
}

HRESULT ZrSiEditor::apply(SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR sd) {
  if (sink_count() == 0) return E_FAIL;
  return guarded([&]() -> HRESULT {
    LONG result = S_OK;
    corv::Bstr bytes;
    if (!sd) {
      result = S_FALSE;
    } else {
      std::vector<uint8_t> relative;
      SECURITY_DESCRIPTOR_CONTROL control = 0;
      DWORD revision = 0;
      if (GetSecurityDescriptorControl(sd, &control, &revision) && (control & SE_SELF_RELATIVE)) {
        // Already in the form the client gets: MakeSelfRelativeSD would refuse it.
        const auto* p = static_cast<const uint8_t*>(sd);
        relative.assign(p, p + GetSecurityDescriptorLength(sd));
      } else {
        DWORD size = 2 * GetSecurityDescriptorLength(sd);
        relative.resize(size);
        if (!MakeSelfRelativeSD(sd, relative.data(), &size)) {
          if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return hresult_of_last_error();
          relative.resize(size);
          if (!MakeSelfRelativeSD(sd, relative.data(), &size)) return hresult_of_last_error();
        }
      }
      if (!::IsValidSecurityDescriptor(relative.data())) return HRESULT_FROM_WIN32(ERROR_INVALID_SECURITY_DESCR);
      bytes.reset(corv::make_bytes(relative.data(), GetSecurityDescriptorLength(relative.data())));
      if (!bytes) return E_OUTOFMEMORY;
    }
    // Every sink gets the same descriptor and the same result word, by reference.
    BSTR descriptor = bytes.get();
    VARIANT args[3];
    args[0] = corv::event_arg(static_cast<long>(info));
    VariantInit(&args[1]);
    V_VT(&args[1]) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&args[1]) = &descriptor;
    VariantInit(&args[2]);
    V_VT(&args[2]) = VT_BYREF | VT_I4;
    V_I4REF(&args[2]) = &result;
    connection_point().fire(kOnApplySecurity, args, 3);
    // A handler may have put another string in its place: that one is freed instead.
    if (descriptor != bytes.get()) {
      bytes.release();
      bytes.reset(descriptor);
    }
    return result;
  });
}

HRESULT ZrSiEditor::access_rights(const GUID* object_type, PSI_ACCESS* access, ULONG* count, ULONG* default_index) {
  if (access) *access = nullptr;
  if (count) *count = 0;
  if (default_index) *default_index = 0;
  if (!access || !count || !default_index) return E_POINTER;
  const AccessRights::Group* group = rights_.find(object_type ? *object_type : GUID{});
  if (!group) return E_FAIL;
  *access = group->entries.empty() ? nullptr : const_cast<SI_ACCESS*>(group->entries.data());
  *count = static_cast<ULONG>(group->entries.size());
  // Default entries stand at the front, each new one before the earlier ones: the first one
  // added as default is the last of them.
  *default_index = group->default_count ? group->default_count - 1 : 0;
  return S_OK;
}

HRESULT ZrSiEditor::map_generic(const GUID* object_type, ACCESS_MASK* mask) {
  if (!mask) return E_POINTER;
  const GENERIC_MAPPING* mapping = maps_.find(object_type ? *object_type : GUID{});
  if (!mapping) return E_FAIL;
  MapGenericMask(mask, const_cast<GENERIC_MAPPING*>(mapping));
  return S_OK;
}

void ZrSiEditor::page_event(HWND hwnd, UINT msg, SI_PAGE_TYPE page) {
  fire(kOnPropertySheetPageCallback,
       {corv::event_arg(static_cast<long>(HandleToLong(hwnd))), corv::event_arg(static_cast<long>(msg)),
        corv::event_arg(static_cast<long>(page))});
}

// ---- the object -------------------------------------------------------------------------

ZrSiEditor::ZrSiEditor() : provider_(this) {}

ZrSiEditor::~ZrSiEditor() { unload_module(); }

HRESULT ZrSiEditor::final_construct() {
  HMODULE lib = load_system_library(L"Aclui.dll");
  if (!lib) return hresult_of_last_error();
  bool usable = GetProcAddress(lib, "EditSecurity") != nullptr;
  HRESULT hr = usable ? S_OK : hresult_of_last_error();
  FreeLibrary(lib);
  return hr;
}

void ZrSiEditor::unload_module() {
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
}

STDMETHODIMP ZrSiEditor::Clear(LONG Flags) {
  if (Flags & kClearObjectInfo) {
    server_.clear();
    object_.clear();
    title_.clear();
    unload_module();
    flags_ = 0;
  }
  if (Flags & kClearGenericMaps) maps_.clear();
  if (Flags & kClearAccessRights) rights_.clear();
  return S_OK;
}

STDMETHODIMP ZrSiEditor::addGenericMap(LONG GenericRead, LONG GenericWrite, LONG GenericExecute, LONG GenericAll,
                                       BSTR GuidObjectType) {
  GUID key;
  if (!guid_from_text(GuidObjectType, key)) return E_INVALIDARG;
  GENERIC_MAPPING m = {static_cast<ACCESS_MASK>(GenericRead), static_cast<ACCESS_MASK>(GenericWrite),
                       static_cast<ACCESS_MASK>(GenericExecute), static_cast<ACCESS_MASK>(GenericAll)};
  return guarded([&] {
    maps_.set(key, m);
    return S_OK;
  });
}

STDMETHODIMP ZrSiEditor::setObjectInfo(LONG Flags, BSTR ObjectName, BSTR PageTitle, BSTR ModuleName, BSTR ServerName,
                                       BSTR GuidObjectType) {
  unload_module();
  if (ModuleName && *ModuleName) {
    module_ = LoadLibraryExW(ModuleName, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module_) return E_INVALIDARG;
  }
  GUID type;
  if (!guid_from_text(GuidObjectType, type)) return E_INVALIDARG;
  return guarded([&] {
    std::wstring server = ServerName ? ServerName : L"", object = ObjectName ? ObjectName : L"",
                 title = PageTitle ? PageTitle : L"";
    flags_ = static_cast<DWORD>(Flags);
    object_type_ = type;
    server_.swap(server);
    object_.swap(object);
    title_.swap(title);
    return S_OK;
  });
}

STDMETHODIMP ZrSiEditor::addInheritType(LONG, VARIANT, BSTR) { return S_OK; }

STDMETHODIMP ZrSiEditor::addAccessRight(LONG Mask, VARIANT* Name, LONG Flags, LONG PageFlags, BSTR GuidObjectType,
                                        BSTR guidChildObjectType, VARIANT_BOOL bDefaultAccess) {
  if (PageFlags != -1) return E_INVALIDARG;
  GUID group, child;
  if (!guid_from_text(GuidObjectType, group) || !guid_from_text(guidChildObjectType, child)) return E_INVALIDARG;
  return guarded([&] {
    SI_ACCESS entry = {};
    entry.pguid = rights_.pooled_guid(child);
    rights_.pooled_guid(group);
    entry.mask = static_cast<ACCESS_MASK>(Mask);
    entry.dwFlags = static_cast<DWORD>(Flags);
    const VARIANT* name = Name;
    if (name && V_VT(name) == (VT_BYREF | VT_VARIANT)) name = V_VARIANTREF(name);
    if (name) {
      VARTYPE vt = V_VT(name);
      bool byref = (vt & VT_BYREF) != 0;
      switch (vt & ~VT_BYREF) {
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT: {
          ULONG id = byref ? *V_UI4REF(name) : V_UI4(name);
          entry.pszName = MAKEINTRESOURCEW(LOWORD(id));
          break;
        }
        case VT_BSTR: {
          BSTR text = byref ? (V_BSTRREF(name) ? *V_BSTRREF(name) : nullptr) : V_BSTR(name);
          if (text) entry.pszName = rights_.pooled_name(std::wstring(text, SysStringLen(text)));
          break;
        }
        default: break;
      }
    }
    rights_.add(group, entry, bDefaultAccess != VARIANT_FALSE);
    return S_OK;
  });
}

HRESULT ZrSiEditor::get_sd(const StoredSd& sd, BSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  *out = sd.present ? corv::make_bytes(sd.bytes) : corv::make_bytes("", 0);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ZrSiEditor::put_sd(StoredSd& sd, BSTR in) {
  if (!in) {
    sd = StoredSd{};
    return S_OK;
  }
  corv::ByteView v = corv::read_bytes(in);
  if (!valid_descriptor_length(v.data, v.size)) return HRESULT_FROM_WIN32(ERROR_INVALID_SECURITY_DESCR);
  return guarded([&] {
    std::vector<uint8_t> copy(v.data, v.data + v.size);
    sd.bytes.swap(copy);
    sd.present = true;
    return S_OK;
  });
}

STDMETHODIMP ZrSiEditor::get_Sd(BSTR* pVal) { return get_sd(sd_, pVal); }
STDMETHODIMP ZrSiEditor::put_Sd(BSTR newVal) { return put_sd(sd_, newVal); }
STDMETHODIMP ZrSiEditor::get_DefaultSd(BSTR* pVal) { return get_sd(default_sd_, pVal); }
STDMETHODIMP ZrSiEditor::put_DefaultSd(BSTR newVal) { return put_sd(default_sd_, newVal); }

STDMETHODIMP ZrSiEditor::editSecurity(LONG hWndOwner, VARIANT_BOOL* Result) {
  if (!Result) return E_POINTER;
  *Result = VARIANT_FALSE;
  HMODULE lib = editor_library();
  auto edit = entry_point<EditSecurityFn>(lib, MAKEINTRESOURCEA(kEditSecurityOrdinal));
  if (edit) *Result = corv::to_vb(edit(window_from(hWndOwner), &provider_) != FALSE);
  return S_OK;
}

STDMETHODIMP ZrSiEditor::addSecurityPage(LONG hwndSheet, VARIANT_BOOL* Result) {
  if (!Result) return E_POINTER;
  *Result = VARIANT_TRUE;
  HMODULE lib = editor_library();
  auto create = entry_point<CreateSecurityPageFn>(lib, MAKEINTRESOURCEA(kCreateSecurityPageOrdinal));
  HPROPSHEETPAGE page = create ? create(&provider_) : nullptr;
  // A page the sheet does not take would otherwise never be destroyed.
  if (page && !SendMessageW(window_from(hwndSheet), PSM_ADDPAGE, 0, reinterpret_cast<LPARAM>(page)))
    DestroyPropertySheetPage(page);
  return S_OK;
}

STDMETHODIMP ZrSiEditor::get_CustomLookupAndOrder(VARIANT_BOOL* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP ZrSiEditor::put_CustomLookupAndOrder(VARIANT_BOOL newVal) {
  return newVal == VARIANT_FALSE ? S_OK : E_INVALIDARG;
}

STDMETHODIMP ZrSiEditor::get_Param(LONG, VARIANT* pVal) {
  if (pVal) VariantInit(pVal);
  return E_NOTIMPL;
}
STDMETHODIMP ZrSiEditor::put_Param(LONG, VARIANT) { return E_NOTIMPL; }

}  // namespace tern
