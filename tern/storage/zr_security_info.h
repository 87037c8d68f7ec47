// zrSecurityInfo: reads and writes the security descriptors of files, registry keys, shares,
// printers, services, kernel objects and other named objects, by name or by open handle,
// and reports every outcome to the attached log object.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "com_object.h"
#include "component_frame.h"
#include "net_buffer.h"
#include "object_path.h"
#include "tern_h.h"

namespace tern {

class ZrSecurityInfo : public corv::CoClass<ZrSecurityInfo, IzrSecurityInfo, corv::FreeThreaded> {
public:
  ZrSecurityInfo();

  // IzrSecurityInfo
  STDMETHODIMP read(BSTR ObjectName, LONG ObjectType, LONG SecurityInfo, BSTR* SecurityDescriptor,
                    VARIANT_BOOL* pResult) override;
  STDMETHODIMP write(BSTR ObjectName, LONG ObjectType, LONG SecurityInfo, BSTR* SecurityDescriptor,
                     VARIANT_BOOL* pResult) override;
  STDMETHODIMP readByHandle(LONG Handle, LONG ObjectType, LONG SecurityInfo, BSTR* SecurityDescriptor,
                            VARIANT_BOOL* Result) override;
  STDMETHODIMP writeByHandle(LONG Handle, LONG ObjectType, LONG SecurityInfo, BSTR* SecurityDescriptor,
                             VARIANT_BOOL* Result) override;
  STDMETHODIMP IsValidSecurityDescriptor(BSTR* Sd, VARIANT_BOOL* pResult) override;
  STDMETHODIMP get_Log(IDispatch** pVal) override;
  STDMETHODIMP putref_Log(IDispatch* newVal) override;
  STDMETHODIMP get_Param(LONG ParamType, VARIANT* pVal) override;
  STDMETHODIMP put_Param(LONG ParamType, VARIANT newVal) override;

private:
  HRESULT do_read(BSTR name, LONG type, LONG info, BSTR* out, VARIANT_BOOL* result);
  HRESULT do_write(BSTR name, LONG type, LONG info, BSTR* in, VARIANT_BOOL* result);
  HRESULT do_read_handle(LONG handle, LONG type, LONG info, BSTR* out, VARIANT_BOOL* result);
  HRESULT do_write_handle(LONG handle, LONG type, LONG info, BSTR* in, VARIANT_BOOL* result);

  ObjectPath prepare(BSTR name, LONG type);
  void prepare_handle(LONG type, LONG info);
  void store_computer(const std::wstring& computer);
  bool load(BSTR* in);
  bool finish_read(BSTR* out);
  template <class F>
  HRESULT read_into(BSTR* out, F&& read);

  bool file_path(bool write);
  bool registry_path(bool write);
  bool printer_path(bool write);
  bool share_path(bool write);
  bool share_read_record(corv::NetBuffer& record);
  bool named_read();
  bool named_write();
  bool run(ObjectPath path, bool write);

  // A failure: stores the error code, formats the message, reports it as an error.
  void fail(DWORD error, DWORD message, const std::wstring& i1, const std::wstring& i2 = std::wstring(),
            const std::wstring& i3 = std::wstring(), DWORD lookup = 0);
  // A success: error code 0, informational, no system text.
  void inform(DWORD message, const std::wstring& i1, const std::wstring& i2 = std::wstring());
  std::wstring computer_insert() const;

  std::vector<uint8_t> sd_;       // descriptor last read, or loaded for a write
  bool read_found_none_ = false;  // the last read succeeded without any descriptor to return
  DWORD info_ = 0;                // requested information of the current call
  LONG type_ = 0;
  std::wstring display_;          // display name of the type
  std::wstring name_;             // the name exactly as passed
  std::wstring path_;             // the name without computer (and registry root)
  std::wstring computer_;         // "\\name", empty for the local computer
  bool has_computer_ = false;
  HKEY root_ = HKEY_LOCAL_MACHINE;
  std::wstring root_name_;
  std::wstring subkey_;
  corv::RegKey remote_machine_;   // kept connections to the current remote computer
  corv::RegKey remote_users_;
  ComponentFrame frame_;
};

}  // namespace tern
