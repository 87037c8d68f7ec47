// Local drive letters for simulated network drives. Under Wine the letter is defined through
// the mount manager (as winecfg does), so it points at a real folder and the volume functions
// answer from it: the label from its ".windows-label" file, the serial from ".windows-serial",
// type DRIVE_REMOTE. On Windows DefineDosDevice does the same job.
#include "lab.h"

#include <winioctl.h>

namespace lab {
namespace {

// Wine's mount manager interface (include/ddk/mountmgr.h of Wine).
const wchar_t kMountManager[] = L"\\\\.\\MountPointManager";
const DWORD kDefineUnixDrive = CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
const DWORD kQueryUnixDrive = CTL_CODE(0x6D, 33, METHOD_BUFFERED, FILE_READ_ACCESS);
struct UnixDrive {
  ULONG size;
  ULONG type;
  ULONG fs_type;
  DWORD serial;
  ULONGLONG unix_dev;
  WCHAR letter;
  USHORT mount_point_offset;
  USHORT device_offset;
  USHORT label_offset;
};

using UnixNameFn = char*(CDECL*)(LPCWSTR);

// The Unix path of a folder, when running under Wine.
bool unix_name(const std::wstring& folder, std::string& out) {
  auto fn = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"),
                                                                                "wine_get_unix_file_name")));
  if (!fn) return false;
  char* name = fn(folder.c_str());
  if (!name) return false;
  out = name;
  HeapFree(GetProcessHeap(), 0, name);
  return true;
}

// The mount manager is opened once per process: every open and close of it is a round trip to
// the process that runs it, and a search maps and unmaps a letter per drive.
DWORD mount_manager(DWORD code, const std::vector<char>& in, std::vector<char>* out) {
  static HANDLE device = [] {
    return CreateFileW(kMountManager, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
  }();
  if (device == INVALID_HANDLE_VALUE) return ERROR_FILE_NOT_FOUND;
  DWORD got = 0;
  BOOL ok = DeviceIoControl(device, code, const_cast<char*>(in.data()), static_cast<DWORD>(in.size()),
                            out ? out->data() : nullptr, out ? static_cast<DWORD>(out->size()) : 0, &got, nullptr);
  return ok ? 0 : GetLastError();
}

std::vector<char> drive_request(wchar_t letter, ULONG type, const std::string& mount_point) {
  std::vector<char> buf(sizeof(UnixDrive) + mount_point.size() + 1, 0);
  auto* d = reinterpret_cast<UnixDrive*>(buf.data());
  d->size = static_cast<ULONG>(buf.size());
  d->type = type;
  d->letter = static_cast<WCHAR>(towlower(letter));
  if (!mount_point.empty()) {
    d->mount_point_offset = sizeof(UnixDrive);
    memcpy(buf.data() + sizeof(UnixDrive), mount_point.c_str(), mount_point.size() + 1);
  } else {
    d->size = sizeof(UnixDrive);
    buf.resize(sizeof(UnixDrive));
  }
  return buf;
}

// The Unix folder a Wine drive letter points at, or "" when the letter is not defined.
std::string wine_mount_point(wchar_t letter) {
  std::vector<char> out(4096, 0);
  if (mount_manager(kQueryUnixDrive, drive_request(letter, 0, ""), &out)) return {};
  const auto* d = reinterpret_cast<const UnixDrive*>(out.data());
  if (!d->mount_point_offset || d->mount_point_offset >= out.size()) return {};
  return std::string(out.data() + d->mount_point_offset);
}

std::wstring device(wchar_t letter) { return std::wstring(1, static_cast<wchar_t>(towupper(letter))) + L":"; }

// Written beside the label and serial files last; its name carries what they hold, so a folder
// already prepared for this drive costs one look at the file system.
std::wstring marker_name(const Drive& d) {
  wchar_t name[64];
  swprintf(name, 64, L".prepared-%08lx-%08x-%u", d.serial, text_hash(d.label), static_cast<unsigned>(d.label.size()));
  return name;
}

}  // namespace

DWORD map_letter(wchar_t letter, const std::wstring& folder) {
  std::string unix_folder;
  if (unix_name(folder, unix_folder)) {
    // The mount manager's answer is the letter's state: no second look is needed.
    return mount_manager(kDefineUnixDrive, drive_request(letter, DRIVE_REMOTE, unix_folder), nullptr);
  }
  if (!DefineDosDeviceW(0, device(letter).c_str(), folder.c_str())) return GetLastError();
  std::wstring root = device(letter) + L"\\";
  return GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR ? ERROR_BAD_DEVICE : 0;
}

DWORD unmap_letter(wchar_t letter, const std::wstring& folder, bool verify) {
  std::string unix_folder;
  if (unix_name(folder, unix_folder)) {
    if (!verify && !mount_manager(kDefineUnixDrive, drive_request(letter, 0, ""), nullptr)) return 0;
    // Only a letter that still points at this lab's folder is removed.
    std::string current = wine_mount_point(letter);
    if (current.empty()) return 0;
    std::string a = current, b = unix_folder;
    while (a.size() > 1 && a.back() == '/') a.pop_back();
    while (b.size() > 1 && b.back() == '/') b.pop_back();
    if (a != b) return 0;
    return mount_manager(kDefineUnixDrive, drive_request(letter, 0, ""), nullptr);
  }
  if (!DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, device(letter).c_str(), folder.c_str()))
    return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : GetLastError();
  return 0;
}

std::wstring prepare_volume(const std::wstring& lab, const std::wstring& server, const Drive& d) {
  std::wstring folder = lab + L"\\volumes\\" + upper(server) + L"\\" + std::wstring(1, d.letter);
  const std::wstring marker = folder + L"\\" + marker_name(d);
  if (file_exists(marker)) return folder;
  std::wstring part = lab + L"\\volumes";
  CreateDirectoryW(part.c_str(), nullptr);
  part += L"\\" + upper(server);
  CreateDirectoryW(part.c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  delete_files(folder, L".prepared-*");
  std::wstring label_file = folder + L"\\.windows-label";
  bool ok = true;
  if (d.label.empty()) DeleteFileW(label_file.c_str());
  else ok = write_file_replace(label_file, narrow(d.label));
  char serial[16];
  snprintf(serial, sizeof serial, "%08lx", d.serial);
  ok = write_file_replace(folder + L"\\.windows-serial", serial) && ok;
  if (ok) write_file_replace(marker, std::string());
  return folder;
}

LetterMutex::LetterMutex(wchar_t letter) {
  wchar_t up = static_cast<wchar_t>(towupper(letter));
  if (up < L'A' || up > L'Z') return;
  HANDLE mutex = session_mutex(L"Local\\CorvLabDriveLetter-" + std::wstring(1, up));
  if (take_mutex(mutex)) mutex_ = mutex;
}

LetterMutex::~LetterMutex() {
  if (mutex_) ReleaseMutex(mutex_);
}

}  // namespace lab
