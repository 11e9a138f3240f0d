// HOOK: placeholder for the scenario runner (--script). Replace it with the
// real entry point when that part exists; until then halcyra-sim says it is
// not available and exits 2. The interactive terminal UI's entry lives in
// terminal/sim_interactive.cpp.
#include <cstdio>

#include "simulated/sim_hooks.h"

namespace sim {

int RunScenarioScript(const std::string& path) {
  std::fprintf(stderr, "halcyra-sim: --script %s: the scenario runner is not available yet\n", path.c_str());
  return 2;
}

}  // namespace sim
