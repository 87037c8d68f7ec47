// zrAttribute: one directory attribute - a name, Type and Control kept uninterpreted, and an
// ordered list of values held as variants - with its byte-string serialisation (Data).
#pragma once
#include <cstdint>
#include <vector>
#include "com_object.h"
#include "raii.h"
#include "wick_h.h"

namespace wick {

class ZrAttribute : public corv::CoClass<ZrAttribute, IzrAttribute, corv::FreeThreaded, corv::SafeForScripting> {
public:
  ~ZrAttribute() override;

  // IzrAttribute
  STDMETHODIMP get_Value(long Index, VARIANT* pVal) override;
  STDMETHODIMP put_Value(long Index, VARIANT* newVal) override;
  STDMETHODIMP get__NewEnum(IUnknown** ppEnum) override;
  STDMETHODIMP remove(long Index) override;
  STDMETHODIMP clear() override;
  STDMETHODIMP add(VARIANT* Val) override;
  STDMETHODIMP get_Count(long* pVal) override;
  STDMETHODIMP resize(long Val) override;
  STDMETHODIMP get_Name(BSTR* pVal) override;
  STDMETHODIMP put_Name(BSTR* newVal) override;
  STDMETHODIMP get_Type(long* pVal) override;
  STDMETHODIMP put_Type(long newVal) override;
  STDMETHODIMP get_Control(long* pVal) override;
  STDMETHODIMP put_Control(long newVal) override;
  STDMETHODIMP get_Data(BSTR* pVal) override;
  STDMETHODIMP put_Data(BSTR* newVal) override;

private:
  // Values taken out of the list, cleared when the holder goes. Declared before a member's lock,
  // it goes after the lock is released: clearing a value releases a stored object, whose
  // release may call back into this attribute.
  struct Released {
    std::vector<VARIANT> items;
    ~Released();
  };

  bool in_range(long index) const { return index >= 0 && static_cast<size_t>(index) < values_.size(); }
  void clear_values(Released& gone);  // gone: empty, then the old list
  void reset(Released& gone);         // the same
  void drop_read_values();
  void read(const uint8_t* data, size_t size);  // raises CstreamException, std::bad_alloc

  corv::CritSec lock_;            // held for the whole of every member but Data's conversions
  corv::Bstr name_;               // null: none
  long type_ = 0;
  long control_ = 0;
  std::vector<VARIANT> values_;   // the object's own copies
  std::vector<uint8_t> buffer_;   // serialisation buffer, reused by every Data get
};

}  // namespace wick
