#include "terminal/terminfo_glue.h"

#include <curses.h>
#include <term.h>

namespace terminfo_glue {

void* Load(int fd) {
  int error = 0;
  if (setupterm(nullptr, fd, &error) != OK) return nullptr;
  return cur_term;
}

void Free(void* description) {
  if (description != nullptr && description != cur_term) {
    del_curterm(static_cast<TERMINAL*>(description));
  }
}

}  // namespace terminfo_glue
