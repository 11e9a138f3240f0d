#include "terminal/terminfo_glue.h"

#include <curses.h>
#include <term.h>

namespace terminfo_glue {

namespace {

// tputs hands its output to a plain function, one character at a time.
std::string* g_padded = nullptr;

int Collect(int ch) {
  if (g_padded != nullptr) g_padded->push_back(static_cast<char>(ch));
  return ch;
}

}  // namespace

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

std::string Pad(const std::string& text, int affected) {
  if (text.find("$<") == std::string::npos) return text;
  std::string padded;
  g_padded = &padded;
  tputs(text.c_str(), affected, Collect);
  g_padded = nullptr;
  return padded;
}

bool CanAddressCursor() {
  const char* cup = tigetstr("cup");
  const bool hasCup = cup != nullptr && cup != reinterpret_cast<char*>(-1) && *cup != '\0';
  return hasCup && tigetflag("hc") != 1 && tigetflag("gn") != 1;
}

}  // namespace terminfo_glue
