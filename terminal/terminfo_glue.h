// The terminal's description (terminfo) read before ncurses sets up its
// screen, so that the first frame can be written sooner. Kept apart because
// <term.h> defines names that clash with ours.
#pragma once

#include <string>

namespace terminfo_glue {

// Reads the description of the terminal named by TERM for output on `fd`
// and makes it the current one; returns it, or null when it is unknown.
void* Load(int fd);
// Frees a description that Load returned, unless it is the current one.
void Free(void* description);

// A string of the current description as the terminal is to get it: its
// padding ("$<5>", "$<2*/>") turned into what terminfo asks for on this
// terminal (nothing where it has XON/XOFF flow control, else the pad
// characters tputs sends), never passed on as text. `affected` is the number
// of lines the string affects, for padding that is given per line.
std::string Pad(const std::string& text, int affected = 1);

// Whether the current description is a terminal the sheet can be drawn on:
// it can place the cursor anywhere and is not a hard-copy terminal.
bool CanAddressCursor();

}  // namespace terminfo_glue
