// The window's pictures at the screen's DPI. The dialog grows with the DPI; its bitmaps are
// drawn at 100%, 150% and 200%, and each picture control gets the one drawn for this screen,
// or the next larger one reduced to the size, so that no picture stays at its 96-DPI size.
#pragma once
#include <windows.h>

#include <vector>

namespace corvane {

// One picture: its control and its bitmap resources at 100%, 150% and 200%.
struct PictureArt {
  int control;
  int at100, at150, at200;
};

class Pictures {
public:
  Pictures() = default;
  ~Pictures();
  Pictures(const Pictures&) = delete;
  Pictures& operator=(const Pictures&) = delete;

  // Sets each control's bitmap for `dpi` (the screen's pixels per inch).
  void show(HWND dialog, const std::vector<PictureArt>& art, int dpi);

private:
  std::vector<HBITMAP> owned_;  // set into the controls; they do not delete them
};

// The screen's pixels per inch (the program is DPI-aware through its manifest).
int screen_dpi();

}  // namespace corvane
