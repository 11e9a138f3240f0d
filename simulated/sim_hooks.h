// Where the scenario runner and the interactive terminal UI plug into
// halcyra-sim. Both run Halcyra Setup on the simulated machine that the
// host has already installed, and return the process's exit status.
#pragma once

#include <string>

namespace sim {

// Runs the scenario script at `path` over the application and prints its
// events. Exit status: the application's own, or 2 when the script cannot be
// run.
int RunScenarioScript(const std::string& path);

// Opens the interactive terminal UI. Exit status as above.
int RunInteractive();

}  // namespace sim
