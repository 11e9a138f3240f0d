// halcyra-sim without --script: the interactive terminal UI on the machine
// that halcyra-sim has built from its profile.
#include "simulated/sim_hooks.h"
#include "terminal/setup_in_terminal.h"

namespace sim {

int RunInteractive() { return term::RunSetupInTerminal(); }

}  // namespace sim
