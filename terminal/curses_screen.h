// The terminal on standard input and output: the only part of the front
// end that talks to it. ncurses (wide-character build) reads the keys, the
// mouse and resizes; the frames are written by the frame writer with the
// terminal's own terminfo strings, each in one write (ncurses 6.4 would
// flush at every cursor movement). What the first frame needs is set up
// first; ncurses' screen, the keyboard and the mouse right after it.
//
// While the screen is open, the process's standard output is kept in an
// in-memory file, so that lines the system prints do not tear the picture;
// they are written out once the terminal is restored. The terminal is
// restored when the screen closes, at exit, on Ctrl-C and the other
// terminating signals, on a crash signal and on std::terminate; after a
// stop (Ctrl-Z) the frame is drawn again.
#pragma once

#include <memory>
#include <string>

#include "terminal/screen.h"

namespace term {

class CursesScreen : public Screen {
 public:
  // Takes over the terminal; null with `error` set when it cannot (no
  // terminal on standard input or output, an unknown terminal type, or one
  // that cannot place the cursor, such as "dumb").
  static std::unique_ptr<CursesScreen> Open(std::string& error);
  ~CursesScreen() override;
  CursesScreen(const CursesScreen&) = delete;
  CursesScreen& operator=(const CursesScreen&) = delete;

  Size GetSize() override;
  Caps GetCaps() override;
  void Show(const Grid& grid) override;
  Event NextEvent() override;

  struct Impl;

 private:
  explicit CursesScreen(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m_impl;
};

}  // namespace term
