// The terminal's description (terminfo) read before ncurses sets up its
// screen, so that the first frame can be written sooner. Kept apart because
// <term.h> defines names that clash with ours.
#pragma once

namespace terminfo_glue {

// Reads the description of the terminal named by TERM for output on `fd`
// and makes it the current one; returns it, or null when it is unknown.
void* Load(int fd);
// Frees a description that Load returned, unless it is the current one.
void Free(void* description);

}  // namespace terminfo_glue
