// Where the scenario runner plugs into halcyra-sim: it runs Halcyra Setup on
// the simulated machine that the host has already installed. (The
// interactive run is the terminal UI's term::RunSetupInTerminal.)
#pragma once

#include <string>

namespace sim {

// Runs the scenario script at `path` over the application and prints its
// events. Exit status: the application's own, or 2 when the script cannot be
// run.
int RunScenarioScript(const std::string& path);

}  // namespace sim
