#include "share_calls.h"

#include <windows.h>
#include <lm.h>

#include "descriptor_text.h"
#include "net_buffer.h"

namespace corvane {

ShareNow read_share(const std::wstring& server, const std::wstring& share) {
  ShareNow now;
  corv::NetBuffer buf;
  now.status = static_cast<long>(NetShareGetInfo(const_cast<LPWSTR>(server.c_str()), const_cast<LPWSTR>(share.c_str()),
                                                 502, buf.out()));
  if (now.status != 0) return now;
  const SHARE_INFO_502* info = buf.as<SHARE_INFO_502>();
  if (!info || records_in_answer(buf.get(), sizeof(SHARE_INFO_502)) < 1) {
    now.status = ERROR_INVALID_DATA;
    return now;
  }
  now.record.path = info->shi502_path ? info->shi502_path : L"";
  now.record.remark = info->shi502_remark ? info->shi502_remark : L"";
  now.record.max_uses = info->shi502_max_uses;
  now.record.has_access_list = true;
  now.record.sddl = sddl_of_descriptor(buf.get(), info->shi502_security_descriptor);
  if (info->shi502_security_descriptor && now.record.sddl.empty()) now.status = ERROR_INVALID_SECURITY_DESCR;
  return now;
}

long create_share(const ShareTarget& t, const std::wstring& remark) {
  SHARE_INFO_2 rec = {};
  rec.shi2_netname = const_cast<LPWSTR>(t.share.c_str());
  rec.shi2_type = STYPE_DISKTREE;
  rec.shi2_remark = remark.empty() ? nullptr : const_cast<LPWSTR>(remark.c_str());
  rec.shi2_permissions = ACCESS_READ;
  rec.shi2_max_uses = 1;
  rec.shi2_current_uses = 0;
  rec.shi2_path = const_cast<LPWSTR>(t.root.c_str());
  rec.shi2_passwd = nullptr;
  return static_cast<long>(NetShareAdd(const_cast<LPWSTR>(t.server.c_str()), 2, reinterpret_cast<LPBYTE>(&rec),
                                       nullptr));
}

long delete_share(const ShareTarget& t) {
  return static_cast<long>(NetShareDel(const_cast<LPWSTR>(t.server.c_str()), const_cast<LPWSTR>(t.share.c_str()), 0));
}

}  // namespace corvane
