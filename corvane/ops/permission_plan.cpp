#include "permission_plan.h"

#include "app.h"
#include "failure.h"

#include "wick_h.h"

namespace corvane {

Plan plan_permissions(const std::wstring& object, const std::wstring& sid, unsigned long mask) {
  Plan plan;
  Pending pending;
  // A step that stops the plan says why, with the failing call's status.
  auto stop = [&](const std::wstring& what) {
    plan.reason = what + (pending.number() < 0 ? L" (" + hresult_text(pending.number()) + L")." : L".");
  };
  corv::ComPtr<IzrSd> sd;
  if (!pending.check(create_object(CLSID_zrSecurityInfo, IID_IzrSecurityInfo, plan.info)) ||
      !pending.check(create_object(CLSID_zrSd, IID_IzrSd, sd))) {
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
        if (text_of(sid_of(ace).get()) != sid) return;
        if (type == ACCESS_ALLOWED_ACE_TYPE && !replace) replace = item;
        if (type == ACCESS_DENIED_ACE_TYPE) plan.deny_remains = true;
      });
      if (replace) plan.replaced = pending.check(plan.acl->RemoveAce(replace.get()));
    }
  }
  if (!plan.acl && !pending.check(create_object(CLSID_zrAcl, IID_IzrAcl, plan.acl))) {
    stop(L"the access-list component cannot be created");
    return plan;
  }

  // The identifier is made from its text, which looks nothing up: the account was looked up once,
  // before the run.
  corv::ComPtr<IzrAce> ace;
  corv::ComPtr<IzrSid> who;
  corv::Bstr sid_text(sid.c_str());
  if (!pending.check(create_object(CLSID_zrAce, IID_IzrAce, ace)) ||
      !pending.check(create_object(CLSID_zrSid, IID_IzrSid, who))) {
    stop(L"the entry component cannot be created");
    return plan;
  }
  pending.check(who->put_Sid(sid_text.get()));
  pending.check(ace->putref_Sid(who.get()));
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
  pending.check(sd->putref_SidOwner(who.get()));
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
  if (SUCCEEDED(hr) && record &&
      SUCCEEDED(record->GetLastError(nullptr, nullptr, &severity, &error, description.out())) && error != 0) {
    // tern's own text where it gave one, the system's otherwise.
    std::wstring text = trim_line_end(description.c_str());
    *reason = text.empty() ? status_words(error) : L"status " + std::to_wstring(error) + L": " + text + L".";
  }
  return false;
}

}  // namespace corvane
