// The entry, list and descriptor classes and the enumerations they use. Values of the
// system's constants are taken from the platform headers, so the type library is held
// against an independent source; the one deliberate difference is spelt out.
#include "contract.h"
#include <iads.h>
#include "tern_h.h"

using namespace contract;

namespace {

constexpr long v(unsigned long x) { return static_cast<long>(x); }

const wchar_t* const kNone = L"<none>";

// The contract tables keep one member to a line, as the type library lists them.
// clang-format off
const int ace = add(Interface{
    L"tern.dll", &IID_IzrAce, L"IzrAce", L"IzrAce Interface",
    {{L"AceType", 1, GET, L"ACE type"},
     {L"AceType", 1, PUT, L"ACE type"},
     {L"AceFlags", 2, GET, L"ACE type-specific control flags"},
     {L"AceFlags", 2, PUT, L"ACE type-specific control flags"},
     {L"Flags", 3, GET, L"A set of bit flags that indicate whether the ObjectType and InheritedObjectType members are present"},
     {L"Flags", 3, PUT, L"A set of bit flags that indicate whether the ObjectType and InheritedObjectType members are present"},
     {L"AccessMask", 4, GET, L"Value containing standard, specific, and generic rights"},
     {L"AccessMask", 4, PUT, L"Value containing standard, specific, and generic rights"},
     {L"ObjectType", 5, GET, L"GUID that identifies a property set, property, extended right, or type of child object"},
     {L"ObjectType", 5, PUT, L"GUID that identifies a property set, property, extended right, or type of child object"},
     {L"InheritedObjectType", 6, GET, L"GUID that identifies the type of child object that can inherit the ACE"},
     {L"InheritedObjectType", 6, PUT, L"GUID that identifies the type of child object that can inherit the ACE"},
     {L"Sid", 7, GET, L"Security identifier"},
     {L"Sid", 7, PUTREF, L"Security identifier"},
     {L"Data", 8, GET, L"Binary representation of the ACE"},
     {L"Data", 8, PUT, L"Binary representation of the ACE"}}});

const int acl = add(Interface{
    L"tern.dll", &IID_IzrAcl, L"IzrAcl", L"IzrAcl Interface",
    {{L"_NewEnum", DISPID_NEWENUM, GET, nullptr},
     {L"AclRevision", 1, GET, L"ACL's revision level"},
     {L"AclRevision", 1, PUT, L"ACL's revision level"},
     {L"AceCount", 2, GET, L"Number of ACEs"},
     {L"AddAce", 3, FUNC, L"Adds ACE"},
     {L"RemoveAce", 4, FUNC, L"Removes ACE"},
     {L"Data", 5, GET, L"Binary representation of the ACL"},
     {L"Data", 5, PUT, L"Binary representation of the ACL"},
     {L"Clear", 6, FUNC, L"Clears the ACL"},
     {L"AccessDeniedIfEmpty", 7, GET, L"Sets behavior for ACL without entries"},
     {L"AccessDeniedIfEmpty", 7, PUT, L"Sets behavior for ACL without entries"},
     {L"sort", 8, FUNC, L"method sort"}}});

const int sd = add(Interface{
    L"tern.dll", &IID_IzrSd, L"IzrSd", L"IzrSd Interface",
    {{L"Revision", 1, GET, L"Security descriptor revision"},
     {L"Revision", 1, PUT, L"Security descriptor revision"},
     {L"Control", 2, GET, L"Security descriptor control"},
     {L"Control", 2, PUT, L"Security descriptor control"},
     {L"SidOwner", 3, GET, L"Owner"},
     {L"SidOwner", 3, PUTREF, L"Owner"},
     {L"SidGroup", 4, GET, L"Owner group"},
     {L"SidGroup", 4, PUTREF, L"Owner group"},
     {L"Dacl", 5, GET, L"Discretionary access-control list"},
     {L"Dacl", 5, PUTREF, L"Discretionary access-control list"},
     {L"Sacl", 6, GET, L"System access-control list"},
     {L"Sacl", 6, PUTREF, L"System access-control list"},
     {L"Data", 7, GET, L"Binary representation of the security descriptor"},
     {L"Data", 7, PUT, L"Binary representation of the security descriptor"},
     {L"Clear", 8, FUNC, L"Clears the descriptor"}}});

const int classes[] = {
    add(Coclass{L"tern.dll", &CLSID_zrAce, L"zrAce", L"zrAce Class", &IID_IzrAce, nullptr}),
    add(Coclass{L"tern.dll", &CLSID_zrAcl, L"zrAcl", L"zrAcl Class", &IID_IzrAcl, nullptr}),
    add(Coclass{L"tern.dll", &CLSID_zrSd, L"zrSd", L"zrSd Class", &IID_IzrSd, nullptr}),
};

const int enums[] = {
    add(Enum{L"tern.dll", L"ACL_REVISIONS", L"ACL_REVISIONS enumerator",
             {{L"ACL_REVISION", ACL_REVISION}, {L"ACL_REVISION_DS", ACL_REVISION_DS},
              {L"MIN_ACL_REVISION", MIN_ACL_REVISION}, {L"ACL_REVISION2", ACL_REVISION2},
              {L"ACL_REVISION3", ACL_REVISION3}, {L"ACL_REVISION4", ACL_REVISION4},
              {L"MAX_ACL_REVISION", MAX_ACL_REVISION}}}),
    add(Enum{L"tern.dll", L"SECURITY_DESCRIPTOR_REVISION_ENUM", L"SD_REVISION",
             {{L"SECURITY_DESCRIPTOR_REVISION", SECURITY_DESCRIPTOR_REVISION}}}),
    add(Enum{L"tern.dll", L"SECURITY_DESCRIPTOR_CONTROL", L"SECURITY_DESCRIPTOR_CONTROL",
             {{L"SE_OWNER_DEFAULTED", SE_OWNER_DEFAULTED}, {L"SE_GROUP_DEFAULTED", SE_GROUP_DEFAULTED},
              {L"SE_DACL_PRESENT", SE_DACL_PRESENT}, {L"SE_DACL_DEFAULTED", SE_DACL_DEFAULTED},
              {L"SE_SACL_PRESENT", SE_SACL_PRESENT}, {L"SE_SACL_DEFAULTED", SE_SACL_DEFAULTED},
              {L"SE_DACL_AUTO_INHERIT_REQ", SE_DACL_AUTO_INHERIT_REQ},
              {L"SE_SACL_AUTO_INHERIT_REQ", SE_SACL_AUTO_INHERIT_REQ},
              {L"SE_DACL_AUTO_INHERITED", SE_DACL_AUTO_INHERITED}, {L"SE_SACL_AUTO_INHERITED", SE_SACL_AUTO_INHERITED},
              {L"SE_DACL_PROTECTED", SE_DACL_PROTECTED}, {L"SE_SACL_PROTECTED", SE_SACL_PROTECTED},
              {L"SE_SELF_RELATIVE", SE_SELF_RELATIVE}}}),
    add(Enum{L"tern.dll", L"ACE_TYPE", kNone,
             {{L"ACCESS_MIN_MS_ACE_TYPE", ACCESS_MIN_MS_ACE_TYPE},
              {L"ACCESS_ALLOWED_ACE_TYPE", ACCESS_ALLOWED_ACE_TYPE},
              {L"ACCESS_DENIED_ACE_TYPE", ACCESS_DENIED_ACE_TYPE},
              {L"SYSTEM_AUDIT_ACE_TYPE", SYSTEM_AUDIT_ACE_TYPE},
              {L"SYSTEM_ALARM_ACE_TYPE", SYSTEM_ALARM_ACE_TYPE},
              {L"ACCESS_MAX_MS_V2_ACE_TYPE", ACCESS_MAX_MS_V2_ACE_TYPE},
              {L"ACCESS_ALLOWED_COMPOUND_ACE_TYPE", ACCESS_ALLOWED_COMPOUND_ACE_TYPE},
              {L"ACCESS_MAX_MS_V3_ACE_TYPE", ACCESS_MAX_MS_V3_ACE_TYPE},
              {L"ACCESS_MIN_MS_OBJECT_ACE_TYPE", ACCESS_MIN_MS_OBJECT_ACE_TYPE},
              {L"ACCESS_ALLOWED_OBJECT_ACE_TYPE", ACCESS_ALLOWED_OBJECT_ACE_TYPE},
              {L"ACCESS_DENIED_OBJECT_ACE_TYPE", ACCESS_DENIED_OBJECT_ACE_TYPE},
              {L"SYSTEM_AUDIT_OBJECT_ACE_TYPE", SYSTEM_AUDIT_OBJECT_ACE_TYPE},
              {L"SYSTEM_ALARM_OBJECT_ACE_TYPE", SYSTEM_ALARM_OBJECT_ACE_TYPE},
              {L"ACCESS_MAX_MS_OBJECT_ACE_TYPE", ACCESS_MAX_MS_OBJECT_ACE_TYPE},
              {L"ACCESS_MAX_MS_V4_ACE_TYPE", ACCESS_MAX_MS_V4_ACE_TYPE},
              {L"ACCESS_MAX_MS_ACE_TYPE", ACCESS_MAX_MS_ACE_TYPE}}}),
    add(Enum{L"tern.dll", L"ADS_RIGHTS_ENUM", L"AD Extended Rights",
             {{L"ADS_RIGHT_DELETE", ADS_RIGHT_DELETE}, {L"ADS_RIGHT_READ_CONTROL", ADS_RIGHT_READ_CONTROL},
              {L"ADS_RIGHT_WRITE_DAC", ADS_RIGHT_WRITE_DAC}, {L"ADS_RIGHT_WRITE_OWNER", ADS_RIGHT_WRITE_OWNER},
              {L"ADS_RIGHT_SYNCHRONIZE", ADS_RIGHT_SYNCHRONIZE},
              {L"ADS_RIGHT_ACCESS_SYSTEM_SECURITY", ADS_RIGHT_ACCESS_SYSTEM_SECURITY},
              {L"ADS_RIGHT_GENERIC_READ", v(ADS_RIGHT_GENERIC_READ)},
              {L"ADS_RIGHT_GENERIC_WRITE", ADS_RIGHT_GENERIC_WRITE},
              {L"ADS_RIGHT_GENERIC_EXECUTE", ADS_RIGHT_GENERIC_EXECUTE},
              {L"ADS_RIGHT_GENERIC_ALL", ADS_RIGHT_GENERIC_ALL},
              {L"ADS_RIGHT_DS_CREATE_CHILD", ADS_RIGHT_DS_CREATE_CHILD},
              {L"ADS_RIGHT_DS_DELETE_CHILD", ADS_RIGHT_DS_DELETE_CHILD},
              {L"ADS_RIGHT_ACTRL_DS_LIST", ADS_RIGHT_ACTRL_DS_LIST}, {L"ADS_RIGHT_DS_SELF", ADS_RIGHT_DS_SELF},
              {L"ADS_RIGHT_DS_READ_PROP", ADS_RIGHT_DS_READ_PROP}, {L"ADS_RIGHT_DS_WRITE_PROP", ADS_RIGHT_DS_WRITE_PROP},
              {L"ADS_RIGHT_DS_DELETE_TREE", ADS_RIGHT_DS_DELETE_TREE},
              {L"ADS_RIGHT_DS_LIST_OBJECT", ADS_RIGHT_DS_LIST_OBJECT},
              {L"ADS_RIGHT_DS_CONTROL_ACCESS", ADS_RIGHT_DS_CONTROL_ACCESS}}}),
    add(Enum{L"tern.dll", L"ACE_OBJECT_FLAGS", kNone,
             {{L"ACE_OBJECT_TYPE_PRESENT", ACE_OBJECT_TYPE_PRESENT},
              {L"ACE_INHERITED_OBJECT_TYPE_PRESENT", ACE_INHERITED_OBJECT_TYPE_PRESENT}}}),
    add(Enum{L"tern.dll", L"ACE_FLAGS", kNone,
             {{L"OBJECT_INHERIT_ACE", OBJECT_INHERIT_ACE}, {L"CONTAINER_INHERIT_ACE", CONTAINER_INHERIT_ACE},
              {L"NO_PROPAGATE_INHERIT_ACE", NO_PROPAGATE_INHERIT_ACE}, {L"INHERIT_ONLY_ACE", INHERIT_ONLY_ACE},
              {L"INHERITED_ACE", INHERITED_ACE}, {L"VALID_INHERIT_FLAGS", VALID_INHERIT_FLAGS},
              {L"SUCCESSFUL_ACCESS_ACE_FLAG", SUCCESSFUL_ACCESS_ACE_FLAG},
              {L"FAILED_ACCESS_ACE_FLAG", FAILED_ACCESS_ACE_FLAG}}}),
    add(Enum{L"tern.dll", L"ACCESS_RIGHTS", L"ACCESS_RIGHTS",
             {{L"DELETE", v(DELETE)}, {L"READ_CONTROL", v(READ_CONTROL)}, {L"WRITE_DAC", v(WRITE_DAC)},
              {L"WRITE_OWNER", v(WRITE_OWNER)}, {L"SYNCHRONIZE", v(SYNCHRONIZE)},
              {L"STANDARD_RIGHTS_REQUIRED", v(STANDARD_RIGHTS_REQUIRED)},
              {L"STANDARD_RIGHTS_READ", v(STANDARD_RIGHTS_READ)}, {L"STANDARD_RIGHTS_WRITE", v(STANDARD_RIGHTS_WRITE)},
              {L"STANDARD_RIGHTS_EXECUTE", v(STANDARD_RIGHTS_EXECUTE)}, {L"STANDARD_RIGHTS_ALL", v(STANDARD_RIGHTS_ALL)},
              {L"SPECIFIC_RIGHTS_ALL", v(SPECIFIC_RIGHTS_ALL)}, {L"ACCESS_SYSTEM_SECURITY", v(ACCESS_SYSTEM_SECURITY)},
              {L"MAXIMUM_ALLOWED", v(MAXIMUM_ALLOWED)}, {L"GENERIC_READ", v(GENERIC_READ)},
              {L"GENERIC_WRITE", v(GENERIC_WRITE)}, {L"GENERIC_EXECUTE", v(GENERIC_EXECUTE)},
              {L"GENERIC_ALL", v(GENERIC_ALL)}, {L"FILE_READ_DATA", v(FILE_READ_DATA)},
              {L"FILE_LIST_DIRECTORY", v(FILE_LIST_DIRECTORY)}, {L"FILE_WRITE_DATA", v(FILE_WRITE_DATA)},
              {L"FILE_ADD_FILE", v(FILE_ADD_FILE)}, {L"FILE_APPEND_DATA", v(FILE_APPEND_DATA)},
              {L"FILE_ADD_SUBDIRECTORY", v(FILE_ADD_SUBDIRECTORY)},
              {L"FILE_CREATE_PIPE_INSTANCE", v(FILE_CREATE_PIPE_INSTANCE)}, {L"FILE_READ_EA", v(FILE_READ_EA)},
              {L"FILE_WRITE_EA", v(FILE_WRITE_EA)}, {L"FILE_EXECUTE", v(FILE_EXECUTE)},
              {L"FILE_TRAVERSE", v(FILE_TRAVERSE)}, {L"FILE_DELETE_CHILD", v(FILE_DELETE_CHILD)},
              {L"FILE_READ_ATTRIBUTES", v(FILE_READ_ATTRIBUTES)}, {L"FILE_WRITE_ATTRIBUTES", v(FILE_WRITE_ATTRIBUTES)},
              // Published as 0x1F03FF, not the system's 0x1F01FF: scripts written against the
              // library rely on its own value.
              {L"FILE_ALL_ACCESS", 0x1F03FF},
              {L"FILE_GENERIC_READ", v(FILE_GENERIC_READ)}, {L"FILE_GENERIC_WRITE", v(FILE_GENERIC_WRITE)},
              {L"FILE_GENERIC_EXECUTE", v(FILE_GENERIC_EXECUTE)}}}),
};
// clang-format on

}  // namespace
