// The security reader/writer, the permission-editor provider and the account browser, with
// the enumerations they use.
#include "contract.h"
#include "tern_h.h"

using namespace contract;

// The contract tables keep one member to a line, as the type library lists them.
// clang-format off
static const int user_browser = add(Interface{
    L"tern.dll", &IID_IzrUserBrowser, L"IzrUserBrowser", L"IzrUserBrowser Interface",
    {{L"Open", 1, FUNC, L"method Open"}, {L"GetSelection", 2, FUNC, L"method GetSelection"}}});

static const int security_info = add(Interface{
    L"tern.dll", &IID_IzrSecurityInfo, L"IzrSecurityInfo", L"IzrSecurityInfo Interface",
    {{L"read", 1, FUNC, L"method read"},
     {L"write", 2, FUNC, L"method write"},
     {L"readByHandle", 3, FUNC, L"method readByHandle"},
     {L"writeByHandle", 4, FUNC, L"method writeByHandle"},
     {L"IsValidSecurityDescriptor", 5, FUNC, L"method IsValidSecurityDescriptor"},
     {L"Log", 10, GET, L"Log"},
     {L"Log", 10, PUTREF, L"Log"},
     {L"Param", 11, GET, L"property Param"},
     {L"Param", 11, PUT, L"property Param"}}});

static const int si_editor = add(Interface{
    L"tern.dll", &IID_IzrSiEditor, L"IzrSiEditor", L"IzrSiEditor Interface",
    {{L"Clear", 1, FUNC, L"method clear"},
     {L"addGenericMap", 2, FUNC, L"method addGenericMap"},
     {L"setObjectInfo", 3, FUNC, L"method setObjectInfo"},
     {L"addInheritType", 4, FUNC, L"method addInheritType"},
     {L"addAccessRight", 5, FUNC, L"method addAccessRight"},
     {L"Sd", 6, GET, L"property Sd"},
     {L"Sd", 6, PUT, L"property Sd"},
     {L"DefaultSd", 7, GET, L"property DefaultSd"},
     {L"DefaultSd", 7, PUT, L"property DefaultSd"},
     {L"editSecurity", 8, FUNC, L"method editSecurity"},
     {L"CustomLookupAndOrder", 9, GET, L"property CustomLookupAndOrder"},
     {L"CustomLookupAndOrder", 9, PUT, L"property CustomLookupAndOrder"},
     {L"addSecurityPage", 10, FUNC, L"method addSecurityPage"},
     {L"Param", 11, GET, L"property Param"},
     {L"Param", 11, PUT, L"property Param"}}});

static const int si_editor_events = [] {
  Interface i{L"tern.dll", &DIID__IzrSiEditorEvents, L"_IzrSiEditorEvents", L"_IzrSdEditorEvents Interface",
              {{L"OnApplySecurity", 1, FUNC, L"method OnApplySecurity"},
               {L"OnPropertySheetPageCallback", 2, FUNC, L"method OnPropertySheetPageCallback"},
               {L"IsDaclCanonical", 3, FUNC, L"method IsDaclCanonical"},
               {L"LookupSid", 4, FUNC, L"method LookupSid"}}};
  i.dual = false;
  return add(i);
}();

static const int e_page_type = add(Enum{
    L"tern.dll", L"SI_PAGE_TYPE", L"SI_PAGE_TYPE",
    {{L"SI_PAGE_PERM", 0}, {L"SI_PAGE_ADVPERM", 1}, {L"SI_PAGE_AUDIT", 2}, {L"SI_PAGE_OWNER", 3}}});

static const int e_page_message = add(Enum{
    L"tern.dll", L"SI_PAGE_MESSAGE", L"PropertySheet Page Callback message",
    {{L"PSPCB_CREATE", 2}, {L"PSPCB_RELEASE", 1}, {L"PSPCB_SI_INITDIALOG", 1025}}});

static const int e_access = add(Enum{
    L"tern.dll", L"SI_ACCESS", L"SI_ACCESS flags",
    {{L"SI_ACCESS_SPECIFIC", 0x10000}, {L"SI_ACCESS_GENERAL", 0x20000}, {L"SI_ACCESS_CONTAINER", 0x40000},
     {L"SI_ACCESS_PROPERTY", 0x80000}}});

