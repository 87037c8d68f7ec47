// zrEntry: one directory entry - a name, Flags kept uninterpreted, and an ordered list of
// attribute objects reachable by position or by name - with its byte-string serialisation.
#pragma once
#include <cstdint>
#include <vector>
#include "com_object.h"
#include "raii.h"
#include "wick_h.h"

namespace wick {

class ZrEntry : public corv::CoClass<ZrEntry, IzrEntry, corv::FreeThreaded, corv::SafeForScripting> {
public:
  // IzrEntry
  STDMETHODIMP get_Attribute(long Index, IDispatch** pVal) override;
  STDMETHODIMP putref_Attribute(long Index, IDispatch* newVal) override;
  STDMETHODIMP get__NewEnum(IUnknown** ppEnum) override;
  STDMETHODIMP remove(long Index) override;
  STDMETHODIMP clear() override;
  STDMETHODIMP add(BSTR AttributeName, long ValuesCount, IDispatch** pVal) override;
  STDMETHODIMP get_Count(long* pVal) override;
  STDMETHODIMP removeA(BSTR AttributeName) override;
  STDMETHODIMP get_Name(BSTR* pVal) override;
  STDMETHODIMP put_Name(BSTR* newVal) override;
  STDMETHODIMP get_Flags(long* pVal) override;
  STDMETHODIMP put_Flags(long newVal) override;
  STDMETHODIMP get_AttributeA(BSTR AttributeName, IDispatch** pVal) override;
  STDMETHODIMP putref_AttributeA(BSTR AttributeName, IDispatch* newVal) override;
  STDMETHODIMP get_Data(BSTR* pVal) override;
  STDMETHODIMP put_Data(BSTR* newVal) override;
  STDMETHODIMP findAttribute(BSTR AttributeName, long* Index) override;
  STDMETHODIMP get_AttributeName(long Index, BSTR* pVal) override;

private:
  using Slot = corv::ComPtr<IzrAttribute>;

  bool in_range(long index) const { return index >= 0 && static_cast<size_t>(index) < slots_.size(); }
  long find(BSTR name);                       // first match, -1 when none
  HRESULT hand_out(size_t index, IDispatch** out);
  HRESULT replace(size_t index, IDispatch* object, Slot& previous);  // previous: to release after the lock
  void reset(std::vector<Slot>& gone);                               // gone: empty, then the old list
  void drop_read();
  void read(const uint8_t* data, size_t size);  // raises CstreamException, std::bad_alloc

  corv::CritSec lock_;            // held for every member but Data's calls out; taken before an attribute's
  corv::Bstr name_;               // null: none
  long flags_ = 0;
  std::vector<Slot> slots_;       // one counted reference per slot
  std::vector<uint8_t> buffer_;   // serialisation buffer, reused by every Data get
};

}  // namespace wick
