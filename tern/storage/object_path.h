// Preparing the names of objects whose security is read or written: the computer part of a
// name, the root of a registry name, and the access an open needs for the parts asked for.
#pragma once
#include <cstdint>
#include <string>

namespace tern {

// Object types, as the system numbers them.
enum ObjectType : long {
  kUnknownObject = 0,
  kFileObject = 1,
  kService = 2,
  kPrinter = 3,
  kRegistryKey = 4,
  kLmShare = 5,
  kKernelObject = 6,
  kWindowObject = 7,
  kWmiGuidObject = 11,
};

// How a read or write by name is carried out for a type.
enum class ObjectPath { Named, File, Printer, Registry, Share, Rejected };
ObjectPath path_for_type(long type);

// The text used for a type in messages ("File", "Registry key", ...).
const char16_t* type_display_name(long type);

// Splits "\\computer\rest" into the computer and the rest. Only a path of at least 3
// characters that begins with two backslashes is looked at; the next backslash is searched
// from its third character on. With none, nothing is split. The computer comes back
// normalised: its leading backslashes removed, then exactly two put in front.
bool split_computer(std::u16string& path, std::u16string& computer);

// Registry roots that a name can start with.
enum class RegistryRoot { None, ClassesRoot, CurrentUser, LocalMachine, Users };

// Splits a registry path into its root name and subkey at the first backslash at or after
// its third character (with none, the whole path is the root name and the subkey is empty).
// Root names are compared without regard to case: CLASSES_ROOT, CURRENT_USER, MACHINE, USERS.
// None for a path shorter than 2 characters or an unknown root name.
RegistryRoot split_registry_root(const std::u16string& path, std::u16string& root_name, std::u16string& subkey);

// Security-information bits and the access rights an open needs for them.
constexpr uint32_t kOwnerInfo = 1, kGroupInfo = 2, kDaclInfo = 4, kSaclInfo = 8;
constexpr uint32_t kReadControl = 0x00020000, kWriteDac = 0x00040000, kWriteOwner = 0x00080000,
                   kAccessSystemSecurity = 0x01000000;

// The rights to open an object with for reading or writing the parts in info; 0 when info
// names none of owner, group, DACL and SACL.
uint32_t open_access(uint32_t info, bool write);

}  // namespace tern
