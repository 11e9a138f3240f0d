// Halcyra Setup itself in the terminal, on the machine that the host has
// installed (hardware platform and registry).
#pragma once

namespace term {

// Runs the application with its sheet in the terminal, options.ini and the
// texture archives on this machine's files; the application's name is the
// executable's. Returns the process's exit code (-1 when the system ends
// itself so), or 2 when there is no usable terminal.
int RunSetupInTerminal();

}  // namespace term
