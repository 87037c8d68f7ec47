#include "object_path.h"

namespace tern {

ObjectPath path_for_type(long type) {
  switch (type) {
    case kFileObject: return ObjectPath::File;
    case kPrinter: return ObjectPath::Printer;
    case kRegistryKey: return ObjectPath::Registry;
    case kLmShare: return ObjectPath::Share;
    case kWindowObject: return ObjectPath::Rejected;
    default: break;
  }
  if (type < kUnknownObject || type > kWmiGuidObject) return ObjectPath::Rejected;
  return ObjectPath::Named;  // 0, 2, 6 and 8 to 11
}

const char16_t* type_display_name(long type) {
  switch (type) {
    case 1: return u"File";
    case 2: return u"Service";
    case 4: return u"Registry key";
    case 5: return u"Network share";
    case 6: return u"Kernel object";
    case 7: return u"Window object";
    case 8: return u"Directory service object";
    case 9: return u"Directory service object (All)";
    case 10: return u"Provider-defined object";
    case 11: return u"WMI object";
    default: return u"Unknown object type";
  }
}

bool split_computer(std::u16string& path, std::u16string& computer) {
  if (path.size() < 3 || path[0] != u'\\' || path[1] != u'\\') return false;
  size_t slash = path.find(u'\\', 2);
  if (slash == std::u16string::npos) return false;
  std::u16string name = path.substr(0, slash);
  size_t first = name.find_first_not_of(u'\\');
  name.erase(0, first == std::u16string::npos ? name.size() : first);
  computer = u"\\\\" + name;
  path.erase(0, slash + 1);
  return true;
}

namespace {

bool equal_ignoring_case(const std::u16string& a, const char16_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - u'a' + u'A');
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - u'a' + u'A');
    if (x != y) return false;
  }
  return i == a.size() && !b[i];
}

}  // namespace

RegistryRoot split_registry_root(const std::u16string& path, std::u16string& root_name, std::u16string& subkey) {
  root_name.clear();
  subkey.clear();
  if (path.size() < 2) return RegistryRoot::None;
  size_t slash = path.find(u'\\', 2);
  if (slash == std::u16string::npos) {
    root_name = path;
  } else {
    root_name = path.substr(0, slash);
    subkey = path.substr(slash + 1);
  }
  if (equal_ignoring_case(root_name, u"CLASSES_ROOT")) return RegistryRoot::ClassesRoot;
  if (equal_ignoring_case(root_name, u"CURRENT_USER")) return RegistryRoot::CurrentUser;
  if (equal_ignoring_case(root_name, u"MACHINE")) return RegistryRoot::LocalMachine;
  if (equal_ignoring_case(root_name, u"USERS")) return RegistryRoot::Users;
  return RegistryRoot::None;
}

uint32_t open_access(uint32_t info, bool write) {
  uint32_t access = 0;
  if (info & kDaclInfo) access |= write ? kWriteDac : kReadControl;
  if (info & kSaclInfo) access |= kAccessSystemSecurity;
  if (info & (kOwnerInfo | kGroupInfo)) access |= write ? kWriteOwner : kReadControl;
  return access;
}

}  // namespace tern
