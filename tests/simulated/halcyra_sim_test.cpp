// The halcyra-sim program: its report on the reference machine (its refusals
// are the command line test's).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "tests/hardware/sim_support.h"

using namespace halcyra;

namespace {

bool Has(const std::string& text, const std::string& line) { return text.find(line) != std::string::npos; }

TEST(HalcyraSim, ReportOnTheReferenceMachine) {
  const test::SimRun run = test::RunSim("--machine " + test::ProfilesDir() + "/reference.toml --report");
  ASSERT_EQ(run.status, 0) << run.out;
  for (const char* line : {"Display Devices", "Sound Devices", "3dfx Glide", "Fit: yes", "Fit: no",
                           "Unfit because: ", "Progress: 200 100 100 300 400 500 500 500",
                           "640 x 480 x 16", "EAX: supported", "EAX: not supported", "Board present: yes",
                           "1024 x 768 x 16", "Install folder: . (no registry value \"Install Path\""}) {
    EXPECT_TRUE(Has(run.out, line)) << "missing \"" << line << "\" in\n" << run.out;
  }
  EXPECT_FALSE(Has(run.out, "simulated platform:")) << run.out;
}

TEST(HalcyraSim, InstallDirOverridesTheProfile) {
  // The folder must exist.
  const std::string game = ::testing::TempDir() + "halcyra-game-" + std::to_string(::getpid());
  std::filesystem::create_directories(game);
  const test::SimRun run =
      test::RunSim("--machine " + test::ProfilesDir() + "/reference.toml --install-dir " + game + " --report");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out, "Install folder: " + game + " (registry value \"Install Path\")")) << run.out;
}

}  // namespace
