// ClassDisk: maps a drive's administrative share to a free local letter for a moment and reads
// the volume behind it.
#pragma once
#include <string>

namespace corvane {

// A local drive letter held for one probe against every process of the logon session (the
// window and any corvanecmd run beside it): a named object per letter in the session's
// namespace, which exists while a holder keeps it open. The system closes it with the process,
// however the process ends, so a killed run holds no letter. Only letters with nothing on them
// are taken: no drive, no connection, and none the user's profile remembers.
class LetterReservation {
public:
  // The first such letter from C: upwards ("F:"); empty when none is left.
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
  // Connects the letter to the share for this logon only: the user's profile never remembers
  // it, so nothing is restored at the next logon whatever ends the run.
  void Connect(const std::wstring& drive, const std::wstring& service);
  // Ends a connection this object made, forced (the probe keeps no file open that matters); the
  // status of the cancel.
  long DisConnect(const std::wstring& drive);
  // The share the letter is connected to now ("\\FS01\C$"); empty when none.
  static std::wstring ConnectedTo(const std::wstring& drive);
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
