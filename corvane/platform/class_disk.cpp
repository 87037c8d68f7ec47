#include "class_disk.h"

#include "app.h"
#include "disk_text.h"

#include <windows.h>
#include <winnetwk.h>

#include <mutex>
#include <set>

namespace corvane {

namespace {
bool root_missing(char letter) {
  char root[] = {letter, ':', '\\', 0};
  return GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR;
}
std::wstring drive_of(char letter) { return std::wstring(1, static_cast<wchar_t>(letter)) + L":"; }

std::mutex reservation_lock;
std::set<wchar_t>& reserved() {
  static std::set<wchar_t> letters;
  return letters;
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
    if (reserved().count(static_cast<wchar_t>(c)) || !root_missing(c)) continue;
    reserved().insert(static_cast<wchar_t>(c));
    return drive_of(c);
  }
  return {};
}

void LetterReservation::release(const std::wstring& letter) {
  if (letter.empty()) return;
  std::lock_guard<std::mutex> hold(reservation_lock);
  reserved().erase(static_cast<wchar_t>(towupper(letter[0])));
}

void ClassDisk::Connect(const std::wstring& drive, const std::wstring& service) {
  ErrorNum = 0;
  ErrorMsg.clear();
  // No password: the connection uses the caller's own credentials.
  last_status_ = static_cast<long>(WNetAddConnectionA(to_acp(service).c_str(), nullptr, to_acp(drive).c_str()));
  ErrorNum = last_status_;
  ErrorMsg = wnet_error_text(ErrorNum);
}

void ClassDisk::DisConnect(const std::wstring& drive) {
  ErrorNum = 0;
  ErrorMsg.clear();
  last_status_ = static_cast<long>(WNetCancelConnectionA(to_acp(drive).c_str(), FALSE));
}

void ClassDisk::DisConnect2(const std::wstring& drive) {
  last_status_ = static_cast<long>(WNetCancelConnection2A(to_acp(drive).c_str(), CONNECT_UPDATE_PROFILE, FALSE));
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
