// halcyra-sim running Halcyra Setup headless from a scenario script, once the
// simulated machine is installed. The terminal UI's entry, RunInteractive,
// is in terminal/sim_interactive.cpp.
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

}  // namespace sim
