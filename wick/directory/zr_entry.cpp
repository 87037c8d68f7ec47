#include "zr_entry.h"
#include <cwchar>
#include <new>
#include "byte_string.h"
#include "directory_forms.h"
#include "enum_variant.h"
#include "zr_attribute.h"

namespace wick {
namespace {

// Letters A-Z and a-z compare without regard to case; every other character exactly.
wchar_t fold(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - (L'a' - L'A')) : c; }

bool same_name(const wchar_t* a, size_t an, const wchar_t* b, size_t bn) {
  if (an != bn) return false;
  for (size_t i = 0; i < an; ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

ByteSpan span_of(BSTR b) {
  corv::ByteView v = corv::read_bytes(b);
  return {v.data, v.size};
}

// Attributes of an entry are made here directly, not through the component system.
HRESULT new_attribute(corv::ComPtr<IzrAttribute>& out) { return ZrAttribute::create_default(out.out()); }

}  // namespace

void ZrEntry::reset() {
  flags_ = 0;
  name_.reset();
  slots_.clear();
}

long ZrEntry::find(BSTR name) {
  size_t n = name ? wcslen(name) : 0;
  if (n == 0) return -1;
  for (size_t i = 0; i < slots_.size(); ++i) {
    corv::Bstr have;
    if (FAILED(slots_[i]->get_Name(have.out())) || have.length() == 0) continue;
    if (same_name(have.get(), have.length(), name, n)) return static_cast<long>(i);
  }
  return -1;
}

HRESULT ZrEntry::hand_out(size_t index, IDispatch** out) {
  return slots_[index]->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
}

HRESULT ZrEntry::replace(size_t index, IDispatch* object) {
  if (!object) return E_POINTER;
  Slot attribute;
  RETURN_IF_FAILED(object->QueryInterface(IID_IzrAttribute, attribute.out_void()));
  slots_[index] = attribute;  // the previous attribute is released
  return S_OK;
}

STDMETHODIMP ZrEntry::get_Attribute(long Index, IDispatch** pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  corv::Lock hold(lock_);
  if (!in_range(Index)) return DISP_E_BADINDEX;
  return hand_out(static_cast<size_t>(Index), pVal);
}

STDMETHODIMP ZrEntry::putref_Attribute(long Index, IDispatch* newVal) {
  corv::Lock hold(lock_);
  if (!in_range(Index)) return DISP_E_BADINDEX;
  return replace(static_cast<size_t>(Index), newVal);
}

STDMETHODIMP ZrEntry::get__NewEnum(IUnknown** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  corv::Lock hold(lock_);
  try {
    std::vector<corv::ComPtr<IDispatch>> objects(slots_.size());
    std::vector<IDispatch*> items(slots_.size());
    for (size_t i = 0; i < slots_.size(); ++i) {
      RETURN_IF_FAILED(hand_out(i, objects[i].out()));
      items[i] = objects[i].get();
    }
    IEnumVARIANT* e = nullptr;
    RETURN_IF_FAILED(corv::EnumVariant::create_from_objects(items.data(), items.size(), &e));
    *ppEnum = e;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDMETHODIMP ZrEntry::remove(long Index) {
  corv::Lock hold(lock_);
  if (!in_range(Index)) return DISP_E_BADINDEX;
  slots_.erase(slots_.begin() + Index);
  return S_OK;
}

STDMETHODIMP ZrEntry::clear() {
  corv::Lock hold(lock_);
  slots_.clear();
  return S_OK;
}

// A name already present re-uses the first matching attribute in its place: the list does not
// gain a second reference to it.
STDMETHODIMP ZrEntry::add(BSTR AttributeName, long ValuesCount, IDispatch** pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  if (ValuesCount < 0) return E_INVALIDARG;
  corv::Lock hold(lock_);
  long at = find(AttributeName);
  Slot attribute;
  if (at >= 0) {
    attribute = slots_[static_cast<size_t>(at)];
  } else {
    RETURN_IF_FAILED(new_attribute(attribute));
  }
  BSTR name = AttributeName;
  RETURN_IF_FAILED(attribute->put_Name(&name));
  RETURN_IF_FAILED(attribute->resize(ValuesCount));
  if (at < 0) {
    try {
      slots_.push_back(attribute);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }
  return attribute->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(pVal));
}

STDMETHODIMP ZrEntry::get_Count(long* pVal) {
  if (!pVal) return E_POINTER;
  corv::Lock hold(lock_);
  *pVal = static_cast<long>(slots_.size());
  return S_OK;
}

STDMETHODIMP ZrEntry::removeA(BSTR AttributeName) {
  corv::Lock hold(lock_);
  for (long at = find(AttributeName); at >= 0; at = find(AttributeName)) slots_.erase(slots_.begin() + at);
  return S_OK;
}

STDMETHODIMP ZrEntry::get_Name(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  corv::Lock hold(lock_);
  *pVal = name_ ? SysAllocStringByteLen(reinterpret_cast<const char*>(name_.get()), name_.byte_length())
                : SysAllocString(L"");
  return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ZrEntry::put_Name(BSTR* newVal) {
  if (!newVal) return E_POINTER;
  BSTR copy = *newVal ? SysAllocString(*newVal) : nullptr;
  if (*newVal && !copy) return E_OUTOFMEMORY;
  corv::Lock hold(lock_);
  name_.reset(copy);
  return S_OK;
}

STDMETHODIMP ZrEntry::get_Flags(long* pVal) {
  if (!pVal) return E_POINTER;
  corv::Lock hold(lock_);
  *pVal = flags_;
  return S_OK;
}

STDMETHODIMP ZrEntry::put_Flags(long newVal) {
  corv::Lock hold(lock_);
  flags_ = newVal;
  return S_OK;
}

STDMETHODIMP ZrEntry::get_AttributeA(BSTR AttributeName, IDispatch** pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  corv::Lock hold(lock_);
  long at = find(AttributeName);
  if (at < 0) return S_OK;  // the caller sees Nothing
  return hand_out(static_cast<size_t>(at), pVal);
}

STDMETHODIMP ZrEntry::putref_AttributeA(BSTR AttributeName, IDispatch* newVal) {
  corv::Lock hold(lock_);
  long at = find(AttributeName);
  if (at < 0) return DISP_E_BADINDEX;
  return replace(static_cast<size_t>(at), newVal);
}

STDMETHODIMP ZrEntry::findAttribute(BSTR AttributeName, long* Index) {
  if (!Index) return E_POINTER;
  corv::Lock hold(lock_);
  *Index = find(AttributeName);
  return S_OK;
}

STDMETHODIMP ZrEntry::get_AttributeName(long Index, BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  corv::Lock hold(lock_);
  if (!in_range(Index)) return DISP_E_BADINDEX;
  return slots_[static_cast<size_t>(Index)]->get_Name(pVal);
}

STDMETHODIMP ZrEntry::get_Data(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  corv::Lock hold(lock_);
  try {
    std::vector<corv::Bstr> forms(slots_.size());
    std::vector<ByteSpan> items(slots_.size());
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (FAILED(slots_[i]->get_Data(forms[i].out()))) return E_INVALIDARG;
      items[i] = span_of(forms[i].get());
    }
    write_entry(buffer_, flags_, span_of(name_.get()), items.data(), items.size());
  } catch (const CstreamException&) {
    return E_INVALIDARG;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  *pVal = corv::make_bytes(buffer_);
  return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ZrEntry::put_Data(BSTR* newVal) {
  corv::Lock hold(lock_);
  reset();
  if (!newVal) return E_POINTER;
  corv::ByteView in = corv::read_bytes(*newVal);
  try {
    read(in.data, in.size);
    return S_OK;
  } catch (const CstreamException&) {
    reset();
    return E_INVALIDARG;
  } catch (const std::bad_alloc&) {
    reset();
    return E_OUTOFMEMORY;
  }
}

void ZrEntry::read(const uint8_t* data, size_t size) {
  StreamReader in(data, size);  // an empty or null byte string is too short for the header
  EntryHeader h = read_entry_header(in);
  flags_ = h.flags;
  if (h.name.size) {
    name_.reset(SysAllocStringByteLen(reinterpret_cast<const char*>(h.name.data), static_cast<UINT>(h.name.size)));
    if (!name_) throw std::bad_alloc();
  }
  // The count is bounded by the bytes left, so the list never outgrows the input.
  slots_.reserve(h.count);
  for (uint32_t i = 0; i < h.count; ++i) {
    ByteSpan form = read_entry_attribute(in);
    Slot attribute;
    if (FAILED(new_attribute(attribute))) throw std::bad_alloc();
    corv::Bstr bytes = corv::Bstr::attach(corv::make_bytes(form.size ? form.data : reinterpret_cast<const uint8_t*>(""), form.size));
    if (!bytes) throw std::bad_alloc();
    BSTR b = bytes.get();
    if (FAILED(attribute->put_Data(&b))) throw CstreamException();
    slots_.push_back(attribute);  // capacity reserved above: cannot throw
  }
}

}  // namespace wick
