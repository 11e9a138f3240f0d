// The reference machine, built into halcyra-setup from profiles/reference.toml
// when the program is built (by halcyra_profile_gen): code that makes the
// machine, so that nothing is parsed when the program starts.
#pragma once

#include "simulated/machine_profile.h"

namespace term {

sim::Machine ReferenceMachine();

}  // namespace term
