// The terminal as the front end sees it: a place to show a grid of cells
// and a source of key, mouse and resize events. The ncurses screen is one;
// tests use a scripted one.
#pragma once

#include "terminal/grid.h"
#include "terminal/input.h"
#include "terminal/render.h"

namespace term {

class Screen {
 public:
  virtual ~Screen() = default;
  virtual Size GetSize() = 0;
  virtual Caps GetCaps() = 0;
  // Shows `grid` (the terminal's size) at once.
  virtual void Show(const Grid& grid) = 0;
  // Waits for the next event.
  virtual Event NextEvent() = 0;
};

}  // namespace term
