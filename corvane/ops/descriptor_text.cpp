#include "descriptor_text.h"

#include "app.h"
#include "descriptor_check.h"

#include <lm.h>
#include <sddl.h>

#include "byte_string.h"

namespace corvane {

corv::ComPtr<IzrSid> sid_of(IzrAce* ace) {
  corv::ComPtr<IDispatch> disp;
  corv::ComPtr<IzrSid> sid;
  if (SUCCEEDED(ace->get_Sid(disp.out())) && disp) disp.query(sid.out());
  return sid;
}

std::wstring text_of(IzrSid* sid) {
  corv::Bstr text;
  if (!sid || FAILED(sid->get_Sid(text.out()))) return {};
  return text.c_str();
}

std::wstring rights_in_words(unsigned long mask) {
  switch (mask) {
    case 0x1F01FF: return L"Full Control";
    case 0x1301BF: return L"Change";
    case 0x1200A9: return L"Read";
    default: break;
  }
  wchar_t hex[16];
  swprintf(hex, 16, L"0x%lX", mask);
  return hex;
}

namespace {
std::wstring inheritance_words(long flags) {
  std::wstring out;
  const std::pair<long, const wchar_t*> names[] = {
      {OBJECT_INHERIT_ACE, L"OI"},
      {CONTAINER_INHERIT_ACE, L"CI"},
      {NO_PROPAGATE_INHERIT_ACE, L"NP"},
      {INHERIT_ONLY_ACE, L"IO"},
      {INHERITED_ACE, L"ID"}};
  for (const auto& [bit, name] : names)
    if (flags & bit) out += (out.empty() ? L"" : L" ") + std::wstring(name);
  return out;
}
}  // namespace

std::wstring qualified_name(IzrSid* sid) {
  corv::Bstr domain, name;
  if (sid) {
    sid->get_Domain(domain.out());
    sid->get_Account(name.out());
  }
  // A name typed with its domain ("CORP\\collector") is kept so by the identifier: the domain
  // is written once.
  std::wstring account = name.c_str();
  size_t slash = account.rfind(L'\\');
  if (slash != std::wstring::npos) account.erase(0, slash + 1);
  return std::wstring(domain.c_str()) + L"\\" + account;
}

std::wstring hresult_text(HRESULT hr) {
  wchar_t hex[16];
  swprintf(hex, 16, L"0x%08lX", static_cast<unsigned long>(hr));
  std::wstring text = status_text(static_cast<unsigned long>(hr));
  return text.rfind(L"error ", 0) == 0 ? std::wstring(hex) : std::wstring(hex) + L" " + text;
}

namespace {
// The bytes of the answer from `at` to its end; false when `at` is not inside it.
bool answer_rest(const void* answer, const void* at, size_t& rest) {
  DWORD size = 0;
  if (!answer || !at || NetApiBufferSize(const_cast<void*>(answer), &size) != NERR_Success) return false;
  const uintptr_t begin = reinterpret_cast<uintptr_t>(answer), p = reinterpret_cast<uintptr_t>(at);
  if (p < begin || p - begin >= size) return false;
  rest = size - (p - begin);
  return true;
}
}  // namespace

size_t records_in_answer(const void* answer, size_t record_size) {
  size_t rest = 0;
  return record_size && answer_rest(answer, answer, rest) ? rest / record_size : 0;
}

std::wstring sddl_of_descriptor(const void* answer, PSECURITY_DESCRIPTOR sd, std::wstring* reason) {
  if (!sd) return {};
  std::wstring why;
  size_t rest = 0, length = 0;
  if (!answer_rest(answer, sd, rest)) why = L"the descriptor lies outside the server's answer";
  else check_descriptor(static_cast<const uint8_t*>(sd), rest, length, why);
  // Only a copy of the checked bytes reaches the system (aligned, and nothing beyond them).
  std::vector<uint8_t> copy;
  if (why.empty()) {
    copy.assign(static_cast<const uint8_t*>(sd), static_cast<const uint8_t*>(sd) + length);
    if (!IsValidSecurityDescriptor(copy.data())) why = L"the system refuses the descriptor";
  }
  corv::LocalMem<wchar_t> text;
  if (why.empty() && !ConvertSecurityDescriptorToStringSecurityDescriptorW(
                         copy.data(), SDDL_REVISION_1,
                         OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                         reinterpret_cast<LPWSTR*>(text.out()), nullptr))
    why = L"the descriptor cannot be written as SDDL";
  if (why.empty() && text.get() && *text.get()) return text.get();
  if (why.empty()) why = L"the descriptor cannot be written as SDDL";
  if (reason) *reason = why;
  return {};
}

std::wstring sddl_of(const corv::Bstr& bytes, bool dacl_only) {
  corv::ByteView v = corv::read_bytes(bytes.get());
  if (v.size < 20) return {};
  std::vector<uint8_t> copy(v.data, v.data + v.size);  // the system wants an aligned block
  // The bytes may be a server's: no offset in them may lead past the copy.
  size_t length = 0;
  std::wstring why;
  if (!check_descriptor(copy.data(), copy.size(), length, why)) return {};
  corv::LocalMem<wchar_t> text;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
          copy.data(), SDDL_REVISION_1,
          dacl_only ? DACL_SECURITY_INFORMATION
                    : OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          reinterpret_cast<LPWSTR*>(text.out()), nullptr))
    return {};
  return text.get() ? text.get() : L"";
}

