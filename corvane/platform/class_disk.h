// ClassDisk: maps a drive's administrative share to a free local letter for a moment and reads
// the volume behind it.
#pragma once
#include <string>

namespace corvane {

// One process-wide reservation of local drive letters, so that two searches, or two workers
// of one search, never map the same letter. A reserved letter is one whose root did not exist.
class LetterReservation {
public:
  // The first free letter from C: upwards not reserved already ("F:"); empty when none is left.
  static std::wstring reserve();
  static void release(const std::wstring& letter);
};

class ClassDisk {
public:
  long ErrorNum = 0;     // status of the last Connect, 0 when reachable
  std::wstring ErrorMsg;  // its text from the connection-status table

  // The first letter from C: upwards whose root does not exist ("F:"); empty when C: to Z: are
  // all in use.
  std::wstring GetNextFreedrive() const;
  void Connect(const std::wstring& drive, const std::wstring& service);
  void DisConnect(const std::wstring& drive);
  void DisConnect2(const std::wstring& drive);
  // Sets the local drive ("F:") and reads its volume.
  void DriveName(const std::wstring& drive);
  long last_status() const { return last_status_; }

  double CapacityMB() const { return capacity_mb_; }
  double FreeSpaceMB() const { return free_mb_; }
  double UsedSpaceMB() const { return capacity_mb_ - free_mb_; }
  const std::wstring& VolumeLabel() const { return label_; }
  const std::wstring& Filesystem() const { return filesystem_; }
  const std::wstring& Serial() const { return serial_; }

private:
  void ReadDriveInfo();
  long last_status_ = 0;
  std::wstring drive_, label_, filesystem_, serial_;
  double capacity_mb_ = 0, free_mb_ = 0;
};

}  // namespace corvane
