#include "permission_plan.h"

#include "descriptor_check.h"
#include "failure.h"

#include <lm.h>
#include <sddl.h>

#include "byte_string.h"
#include "wick_h.h"

namespace corvane {

namespace {

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

template <class F>
void for_each_entry(IzrAcl* acl, F f) {
  corv::ComPtr<IUnknown> unk;
  corv::ComPtr<IEnumVARIANT> entries;
  if (FAILED(acl->get__NewEnum(unk.out())) || !unk || FAILED(unk.query(entries.out()))) return;
  for (;;) {
    corv::Variant item;
    ULONG fetched = 0;
    if (entries->Next(1, item.get(), &fetched) != S_OK || fetched != 1) break;
    if (item.get()->vt != VT_DISPATCH || !item.get()->pdispVal) continue;
    corv::ComPtr<IzrAce> ace;
    if (SUCCEEDED(item.get()->pdispVal->QueryInterface(IID_IzrAce, ace.out_void()))) f(item.get()->pdispVal, ace.get());
  }
}

}  // namespace

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
  const std::pair<long, const wchar_t*> names[] = {{OBJECT_INHERIT_ACE, L"OI"}, {CONTAINER_INHERIT_ACE, L"CI"},
                                                   {NO_PROPAGATE_INHERIT_ACE, L"NP"}, {INHERIT_ONLY_ACE, L"IO"},
                                                   {INHERITED_ACE, L"ID"}};
  for (const auto& [bit, name] : names)
    if (flags & bit) out += (out.empty() ? L"" : L" ") + std::wstring(name);
  return out;
}
}  // namespace

