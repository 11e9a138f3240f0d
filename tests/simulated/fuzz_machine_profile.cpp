// The machine-profile reader under libFuzzer: any bytes, as a profile or as
// a report file that carries one, must give a machine or a refusal, never
// undefined behaviour (the sanitizers check, with `unreachable` among them:
// toml++ must never be handed what it cannot take).
#include <cstddef>
#include <cstdint>
#include <string>

#include "simulated/machine_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const sim::ProfileResult result = sim::ParseMachineProfile(text, "fuzz.toml");
  if (result.error) (void)result.error->ToString();
  return 0;
}
