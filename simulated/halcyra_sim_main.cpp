// halcyra-sim: runs Halcyra Setup on a simulated machine.
//
//   halcyra-sim --machine FILE [--install-dir DIR] [--script FILE] [--report]
//               [--profile FILE] [--support-file FILE] [--fail-call N] [--date TEXT]
//
// --machine also takes a report file (halcyra-report.txt) and plays the
// profile it carries. --profile writes the profile of what the probes saw,
// --support-file the report with that profile, as halcyra-report.exe writes
// it. --fail-call N makes the N-th fallible platform call fail, counted as
// the report's list of calls numbers them. --date fixes the report's date.
//
// The system itself reads no command line; this host does, builds the
// simulated machine from the profile and installs it as the process's
// platform before anything of the system runs.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hardware/glide.h"
#include "hardware/inventory.h"
#include "settings/registry.h"
#include "simulated/inventory_report.h"
#include "settings/file_system.h"
#include "simulated/machine_profile.h"
#include "simulated/posix_file_system.h"
#include "simulated/sim_hooks.h"
#include "simulated/simulated_machine.h"

namespace {

constexpr int kUsageError = 2;

struct Options {
  std::string machine;
  std::optional<std::string> installDir;
  std::optional<std::string> script;
  bool report = false;
  std::optional<std::string> profile;
  std::optional<std::string> supportFile;
  std::uint64_t failCall = 0;
  std::optional<std::string> date;
};

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "usage: halcyra-sim --machine FILE [--install-dir DIR] [--script FILE] [--report]\n"
               "                   [--profile FILE] [--support-file FILE] [--fail-call N] [--date TEXT]\n");
}

std::optional<Options> ParseArguments(int argc, char** argv) {
  Options options;
  for (int index = 1; index < argc; ++index) {
    const std::string_view argument = argv[index];
    auto value = [&](const char* name) -> std::optional<std::string> {
      if (index + 1 >= argc) {
        std::fprintf(stderr, "halcyra-sim: %s needs a value\n", name);
        return std::nullopt;
      }
      return std::string(argv[++index]);
    };
    if (argument == "--machine") {
      auto file = value("--machine");
      if (!file) return std::nullopt;
      options.machine = *file;
    } else if (argument == "--install-dir") {
      options.installDir = value("--install-dir");
      if (!options.installDir) return std::nullopt;
    } else if (argument == "--script") {
      options.script = value("--script");
      if (!options.script) return std::nullopt;
    } else if (argument == "--report") {
      options.report = true;
    } else if (argument == "--profile") {
      options.profile = value("--profile");
      if (!options.profile) return std::nullopt;
    } else if (argument == "--support-file") {
      options.supportFile = value("--support-file");
      if (!options.supportFile) return std::nullopt;
    } else if (argument == "--date") {
      options.date = value("--date");
      if (!options.date) return std::nullopt;
    } else if (argument == "--fail-call") {
      const auto number = value("--fail-call");
      if (!number) return std::nullopt;
      char* end = nullptr;
      const unsigned long long n = std::strtoull(number->c_str(), &end, 10);
      if (number->empty() || *end != '\0' || (*number)[0] == '-' || n == 0) {
        std::fprintf(stderr, "halcyra-sim: --fail-call needs a call number of 1 or more\n");
        return std::nullopt;
      }
      options.failCall = n;
    } else if (argument == "--help" || argument == "-h") {
      PrintUsage(stdout);
      std::exit(0);
    } else {
      std::fprintf(stderr, "halcyra-sim: unknown argument '%s'\n", argv[index]);
      return std::nullopt;
    }
  }
  if (options.machine.empty()) {
    std::fprintf(stderr, "halcyra-sim: --machine FILE is required\n");
    return std::nullopt;
  }
  const bool probesOnly = options.report || options.profile || options.supportFile;
  if (probesOnly && options.script) {
    std::fprintf(stderr, "halcyra-sim: --report, --profile and --support-file cannot be combined with --script\n");
    return std::nullopt;
  }
  return options;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) std::fprintf(stderr, "halcyra-sim: cannot write %s\n", path.c_str());
  return static_cast<bool>(out);
}

// The report run: what halcyra-report.exe does on Windows, on the simulated
// machine.
int Report(const Options& options, sim::SimulatedMachine& machine) {
  sim::ProbeRun run = sim::RunProbes();
  run.captured.name = machine.GetMachine().name;
  run.captured.description = machine.GetMachine().description;
  const sim::ReportHeader header{"halcyra-sim", options.date.value_or(sim::Today()),
                                 "none: a simulated machine (halcyra-sim)"};
  int status = 0;
  if (options.report) std::fputs(sim::SupportReport(header, run).c_str(), stdout);
  if (options.profile && !WriteText(*options.profile, sim::CapturedProfile(header, run))) status = 1;
  if (options.supportFile && !WriteText(*options.supportFile, sim::SupportFile(header, run))) status = 1;
  run = sim::ProbeRun();
  for (const std::string& problem : machine.ReleaseProblems()) {
    std::fprintf(stderr, "halcyra-sim: simulated platform: %s\n", problem.c_str());
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = ParseArguments(argc, argv);
  if (!options) {
    PrintUsage(stderr);
    return kUsageError;
  }
  sim::ProfileResult profile = sim::LoadMachineProfile(options->machine);
  if (profile.error) {
    std::fprintf(stderr, "halcyra-sim: %s\n", profile.error->ToString().c_str());
    return kUsageError;
  }

  sim::SimulatedMachine machine(std::move(*profile.machine));
  if (options->installDir) machine.SetInstallPath(*options->installDir);
  machine.Install();
  reg::SetRegistry(&machine);
  posixfs::PosixFileSystem files;
  fs::SetFileSystem(&files);

  machine.FailCall(options->failCall);

  int status = 0;
  if (options->report || options->profile || options->supportFile) {
    status = Report(*options, machine);
  } else if (options->script) {
    status = sim::RunScenarioScript(*options->script);
  } else {
    status = sim::RunInteractive();
  }

  fs::SetFileSystem(nullptr);
  machine.Uninstall();
  // The system's -1 appears as 255, as a process exit status does.
  return status & 0xFF;
}
