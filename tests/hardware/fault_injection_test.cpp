// Fault injection: for every shipped machine profile, every fallible
// platform call in turn is made to fail. Whatever fails, nothing crashes,
// every interface is released exactly once, and the inventory and Glide
// finding keep their rules and find nothing the clean run did not.
#include <gtest/gtest.h>

#include "sim_support.h"

using namespace halcyra;

namespace {

void Sweep(const sim::Machine& machine, const std::string& name) {
  std::uint64_t calls = 0;
  std::vector<std::string> found;
  {
    test::Bench clean(machine);
    auto glide = clean.ProbeGlide();
    calls = clean.Machine().FallibleCallCount();
    found = test::Describe(clean.Inventory(), glide.get());
    EXPECT_EQ(test::Violations(clean.Inventory(), glide.get(), clean.Progress(), found), std::vector<std::string>{});
    EXPECT_TRUE(clean.Machine().ReleaseProblems().empty()) << name;
  }
  ASSERT_GT(calls, 10u) << name;
  for (std::uint64_t n = 1; n <= calls; ++n) {
    test::Bench bench(machine, n);
    auto glide = bench.ProbeGlide();
    const auto& failed = bench.Machine().InjectedCall();
    ASSERT_TRUE(failed) << name << " call " << n;
    const auto problems = bench.Machine().ReleaseProblems();
    EXPECT_TRUE(problems.empty()) << name << " call " << n << " (" << failed->ToString()
                                  << "): " << (problems.empty() ? "" : problems.front());
    const auto diffs = test::Violations(bench.Inventory(), glide.get(), bench.Progress(), found);
    EXPECT_TRUE(diffs.empty()) << name << " call " << n << " (" << failed->ToString()
                               << "): " << (diffs.empty() ? "" : diffs.front());
  }
}

class FaultSweep : public ::testing::TestWithParam<std::string> {};

TEST_P(FaultSweep, EveryCallMayFail) {
  const std::string file = test::ProfilesDir() + "/" + GetParam();
  const auto profile = sim::LoadMachineProfile(file);
  ASSERT_FALSE(profile.error) << profile.error->ToString();
  Sweep(*profile.machine, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Profiles, FaultSweep, ::testing::ValuesIn(test::ShippedProfiles()), [](const auto& p) {
  return p.param.substr(0, p.param.find('.'));
});

// A machine in code with a refused mode, a null-device entry and a device
// whose enumeration ends early, so that the sweep also fails calls around
// those.
TEST(FaultSweepInCode, OddMachine) {
  sim::Machine machine;
  sim::Driver primary = test::MakeDriver(
      std::nullopt, "Primary",
      {test::HalDevice(dx::IID_IDirect3DNullDevice, {"pal8"}), test::HalDevice(test::Guid(0x11), {"565", "1555", "88"}),
       test::HalDevice(test::Guid(0x12), {"pal8"}, dx::DDBD_32)},
      {test::Mode(640, 480, 16, true), test::Mode(800, 600, 16), test::Mode(1024, 768, 32)});
  machine.drivers.push_back(primary);
  sim::Driver second = test::MakeDriver(test::Guid(2), "Second", {test::HalDevice(test::Guid(0x21), {"4444"})});
  second.devices.push_back(test::HalDevice(test::Guid(0x22), {"pal8"}));
  second.devices.back().nullSoftwareDescription = true;
  machine.drivers.push_back(second);
  machine.soundDevices.push_back(test::Sound(std::nullopt, "Primary Sound Driver"));
  machine.soundDevices.push_back(test::Sound(test::Guid(0x51), "Card", 7));
  machine.glide.library = true;
  machine.glide.numSst = 1;
  machine.glide.fbRam = 4;
  Sweep(machine, "odd machine");
}

}  // namespace
