// tern.dll's class table: one row per class, in registration order.
#include "server.h"
#include "tern_h.h"
#include "model/zr_ace.h"
#include "model/zr_acl.h"
#include "model/zr_sd.h"
#include "model/zr_sid.h"
#include "storage/privileges.h"
#include "storage/zr_security_info.h"
#include "ui/zr_si_editor.h"
#include "ui/zr_user_browser.h"

namespace {

corv::ClassEntry g_classes[] = {
    {&CLSID_zrSid, 101, &tern::ZrSid::create, nullptr},
    {&CLSID_zrAce, 102, &tern::ZrAce::create, nullptr},
    {&CLSID_zrAcl, 103, &tern::ZrAcl::create, nullptr},
    {&CLSID_zrSd, 104, &tern::ZrSd::create, nullptr},
    {&CLSID_zrUserBrowser, 107, &tern::ZrUserBrowser::create, nullptr},
    {&CLSID_zrSecurityInfo, 108, &tern::ZrSecurityInfo::create, nullptr},
    {&CLSID_zrSiEditor, 113, &tern::ZrSiEditor::create, nullptr},
};

}  // namespace

namespace corv {

const LibraryInfo& library_info() {
  static const LibraryInfo info = {g_classes, sizeof g_classes / sizeof g_classes[0], &LIBID_zrTERNLib,
                                   &tern::enable_load_privileges};
  return info;
}

}  // namespace corv
