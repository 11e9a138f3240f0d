// halcyra-sim running Halcyra Setup headless from a scenario script, once the
// simulated machine is installed.
#include <cstdio>
#include <optional>
#include <string>

#include "base/printable_text.h"
#include "app/setup_app.h"
#include "dialog_model/scenario.h"
#include "simulated/input_file.h"
#include "programs/sim_hooks.h"

using namespace halcyra;

namespace sim {

namespace {
// The message boxes' caption: the executable's name without extension.
constexpr char kApplicationName[] = "halcyra-sim";
}  // namespace

int RunScenarioScript(const std::string& path) {
  std::string error;
  const std::optional<std::string> text = cli::ReadRegularFile(path, cli::kScriptLimit, error);
  if (!text) {
    std::fprintf(stderr, "halcyra-sim: cannot read the script %s: %s\n", printable::Escape(path).c_str(),
                 error.c_str());
    return 2;
  }
  return dm::RunScenario(*text, RunHalcyraSetup, kApplicationName, stdout, stderr);
}

}  // namespace sim