corv::Bstr bytes_of(const std::wstring& sddl) {
  corv::LocalMem<void> sd;
  ULONG size = 0;
  if (sddl.empty() ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                            reinterpret_cast<PSECURITY_DESCRIPTOR*>(sd.out()), &size))
    return {};
  return corv::Bstr::attach(corv::make_bytes(sd.get(), size));
}

std::vector<EntryWords> entries_in_words(IzrAcl* acl, const std::wstring& server) {
  std::vector<EntryWords> out;
  if (!acl) return out;
  for_each_entry(acl, [&](IDispatch*, IzrAce* ace) {
    long type = -1, mask = 0, flags = 0;
    ace->get_AceType(&type);
    ace->get_AccessMask(&mask);
    ace->get_AceFlags(&flags);
    EntryWords w;
    corv::ComPtr<IzrSid> sid = sid_of(ace);
    w.sid = text_of(sid.get());
    w.mask = static_cast<unsigned long>(mask);
    w.type = type;
    w.flags = flags;
    w.inheritance = inheritance_words(flags);
    VARIANT_BOOL resolved = VARIANT_FALSE;
    if (sid && FAILED(sid->SidToAccount(&resolved))) resolved = VARIANT_FALSE;
    if (sid && !resolved && !server.empty()) {
      // A group of the server's own (its local Administrators, a share group made there) is
      // known to that server only: it is asked by name.
      corv::Bstr system(server.c_str());
      if (SUCCEEDED(sid->put_System(system.get())) && FAILED(sid->SidToAccount(&resolved))) resolved = VARIANT_FALSE;
    }
    if (sid && resolved) {
      w.account = qualified_name(sid.get());
      if (w.account.rfind(L"\\", 0) == 0) w.account.erase(0, 1);  // "Everyone" has no domain
    } else {
      w.account = text_of(sid.get());
    }
    w.rights = rights_in_words(static_cast<unsigned long>(mask));
    w.kind = type == ACCESS_DENIED_ACE_TYPE ? L"deny" : type == ACCESS_ALLOWED_ACE_TYPE ? L"allow" : L"other";
    out.push_back(w);
  });
  return out;
}

bool load_descriptor(const std::wstring& sddl, LoadedDescriptor& out) {
  corv::Bstr bytes = bytes_of(sddl);
  if (!bytes) {
    out.reason = L"the access list on record cannot be read.";
    return false;
  }
  HRESULT hr = create_object(CLSID_zrSd, IID_IzrSd, out.sd);
  BSTR raw = bytes.get();
  if (SUCCEEDED(hr)) hr = out.sd->put_Data(&raw);
  corv::ComPtr<IDispatch> dacl;
  if (SUCCEEDED(hr)) hr = out.sd->get_Dacl(dacl.out());
  if (FAILED(hr)) {
    out.reason = L"the descriptor cannot be loaded (" + hresult_text(hr) + L").";
    return false;
  }
  if (dacl) dacl.query(out.acl.out());
  return true;
}

std::vector<EntryWords> entries_of_sddl(const std::wstring& sddl, const std::wstring& server) {
  LoadedDescriptor d;
  if (sddl.empty() || !load_descriptor(sddl, d)) return {};
  return entries_in_words(d.acl.get(), server);
}

}  // namespace corvane
