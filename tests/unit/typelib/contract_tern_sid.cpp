// zrTERNLib itself and the identifier class.
#include "contract.h"
#include "tern_h.h"

using namespace contract;

// The contract tables keep one member to a line, as the type library lists them.
// clang-format off
static const int lib = add(Library{
    L"tern.dll", &LIBID_zrTERNLib, L"zrTERNLib", L"Brannock Tern (version 1.1.0.25)", 1, 0,
    {L"ACL_REVISIONS", L"SECURITY_DESCRIPTOR_REVISION_ENUM", L"SECURITY_DESCRIPTOR_CONTROL", L"SI_PAGE_TYPE",
     L"SI_PAGE_MESSAGE", L"ACE_TYPE", L"ADS_RIGHTS_ENUM", L"ACE_OBJECT_FLAGS", L"ACE_FLAGS", L"SI_ACCESS",
     L"ACCESS_RIGHTS", L"SI_OBJECT_INFO", L"SID_TYPE", L"SECURITY_INFORMATION", L"USER_BROWSER_FLAGS",
     L"SE_OBJECT_TYPE", L"HKEY", L"SIEDITOR_CLEAR_FLAGS"}});

static const int sid = add(Interface{
    L"tern.dll", &IID_IzrSid, L"IzrSid", L"IzrSid Interface",
    {{L"Sid", 1, GET, L"String representation of the SID"},
     {L"Sid", 1, PUT, L"String representation of the SID"},
     {L"Valid", 2, GET, L"Validates the SID "},
     {L"SubauthorityCount", 3, GET, L"SID Subauthority Count"},
     {L"SubauthorityCount", 3, PUT, L"SID Subauthority Count"},
     {L"Rid", 4, GET, L"Last subauthority"},
     {L"Rid", 4, PUT, L"Last subauthority"},
     {L"System", 5, GET, L"Computer on which the SID will be resolved"},
     {L"System", 5, PUT, L"Computer on which the SID will be resolved"},
     {L"Account", 6, GET, L"The name of the account for this SID"},
     {L"Account", 6, PUT, L"The name of the account for this SID"},
     {L"Domain", 7, GET, L"The domain of the account"},
     {L"SidType", 8, GET, L"The SID_NAME_USE enumeration type containing values that specify the type of the SID"},
     {L"InitCurrentUser", 9, FUNC, L"Initializes the SID from current token"},
     {L"AccountToSid", 10, FUNC, L"Account to SID resolution"},
     {L"SidToAccount", 11, FUNC, L"SID to account resolution"},
     {L"Data", 12, GET, L"Binary representation of the SID"},
     {L"Data", 12, PUT, L"Binary representation of the SID"},
     {L"SystemToSid", 13, FUNC, L"Computer name to SID resolution"},
     {L"Clear", 14, FUNC, L"Clears the SID"},
     {L"Log", 100, GET, L"Log"},
     {L"Log", 100, PUTREF, L"Log"}}});

static const int sid_type = add(Enum{
    L"tern.dll", L"SID_TYPE", nullptr,
    {{L"SID_TYPE_USER", 1}, {L"SID_TYPE_GROUP", 2}, {L"SID_TYPE_DOMAIN", 3}, {L"SID_TYPE_ALIAS", 4},
     {L"SID_TYPE_WELL_KNOWN_GROUP", 5}, {L"SID_TYPE_DELETED_ACCOUNT", 6}, {L"SID_TYPE_INVALID", 7},
     {L"SID_TYPE_UNKNOWN", 8}, {L"SID_TYPE_COMPUTER", 9}}});

static const int sid_class = add(Coclass{L"tern.dll", &CLSID_zrSid, L"zrSid", L"zrSid Class", &IID_IzrSid, nullptr});
// clang-format on
