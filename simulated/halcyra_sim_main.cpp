// halcyra-sim: runs Halcyra Setup on a simulated machine.
//
//   halcyra-sim --machine FILE [--install-dir DIR] [--script FILE] [--report]
//
// The system itself reads no command line; this host does, builds the
// simulated machine from the profile and installs it as the process's
// platform before anything of the system runs.
#include <cstdio>
#include <cstdlib>
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
};

void PrintUsage(std::FILE* to) {
  std::fprintf(to, "usage: halcyra-sim --machine FILE [--install-dir DIR] [--script FILE] [--report]\n");
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
  if (options.report && options.script) {
    std::fprintf(stderr, "halcyra-sim: --report and --script cannot be combined\n");
    return std::nullopt;
  }
  return options;
}

std::vector<std::int32_t>* g_progress = nullptr;
void RecordProgress(std::int32_t code) {
  if (g_progress != nullptr) g_progress->push_back(code);
}

int Report(sim::SimulatedMachine& machine) {
  std::vector<std::int32_t> progress;
  g_progress = &progress;
  auto* inventory = new HardwareInventory(RecordProgress);
  g_progress = nullptr;
  GlideBoardInfo glide;
  std::fputs(sim::InventoryReport(machine.GetMachine(), *inventory, glide, progress).c_str(), stdout);
  delete inventory;
  for (const std::string& problem : machine.ReleaseProblems()) {
    std::fprintf(stderr, "halcyra-sim: simulated platform: %s\n", problem.c_str());
  }
  return 0;
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
  posixfs::PosixFileSystem::Options fileOptions;
  const sim::Machine& declared = machine.GetMachine();
  if (!declared.elevated && declared.virtualStore && declared.programFiles) {
    fileOptions.virtualStore = posixfs::VirtualStore{*declared.virtualStore, {*declared.programFiles}};
  }
  posixfs::PosixFileSystem files(fileOptions);
  fs::SetFileSystem(&files);

  int status = 0;
  if (options->report) {
    status = Report(machine);
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
