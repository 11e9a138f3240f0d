// Test support: machines built in code, an inventory built on a simulated
// machine, and the expected inventory computed from a machine description by
// the probing rules, for comparison.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hardware/glide.h"
#include "hardware/inventory.h"
#include "simulated/machine_profile.h"
#include "simulated/simulated_machine.h"

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

// The inventory that the rules give for `machine`, with `failed` (a call
// that failed by injection) taken into account.
struct ExpectedMode {
  dx::DWORD width, height, depth;
  dx::DDPIXELFORMAT format;
};
struct ExpectedRecord {
  std::string description;
  dx::GUID ddGuid{};
  dx::GUID d3dGuid{};
  std::uint32_t palettedTextures = 0;
  std::uint32_t has565Textures = 0;
  std::uint32_t textureFormats = 0;
  std::uint32_t renderDepths = 0;
  std::vector<ExpectedMode> modes;
  bool fit = false;
  int driver = -1;  // index in the machine
};
struct ExpectedSound {
  std::string description;
  dx::GUID guid{};
  std::uint32_t buffers = 0;
  std::uint32_t memory = 0;
  bool eax = false;
};
struct Expected {
  std::vector<ExpectedRecord> records;
  std::vector<ExpectedSound> sounds;
  std::vector<std::int32_t> progress;
  std::vector<std::int32_t> glideModes;  // width, height pairs, in list order
  bool glidePresent = false;
};
Expected ExpectedInventory(const sim::Machine& machine, const std::optional<sim::CallRecord>& failed);

// Differences between the inventory (and Glide finding, when given) and the
// expectation, one line each; empty when they agree.
std::vector<std::string> Compare(const Expected& expected, const HardwareInventory& inventory,
                                 const std::vector<std::int32_t>& progress, const GlideBoardInfo* glide);

// Directory of the machine profiles.
std::string ProfilesDir();

// One run of halcyra-sim with `arguments` (given to the shell): its
// standard output and error together, and its exit status.
struct SimRun {
  std::string out;
  int status = -1;
};
SimRun RunSim(const std::string& arguments);

}  // namespace test