static const int e_object_info = add(Enum{
    L"tern.dll", L"SI_OBJECT_INFO", L"SI_OBJECT_INFO flags",
    {{L"SI_EDIT_PERMS", 0x0},
     {L"SI_EDIT_OWNER", 0x1},
     {L"SI_EDIT_AUDITS", 0x2},
     {L"SI_CONTAINER", 0x4},
     {L"SI_READONLY", 0x8},
     {L"SI_ADVANCED", 0x10},
     {L"SI_RESET", 0x20},
     {L"SI_OWNER_READONLY", 0x40},
     {L"SI_EDIT_PROPERTIES", 0x80},
     {L"SI_OWNER_RECURSE", 0x100},
     {L"SI_NO_ACL_PROTECT", 0x200},
     {L"SI_NO_TREE_APPLY", 0x400},
     {L"SI_PAGE_TITLE", 0x800},
     {L"SI_SERVER_IS_DC", 0x1000},
     {L"SI_RESET_DACL_TREE", 0x4000},
     {L"SI_RESET_SACL_TREE", 0x8000},
     {L"SI_OBJECT_GUID", 0x10000},
     {L"SI_EDIT_EFFECTIVE", 0x20000},
     {L"SI_RESET_DACL", 0x40000},
     {L"SI_RESET_SACL", 0x80000},
     {L"SI_RESET_OWNER", 0x100000},
     {L"SI_NO_ADDITIONAL_PERMISSION", 0x200000},
     {L"SI_MAY_WRITE", 0x10000000},
     {L"SI_EDIT_ALL", 0x3}}});

static const int e_security_information = add(Enum{
    L"tern.dll", L"SECURITY_INFORMATION", L"SECURITY_INFORMATION",
    {{L"OWNER_SECURITY_INFORMATION", 1},
     {L"GROUP_SECURITY_INFORMATION", 2},
     {L"DACL_SECURITY_INFORMATION", 4},
     {L"SACL_SECURITY_INFORMATION", 8},
     {L"PROTECTED_DACL_SECURITY_INFORMATION", static_cast<long>(0x80000000u)},
     {L"PROTECTED_SACL_SECURITY_INFORMATION", 0x40000000},
     {L"UNPROTECTED_DACL_SECURITY_INFORMATION", 0x20000000},
     {L"UNPROTECTED_SACL_SECURITY_INFORMATION", 0x10000000}}});

static const int e_user_browser = add(Enum{
    L"tern.dll", L"USER_BROWSER_FLAGS", L"USER_BROWSER_FLAGS",
    {{L"USER_BROWSER_GLOBAL_GROUPS", 2},
     {L"USER_BROWSER_USERS_EX", 4},
     {L"USER_BROWSER_USERS", 8},
     {L"USER_BROWSER_NETWORK", 16},
     {L"USER_BROWSER_INTERACTIVE", 32},
     {L"USER_BROWSER_EVERYONE", 64},
     {L"USER_BROWSER_CREATOR_OWNER", 128},
     {L"USER_BROWSER_LOCAL_GROUPS", 257},
     {L"USER_BROWSER_DISALLOW_MULTIPLE_CHOICE", 4096}}});

static const int e_object_type = add(Enum{
    L"tern.dll", L"SE_OBJECT_TYPE", L"SE_OBJECT_TYPE",
    {{L"SE_UNKNOWN_OBJECT_TYPE", 0},
     {L"SE_FILE_OBJECT", 1},
     {L"SE_SERVICE", 2},
     {L"SE_PRINTER", 3},
     {L"SE_REGISTRY_KEY", 4},
     {L"SE_LMSHARE", 5},
     {L"SE_KERNEL_OBJECT", 6},
     {L"SE_WINDOW_OBJECT", 7},
     {L"SE_DS_OBJECT", 8},
     {L"SE_DS_OBJECT_ALL", 9},
     {L"SE_PROVIDER_DEFINED_OBJECT", 10},
     {L"SE_WMIGUID_OBJECT", 11}}});

static const int e_hkey = add(Enum{
    L"tern.dll", L"HKEY", L"HKEY",
    {{L"HKEY_CLASSES_ROOT", -2147483647L - 1},
     {L"HKEY_CURRENT_USER", -2147483647L},
     {L"HKEY_LOCAL_MACHINE", -2147483646L},
     {L"HKEY_USERS", -2147483645L},
     {L"HKEY_PERFORMANCE_DATA", -2147483644L},
     {L"HKEY_CURRENT_CONFIG", -2147483643L},
     {L"HKEY_DYN_DATA", -2147483642L}}});

static const int e_clear = add(Enum{
    L"tern.dll", L"SIEDITOR_CLEAR_FLAGS", nullptr,
    {{L"zrCLEAR_GENERIC_MAPS", 1}, {L"zrCLEAR_OBJECT_INFO", 2}, {L"zrCLEAR_ACCESS_RIGHTS", 4}, {L"zrCLEAR_ALL", -1}}});

static const int c_user_browser = add(
    Coclass{L"tern.dll", &CLSID_zrUserBrowser, L"zrUserBrowser", L"zrUserBrowser Class", &IID_IzrUserBrowser, nullptr});
static const int c_security_info = add(Coclass{L"tern.dll", &CLSID_zrSecurityInfo, L"zrSecurityInfo",
                                               L"zrSecurityInfo Class", &IID_IzrSecurityInfo, nullptr});
static const int c_si_editor = add(Coclass{L"tern.dll", &CLSID_zrSiEditor, L"zrSiEditor", L"zrSiEditor Class",
                                           &IID_IzrSiEditor, &DIID__IzrSiEditorEvents});
// clang-format on
