#include "zr_acl.h"
#include <new>
#include "acl_codec.h"
#include "byte_string.h"
#include "enum_variant.h"
#include "own_object.h"
#include "zr_ace.h"

namespace tern {
namespace {

constexpr size_t kInitialBuffer = 1024;

// Sort key: 1 explicit deny, 2 explicit other, 3 inherited deny, 4 inherited other. The deny
// test looks at the type byte that the binary form carries.
HRESULT entry_class(IzrAce* ace, int& cls) {
  long type = 0, flags = 0;
  RETURN_IF_FAILED(ace->get_AceType(&type));
  RETURN_IF_FAILED(ace->get_AceFlags(&flags));
  uint8_t t = static_cast<uint8_t>(type);
  bool deny = t == kAceDeniedType || t == kAceDeniedObjectType;
  bool inherited = (static_cast<uint32_t>(flags) & kAceInheritedFlag) != 0;
  cls = (inherited ? 3 : 1) + (deny ? 0 : 1);
  return S_OK;
}

// An entry's binary form appended to the list buffer, through the entry's own members when
// it is one of ours and through its interface otherwise.
HRESULT append_entry(IzrAce* ace, std::vector<uint8_t>& buf) {
  if (ZrAce* own = ZrAce::from(ace)) return own->append_to(buf);
  corv::Bstr data;
  RETURN_IF_FAILED(ace->get_Data(data.out()));
  corv::ByteView b = corv::read_bytes(data.get());
  // A foreign entry is trusted no further than its own header: it must give at least the
  // AceSize that it announces.
  AceView v;
  if (!ace_parse(b.data, b.size, v)) return E_INVALIDARG;
  buf.insert(buf.end(), b.data, b.data + v.size);
  return S_OK;
}

}  // namespace

ZrAcl::ZrAcl() { OwnObject<ZrAcl, IzrAcl>::note(this); }

ZrAcl* ZrAcl::from(IzrAcl* p) { return OwnObject<ZrAcl, IzrAcl>::from(p); }

size_t ZrAcl::find(IzrAce* ace) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].get() == ace) return i;
  return entries_.size();
}