std::wstring Account::qualified() const {
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

bool resolve(const std::wstring& name, Account& out) {
  if (name.empty() || FAILED(create_object(CLSID_zrSid, IID_IzrSid, out.sid))) return false;
  corv::Bstr bname(name.c_str());
  VARIANT_BOOL resolved = VARIANT_FALSE;
  if (FAILED(out.sid->put_Account(bname.get())) || FAILED(out.sid->AccountToSid(&resolved))) return false;
  out.text = text_of(out.sid.get());
  return !out.text.empty();
}

Plan plan_permissions(const std::wstring& object, const Account& account, unsigned long mask) {
  Plan plan;
  Pending pending;
  // A step that stops the plan says why, with the failing call's status.
  auto stop = [&](const std::wstring& what) {
    plan.reason = what + (pending.number() < 0 ? L" (" + hresult_text(pending.number()) + L")." : L".");
  };
  corv::ComPtr<IzrSd> sd;
  if (!pending.check(create_object(CLSID_zrSecurityInfo, IID_IzrSecurityInfo, plan.info)) ||
      !pending.check(create_object(CLSID_zrSd, IID_IzrSd, sd)))
    {
    stop(L"the security components cannot be created");
    return plan;
  }

  corv::Bstr bobject(object.c_str());
  corv::Bstr old;
  VARIANT_BOOL ok = VARIANT_FALSE;
  pending.check(plan.info->read(bobject.get(), kSeLmShare, kDaclInformation, old.out(), &ok));

  // Whether a descriptor came back, seen as a script author sees it: its hexadecimal form.
  corv::ComPtr<IzrDataConvertor> convertor;
  corv::Bstr hex;
  BSTR old_bytes = old.get();
  if (pending.check(create_object(CLSID_zrDataConvertor, IID_IzrDataConvertor, convertor)))
    pending.check(convertor->convert(zrBinToHex, &old_bytes, hex.out()));

  if (hex.length() > 0) {
    pending.check(sd->put_Data(&old_bytes));
    VARIANT_BOOL valid = VARIANT_FALSE;
    pending.check(plan.info->IsValidSecurityDescriptor(&old_bytes, &valid));
    if (!valid) {
    stop(L"the share's descriptor is not valid");
    return plan;
  }
    plan.had_descriptor = true;
    plan.old_sddl = sddl_of(old);
    corv::ComPtr<IDispatch> dacl;
    if (pending.check(sd->get_Dacl(dacl.out())) && dacl) dacl.query(plan.acl.out());
    if (plan.acl) {
      // The entry to replace is found by identifier: a name compared as text misses other
      // spellings of the same account, and every run would add one more entry.
      corv::ComPtr<IDispatch> replace;
      for_each_entry(plan.acl.get(), [&](IDispatch* item, IzrAce* ace) {
        long type = -1;
        ace->get_AceType(&type);
        if (text_of(sid_of(ace).get()) != account.text) return;
        if (type == ACCESS_ALLOWED_ACE_TYPE && !replace) replace = item;
        if (type == ACCESS_DENIED_ACE_TYPE) plan.deny_remains = true;
      });
      if (replace) plan.replaced = pending.check(plan.acl->RemoveAce(replace.get()));
    }
  }
  if (!plan.acl && !pending.check(create_object(CLSID_zrAcl, IID_IzrAcl, plan.acl)))
    {
    stop(L"the access-list component cannot be created");
    return plan;
  }

  corv::ComPtr<IzrAce> ace;
  if (!pending.check(create_object(CLSID_zrAce, IID_IzrAce, ace))) {
    stop(L"the entry component cannot be created");
    return plan;
  }
  pending.check(ace->putref_Sid(account.sid.get()));
  pending.check(ace->put_AccessMask(static_cast<long>(mask)));
  pending.check(ace->put_AceFlags(CONTAINER_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE));
  pending.check(ace->put_AceType(ACCESS_ALLOWED_ACE_TYPE));
  pending.check(ace->put_Flags(0));
  pending.check(plan.acl->AddAce(ace.get()));
  pending.check(plan.acl->put_AccessDeniedIfEmpty(VARIANT_TRUE));
  pending.check(plan.acl->put_AclRevision(ACL_REVISION));

  pending.check(sd->put_Control(SE_DACL_PRESENT));
  pending.check(sd->put_Revision(SECURITY_DESCRIPTOR_REVISION));
  pending.check(sd->putref_Dacl(plan.acl.get()));
  pending.check(sd->putref_SidOwner(account.sid.get()));
  plan.ready = pending.check(sd->get_Data(plan.new_bytes.out()));
  if (!plan.ready) {
    stop(L"the new descriptor cannot be composed");
    return plan;
  }
  return plan;
}

bool write_share_dacl(IzrSecurityInfo* info, const std::wstring& object, const corv::Bstr& bytes,
                      std::wstring* reason) {
  // tern reports why a write failed to a log object; one that only keeps the last record
  // (no output of its own) is attached for the call.
  corv::ComPtr<IzrLog> record;
  if (reason && SUCCEEDED(create_object(CLSID_zrLog, IID_IzrLog, record))) {
    record->put_FlagTrace(VARIANT_FALSE);
    corv::ComPtr<IDispatch> disp;
    if (FAILED(record.query(disp.out())) || FAILED(info->putref_Log(disp.get()))) record.reset();
  }
  corv::Bstr bobject(object.c_str());
  BSTR raw = bytes.get();
  VARIANT_BOOL written = VARIANT_FALSE;
  HRESULT hr = info->write(bobject.get(), kSeLmShare, kDaclInformation, &raw, &written);
  if (record) info->putref_Log(nullptr);
  if (SUCCEEDED(hr) && written) return true;
  if (!reason) return false;
  *reason = FAILED(hr) ? hresult_text(hr) : L"the share refused the access list.";
  long severity = 0, error = 0;
  corv::Bstr description;
  if (SUCCEEDED(hr) && record && SUCCEEDED(record->GetLastError(nullptr, nullptr, &severity, &error, description.out())) &&
      error != 0) {
    std::wstring text = trim_line_end(description.c_str());
    *reason = L"status " + std::to_wstring(static_cast<unsigned long>(error)) + L": " + (text.empty() ? status_text(static_cast<unsigned long>(error)) : text + L".");
  }
  return false;
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
      Account a{sid, {}};
      w.account = a.qualified();
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

RevokePlan plan_revoke(const std::wstring& sddl, const std::wstring& sid, bool deny_too) {
  RevokePlan plan;
  LoadedDescriptor d;
  if (!load_descriptor(sddl, d)) {
    plan.reason = d.reason;
    return plan;
  }
  if (!d.acl) {
    plan.ready = true;  // no list: no entry to take out
    return plan;
  }
  // Taken out after the walk, so that the walk sees every entry once; the others keep their order.
  std::vector<corv::ComPtr<IDispatch>> doomed;
  for_each_entry(d.acl.get(), [&](IDispatch* item, IzrAce* ace) {
    long type = -1;
    ace->get_AceType(&type);
    if (text_of(sid_of(ace).get()) != sid) return;
    if (type == ACCESS_ALLOWED_ACE_TYPE || (deny_too && type == ACCESS_DENIED_ACE_TYPE)) {
      item->AddRef();
      doomed.push_back(corv::ComPtr<IDispatch>::attach(item));
    }
  });
  Pending pending;
  for (const auto& item : doomed)
    if (pending.check(d.acl->RemoveAce(item.get()))) ++plan.removed;
  long count = 0;
  pending.check(d.acl->get_AceCount(&count));
  plan.left = static_cast<size_t>(count > 0 ? count : 0);
  // An emptied list stays a list (it refuses everyone), not "no list" (which lets everyone in).
  pending.check(d.acl->put_AccessDeniedIfEmpty(VARIANT_TRUE));
  pending.check(d.sd->putref_Dacl(d.acl.get()));
  if (pending || !pending.check(d.sd->get_Data(plan.new_bytes.out()))) {
    plan.reason = L"the new descriptor cannot be composed (" + hresult_text(pending.number()) + L").";
    return plan;
  }
  plan.new_sddl = sddl_of(plan.new_bytes, true);
  plan.ready = true;
  return plan;
}

}  // namespace corvane
