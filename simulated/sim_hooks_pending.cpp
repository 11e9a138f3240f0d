// HOOK: placeholders for the scenario runner (--script) and the interactive
// terminal UI. Replace this file with the real entry points when those parts
// exist; until then halcyra-sim says they are not available and exits 2.
#include <cstdio>

#include "simulated/sim_hooks.h"

namespace sim {

int RunScenarioScript(const std::string& path) {
  std::fprintf(stderr, "halcyra-sim: --script %s: the scenario runner is not available yet\n", path.c_str());
  return 2;
}

int RunInteractive() {
  std::fprintf(stderr, "halcyra-sim: the interactive terminal UI is not available yet (use --report)\n");
  return 2;
}

}  // namespace sim
