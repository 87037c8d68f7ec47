#include "class_disk.h"

#include "app.h"
#include "disk_text.h"

#include <windows.h>
#include <winnetwk.h>

#include <map>
#include <mutex>

#include "raii.h"

namespace corvane {

namespace {
bool root_missing(char letter) {
  char root[] = {letter, ':', '\\', 0};
  return GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR;
}
std::wstring drive_of(char letter) { return std::wstring(1, static_cast<wchar_t>(letter)) + L":"; }

// The letters this process holds, with the named object that holds each.
std::mutex reservation_lock;
std::map<wchar_t, corv::Handle>& held() {
  static std::map<wchar_t, corv::Handle> letters;
  return letters;
}

// Whether the letter has a connection, live or only remembered by the profile (1201).
bool connected_or_remembered(char letter) {
  wchar_t device[] = {static_cast<wchar_t>(letter), L':', 0};
  wchar_t remote[MAX_PATH];
  DWORD length = MAX_PATH;
  DWORD status = WNetGetConnectionW(device, remote, &length);
  return status == NO_ERROR || status == ERROR_CONNECTION_UNAVAIL || status == ERROR_MORE_DATA;
}
}  // namespace

std::wstring ClassDisk::GetNextFreedrive() const {
  // Beyond Z: there are no drive letters: the characters after it would only make every
  // connection fail, so no free letter is an answer of its own.
  for (char c = 'C'; c <= 'Z'; ++c)
    if (root_missing(c)) return drive_of(c);
  return {};
}

std::wstring LetterReservation::reserve() {
  std::lock_guard<std::mutex> hold(reservation_lock);
  for (char c = 'C'; c <= 'Z'; ++c) {
    if (held().count(static_cast<wchar_t>(c)) || !root_missing(c)) continue;
    // Claimed first, looked at after: whoever creates the object has the letter, and no other
    // process of the session can claim it between the look and the use.
    std::wstring name = std::wstring(L"Local\\Velmora.Corvane.DriveLetter.") + static_cast<wchar_t>(c);
    corv::Handle claim(CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!claim.valid() || GetLastError() == ERROR_ALREADY_EXISTS || !root_missing(c) || connected_or_remembered(c))
      continue;
    held()[static_cast<wchar_t>(c)] = std::move(claim);
    return drive_of(c);
  }
  return {};
}

void LetterReservation::release(const std::wstring& letter) {
  if (letter.empty()) return;
  std::lock_guard<std::mutex> hold(reservation_lock);
  auto it = held().find(static_cast<wchar_t>(towupper(letter[0])));
  if (it != held().end()) held().erase(it);
}

void ClassDisk::Connect(const std::wstring& drive, const std::wstring& service) {
  ErrorNum = 0;
  ErrorMsg.clear();
  NETRESOURCEW res = {};
  res.dwType = RESOURCETYPE_DISK;
  res.lpLocalName = const_cast<LPWSTR>(drive.c_str());
  res.lpRemoteName = const_cast<LPWSTR>(service.c_str());
  // No password, no user: the caller's own credentials. No CONNECT_UPDATE_PROFILE: the
  // connection lasts until it is cancelled or the user logs off, never beyond.
  last_status_ = static_cast<long>(WNetAddConnection2W(&res, nullptr, nullptr, 0));
  ErrorNum = last_status_;
  ErrorMsg = wnet_error_text(ErrorNum);
}

long ClassDisk::DisConnect(const std::wstring& drive) {
  // Forced: a cancel refused for open files (2401) would leave the letter connected.
  last_status_ = static_cast<long>(WNetCancelConnection2W(drive.c_str(), 0, TRUE));
  return last_status_;
}

std::wstring ClassDisk::ConnectedTo(const std::wstring& drive) {
  wchar_t remote[MAX_PATH];
  DWORD length = MAX_PATH;
  if (WNetGetConnectionW(drive.c_str(), remote, &length) != NO_ERROR) return {};
  return remote;
}

void ClassDisk::DriveName(const std::wstring& drive) {
  drive_ = drive;
  ReadDriveInfo();
}

void ClassDisk::ReadDriveInfo() {
  std::string root = to_acp(drive_) + "\\";
  char label[256] = {}, fs[256] = {};
  DWORD serial = 0, max_component = 0, flags = 0;
  label_.clear();
  filesystem_.clear();
  serial_.clear();
  capacity_mb_ = free_mb_ = 0;
  if (GetVolumeInformationA(root.c_str(), label, 255, &serial, &max_component, &flags, fs, 255)) {
    label_ = label_text(from_acp(label));
    filesystem_ = from_acp(fs);
    serial_ = serial_text(serial);
  } else {
    label_ = label_text(L"");
  }
  DWORD spc = 0, bps = 0, free_clusters = 0, clusters = 0;
  if (GetDiskFreeSpaceA(root.c_str(), &spc, &bps, &free_clusters, &clusters)) {
    capacity_mb_ = whole_mb(spc, bps, clusters);
    free_mb_ = whole_mb(spc, bps, free_clusters);
  }
}

}  // namespace corvane
