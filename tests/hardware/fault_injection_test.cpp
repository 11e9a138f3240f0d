// Fault injection: for every shipped machine profile, every fallible
// platform call in turn is made to fail. Whatever fails, nothing crashes,
// every interface is released exactly once, and the inventory and Glide
// finding keep their rules and find nothing the clean run did not.
#include <gtest/gtest.h>

#include <filesystem>

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

// Every shipped profile, and a machine of this folder with the odd cases
// the shipped ones lack.
std::vector<std::string> SweptMachines() {
  std::vector<std::string> files = {std::string(HALCYRA_TEST_DATA_DIR) + "/odd_machine.toml"};
  for (const std::string& name : test::ShippedProfiles()) files.push_back(test::ProfilesDir() + "/" + name);
  return files;
}

class FaultSweep : public ::testing::TestWithParam<std::string> {};

TEST_P(FaultSweep, EveryCallMayFail) {
  const auto profile = sim::LoadMachineProfile(GetParam());
  ASSERT_FALSE(profile.error) << profile.error->ToString();
  Sweep(*profile.machine, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Profiles, FaultSweep, ::testing::ValuesIn(SweptMachines()), [](const auto& p) {
  return std::filesystem::path(p.param).stem().string();
});

}  // namespace
