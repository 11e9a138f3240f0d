// The terminal on standard input and output through ncurses (wide-character
// build): the only part of the front end that talks to the terminal.
//
// While the screen is open, the process's standard output is kept in a
// temporary file, so that lines the system prints do not tear the picture;
// they are written out once the terminal is restored. The terminal is
// restored when the screen closes, at exit, on Ctrl-C and the other
// terminating signals, on a crash signal and on std::terminate.
#pragma once

#include <memory>
#include <string>

#include "terminal/screen.h"

namespace term {

class CursesScreen : public Screen {
 public:
  // Takes over the terminal; null with `error` set when it cannot (no
  // terminal on standard input or output, an unknown terminal type).
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
