// zrSiEditor: describes an object to the system's permission editor and answers the editor's
// questions as its security-information provider; the descriptor the user applies comes back
// to the client as the OnApplySecurity event.
#pragma once
#include <windows.h>
#include <aclui.h>
#include <string>
#include <vector>
#include "com_object.h"
#include "connection_point.h"
#include "si_description.h"
#include "tern_h.h"

namespace tern {

class ZrSiEditor;

// The provider the editor calls. It is handed to the editor directly and is not one of the
// object's interfaces: its reference count is the object's, and any other interface it is
// asked for is answered by the object's own QueryInterface.
class SiProvider final : public ISecurityInformation {
public:
  explicit SiProvider(ZrSiEditor* owner) : owner_(owner) {}
  SiProvider(const SiProvider&) = delete;
  SiProvider& operator=(const SiProvider&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetObjectInformation(PSI_OBJECT_INFO info) override;
  STDMETHODIMP GetSecurity(SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR* sd, BOOL want_default) override;
  STDMETHODIMP SetSecurity(SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR sd) override;
  STDMETHODIMP GetAccessRights(const GUID* object_type, DWORD flags, PSI_ACCESS* access, ULONG* count,
                               ULONG* default_index) override;
  STDMETHODIMP MapGeneric(const GUID* object_type, UCHAR* ace_flags, ACCESS_MASK* mask) override;
  STDMETHODIMP GetInheritTypes(PSI_INHERIT_TYPE* types, ULONG* count) override;
  STDMETHODIMP PropertySheetPageCallback(HWND hwnd, UINT msg, SI_PAGE_TYPE page) override;

private:
  ZrSiEditor* owner_;
};

class ZrSiEditor
    : public corv::CoClass<ZrSiEditor, IzrSiEditor, corv::FreeThreaded, corv::Events<&DIID__IzrSiEditorEvents>> {
public:
  ZrSiEditor();
  ~ZrSiEditor() override;

  // Creation fails when the system's editor library cannot be used.
  HRESULT final_construct();

  // IzrSiEditor
  STDMETHODIMP Clear(LONG Flags) override;
  STDMETHODIMP addGenericMap(LONG GenericRead, LONG GenericWrite, LONG GenericExecute, LONG GenericAll,
                             BSTR GuidObjectType) override;
  STDMETHODIMP setObjectInfo(LONG Flags, BSTR ObjectName, BSTR PageTitle, BSTR ModuleName, BSTR ServerName,
                             BSTR GuidObjectType) override;
  STDMETHODIMP addInheritType(LONG Flags, VARIANT Name, BSTR guidChildObjectType) override;
  STDMETHODIMP addAccessRight(LONG Mask, VARIANT* Name, LONG Flags, LONG PageFlags, BSTR GuidObjectType,
                              BSTR guidChildObjectType, VARIANT_BOOL bDefaultAccess) override;
  STDMETHODIMP get_Sd(BSTR* pVal) override;
  STDMETHODIMP put_Sd(BSTR newVal) override;
  STDMETHODIMP get_DefaultSd(BSTR* pVal) override;
  STDMETHODIMP put_DefaultSd(BSTR newVal) override;
  STDMETHODIMP editSecurity(LONG hWndOwner, VARIANT_BOOL* Result) override;
  STDMETHODIMP get_CustomLookupAndOrder(VARIANT_BOOL* pVal) override;
  STDMETHODIMP put_CustomLookupAndOrder(VARIANT_BOOL newVal) override;
  STDMETHODIMP addSecurityPage(LONG hwndSheet, VARIANT_BOOL* Result) override;
  STDMETHODIMP get_Param(LONG PramType, VARIANT* pVal) override;
  STDMETHODIMP put_Param(LONG PramType, VARIANT newVal) override;

private:
  friend class SiProvider;

  // A descriptor the client stored: none, or a copy of all the bytes it gave.
  struct StoredSd {
    bool present = false;
    std::vector<uint8_t> bytes;
  };
  static HRESULT get_sd(const StoredSd& sd, BSTR* out);
  static HRESULT put_sd(StoredSd& sd, BSTR in);
  void unload_module();

  // The provider's answers.
  HRESULT object_information(PSI_OBJECT_INFO info);
  HRESULT security(PSECURITY_DESCRIPTOR* sd, BOOL want_default);
  HRESULT apply(SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR sd);
  HRESULT access_rights(const GUID* object_type, PSI_ACCESS* access, ULONG* count, ULONG* default_index);
  HRESULT map_generic(const GUID* object_type, ACCESS_MASK* mask);
  void page_event(HWND hwnd, UINT msg, SI_PAGE_TYPE page);

  SiProvider provider_;
  DWORD flags_ = 0;
  HMODULE module_ = nullptr;  // the client's resource module, loaded as a data file
  std::wstring server_, object_, title_;  // empty: none
  GUID object_type_ = {};
  GenericMaps maps_;
  AccessRights rights_;
  StoredSd sd_, default_sd_;
};

}  // namespace tern
