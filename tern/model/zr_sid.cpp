#include "zr_sid.h"
#include <lm.h>
#include "byte_string.h"
#include "own_object.h"
#include "sid_codec.h"

namespace tern {
namespace {

const wchar_t* computer_or_null(const wchar_t* system) { return (system && *system) ? system : nullptr; }

}  // namespace

const uint8_t* builtin_domain_sid() {
  // S-1-5-32: revision 1, one sub-authority, authority 5, sub-authority 32 (little-endian).
  static const uint8_t sid[] = {1, 1, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0};
  return sid;
}

ZrSid::ZrSid() : frame_(L"zrSid") { OwnObject<ZrSid, IzrSid>::note(this); }

ZrSid* ZrSid::from(IzrSid* p) { return OwnObject<ZrSid, IzrSid>::from(p); }

bool ZrSid::identifier(const uint8_t*& data, size_t& size) const {
  if (!valid()) return false;
  data = sid_.data();
  size = sid_length(count());
  return true;
}

bool ZrSid::valid() const {
  return sid_is_valid(sid_.data(), sid_.size()) && IsValidSid(const_cast<uint8_t*>(sid_.data()));
}

STDMETHODIMP ZrSid::get_Sid(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;  // an identifier that is not valid has no text: the caller reads a null string
  if (!valid()) return S_FALSE;
  std::u16string t = sid_to_text(sid_.data());
  *pVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(t.data()), static_cast<UINT>(t.size()));
  return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ZrSid::put_Sid(BSTR newVal) {
  sid_.clear();
  std::u16string text(reinterpret_cast<const char16_t*>(newVal ? newVal : L""), newVal ? SysStringLen(newVal) : 0);
  std::vector<uint8_t> parsed;
  if (sid_from_text(text, parsed)) sid_ = std::move(parsed);
  return S_OK;
}

STDMETHODIMP ZrSid::get_Valid(VARIANT_BOOL* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = corv::to_vb(valid());
  return S_OK;
}

STDMETHODIMP ZrSid::get_SubauthorityCount(short* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = valid() ? static_cast<short>(count()) : 0;
  return S_OK;
}

// The count byte holds 0 to 255; a value outside that range is ignored rather than
// wrapped into a different count.
STDMETHODIMP ZrSid::put_SubauthorityCount(short newVal) {
  if (!valid()) return S_OK;
  long n = newVal;
  if (n < 0 || n > 255) return S_OK;
  unsigned c = count();
  if (static_cast<unsigned>(n) <= c) {
    sid_[1] = static_cast<uint8_t>(n);
    return S_OK;
  }
  std::vector<uint8_t> grown(GetSidLengthRequired(static_cast<UCHAR>(n)), 0);
  std::copy(sid_.begin(), sid_.begin() + static_cast<ptrdiff_t>(sid_length(c)), grown.begin());
  grown[1] = static_cast<uint8_t>(n);
  sid_ = std::move(grown);
  return S_OK;
}

// An identifier without sub-authorities has no last one: the getter gives 0 and the
// setter changes nothing (there is no field to write).
STDMETHODIMP ZrSid::get_Rid(long* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = (valid() && count() > 0) ? static_cast<long>(sid_sub_authority(sid_.data(), count() - 1)) : 0;
  return S_OK;
}

STDMETHODIMP ZrSid::put_Rid(long newVal) {
  if (valid() && count() > 0) sid_set_sub_authority(sid_.data(), count() - 1, static_cast<uint32_t>(newVal));
  return S_OK;
}

STDMETHODIMP ZrSid::get_System(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  return corv::copy_text(frame_.system(), pVal);
}

STDMETHODIMP ZrSid::put_System(BSTR newVal) {
  if (!newVal || !*newVal) {
    frame_.set_system(nullptr);
    return S_OK;
  }
  const wchar_t* p = newVal;
  while (*p == L'\\') ++p;
  std::wstring s = L"\\\\";
  s += p;
  frame_.set_system(s.c_str());
  return S_OK;
}

STDMETHODIMP ZrSid::get_Account(BSTR* pVal) {
  if (!pVal) return S_OK;
  return corv::copy_text(account_.get(), pVal);
}

STDMETHODIMP ZrSid::put_Account(BSTR newVal) {
  account_.reset(newVal ? SysAllocStringLen(newVal, SysStringLen(newVal)) : nullptr);
  return S_OK;
}

STDMETHODIMP ZrSid::get_Domain(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  return corv::copy_text(domain_.get(), pVal);
}

STDMETHODIMP ZrSid::get_SidType(long* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = sid_type_;
  return S_OK;
}

// Who is signed in is not an untrusted caller's to learn.
STDMETHODIMP ZrSid::InitCurrentUser() {
  RETURN_IF_FAILED(refuse_untrusted_caller());
  sid_.clear();
  corv::Handle token;
  if (!OpenProcessToken(GetCurrentProcess(), GENERIC_READ, token.out())) return S_OK;
  alignas(8) BYTE buf[1024];
  DWORD len = 0;
  if (!GetTokenInformation(token.get(), TokenUser, buf, sizeof buf, &len)) return S_OK;
  PSID user = reinterpret_cast<TOKEN_USER*>(buf)->User.Sid;
  if (!user || !IsValidSid(user)) return S_OK;
  const uint8_t* p = static_cast<const uint8_t*>(user);
  sid_.assign(p, p + GetLengthSid(user));
  return S_OK;
}

const std::wstring& ZrSid::builtin_domain_name() {
  if (!builtin_name_.empty()) return builtin_name_;
  wchar_t name[256], domain[256];
  DWORD nlen = ARRAYSIZE(name), dlen = ARRAYSIZE(domain);
  SID_NAME_USE use;
  if (LookupAccountSidW(computer_or_null(frame_.system()), const_cast<uint8_t*>(builtin_domain_sid()), name, &nlen,
                        domain, &dlen, &use) &&
      name[0])
    builtin_name_ = name;
  else builtin_name_ = L"BUILTIN";
  return builtin_name_;
}

bool ZrSid::lookup_account(const wchar_t* name, std::vector<uint8_t>& sid, std::wstring& domain, long& type) {
  const wchar_t* computer = computer_or_null(frame_.system());
  auto attempt = [&](const wchar_t* account) {
    BYTE buf[80];
    DWORD sid_len = sizeof buf;
    wchar_t dom[512];
    DWORD dom_len = ARRAYSIZE(dom);
    SID_NAME_USE use;
    if (!LookupAccountNameW(computer, account, buf, &sid_len, dom, &dom_len, &use)) return false;
    sid.assign(buf, buf + GetLengthSid(buf));
    domain = dom;
    type = use;
    return true;
  };
  if (attempt(name)) return true;
  resolver_error_ = static_cast<long>(GetLastError());
  if (wcschr(name, L'\\')) return false;
  std::wstring qualified = builtin_domain_name() + L"\\" + name;
  return attempt(qualified.c_str());
}

// A lookup on another computer is an authenticated call to a host the caller names: an
// untrusted caller gets the local computer's answers only.
HRESULT ZrSid::refuse_remote_lookup() const {
  return computer_or_null(frame_.system()) ? refuse_untrusted_caller() : S_OK;
}

STDMETHODIMP ZrSid::AccountToSid(VARIANT_BOOL* Resolved) {
  if (Resolved) *Resolved = VARIANT_FALSE;
  RETURN_IF_FAILED(refuse_remote_lookup());
  std::vector<uint8_t> sid;
  std::wstring domain;
  long type = 0;
  const wchar_t* account = account_.get() ? account_.get() : L"";
  if (lookup_account(account, sid, domain, type)) {
    sid_ = std::move(sid);
    domain_.reset(SysAllocString(domain.c_str()));
    sid_type_ = type;
    if (Resolved) *Resolved = VARIANT_TRUE;
    return S_OK;
  }
  frame_.last_error = resolver_error_;
  catalogue_text(frame_.last_message, 0xC0001002, account, computer_text(frame_.system()).c_str());
  frame_.report_last(kLookupSystem, kSevError);
  return S_FALSE;
}

STDMETHODIMP ZrSid::SidToAccount(VARIANT_BOOL* Resolved) {
  if (Resolved) *Resolved = VARIANT_FALSE;
  RETURN_IF_FAILED(refuse_remote_lookup());
  if (!valid()) {
    frame_.report(ERROR_INVALID_SID, nullptr, kLookupSystem, kSevError);
    return S_FALSE;
  }
  wchar_t name[512], domain[512];
  DWORD nlen = ARRAYSIZE(name), dlen = ARRAYSIZE(domain);
  SID_NAME_USE use;
  if (LookupAccountSidW(computer_or_null(frame_.system()), sid_.data(), name, &nlen, domain, &dlen, &use)) {
    sid_type_ = use;
    domain_.reset(SysAllocString(domain));
    account_.reset(SysAllocString(name));
    if (Resolved) *Resolved = VARIANT_TRUE;
    return S_OK;
  }
  resolver_error_ = static_cast<long>(GetLastError());
  std::u16string text = sid_to_text(sid_.data());
  std::wstring wtext(text.begin(), text.end());
  frame_.last_error = resolver_error_;
  catalogue_text(frame_.last_message, 0xC0001003, wtext.c_str(), computer_text(frame_.system()).c_str());
  frame_.report_last(kLookupSystem, kSevError);
  return S_FALSE;
}

STDMETHODIMP ZrSid::get_Data(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  if (!valid()) return S_OK;
  *pVal = corv::make_bytes(sid_.data(), sid_length(count()));
  return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ZrSid::put_Data(BSTR* newVal) {
  sid_.clear();
  corv::ByteView b = corv::read_bytes(newVal ? *newVal : nullptr);
  if (!sid_is_valid(b.data, b.size)) return S_OK;
  if (!IsValidSid(const_cast<uint8_t*>(b.data))) return S_OK;
  sid_.assign(b.data, b.data + sid_length(b.data[1]));
  return S_OK;
}

// Refused to an untrusted caller even for the local computer: the answer is the computer's own
// account-domain name and identifier, which tell who and where the user is.
STDMETHODIMP ZrSid::SystemToSid(VARIANT_BOOL* Resolved) {
  if (Resolved) *Resolved = VARIANT_FALSE;
  RETURN_IF_FAILED(refuse_untrusted_caller());
  account_.reset(SysAllocString(frame_.system() ? frame_.system() : L""));
  LPBYTE raw = nullptr;
  NET_API_STATUS status = NetUserModalsGet(computer_or_null(frame_.system()), 2, &raw);
  frame_.last_error = static_cast<long>(status);
  bool ok = false;
  if (status == NERR_Success && raw) {
    auto* info = reinterpret_cast<USER_MODALS_INFO_2*>(raw);
    PSID id = info->usrmod2_domain_id;
    if (id && IsValidSid(id)) {
      const uint8_t* p = static_cast<const uint8_t*>(id);
      sid_.assign(p, p + GetLengthSid(id));
      domain_.reset(SysAllocString(info->usrmod2_domain_name ? info->usrmod2_domain_name : L""));
      sid_type_ = SidTypeDomain;
      ok = true;
    }
  }
  if (raw) NetApiBufferFree(raw);
  if (ok) {
    if (Resolved) *Resolved = VARIANT_TRUE;
    return S_OK;
  }
  catalogue_text(frame_.last_message, 0xC0001004, computer_text(frame_.system()).c_str(), L"2");
  frame_.report_last(kLookupNetMsg, kSevError);
  return S_FALSE;
}

STDMETHODIMP ZrSid::Clear() {
  sid_.clear();
  account_.reset();
  domain_.reset();
  sid_type_ = SidTypeInvalid;
  return S_OK;
}

STDMETHODIMP ZrSid::get_Log(IDispatch** pVal) { return frame_.get_log(pVal); }
STDMETHODIMP ZrSid::putref_Log(IDispatch* newVal) { return frame_.putref_log(newVal); }

}  // namespace tern
