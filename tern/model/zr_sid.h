// zrSid: one security identifier with its account, domain, kind and resolving computer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "com_object.h"
#include "component_frame.h"
#include "tern_h.h"

namespace tern {

class ZrSid : public corv::CoClass<ZrSid, IzrSid, corv::FreeThreaded, corv::SafeForScripting> {
public:
  ZrSid();

  // IzrSid
  STDMETHODIMP get_Sid(BSTR* pVal) override;
  STDMETHODIMP put_Sid(BSTR newVal) override;
  STDMETHODIMP get_Valid(VARIANT_BOOL* pVal) override;
  STDMETHODIMP get_SubauthorityCount(short* pVal) override;
  STDMETHODIMP put_SubauthorityCount(short newVal) override;
  STDMETHODIMP get_Rid(long* pVal) override;
  STDMETHODIMP put_Rid(long newVal) override;
  STDMETHODIMP get_System(BSTR* pVal) override;
  STDMETHODIMP put_System(BSTR newVal) override;
  STDMETHODIMP get_Account(BSTR* pVal) override;
  STDMETHODIMP put_Account(BSTR newVal) override;
  STDMETHODIMP get_Domain(BSTR* pVal) override;
  STDMETHODIMP get_SidType(long* pVal) override;
  STDMETHODIMP InitCurrentUser() override;
  STDMETHODIMP AccountToSid(VARIANT_BOOL* Resolved) override;
  STDMETHODIMP SidToAccount(VARIANT_BOOL* Resolved) override;
  STDMETHODIMP get_Data(BSTR* pVal) override;
  STDMETHODIMP put_Data(BSTR* newVal) override;
  STDMETHODIMP SystemToSid(VARIANT_BOOL* Resolved) override;
  STDMETHODIMP Clear() override;
  STDMETHODIMP get_Log(IDispatch** pVal) override;
  STDMETHODIMP putref_Log(IDispatch* newVal) override;

  // For entries and descriptors of this library: the object behind an IzrSid pointer when
  // it is one of ours (else nullptr), and its identifier when it holds a valid one.
  static ZrSid* from(IzrSid* p);
  bool identifier(const uint8_t*& data, size_t& size) const;

private:
  bool valid() const;
  HRESULT refuse_remote_lookup() const;
  unsigned count() const { return sid_[1]; }
  bool lookup_account(const wchar_t* name, std::vector<uint8_t>& sid, std::wstring& domain, long& type);
  const std::wstring& builtin_domain_name();

  std::vector<uint8_t> sid_;   // empty: no identifier
  corv::Bstr account_;
  corv::Bstr domain_;
  long sid_type_ = SidTypeInvalid;
  long resolver_error_ = 0;
  std::wstring builtin_name_;  // cached once, kept across Clear and System changes
  ComponentFrame frame_;       // its System string is the System property
};

// The built-in domain S-1-5-32 in binary form (12 bytes).
const uint8_t* builtin_domain_sid();

}  // namespace tern
