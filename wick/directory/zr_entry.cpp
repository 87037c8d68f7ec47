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

void ZrEntry::reset(std::vector<Slot>& gone) {
  flags_ = 0;
  name_.reset();
  gone.swap(slots_);  // gone was empty: the list is now
}

// What a failed read left: attributes made here holding texts and numbers only, whose release
// calls nothing back.
void ZrEntry::drop_read() {
  flags_ = 0;
  name_.reset();
  slots_.clear();
}

// Another implementation of the attribute interface may change this entry from inside
// get_Name: each is held while it is asked, the list is re-read at every step, and the
// position found is given only while it is still in the list.
long ZrEntry::find(BSTR name) {
  size_t n = name ? wcslen(name) : 0;
  if (n == 0) return -1;
  for (size_t i = 0; i < slots_.size(); ++i) {
    Slot held = slots_[i];
    corv::Bstr have;
    if (FAILED(held->get_Name(have.out())) || have.length() == 0) continue;
    if (same_name(have.get(), have.length(), name, n))
      return in_range(static_cast<long>(i)) ? static_cast<long>(i) : -1;
  }
  return -1;
}

HRESULT ZrEntry::hand_out(size_t index, IDispatch** out) {
  Slot held = slots_[index];
  return held->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
}

HRESULT ZrEntry::replace(size_t index, IDispatch* object, Slot& previous) {
  if (!object) return E_POINTER;
  Slot attribute;
  RETURN_IF_FAILED(object->QueryInterface(IID_IzrAttribute, attribute.out_void()));
  if (index >= slots_.size()) return DISP_E_BADINDEX;  // changed by the call above
  previous = std::move(slots_[index]);
  slots_[index] = std::move(attribute);
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
  Slot previous;  // released after the lock
  corv::Lock hold(lock_);
  if (!in_range(Index)) return DISP_E_BADINDEX;
  return replace(static_cast<size_t>(Index), newVal, previous);
}

STDMETHODIMP ZrEntry::get__NewEnum(IUnknown** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  corv::Lock hold(lock_);
  try {
    std::vector<Slot> held = slots_;  // the list as it is now, whatever asking an attribute does
    std::vector<corv::ComPtr<IDispatch>> objects(held.size());
    std::vector<IDispatch*> items(held.size());
    for (size_t i = 0; i < held.size(); ++i) {
      RETURN_IF_FAILED(held[i]->QueryInterface(IID_IDispatch, objects[i].out_void()));
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

// Attributes leave the list under the lock and are released after it: the last release of an
// attribute releases the objects it holds, which may call back into this entry.
STDMETHODIMP ZrEntry::remove(long Index) {
  Slot removed;
  corv::Lock hold(lock_);
  if (!in_range(Index)) return DISP_E_BADINDEX;
  removed = std::move(slots_[static_cast<size_t>(Index)]);
  slots_.erase(slots_.begin() + Index);
  return S_OK;
}

STDMETHODIMP ZrEntry::clear() {
  std::vector<Slot> gone;
  corv::Lock hold(lock_);
  gone.swap(slots_);
  return S_OK;
}

// A name already present re-uses the first matching attribute in its place: the list does not
// gain a second reference to it.
STDMETHODIMP ZrEntry::add(BSTR AttributeName, long ValuesCount, IDispatch** pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  if (ValuesCount < 0) return E_INVALIDARG;
  Slot attribute;  // released after the lock when it is not kept
  corv::Lock hold(lock_);
  long at = find(AttributeName);
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
  std::vector<Slot> gone;
  corv::Lock hold(lock_);
  try {
    for (long at = find(AttributeName); at >= 0; at = find(AttributeName)) {
      gone.push_back(slots_[static_cast<size_t>(at)]);
      slots_.erase(slots_.begin() + at);
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
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
  Slot previous;  // released after the lock
  corv::Lock hold(lock_);
  long at = find(AttributeName);
  if (at < 0) return DISP_E_BADINDEX;
  return replace(static_cast<size_t>(at), newVal, previous);
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
  Slot held = slots_[static_cast<size_t>(Index)];
  return held->get_Name(pVal);
}

// An attribute's form asks the objects it holds for their values, and any of them may change
// or clear this entry meanwhile. So the attributes are taken (each held) with the name and
// flags under the lock, and asked with the lock released: an attribute in use cannot be freed,
// and the form is the entry as it was when asked.
STDMETHODIMP ZrEntry::get_Data(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  try {
    long flags;
    corv::Bstr name;
    std::vector<Slot> held;
    {
      corv::Lock hold(lock_);
      flags = flags_;
      if (name_) {
        name.reset(SysAllocStringByteLen(reinterpret_cast<const char*>(name_.get()), name_.byte_length()));
        if (!name) return E_OUTOFMEMORY;
      }
      held = slots_;
    }
    std::vector<corv::Bstr> forms(held.size());
    std::vector<ByteSpan> items(held.size());
    for (size_t i = 0; i < held.size(); ++i) {
      if (FAILED(held[i]->get_Data(forms[i].out()))) return E_INVALIDARG;
      items[i] = span_of(forms[i].get());
    }
    corv::Lock hold(lock_);  // the buffer is shared by every Data get
    write_entry(buffer_, flags, span_of(name.get()), items.data(), items.size());
    *pVal = corv::make_bytes(buffer_);
  } catch (const CstreamException&) {
    return E_INVALIDARG;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ZrEntry::put_Data(BSTR* newVal) {
  std::vector<Slot> gone;  // the previous attributes, released after the lock
  corv::Lock hold(lock_);
  reset(gone);
  if (!newVal) return E_POINTER;
  corv::ByteView in = corv::read_bytes(*newVal);
  try {
    read(in.data, in.size);
    return S_OK;
  } catch (const CstreamException&) {
    drop_read();
    return E_INVALIDARG;
  } catch (const std::bad_alloc&) {
    drop_read();
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
    corv::Bstr bytes = corv::Bstr::attach(corv::make_bytes(form.size ? form.data : reinterpret_cast<const uint8_t*>(""),
                                                           form.size));
    if (!bytes) throw std::bad_alloc();
    BSTR b = bytes.get();
    if (FAILED(attribute->put_Data(&b))) throw CstreamException();
    slots_.push_back(attribute);  // capacity reserved above: cannot throw
  }
}

}  // namespace wick
