#include "revoke_plan.h"

#include "failure.h"

namespace corvane {

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
