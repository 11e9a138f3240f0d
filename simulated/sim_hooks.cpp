// The two ways halcyra-sim runs Halcyra Setup once the simulated machine is
// installed: headless from a scenario script, or in the terminal.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/setup_app.h"
#include "dialog_model/scenario.h"
#include "simulated/sim_hooks.h"

namespace sim {

namespace {
// The message boxes' caption: the executable's name without extension.
constexpr char kApplicationName[] = "halcyra-sim";
}  // namespace

int RunScenarioScript(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "halcyra-sim: cannot read the script %s\n", path.c_str());
    return 2;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return dm::RunScenario(text.str(), RunHalcyraSetup, kApplicationName, stdout, stderr);
}

int RunInteractive() {
  std::fprintf(stderr, "halcyra-sim: the interactive terminal UI is not available yet (use --script or --report)\n");
  return 2;
}

}  // namespace sim
