// The halcyra-sim program: its report on the reference machine, and its
// refusals.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "sim_support.h"

namespace {

struct SimRun {
  std::string out;
  int status = -1;
};

SimRun RunSim(const std::string& arguments) {
  const std::string command = std::string(HALCYRA_SIM_PATH) + " " + arguments + " 2>&1";
  SimRun run;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), got);
  const int status = pclose(pipe);
  run.status = status >= 0 && (status & 0x7F) == 0 ? (status >> 8) & 0xFF : -1;
  return run;
}

bool Has(const std::string& text, const std::string& line) { return text.find(line) != std::string::npos; }

TEST(HalcyraSim, ReportOnTheReferenceMachine) {
  const SimRun run = RunSim("--machine " + test::ProfilesDir() + "/reference.toml --report");
  ASSERT_EQ(run.status, 0) << run.out;
  for (const char* line : {"Display Devices", "Sound Devices", "3dfx Glide", "Fit: yes", "Fit: no",
                           "Unfit because: ", "Progress: 200 100 100 300 400 500 500 500",
                           "640 x 480 x 16", "EAX: supported", "EAX: not supported", "Board present: yes",
                           "1024 x 768 x 16", "Install Path: (not set)"}) {
    EXPECT_TRUE(Has(run.out, line)) << "missing \"" << line << "\" in\n" << run.out;
  }
  EXPECT_FALSE(Has(run.out, "simulated platform:")) << run.out;
}

TEST(HalcyraSim, InstallDirOverridesTheProfile) {
  // The folder must exist.
  const std::string game = ::testing::TempDir() + "game";
  std::filesystem::create_directories(game);
  const SimRun run = RunSim("--machine " + test::ProfilesDir() + "/reference.toml --install-dir " + game + " --report");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out, "Install Path: " + game)) << run.out;
}

TEST(HalcyraSim, UsageAndProfileErrorsExitTwo) {
  const std::string bad = ::testing::TempDir() + "/bad_machine.toml";
  std::ofstream(bad) << "[glide]\nfb_ram = \"lots\"\n";
  const struct {
    std::string arguments;
    const char* message;
  } cases[] = {
      {"", "--machine FILE is required"},
      {"--machine", "needs a value"},
      {"--machine x.toml --frobnicate", "unknown argument"},
      {"--machine " + bad + " --report", "bad_machine.toml:2: glide.fb_ram: expected an integer"},
      {"--machine /nonexistent.toml --report", "/nonexistent.toml"},
      {"--machine " + test::ProfilesDir() + "/reference.toml --script /nonexistent/s.txt", "cannot read the script"},
      // Without --script the terminal UI opens, which needs a terminal.
      {"--machine " + test::ProfilesDir() + "/reference.toml", "must be a terminal"},
  };
  for (const auto& c : cases) {
    const SimRun run = RunSim(c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments << "\n" << run.out;
    EXPECT_TRUE(Has(run.out, c.message)) << c.arguments << "\n" << run.out;
  }
}

}  // namespace
