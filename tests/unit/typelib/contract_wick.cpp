// zrWICKLib: the log, data-converter, attribute and entry classes, the log's event interface
// and the library's three enumerations. No member of these interfaces has a help string.
#include "contract.h"
#include "wick_h.h"

using namespace contract;

namespace {

// The contract tables keep one member to a line, as the type library lists them.
// clang-format off
const int lib = add(Library{L"wick.dll", &LIBID_zrWICKLib, L"zrWICKLib", L"Brannock Wick, (version 1.0.0.7)", 1, 0,
                            {L"zrERROR_SEVERITY_FLAGS", L"zrERROR_SEVERITY", L"zrDATA_CONVERSION"}});

const int log = add(Interface{
    L"wick.dll", &IID_IzrLog, L"IzrLog", L"IwickLog Interface",
    {{L"LogError", 1, FUNC, nullptr},
     {L"GetLastError", 2, FUNC, nullptr},
     {L"FilterSeverity", 3, GET, nullptr},
     {L"FilterSeverity", 3, PUT, nullptr},
     {L"FlagTrace", 4, GET, nullptr},
     {L"FlagTrace", 4, PUT, nullptr},
     {L"FlagFile", 5, GET, nullptr},
     {L"FlagFile", 5, PUT, nullptr},
     {L"FlagEventLog", 6, GET, nullptr},
     {L"FlagEventLog", 6, PUT, nullptr},
     {L"FlagCallOnError", 7, GET, nullptr},
     {L"FlagCallOnError", 7, PUT, nullptr},
     {L"FileName", 8, GET, nullptr},
     {L"FileName", 8, PUT, nullptr},
     {L"FileUnicode", 9, GET, nullptr},
     {L"FileUnicode", 9, PUT, nullptr},
     {L"FileTabulator", 10, GET, nullptr},
     {L"FileTabulator", 10, PUT, nullptr},
     {L"EvenSource", 11, GET, nullptr},
     {L"EvenSource", 11, PUT, nullptr}}});

const int log_events = add(Interface{
    L"wick.dll", &DIID__IzrLogEvents, L"_IzrLogEvents", nullptr, {{L"onError", 1, FUNC, nullptr}}, false});

const int conv = add(Interface{
    L"wick.dll", &IID_IzrDataConvertor, L"IzrDataConvertor", L"IzrDataConvertor Interface",
    {{L"convert", 1, FUNC, nullptr}, {L"printf", 2, FUNC, nullptr}, {L"scanf", 3, FUNC, nullptr}}});

const int attr = add(Interface{
    L"wick.dll", &IID_IzrAttribute, L"IzrAttribute", L"IzrAttribute Interface",
    {{L"Value", 0, GET, nullptr},
     {L"Value", 0, PUT, nullptr},
     {L"_NewEnum", DISPID_NEWENUM, GET, nullptr},
     {L"remove", 1, FUNC, nullptr},
     {L"clear", 2, FUNC, nullptr},
     {L"add", 3, FUNC, nullptr},
     {L"Count", 4, GET, nullptr},
     {L"resize", 5, FUNC, nullptr},
     {L"Name", 6, GET, nullptr},
     {L"Name", 6, PUT, nullptr},
     {L"Type", 7, GET, nullptr},
     {L"Type", 7, PUT, nullptr},
     {L"Control", 8, GET, nullptr},
     {L"Control", 8, PUT, nullptr},
     {L"Data", 9, GET, nullptr},
     {L"Data", 9, PUT, nullptr}}});

const int entry = add(Interface{
    L"wick.dll", &IID_IzrEntry, L"IzrEntry", L"IzrEntry Interface",
    {{L"Attribute", 0, GET, nullptr},
     {L"Attribute", 0, PUTREF, nullptr},
     {L"_NewEnum", DISPID_NEWENUM, GET, nullptr},
     {L"remove", 1, FUNC, nullptr},
     {L"clear", 2, FUNC, nullptr},
     {L"add", 3, FUNC, nullptr},
     {L"Count", 4, GET, nullptr},
     {L"removeA", 5, FUNC, nullptr},
     {L"Name", 6, GET, nullptr},
     {L"Name", 6, PUT, nullptr},
     {L"Flags", 7, GET, nullptr},
     {L"Flags", 7, PUT, nullptr},
     {L"AttributeA", 8, GET, nullptr},
     {L"AttributeA", 8, PUTREF, nullptr},
     {L"Data", 9, GET, nullptr},
     {L"Data", 9, PUT, nullptr},
     {L"findAttribute", 10, FUNC, nullptr},
     {L"AttributeName", 11, GET, nullptr}}});

const int severity_flags = add(Enum{
    L"wick.dll", L"zrERROR_SEVERITY_FLAGS", nullptr,
    {{L"zrFLAG_ERROR", 1}, {L"zrFLAG_WARNING", 2}, {L"zrFLAG_INFORMATIONAL", 4}, {L"zrFLAG_SUMMARY", 8},
     {L"zrFLAG_INTERNAL_ERROR", 16}, {L"zrFLAG_TRACE_MSG", 32}}});

const int severity = add(Enum{
    L"wick.dll", L"zrERROR_SEVERITY", nullptr,
    {{L"zrSEV_ERROR", 0}, {L"zrSEV_WARNING", 1}, {L"zrSEV_INFORMATIONAL", 2}, {L"zrSEV_SUMMARY", 3},
     {L"zrSEV_INTERNAL_ERROR", 4}, {L"zrSEV_TRACE", 5}}});

const int conversion = add(Enum{
    L"wick.dll", L"zrDATA_CONVERSION", nullptr,
    {{L"zrBinToHex", 1}, {L"zrHexToBin", 2}, {L"zrLdapStrToBin", 3}, {L"zrBinToLdapStr", 4}, {L"zrBinToLdapFilter", 5}}});

const int classes[] = {
    add(Coclass{L"wick.dll", &CLSID_zrLog, L"zrLog", L"zrLog Class", &IID_IzrLog, &DIID__IzrLogEvents}),
    add(Coclass{L"wick.dll", &CLSID_zrDataConvertor, L"zrDataConvertor", L"wickDataConvertor Class",
                &IID_IzrDataConvertor, nullptr}),
    add(Coclass{L"wick.dll", &CLSID_zrAttribute, L"zrAttribute", L"zrAttribute Class", &IID_IzrAttribute, nullptr}),
    add(Coclass{L"wick.dll", &CLSID_zrEntry, L"zrEntry", L"zrEntry Class", &IID_IzrEntry, nullptr}),
};
// clang-format on

}  // namespace
