#include "zr_attribute.h"
#include <new>
#include "byte_string.h"
#include "directory_forms.h"
#include "enum_variant.h"

namespace wick {
namespace {

// Accepted base types of add: the low twelve bits of the variant type.
bool addable(VARTYPE vt) {
  VARTYPE base = vt & VT_TYPEMASK;
  return base == VT_I4 || base == VT_UI4 || base == VT_BSTR;
}

ByteSpan span_of(BSTR b) {
  corv::ByteView v = corv::read_bytes(b);
  return {v.data, v.size};
}

}  // namespace

ZrAttribute::Released::~Released() {
  for (VARIANT& v : items) VariantClear(&v);
}

ZrAttribute::~ZrAttribute() {
  for (VARIANT& v : values_) VariantClear(&v);
}

void ZrAttribute::clear_values(Released& gone) {
  gone.items.swap(values_);  // gone was empty: the list is now
}

void ZrAttribute::reset(Released& gone) {
  control_ = 0;
  type_ = 0;
  name_.reset();
  clear_values(gone);
}

STDMETHODIMP ZrAttribute::get_Value(long Index, VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  VariantInit(pVal);
  corv::Lock hold(lock_);
  if (!in_range(Index)) return DISP_E_BADINDEX;
  return VariantCopy(pVal, &values_[static_cast<size_t>(Index)]);
}

STDMETHODIMP ZrAttribute::put_Value(long Index, VARIANT* newVal) {
  if (!newVal) return E_POINTER;
  corv::Variant previous;  // cleared after the lock is released
  corv::Lock hold(lock_);
  if (!in_range(Index)) return DISP_E_BADINDEX;
  // A copy of the value itself, never a reference into the caller's memory.
  VARIANT copy;
  VariantInit(&copy);
  HRESULT hr = VariantCopyInd(&copy, newVal);
  if (FAILED(hr)) {
    VariantClear(&copy);
    V_VT(&copy) = VT_ERROR;
    V_ERROR(&copy) = hr;
  }
  VARIANT& slot = values_[static_cast<size_t>(Index)];
  *previous.get() = slot;
  slot = copy;
  return S_OK;
}

STDMETHODIMP ZrAttribute::get__NewEnum(IUnknown** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  corv::Lock hold(lock_);
  return corv::EnumVariant::create_unknown(values_.data(), values_.size(), ppEnum);
}

STDMETHODIMP ZrAttribute::remove(long Index) {
  corv::Variant removed;  // cleared after the lock is released
  corv::Lock hold(lock_);
  if (!in_range(Index)) return DISP_E_BADINDEX;
  auto it = values_.begin() + Index;
  *removed.get() = *it;
  values_.erase(it);
  return S_OK;
}

STDMETHODIMP ZrAttribute::clear() {
  Released gone;
  corv::Lock hold(lock_);
  clear_values(gone);
  return S_OK;
}

STDMETHODIMP ZrAttribute::add(VARIANT* Val) {
  if (!Val) return E_POINTER;
  corv::Lock hold(lock_);
  const VARIANT* in = Val;
  // A variant passed by reference to a variant (as automation callers pass their variables)
  // stands for the variant it refers to.
  if (V_VT(in) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(in)) in = V_VARIANTREF(in);
  VARTYPE vt = V_VT(in);
  if (!addable(vt)) return E_INVALIDARG;
  VARIANT v;
  VariantInit(&v);
  HRESULT hr = S_OK;
  if (!(vt & VT_BYREF) || (vt & VT_ARRAY)) {
    hr = VariantCopyInd(&v, const_cast<VARIANT*>(in));  // by value as given; arrays copied whole
  } else if ((vt & VT_TYPEMASK) == VT_BSTR) {
    // A referenced string is copied up to its first NUL.
    BSTR s = V_BSTRREF(in) ? *V_BSTRREF(in) : nullptr;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = s ? SysAllocString(s) : nullptr;
    if (s && !V_BSTR(&v)) hr = E_OUTOFMEMORY;
  } else {
    // A referenced number, signed or not, is kept as a VT_I4.
    if (!V_BYREF(in)) return E_POINTER;
    V_VT(&v) = VT_I4;
    V_I4(&v) = *static_cast<const LONG*>(V_BYREF(in));
  }
  if (FAILED(hr)) {
    VariantClear(&v);
    return hr;
  }
  try {
    values_.push_back(v);
  } catch (const std::bad_alloc&) {
    VariantClear(&v);
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

STDMETHODIMP ZrAttribute::get_Count(long* pVal) {
  if (!pVal) return E_POINTER;
  corv::Lock hold(lock_);
  *pVal = static_cast<long>(values_.size());
  return S_OK;
}

// A negative count names no list length: refused, nothing changed.
STDMETHODIMP ZrAttribute::resize(long Val) {
  if (Val < 0) return E_INVALIDARG;
  Released gone;
  corv::Lock hold(lock_);
  size_t n = static_cast<size_t>(Val);
  try {
    if (n < values_.size()) gone.items.assign(values_.begin() + static_cast<ptrdiff_t>(n), values_.end());
    values_.resize(n);  // new elements are zeroed: VT_EMPTY
  } catch (const std::exception&) {
    gone.items.clear();  // still held by the list
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

STDMETHODIMP ZrAttribute::get_Name(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  corv::Lock hold(lock_);
  // The name's bytes as held (a name read from Data may end in half a character).
  *pVal = name_ ? SysAllocStringByteLen(reinterpret_cast<const char*>(name_.get()), name_.byte_length())
                : SysAllocString(L"");
  return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ZrAttribute::put_Name(BSTR* newVal) {
  if (!newVal) return E_POINTER;
  BSTR copy = *newVal ? SysAllocString(*newVal) : nullptr;
  if (*newVal && !copy) return E_OUTOFMEMORY;
  corv::Lock hold(lock_);
  name_.reset(copy);
  return S_OK;
}

STDMETHODIMP ZrAttribute::get_Type(long* pVal) {
  if (!pVal) return E_POINTER;
  corv::Lock hold(lock_);
  *pVal = type_;
  return S_OK;
}

STDMETHODIMP ZrAttribute::put_Type(long newVal) {
  corv::Lock hold(lock_);
  type_ = newVal;
  return S_OK;
}

STDMETHODIMP ZrAttribute::get_Control(long* pVal) {
  if (!pVal) return E_POINTER;
  corv::Lock hold(lock_);
  *pVal = control_;
  return S_OK;
}

STDMETHODIMP ZrAttribute::put_Control(long newVal) {
  corv::Lock hold(lock_);
  control_ = newVal;
  return S_OK;
}

// The conversion asks a stored object for its value (its default property), and that call
// may change this attribute, clear it or drop the object. So the form is made from copies taken
// under the lock, converted with the lock released: the list being converted is never the live
// one, and each object is held until its conversion is done. Data is the attribute as it was
// when asked; changes made meanwhile stay in the attribute.
STDMETHODIMP ZrAttribute::get_Data(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  try {
    long control, type;
    corv::Bstr name;
    std::vector<corv::Variant> values;
    {
      corv::Lock hold(lock_);
      control = control_;
      type = type_;
      if (name_) {
        name.reset(SysAllocStringByteLen(reinterpret_cast<const char*>(name_.get()), name_.byte_length()));
        if (!name) return E_OUTOFMEMORY;
      }
      std::vector<corv::Variant> copies(values_.size());
      for (size_t i = 0; i < values_.size(); ++i) RETURN_IF_FAILED(VariantCopy(copies[i].get(), &values_[i]));
      values.swap(copies);
    }
    // Each value as text, by the platform's own conversion; the type written is the one held.
    std::vector<corv::Bstr> texts(values.size());
    std::vector<AttributeValue> items(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
      VARIANT text;
      VariantInit(&text);
      if (FAILED(VariantChangeType(&text, values[i].get(), 0, VT_BSTR)) || V_VT(&text) != VT_BSTR) {
        VariantClear(&text);
        return E_INVALIDARG;
      }
      texts[i].reset(V_BSTR(&text));
      items[i].type = V_VT(values[i].get());
      items[i].text = span_of(texts[i].get());
    }
    corv::Lock hold(lock_);  // the buffer is shared by every Data get
    write_attribute(buffer_, control, type, span_of(name.get()), items.data(), items.size());
    *pVal = corv::make_bytes(buffer_);
  } catch (const CstreamException&) {
    return E_INVALIDARG;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ZrAttribute::put_Data(BSTR* newVal) {
  Released gone;
  corv::Lock hold(lock_);
  reset(gone);
  if (!newVal || !*newVal || SysStringByteLen(*newVal) == 0) return S_OK;
  corv::ByteView in = corv::read_bytes(*newVal);
  try {
    read(in.data, in.size);
    return S_OK;
  } catch (const CstreamException&) {
    drop_read_values();
    return E_INVALIDARG;
  } catch (const std::bad_alloc&) {
    drop_read_values();
    return E_OUTOFMEMORY;
  }
}

// What a failed read left: numbers and texts only, which call nothing when cleared.
void ZrAttribute::drop_read_values() {
  for (VARIANT& v : values_) VariantClear(&v);
  values_.clear();
  control_ = 0;
  type_ = 0;
  name_.reset();
}

void ZrAttribute::read(const uint8_t* data, size_t size) {
  StreamReader in(data, size);
  AttributeHeader h = read_attribute_header(in);
  control_ = h.control;
  type_ = h.type;
  if (h.name.size) {
    name_.reset(SysAllocStringByteLen(reinterpret_cast<const char*>(h.name.data), static_cast<UINT>(h.name.size)));
    if (!name_) throw std::bad_alloc();
  }
  // The count is bounded by the bytes left, so the list never outgrows the input.
  values_.reserve(h.count);
  for (uint32_t i = 0; i < h.count; ++i) {
    AttributeValue item = read_attribute_value(in);
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringByteLen(item.text.size ? reinterpret_cast<const char*>(item.text.data) : "",
                                       static_cast<UINT>(item.text.size));
    if (!V_BSTR(&v)) throw std::bad_alloc();
    values_.push_back(v);  // capacity reserved above: cannot throw
    if (FAILED(VariantChangeType(&values_.back(), &values_.back(), 0, static_cast<VARTYPE>(item.type & 0xFFFF))))
      throw CstreamException();
  }
}

}  // namespace wick
