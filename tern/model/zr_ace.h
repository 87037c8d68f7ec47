// zrAce: one access-control entry with its identifier object.
#pragma once
#include <cstdint>
#include <vector>
#include "ace_codec.h"
#include "com_object.h"
#include "raii.h"
#include "tern_h.h"

namespace tern {

class ZrAce : public corv::CoClass<ZrAce, IzrAce, corv::FreeThreaded, corv::SafeForScripting> {
public:
  ZrAce();
  HRESULT final_construct();  // creates the identifier object through the component system

  // IzrAce
  STDMETHODIMP get_AceType(long* pVal) override;
  STDMETHODIMP put_AceType(long newVal) override;
  STDMETHODIMP get_AceFlags(long* pVal) override;
  STDMETHODIMP put_AceFlags(long newVal) override;
  STDMETHODIMP get_Flags(long* pVal) override;
  STDMETHODIMP put_Flags(long newVal) override;
  STDMETHODIMP get_AccessMask(long* pVal) override;
  STDMETHODIMP put_AccessMask(long newVal) override;
  STDMETHODIMP get_ObjectType(BSTR* pVal) override;
  STDMETHODIMP put_ObjectType(BSTR newVal) override;
  STDMETHODIMP get_InheritedObjectType(BSTR* pVal) override;
  STDMETHODIMP put_InheritedObjectType(BSTR newVal) override;
  STDMETHODIMP get_Sid(IDispatch** pVal) override;
  STDMETHODIMP putref_Sid(IDispatch* newVal) override;
  STDMETHODIMP get_Data(BSTR* pVal) override;
  STDMETHODIMP put_Data(BSTR* newVal) override;

  // For lists: the entry object behind an IzrAce pointer when it is one of this library's
  // own (its members can then be reached without the automation layer), else nullptr.
  static ZrAce* from(IzrAce* p);

  // Appends the binary form to out. Fails like get_Data, leaving out as it was.
  HRESULT append_to(std::vector<uint8_t>& out);
  // Reads a binary form that ace_parse has accepted (as put_Data does after its checks).
  HRESULT load(const uint8_t* bytes, const AceView& v);

private:
  AceFields f_;
  corv::ComPtr<IzrSid> sid_;
};

// While one of these lives on a thread, entries made on that thread take their identifier
// object from the given class object instead of looking the class up anew: a list reading
// many entries fetches it once per call.
class IdentifierFactoryScope {
public:
  explicit IdentifierFactoryScope(IClassFactory* factory);
  ~IdentifierFactoryScope();
  IdentifierFactoryScope(const IdentifierFactoryScope&) = delete;
  IdentifierFactoryScope& operator=(const IdentifierFactoryScope&) = delete;

private:
  IClassFactory* previous_;
};

// The identifier bytes held by an identifier object, checked: E_INVALIDARG when the object
// holds no valid identifier. The byte string is kept alive in holder.
HRESULT identifier_bytes(IzrSid* sid, corv::Bstr& holder, const uint8_t*& data, size_t& size);

}  // namespace tern
