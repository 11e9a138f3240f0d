#include "terminal/setup_in_terminal.h"

#include <cstdio>

#include "app/setup_app.h"
#include "terminal/terminal_app.h"

using namespace halcyra;

namespace term {

int RunSetupInTerminal(const std::function<bool()>& before, const std::function<void()>& after) {
  auto system = [&]() -> int {
    if (before && !before()) return kNoTerminalExit;
    struct After {
      const std::function<void()>& run;
      ~After() {
        if (run) run();
      }
    } finish{after};
    return RunHalcyraSetup();
  };
  return RunInTerminal(system, ExecutableName("halcyra-setup"), stderr);
}

}  // namespace term
