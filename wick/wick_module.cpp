// wick.dll's class table: one row per class, in registration order.
#include "server.h"
#include "wick_h.h"
#include "log/zr_log.h"
#include "convert/zr_data_convertor.h"
#include "directory/zr_attribute.h"
#include "directory/zr_entry.h"

namespace {

corv::ClassEntry g_classes[] = {
    {&CLSID_zrLog, 101, &wick::ZrLog::create, nullptr},
    {&CLSID_zrDataConvertor, 102, &wick::ZrDataConvertor::create, nullptr},
    {&CLSID_zrAttribute, 103, &wick::ZrAttribute::create, nullptr},
    {&CLSID_zrEntry, 104, &wick::ZrEntry::create, nullptr},
};

}  // namespace

namespace corv {

const LibraryInfo& library_info() {
  static const LibraryInfo info = {g_classes, sizeof g_classes / sizeof g_classes[0], &LIBID_zrWICKLib, nullptr};
  return info;
}

}  // namespace corv
