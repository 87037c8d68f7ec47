#include "shares.h"

#include "app.h"
#include "change_log_file.h"
#include "drive_item.h"
#include "failure.h"

#include <windows.h>
#include <lm.h>
#include <sddl.h>

#include "byte_string.h"
#include "raii.h"
#include "tern_h.h"
#include "wick_h.h"

namespace corvane {

namespace {

constexpr long kSeLmShare = 5;             // SE_LMSHARE
constexpr long kDaclInformation = 4;       // DACL_SECURITY_INFORMATION
constexpr long kDuplicateShare = 2118;     // NERR_DuplicateShare

template <class T>
HRESULT create(const CLSID& clsid, const IID& iid, corv::ComPtr<T>& out) {
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, out.out_void());
}

std::wstring trim_line_end(std::wstring s) {
  while (!s.empty() && (s.back() == L'\r' || s.back() == L'\n' || s.back() == L' ' || s.back() == L'.'))
    s.pop_back();
  return s;
}

// The system's text for a status ("error N" when it has none). Network statuses come from
// netmsg.dll where the system has it.
std::wstring status_text(unsigned long status) {
  corv::LocalMem<wchar_t> text;
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD n = FormatMessageW(flags | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, status, 0,
                           reinterpret_cast<LPWSTR>(text.out()), 0, nullptr);
  if (n == 0 && status >= NERR_BASE && status <= MAX_NERR) {
    corv::Module netmsg(LoadLibraryExW(L"netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (netmsg.get())
      n = FormatMessageW(flags | FORMAT_MESSAGE_FROM_HMODULE, netmsg.get(), status, 0,
                         reinterpret_cast<LPWSTR>(text.out()), 0, nullptr);
  }
  if (n == 0 || !text.get()) return L"error " + std::to_wstring(status);
  return trim_line_end(text.get()) + L".";
}

// The descriptor bytes as SDDL (owner, group and DACL as far as present); empty when the
// system cannot convert them.
std::wstring sddl_of(const corv::Bstr& bytes) {
  corv::ByteView v = corv::read_bytes(bytes.get());
  if (v.size < 20) return {};
  std::vector<uint8_t> copy(v.data, v.data + v.size);  // the system wants an aligned block
  corv::LocalMem<wchar_t> text;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
          copy.data(), SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          reinterpret_cast<LPWSTR*>(text.out()), nullptr))
    return {};
  return text.get() ? text.get() : L"";
}

// The textual identifier of an entry's identifier object, empty when it has none.
std::wstring entry_sid(IzrAce* ace) {
  corv::ComPtr<IDispatch> sid_disp;
  if (FAILED(ace->get_Sid(sid_disp.out())) || !sid_disp) return {};
  corv::ComPtr<IzrSid> sid;
  if (FAILED(sid_disp.query(sid.out()))) return {};
  corv::Bstr text;
  if (FAILED(sid->get_Sid(text.out()))) return {};
  return text.c_str();
}

// A resolved account: the identifier object and its text form.
struct Account {
  corv::ComPtr<IzrSid> sid;
  std::wstring text;
};

bool resolve(const std::wstring& name, Account& out) {
  if (FAILED(create(CLSID_zrSid, IID_IzrSid, out.sid))) return false;
  corv::Bstr bname(name.c_str());
  VARIANT_BOOL resolved = VARIANT_FALSE;
  if (FAILED(out.sid->put_Account(bname.get())) || FAILED(out.sid->AccountToSid(&resolved))) return false;
  corv::Bstr text;
  if (FAILED(out.sid->get_Sid(text.out()))) return false;
  out.text = text.c_str();
  return !out.text.empty();
}

// What the walk of an existing list found for the account.
struct Walk {
  corv::ComPtr<IDispatch> replace;  // the first allow entry for the account
  bool deny_remains = false;
};

Walk walk_entries(IzrAcl* acl, const std::wstring& sid_text) {
  Walk w;
  corv::ComPtr<IUnknown> unk;
  corv::ComPtr<IEnumVARIANT> entries;
  if (FAILED(acl->get__NewEnum(unk.out())) || !unk || FAILED(unk.query(entries.out()))) return w;
  for (;;) {
    corv::Variant item;
    ULONG fetched = 0;
    if (entries->Next(1, item.get(), &fetched) != S_OK || fetched != 1) break;
    if (item.get()->vt != VT_DISPATCH || !item.get()->pdispVal) continue;
    corv::ComPtr<IzrAce> ace;
    if (FAILED(item.get()->pdispVal->QueryInterface(IID_IzrAce, ace.out_void()))) continue;
    long type = -1;
    ace->get_AceType(&type);
    if (entry_sid(ace.get()) != sid_text) continue;
    if (type == ACCESS_ALLOWED_ACE_TYPE && !w.replace) w.replace = item.get()->pdispVal;
    if (type == ACCESS_DENIED_ACE_TYPE) w.deny_remains = true;
  }
  return w;
}

// Creates the share (or finds it there) and gives the account its entry. Returns the
// creation status.
long add_share_with_permission(const ShareTarget& t, const std::wstring& remark, const ShareRequest& request,
                               ChangeLog& log) {
  SHARE_INFO_2 rec = {};
  rec.shi2_netname = const_cast<LPWSTR>(t.share.c_str());
  rec.shi2_type = STYPE_DISKTREE;
  rec.shi2_remark = remark.empty() ? nullptr : const_cast<LPWSTR>(remark.c_str());
  rec.shi2_permissions = ACCESS_READ;
  rec.shi2_max_uses = 1;
  rec.shi2_current_uses = 0;
  rec.shi2_path = const_cast<LPWSTR>(t.root.c_str());
  rec.shi2_passwd = nullptr;
  long status = static_cast<long>(NetShareAdd(const_cast<LPWSTR>(t.server.c_str()), 2,
                                              reinterpret_cast<LPBYTE>(&rec), nullptr));

  Pending pending;
  const std::wstring object = t.server + L"\\" + t.share;
  corv::Bstr bobject(object.c_str());

  // The account first: its identifier finds the entry to replace, whatever the name's case or
  // qualification. One that does not resolve leaves the share as created.
  Account account;
  if (!resolve(request.account, account)) return status;

  corv::ComPtr<IzrSecurityInfo> info;
  corv::ComPtr<IzrSd> sd;
  corv::ComPtr<IzrAcl> acl;
  if (!pending.check(create(CLSID_zrSecurityInfo, IID_IzrSecurityInfo, info)) ||
      !pending.check(create(CLSID_zrSd, IID_IzrSd, sd)))
    return status;

  corv::Bstr old;
  VARIANT_BOOL ok = VARIANT_FALSE;
  pending.check(info->read(bobject.get(), kSeLmShare, kDaclInformation, old.out(), &ok));

  // Whether a descriptor came back, seen as a script author sees it: its hexadecimal form.
  corv::ComPtr<IzrDataConvertor> convertor;
  corv::Bstr hex;
  BSTR old_bytes = old.get();
  if (pending.check(create(CLSID_zrDataConvertor, IID_IzrDataConvertor, convertor)))
    pending.check(convertor->convert(zrBinToHex, &old_bytes, hex.out()));

  bool deny_remains = false;
  if (hex.length() > 0) {
    pending.check(sd->put_Data(&old_bytes));
    VARIANT_BOOL valid = VARIANT_FALSE;
    pending.check(info->IsValidSecurityDescriptor(&old_bytes, &valid));
    if (!valid) return status;
    // The share was there before this command: keep what its list was, so that it can be put back.
    if (status != 0) log.write(L"Previous permissions of " + object + L": " + sddl_of(old));
    corv::ComPtr<IDispatch> dacl;
    if (pending.check(sd->get_Dacl(dacl.out())) && dacl) dacl.query(acl.out());
    if (acl) {
      Walk w = walk_entries(acl.get(), account.text);
      if (w.replace) pending.check(acl->RemoveAce(w.replace.get()));
      deny_remains = w.deny_remains;
    }
  }
  if (!acl && !pending.check(create(CLSID_zrAcl, IID_IzrAcl, acl))) return status;

  corv::ComPtr<IzrAce> ace;
  if (!pending.check(create(CLSID_zrAce, IID_IzrAce, ace))) return status;
  pending.check(ace->putref_Sid(account.sid.get()));
  pending.check(ace->put_AccessMask(static_cast<long>(request.mask)));
  pending.check(ace->put_AceFlags(CONTAINER_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE));
  pending.check(ace->put_AceType(ACCESS_ALLOWED_ACE_TYPE));
  pending.check(ace->put_Flags(0));
  pending.check(acl->AddAce(ace.get()));
  pending.check(acl->put_AccessDeniedIfEmpty(VARIANT_TRUE));
  pending.check(acl->put_AclRevision(ACL_REVISION));

  pending.check(sd->put_Control(SE_DACL_PRESENT));
  pending.check(sd->put_Revision(SECURITY_DESCRIPTOR_REVISION));
  pending.check(sd->putref_Dacl(acl.get()));
  pending.check(sd->putref_SidOwner(account.sid.get()));
  corv::Bstr bytes;
  pending.check(sd->get_Data(bytes.out()));
  BSTR new_bytes = bytes.get();
  VARIANT_BOOL written = VARIANT_FALSE;
  pending.check(info->write(bobject.get(), kSeLmShare, kDaclInformation, &new_bytes, &written));

  corv::Bstr domain, name;
  account.sid->get_Domain(domain.out());
  account.sid->get_Account(name.out());
  std::wstring line = L"Added " + object + L" " + domain.c_str() + L"\\" + name.c_str();
  // A failure is never logged as a success: the creation's and the write's failures follow.
  if (status != 0 && status != kDuplicateShare) line += L" " + status_text(static_cast<unsigned long>(status));
  if (!written) line += L" Permissions not written.";
  if (deny_remains) line += L" (a deny entry for this account remains)";
  log.write(line);
  return status;
}

}  // namespace

