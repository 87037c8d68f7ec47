#include "zr_sd.h"
#include <new>
#include "acl_codec.h"
#include "byte_string.h"
#include "sd_codec.h"
#include "sid_codec.h"
#include "zr_acl.h"
#include "zr_sid.h"

namespace tern {
namespace {

const HRESULT kInvalidDescriptor = HRESULT_FROM_WIN32(ERROR_INVALID_SECURITY_DESCR);

template <class I>
HRESULT hand_out(const corv::ComPtr<I>& part, IDispatch** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return part->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
}

template <class I>
HRESULT take(IDispatch* given, corv::ComPtr<I>& part) {
  if (!given) return E_INVALIDARG;
  corv::ComPtr<I> p;
  if (FAILED(given->QueryInterface(__uuidof(I), p.out_void()))) return E_INVALIDARG;
  part = std::move(p);
  return S_OK;
}

// Appends an identifier part; absent (nothing appended, offset 0) when its object holds no
// valid identifier.
HRESULT append_sid(IzrSid* sid, std::vector<uint8_t>& out, uint32_t& offset) {
  offset = 0;
  const uint8_t* data = nullptr;
  size_t size = 0;
  corv::Bstr holder;
  if (ZrSid* own = ZrSid::from(sid)) {
    if (!own->identifier(data, size)) return S_OK;
  } else {
    RETURN_IF_FAILED(sid->get_Data(holder.out()));
    corv::ByteView b = corv::read_bytes(holder.get());
    if (b.size == 0) return S_OK;
    if (!sid_is_valid(b.data, b.size)) return E_INVALIDARG;  // a foreign object's malformed bytes
    data = b.data;
    size = sid_length(b.data[1]);
  }
  offset = static_cast<uint32_t>(out.size());
  out.insert(out.end(), data, data + size);
  return S_OK;
}

// Appends a list part; absent when the list gives nothing (an empty list that is not to deny
// access), and for the SACL also when it has no entries.
HRESULT append_acl(IzrAcl* acl, bool drop_empty, std::vector<uint8_t>& out, uint32_t& offset) {
  offset = 0;
  const size_t start = out.size();
  if (ZrAcl* own = ZrAcl::from(acl)) {
    HRESULT hr = own->append_to(out);
    if (FAILED(hr)) return hr;
    if (hr != S_OK) return S_OK;
  } else {
    corv::Bstr holder;
    RETURN_IF_FAILED(acl->get_Data(holder.out()));
    corv::ByteView b = corv::read_bytes(holder.get());
    if (b.size == 0) return S_OK;
    size_t n = acl_size_at(b.data, b.size);
    if (n < kAclHeaderSize || n > b.size) return E_INVALIDARG;
    out.insert(out.end(), b.data, b.data + n);
  }
  if (drop_empty && out.size() - start == kAclHeaderSize) {
    out.resize(start);
    return S_OK;
  }
  offset = static_cast<uint32_t>(start);
  return S_OK;
}

template <class I>
HRESULT put_bytes(I* part, const uint8_t* bytes, const SdPart& where) {
  corv::Bstr b = corv::Bstr::attach(corv::make_bytes(bytes + where.offset, where.size));
  if (!b) return E_OUTOFMEMORY;
  BSTR raw = b.get();
  HRESULT hr = part->put_Data(&raw);
  return FAILED(hr) ? hr : S_OK;
}

}  // namespace

HRESULT ZrSd::final_construct() {
  RETURN_IF_FAILED(CoCreateInstance(CLSID_zrSid, nullptr, CLSCTX_ALL, IID_IzrSid, owner_.out_void()));
  RETURN_IF_FAILED(CoCreateInstance(CLSID_zrSid, nullptr, CLSCTX_ALL, IID_IzrSid, group_.out_void()));
  RETURN_IF_FAILED(CoCreateInstance(CLSID_zrAcl, nullptr, CLSCTX_ALL, IID_IzrAcl, dacl_.out_void()));
  return CoCreateInstance(CLSID_zrAcl, nullptr, CLSCTX_ALL, IID_IzrAcl, sacl_.out_void());
}

STDMETHODIMP ZrSd::get_Revision(long* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = revision_;
  return S_OK;
}
STDMETHODIMP ZrSd::put_Revision(long newVal) {
  revision_ = newVal;
  return S_OK;
}
STDMETHODIMP ZrSd::get_Control(long* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = control_;
  return S_OK;
}
STDMETHODIMP ZrSd::put_Control(long newVal) {
  control_ = newVal;
  return S_OK;
}

STDMETHODIMP ZrSd::get_SidOwner(IDispatch** pVal) { return hand_out(owner_, pVal); }
STDMETHODIMP ZrSd::putref_SidOwner(IDispatch* newVal) { return take(newVal, owner_); }
STDMETHODIMP ZrSd::get_SidGroup(IDispatch** pVal) { return hand_out(group_, pVal); }
STDMETHODIMP ZrSd::putref_SidGroup(IDispatch* newVal) { return take(newVal, group_); }
STDMETHODIMP ZrSd::get_Dacl(IDispatch** pVal) { return hand_out(dacl_, pVal); }
STDMETHODIMP ZrSd::putref_Dacl(IDispatch* newVal) { return take(newVal, dacl_); }
STDMETHODIMP ZrSd::get_Sacl(IDispatch** pVal) { return hand_out(sacl_, pVal); }
STDMETHODIMP ZrSd::putref_Sacl(IDispatch* newVal) { return take(newVal, sacl_); }

STDMETHODIMP ZrSd::get_Data(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  try {
    // One buffer: the header, then each present part in the order owner, group, DACL, SACL.
    std::vector<uint8_t> buf;
    buf.reserve(1024);
    buf.resize(kSdHeaderSize);
    uint32_t owner = 0, group = 0, dacl = 0, sacl = 0;
    RETURN_IF_FAILED(append_sid(owner_.get(), buf, owner));
    RETURN_IF_FAILED(append_sid(group_.get(), buf, group));
    RETURN_IF_FAILED(append_acl(dacl_.get(), false, buf, dacl));
    RETURN_IF_FAILED(append_acl(sacl_.get(), true, buf, sacl));
    sd_write_header(buf.data(), static_cast<uint32_t>(revision_), static_cast<uint32_t>(control_), owner, group, sacl,
                    dacl);
    BSTR b = corv::make_bytes(buf);
    if (!b) return E_OUTOFMEMORY;
    *pVal = b;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDMETHODIMP ZrSd::put_Data(BSTR* newVal) {
  Clear();
  corv::ByteView b = corv::read_bytes(newVal ? *newVal : nullptr);
  return read(b.data, b.size);
}

HRESULT ZrSd::read(const uint8_t* bytes, size_t size) {
  SdLayout l;
  SdParse r = sd_parse(bytes, size, l);
  if (r == SdParse::invalid) return kInvalidDescriptor;
  if (r == SdParse::absolute) {
    // In absolute form the header holds pointers, not offsets: the system's check is given
    // the header alone so that it can follow nothing that the bytes point at.
    SECURITY_DESCRIPTOR header = {};
    header.Revision = bytes[0];
    header.Control = l.control;
    return IsValidSecurityDescriptor(&header) ? E_INVALIDARG : kInvalidDescriptor;
  }
  // Every part lies within the bytes (checked above) before the system looks at them.
  if (!IsValidSecurityDescriptor(const_cast<uint8_t*>(bytes))) return kInvalidDescriptor;
  revision_ = l.revision;
  control_ = l.control;
  if (l.owner.present) RETURN_IF_FAILED(put_bytes(owner_.get(), bytes, l.owner));
  if (l.group.present) RETURN_IF_FAILED(put_bytes(group_.get(), bytes, l.group));
  if (l.dacl.present) RETURN_IF_FAILED(put_bytes(dacl_.get(), bytes, l.dacl));
  if (l.sacl.present) RETURN_IF_FAILED(put_bytes(sacl_.get(), bytes, l.sacl));
  return S_OK;
}

STDMETHODIMP ZrSd::Clear() {
  revision_ = 0;
  control_ = 0;
  owner_->Clear();
  group_->Clear();
  dacl_->Clear();
  sacl_->Clear();
  return S_OK;
}

}  // namespace tern
