// zrSd: a security descriptor as four shared part objects, revision and control word.
#pragma once
#include <cstdint>
#include <vector>
#include "com_object.h"
#include "raii.h"
#include "tern_h.h"

namespace tern {

class ZrSd : public corv::CoClass<ZrSd, IzrSd, corv::FreeThreaded, corv::SafeForScripting> {
public:
  HRESULT final_construct();  // creates the four parts through the component system

  // IzrSd
  STDMETHODIMP get_Revision(long* pVal) override;
  STDMETHODIMP put_Revision(long newVal) override;
  STDMETHODIMP get_Control(long* pVal) override;
  STDMETHODIMP put_Control(long newVal) override;
  STDMETHODIMP get_SidOwner(IDispatch** pVal) override;
  STDMETHODIMP putref_SidOwner(IDispatch* newVal) override;
  STDMETHODIMP get_SidGroup(IDispatch** pVal) override;
  STDMETHODIMP putref_SidGroup(IDispatch* newVal) override;
  STDMETHODIMP get_Dacl(IDispatch** pVal) override;
  STDMETHODIMP putref_Dacl(IDispatch* newVal) override;
  STDMETHODIMP get_Sacl(IDispatch** pVal) override;
  STDMETHODIMP putref_Sacl(IDispatch* newVal) override;
  STDMETHODIMP get_Data(BSTR* pVal) override;
  STDMETHODIMP put_Data(BSTR* newVal) override;
  STDMETHODIMP Clear() override;

private:
  HRESULT read(const uint8_t* bytes, size_t size);

  long revision_ = 0;
  long control_ = 0;
  corv::ComPtr<IzrSid> owner_, group_;
  corv::ComPtr<IzrAcl> dacl_, sacl_;
};

}  // namespace tern
