// The drive list of the window: a report-style list view with a check box per item. The item
// text is the drive ("\\FS01\D"), the tick is the check box, the marker lives in the item's lParam.
#pragma once
#include <windows.h>

#include "reports.h"

namespace corvane {

class DriveListView : public DriveList {
public:
  explicit DriveListView(HWND list) : list_(list) {}
  // Columns and extended styles; once, when the window opens.
  void setup();

  void clear() override;
  void add(const FoundDrive& drive) override;
  size_t count() const override;
  std::wstring text(size_t i) const override;
  bool ticked(size_t i) const override;
  int marker(size_t i) const override;
  void set_marker(size_t i, int marker) override;

private:
  HWND list_;
};

}  // namespace corvane
