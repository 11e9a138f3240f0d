// Halcyra Setup itself in the terminal, on the machine that the host has
// installed (hardware platform, registry and file system).
#pragma once

#include <functional>

namespace term {

// Runs the application with its sheet in the terminal; the application's
// name is the executable's. `before`, when given, runs once the terminal is taken over
// and before the application starts (a host can finish its own setup there
// while the terminal initialises); when it returns false the application
// does not run and the result is 2. `after` runs when the application has
// ended, before the terminal is restored. Returns the process's exit code
// (-1 when the system ends itself so), or 2 when there is no usable
// terminal.
int RunSetupInTerminal(const std::function<bool()>& before = {},
                       const std::function<void()>& after = {});

}  // namespace term
