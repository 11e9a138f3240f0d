// halcyra-setup: Halcyra Setup for Linux, in the terminal, on the simulated
// reference machine that is built into the program. Like the system it
// reads no command line and no environment of its own (the terminal layer
// reads the terminal type and locale, as every terminal program does). The
// built-in machine's registry holds no "Install Path", so the install
// directory is the current directory.
#include <cstdio>
#include <optional>
#include <string>

#include "settings/registry.h"
#include "simulated/machine_profile.h"
#include "simulated/simulated_machine.h"
#include "terminal/reference_profile.h"
#include "terminal/setup_in_terminal.h"

int main() {
  sim::ProfileResult profile =
      sim::ParseMachineProfile(term::kReferenceProfile, term::kReferenceProfileName);
  if (profile.error) {
    std::fprintf(stderr, "halcyra-setup: built-in machine: %s\n", profile.error->ToString().c_str());
    return 2;
  }
  sim::SimulatedMachine machine(std::move(*profile.machine));
  machine.SetInstallPath(std::nullopt);
  machine.Install();
  reg::SetRegistry(&machine);
  const int code = term::RunSetupInTerminal();
  reg::SetRegistry(nullptr);
  machine.Uninstall();
  // -1 from the system appears as 255, as a process exit status does.
  return code & 0xFF;
}
