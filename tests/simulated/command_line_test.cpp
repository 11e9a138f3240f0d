// The command lines of halcyra-sim and halcyra-setup: each kind of bad input
// is refused with a message and exit code 2, at once and without reading
// without end; --help and --version answer on standard output.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/hardware/sim_support.h"
#include "tests/settings/case_file.h"

using namespace halcyra;

namespace {

struct ProgramRun {
  std::string out;     // standard output and standard error
  int status = -1;     // the exit code, -1 when killed
  bool timedOut = false;
  long maxRssKb = 0;
};

// Generous bounds: a run that waits on a FIFO or reads /dev/zero without
// end exceeds them by far, a refusal stays far below.
constexpr auto kDeadline = std::chrono::seconds(20);
constexpr long kMemoryBoundKb = 400 * 1024;

// Runs `program` with `arguments`, standard input from /dev/null; kills it
// at the deadline.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
  ProgramRun run;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return run;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, STDIN_FILENO);
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::dup2(pipeFds[1], STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  std::array<char, 4096> buffer{};
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      run.timedOut = true;
      ::kill(pid, SIGKILL);
      break;
    }
    pollfd fd{pipeFds[0], POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t n = ::read(pipeFds[0], buffer.data(), buffer.size());
    if (n <= 0) break;
    run.out.append(buffer.data(), static_cast<std::size_t>(n));
  }
  ::close(pipeFds[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.maxRssKb = usage.ru_maxrss;
  return run;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = ::testing::TempDir() + "/command_line_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    fifo = dir + "/fifo";
    ::mkfifo(fifo.c_str(), 0600);
    plainFile = dir + "/plain.txt";
    std::ofstream(plainFile) << "ok\n";
    // Sparse files one byte over the limits.
    bigScript = dir + "/big_script.txt";
    bigProfile = dir + "/big_profile.toml";
    std::ofstream(bigScript).close();
    std::ofstream(bigProfile).close();
    std::filesystem::resize_file(bigScript, (std::size_t{1} << 20) + 1);
    std::filesystem::resize_file(bigProfile, (std::size_t{16} << 20) + 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string dir, fifo, plainFile, bigScript, bigProfile;
};

TEST_F(CommandLine, BadInputIsRefusedAtOnceWithExitTwo) {
  const std::map<std::string, std::string> named = {
      {"@DIR@", dir},          {"@FIFO@", fifo},   {"@PLAIN@", plainFile},
      {"@BIGSCRIPT@", bigScript}, {"@BIGPROFILE@", bigProfile},
      {"@ZEROMODE@", std::string(HALCYRA_TEST_DATA_DIR) + "/zero_mode.toml"},
      {"@REFERENCE@", test::ProfilesDir() + "/reference.toml"}};
  for (const auto& c : testing_support::ReadCases("bad_command_lines.tsv", 3)) {
    std::vector<std::string> arguments;
    for (std::string word : testing_support::Words(c[2])) {
      for (const auto& [name, value] : named) {
        if (word.starts_with(name)) word.replace(0, name.size(), value);
      }
      arguments.push_back(word);
    }
    const ProgramRun run = RunProgram(c[0] == "setup" ? HALCYRA_SETUP_PATH : HALCYRA_SIM_PATH, arguments);
    const std::string what = c[0] + " " + c[2];
    EXPECT_FALSE(run.timedOut) << what;
    EXPECT_EQ(run.status, 2) << what << "\n" << run.out;
    EXPECT_TRUE(Has(run.out, c[1])) << what << "\n" << run.out;
    EXPECT_FALSE(Has(run.out, "\x1b")) << what;
    EXPECT_LT(run.maxRssKb, kMemoryBoundKb) << what;
  }
}

TEST_F(CommandLine, HelpAndVersion) {
  for (const std::string program : {HALCYRA_SIM_PATH, HALCYRA_SETUP_PATH}) {
    const ProgramRun help = RunProgram(program, {"--help"});
    EXPECT_EQ(help.status, 0) << program;
    EXPECT_TRUE(Has(help.out, "usage: ")) << help.out;
    EXPECT_TRUE(Has(help.out, "--version")) << help.out;
    EXPECT_TRUE(Has(help.out, "simulated")) << help.out;
    const ProgramRun version = RunProgram(program, {"--version"});
    EXPECT_EQ(version.status, 0) << program;
    EXPECT_TRUE(Has(version.out, std::string("(Halcyra Setup) ") + HALCYRA_VERSION)) << version.out;
  }
  const ProgramRun help = RunProgram(HALCYRA_SIM_PATH, {"--help"});
  for (const char* option : {"--machine FILE", "--install-dir DIR", "--script FILE", "--report"}) {
    EXPECT_TRUE(Has(help.out, option)) << option;
  }
}

// Controls a terminal acts on: C0 (but the line feed), DEL, C1 in UTF-8,
// and the bidirectional controls. Returns the first found, or -1.
long FirstControl(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned c = b(i);
    const bool c0 = (c < 0x20 && c != '\n') || c == 0x7F;
    const bool c1 = c == 0xC2 && b(i + 1) >= 0x80 && b(i + 1) <= 0x9F;
    const bool alm = c == 0xD8 && b(i + 1) == 0x9C;
    const bool marks = c == 0xE2 && b(i + 1) == 0x80 &&
                       (b(i + 2) == 0x8E || b(i + 2) == 0x8F || (b(i + 2) >= 0xAA && b(i + 2) <= 0xAE));
    const bool isolates = c == 0xE2 && b(i + 1) == 0x81 && b(i + 2) >= 0xA6 && b(i + 2) <= 0xA9;
    if (c0 || c1 || alm || marks || isolates) return static_cast<long>(i);
  }
  return -1;
}

// A machine whose every name carries escape sequences and controls: the
// report, the scenario output and the error messages show them escaped.
TEST_F(CommandLine, ControlsInTheProfileNeverReachTheOutput) {
  const std::string profile = std::string(HALCYRA_TEST_DATA_DIR) + "/controls.toml";
  const std::string script = dir + "/script.txt";
  std::ofstream(script) << "dump\ntab 1\ndump\n";
  const std::string badScript = dir + "/bad_script.txt";
  std::ofstream(badScript) << "click 1002 \x1b[2J\xc2\x9b\n";

  const ProgramRun report = RunProgram(HALCYRA_SIM_PATH, {"--machine", profile, "--install-dir", dir, "--report"});
  const ProgramRun reportOwnPath = RunProgram(HALCYRA_SIM_PATH, {"--machine", profile, "--report"});
  const ProgramRun scenario = RunProgram(HALCYRA_SIM_PATH, {"--machine", profile, "--install-dir", dir, "--script", script});
  const ProgramRun bad = RunProgram(HALCYRA_SIM_PATH, {"--machine", profile, "--install-dir", dir, "--script", badScript});
  EXPECT_EQ(report.status, 0) << report.out;
  EXPECT_TRUE(Has(report.out, std::string("Halcyra Setup ") + HALCYRA_VERSION)) << report.out;
  EXPECT_TRUE(Has(report.out, "X\\x1b]0;owned\\x07\\x1b[2J")) << report.out;
  EXPECT_TRUE(Has(report.out, "\\u009b31m\\u202eevil\\u2066\\u200f\\u061c")) << report.out;
  EXPECT_EQ(reportOwnPath.status, 0) << reportOwnPath.out;
  EXPECT_TRUE(Has(scenario.out, "exit ")) << scenario.out;
  EXPECT_TRUE(Has(scenario.out, "\\u202eevil")) << scenario.out;  // the device and sound lists
  EXPECT_EQ(bad.status, 2) << bad.out;
  EXPECT_TRUE(Has(bad.out, "script line 1")) << bad.out;
  for (const ProgramRun* run : {&report, &reportOwnPath, &scenario, &bad}) {
    EXPECT_EQ(FirstControl(run->out), -1) << run->out;
  }
}

}  // namespace
