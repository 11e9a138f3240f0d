// Test support: machines built in code, an inventory built on a simulated
// machine, and a description of an inventory with the rules every one keeps.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hardware/glide.h"
#include "hardware/inventory.h"
#include "simulated/machine_profile.h"
#include "simulated/simulated_machine.h"

using namespace halcyra;

namespace test {

dx::GUID Guid(std::uint32_t n);
sim::DisplayMode Mode(dx::DWORD width, dx::DWORD height, dx::DWORD depth, bool refused = false);
std::vector<sim::DisplayMode> Modes(const std::vector<std::string>& texts);
sim::Device HalDevice(dx::GUID guid, const std::vector<std::string>& formats,
                      dx::DWORD depths = dx::DDBD_16 | dx::DDBD_32);
sim::Device SoftwareDevice(dx::GUID guid);
sim::Driver MakeDriver(std::optional<dx::GUID> guid, const std::string& description,
                       std::vector<sim::Device> devices,
                       std::vector<sim::DisplayMode> modes = Modes({"640x480x16", "800x600x16"}));
sim::SoundDevice Sound(std::optional<dx::GUID> guid, const std::string& description, dx::ULONG eaxSupport = 0);

// A simulated machine installed for one test, with the inventory built on
// it and the progress codes it reported.
class Bench {
 public:
  explicit Bench(sim::Machine machine, std::uint64_t failAt = 0);
  ~Bench();
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  sim::SimulatedMachine& Machine() { return *m_machine; }
  HardwareInventory& Inventory() { return *m_inventory; }
  const std::vector<std::int32_t>& Progress() const { return m_progress; }
  // Probes Glide on this machine (the result is the caller's).
  std::unique_ptr<GlideBoardInfo> ProbeGlide();
  // Names of the logged calls that are `name`, in order.
  std::size_t CountCalls(const std::string& name) const;
  std::vector<std::string> Records() const;  // display record descriptions in list order

 private:
  std::unique_ptr<sim::SimulatedMachine> m_machine;
  std::vector<std::int32_t> m_progress;
  HardwareInventory* m_inventory = nullptr;
};

// The inventory (and Glide finding, when given) one line a record:
// "KIND GUID | DESCRIPTION | FINDINGS | MODES".
std::vector<std::string> Describe(const HardwareInventory& inventory, const GlideBoardInfo* glide);

// What breaks the rules every inventory keeps whatever call failed: counts
// that match the lists, progress codes in stage order, and nothing found
// that the clean run (`clean`, described) did not find. Empty when none.
std::vector<std::string> Violations(const HardwareInventory& inventory, const GlideBoardInfo* glide,
                                    const std::vector<std::int32_t>& progress, const std::vector<std::string>& clean);

// Directory of the machine profiles, and the file names of those shipped.
std::string ProfilesDir();
std::vector<std::string> ShippedProfiles();

// One run of halcyra-sim with `arguments` (given to the shell): its
// standard output and (unless `errors` is false) error together, and its
// exit status.
struct SimRun {
  std::string out;
  int status = -1;
};
SimRun RunSim(const std::string& arguments, bool errors = true);

// A file's bytes ("" when it cannot be read), a text's lines, and a fresh
// folder for one test.
std::string Read(const std::filesystem::path& path);
std::vector<std::string> Lines(const std::string& text);
std::filesystem::path Scratch(const std::string& name);

// Plays scenario folder `dir` (script.txt, options.ini, setup lines as
// tests/win32/scenarios holds them) on `machine` in a fresh install folder
// `game`; a "glide" setup line is the machine's business. `errors`: as
// RunSim's.
struct ScenarioResult {
  SimRun run;
  std::optional<std::string> options;  // options.ini afterwards
};
ScenarioResult PlayScenario(const std::filesystem::path& dir, const std::string& machine,
                            const std::filesystem::path& game, bool errors = true);

}  // namespace test
