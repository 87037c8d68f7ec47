// zrAcl: an ordered list of entry objects, held by identity.
#pragma once
#include <cstdint>
#include <vector>
#include "com_object.h"
#include "raii.h"
#include "tern_h.h"

namespace tern {

class ZrAcl : public corv::CoClass<ZrAcl, IzrAcl, corv::FreeThreaded, corv::SafeForScripting> {
public:
  ZrAcl();
  // IzrAcl
  STDMETHODIMP get__NewEnum(IUnknown** pVal) override;
  STDMETHODIMP get_AclRevision(long* pVal) override;
  STDMETHODIMP put_AclRevision(long newVal) override;
  STDMETHODIMP get_AceCount(long* pVal) override;
  STDMETHODIMP AddAce(IDispatch* Ace) override;
  STDMETHODIMP RemoveAce(IDispatch* Ace) override;
  STDMETHODIMP get_Data(BSTR* pVal) override;
  STDMETHODIMP put_Data(BSTR* newVal) override;
  STDMETHODIMP Clear() override;
  STDMETHODIMP get_AccessDeniedIfEmpty(VARIANT_BOOL* pVal) override;
  STDMETHODIMP put_AccessDeniedIfEmpty(VARIANT_BOOL newVal) override;
  STDMETHODIMP sort(VARIANT_BOOL* Correct) override;

  // For descriptors: the list behind an IzrAcl pointer when it is one of ours, else nullptr.
  static ZrAcl* from(IzrAcl* p);
  // Appends the binary form to out, as Data get makes it: S_FALSE with nothing appended for
  // an empty list that is not to deny access; a failure leaves out as it was.
  HRESULT append_to(std::vector<uint8_t>& out);

private:
  HRESULT read(const uint8_t* bytes, size_t size);
  size_t find(IzrAce* ace) const;

  std::vector<corv::ComPtr<IzrAce>> entries_;
  long revision_ = 0;
  VARIANT_BOOL denied_if_empty_ = VARIANT_TRUE;
};

}  // namespace tern