bool account_resolves(const std::wstring& account) {
  Account a;
  return !account.empty() && resolve(account, a);
}

size_t ticked_count(const DriveList& list) {
  size_t n = 0;
  for (size_t i = 0; i < list.count(); ++i)
    if (list.ticked(i)) ++n;
  return n;
}

void add_shares(const ShareRequest& request, DriveList& list, ChangeLog& log) {
  // An account that does not resolve touches no share at all.
  if (!account_resolves(request.account)) return;
  for (size_t i = 0; i < list.count(); ++i) {
    if (!list.ticked(i)) continue;
    ShareTarget t = share_target(list.text(i), request.pattern);
    if (!t.usable) continue;
    std::wstring remark = share_remark(request.version, now_stamp());
    long status = add_share_with_permission(t, remark, request, log);
    if (status != 0 && status != kDuplicateShare) list.set_marker(i, 1);
  }
}

void delete_shares(const std::wstring& pattern, DriveList& list, ChangeLog& log) {
  for (size_t i = 0; i < list.count(); ++i) {
    if (!list.ticked(i)) continue;
    ShareTarget t = share_target(list.text(i), pattern);
    if (!t.usable) continue;
    long status = static_cast<long>(NetShareDel(const_cast<LPWSTR>(t.server.c_str()),
                                                const_cast<LPWSTR>(t.share.c_str()), 0));
    std::wstring line = L"Deleted " + t.server + L"\\" + t.share;
    if (status != 0) line += L" " + status_text(static_cast<unsigned long>(status));
    log.write(line);
    if (status == 0) list.set_marker(i, 1);
  }
}

std::vector<std::wstring> export_lines(const std::wstring& pattern, const DriveList& list) {
  std::vector<std::wstring> lines;
  for (size_t i = 0; i < list.count(); ++i) {
    if (!list.ticked(i) || list.marker(i) != 0) continue;
    ShareTarget t = share_target(list.text(i), pattern);
    lines.push_back(t.server + L"\\" + t.share);
  }
  return lines;
}

bool write_export(const std::wstring& path, const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& l : lines) text += to_acp(l) + "\r\n";
  corv::Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  return WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

}  // namespace corvane
