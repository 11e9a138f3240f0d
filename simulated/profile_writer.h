// Writing a machine profile (docs/machine-profiles.md) from a Machine, as a
// capture produces it: every key the capture observed, results that are not
// "ok" as their code, and the capture's notes.
#pragma once

#include <string>

#include "simulated/machine_profile.h"

namespace sim {

// The profile's text. Strings are written byte for byte: every byte above
// 0x7F as the character of that number, with `byte_strings = true` in
// [capture], so that text in the Windows code page reads back as the same
// bytes.
std::string WriteMachineProfile(const Machine& machine);

}  // namespace sim