STDMETHODIMP ZrAcl::get__NewEnum(IUnknown** pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  try {
    std::vector<IDispatch*> items;
    items.reserve(entries_.size());
    for (const auto& e : entries_) items.push_back(e.get());
    IEnumVARIANT* en = nullptr;
    RETURN_IF_FAILED(corv::EnumVariant::create_from_objects(items.data(), items.size(), &en));
    *pVal = en;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDMETHODIMP ZrAcl::get_AclRevision(long* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = revision_;
  return S_OK;
}

STDMETHODIMP ZrAcl::put_AclRevision(long newVal) {
  revision_ = newVal;
  return S_OK;
}

STDMETHODIMP ZrAcl::get_AceCount(long* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = static_cast<long>(entries_.size());
  return S_OK;
}

STDMETHODIMP ZrAcl::AddAce(IDispatch* Ace) {
  if (!Ace) return E_INVALIDARG;
  corv::ComPtr<IzrAce> ace;
  if (FAILED(Ace->QueryInterface(IID_IzrAce, ace.out_void()))) return E_INVALIDARG;
  if (find(ace.get()) != entries_.size()) return E_ABORT;
  try {
    entries_.push_back(std::move(ace));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

STDMETHODIMP ZrAcl::RemoveAce(IDispatch* Ace) {
  if (!Ace) return E_INVALIDARG;
  corv::ComPtr<IzrAce> ace;
  if (FAILED(Ace->QueryInterface(IID_IzrAce, ace.out_void()))) return E_INVALIDARG;
  size_t at = find(ace.get());
  if (at == entries_.size()) return E_ABORT;
  entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(at));
  return S_OK;
}

STDMETHODIMP ZrAcl::get_Data(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;  // also the answer for a list that is not written at all (S_FALSE)
  try {
    std::vector<uint8_t> buf;
    buf.reserve(kInitialBuffer);
    HRESULT hr = append_to(buf);
    if (hr != S_OK) return hr;
    BSTR b = corv::make_bytes(buf);
    if (!b) return E_OUTOFMEMORY;
    *pVal = b;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ZrAcl::append_to(std::vector<uint8_t>& out) {
  if (entries_.empty() && !denied_if_empty_) return S_FALSE;
  // A list over 65535 bytes (or 65535 entries) cannot be told by its 16-bit header fields;
  // it is refused instead of written with a wrapped size.
  if (entries_.size() > kAclMaxSize) return E_INVALIDARG;
  const size_t start = out.size();
  // The buffer grows geometrically (from 1024 bytes when the caller starts one): an
  // ordinary list is built without a reallocation, a long one with few.
  out.resize(start + kAclHeaderSize);
  for (const auto& e : entries_) {
    HRESULT hr = append_entry(e.get(), out);
    if (SUCCEEDED(hr) && out.size() - start > kAclMaxSize) hr = E_INVALIDARG;
    if (FAILED(hr)) {
      out.resize(start);
      return hr;
    }
  }
  acl_write_header(out.data() + start, static_cast<uint32_t>(revision_), static_cast<uint16_t>(out.size() - start),
                   static_cast<uint16_t>(entries_.size()));
  return S_OK;
}

STDMETHODIMP ZrAcl::put_Data(BSTR* newVal) {
  Clear();
  corv::ByteView b = corv::read_bytes(newVal ? *newVal : nullptr);
  try {
    return read(b.data, b.size);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ZrAcl::read(const uint8_t* bytes, size_t size) {
  AclLayout layout;
  AclParse r = acl_parse(bytes, size, layout);
  // A bad header or an entry outside AclSize is found before anything is built, so the
  // list stays empty with revision 0.
  if (r == AclParse::bad_header || r == AclParse::entry_out_of_bounds) return E_INVALIDARG;
  revision_ = layout.revision;
  if (layout.entries.empty()) return r == AclParse::ok ? S_OK : E_INVALIDARG;
  // Entries and their identifier objects come from class objects fetched once for the whole
  // read instead of a registry look-up per object.
  corv::ComPtr<IClassFactory> factory, identifiers;
  RETURN_IF_FAILED(CoGetClassObject(CLSID_zrAce, CLSCTX_ALL, nullptr, IID_IClassFactory, factory.out_void()));
  RETURN_IF_FAILED(CoGetClassObject(CLSID_zrSid, CLSCTX_ALL, nullptr, IID_IClassFactory, identifiers.out_void()));
  IdentifierFactoryScope scope(identifiers.get());
  entries_.reserve(layout.entries.size());
  for (const AclEntrySpan& span : layout.entries) {
    corv::ComPtr<IzrAce> ace;
    RETURN_IF_FAILED(factory->CreateInstance(nullptr, IID_IzrAce, ace.out_void()));
    AceView v;
    ace_parse(bytes + span.offset, span.size, v);  // accepted by acl_parse already
    if (ZrAce* own = ZrAce::from(ace.get())) {
      RETURN_IF_FAILED(own->load(bytes + span.offset, v));
    } else {
      corv::Bstr one = corv::Bstr::attach(corv::make_bytes(bytes + span.offset, span.size));
      if (!one) return E_OUTOFMEMORY;
      BSTR raw = one.get();
      RETURN_IF_FAILED(ace->put_Data(&raw));
    }
    entries_.push_back(std::move(ace));
  }
  // A malformed entry stops the read with the status an entry gives for it; those before stay.
  return r == AclParse::bad_entry ? E_INVALIDARG : S_OK;
}

STDMETHODIMP ZrAcl::Clear() {
  entries_.clear();
  revision_ = 0;
  return S_OK;
}

STDMETHODIMP ZrAcl::get_AccessDeniedIfEmpty(VARIANT_BOOL* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = denied_if_empty_;
  return S_OK;
}

STDMETHODIMP ZrAcl::put_AccessDeniedIfEmpty(VARIANT_BOOL newVal) {
  denied_if_empty_ = newVal;
  return S_OK;
}

STDMETHODIMP ZrAcl::sort(VARIANT_BOOL* Correct) {
  if (Correct) *Correct = VARIANT_TRUE;
  if (entries_.empty()) return S_OK;
  try {
    std::vector<int> cls(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i) RETURN_IF_FAILED(entry_class(entries_[i].get(), cls[i]));
    // Two passes, front to back: explicit entries go to the front (so each explicit group
    // comes out reversed), inherited ones to the back in their order.
    std::vector<size_t> front, back;
    for (int pass = 0; pass < 2; ++pass) {
      int to_front = pass == 0 ? 2 : 1, to_back = pass == 0 ? 3 : 4;
      for (size_t i = 0; i < entries_.size(); ++i) {
        if (cls[i] == to_front) front.push_back(i);
        else if (cls[i] == to_back) back.push_back(i);
      }
    }
    std::vector<size_t> order(front.rbegin(), front.rend());
    order.insert(order.end(), back.begin(), back.end());
    bool same = true;
    for (size_t i = 0; i < order.size(); ++i) same = same && order[i] == i;
    std::vector<corv::ComPtr<IzrAce>> sorted;
    sorted.reserve(entries_.size());
    for (size_t i : order) sorted.push_back(std::move(entries_[i]));
    entries_.swap(sorted);
    if (Correct) *Correct = corv::to_vb(same);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace tern
