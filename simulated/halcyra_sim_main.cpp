// halcyra-sim: runs Halcyra Setup on a simulated machine.
//
//   halcyra-sim --machine FILE [--install-dir DIR] [--script FILE] [--report]
//               [--help] [--version]
//
// The system itself reads no command line; this host does, builds the
// simulated machine from the profile and installs it as the process's
// platform before anything of the system runs.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/printable_text.h"
#include "hardware/glide.h"
#include "hardware/inventory.h"
#include "settings/registry.h"
#include "simulated/command_line.h"
#include "simulated/input_file.h"
#include "simulated/inventory_report.h"
#include "settings/file_system.h"
#include "simulated/machine_profile.h"
#include "simulated/posix_file_system.h"
#include "simulated/sim_hooks.h"
#include "simulated/simulated_machine.h"

namespace {

struct Options {
  std::string machine;
  std::optional<std::string> installDir;
  std::optional<std::string> script;
  bool report = false;
};

// The options of halcyra-sim; each value is checked as it is read.
cli::Parser MakeParser(Options& options) {
  cli::Parser parser("halcyra-sim",
                     "Runs Halcyra Setup on the simulated machine that a machine profile describes\n"
                     "(docs/machine-profiles.md); the real hardware is never probed. Without\n"
                     "--script or --report the sheet opens in this terminal.");
  parser.Value("--machine", "FILE", "the machine profile (TOML, at most 16 MB)",
               [&](const std::string& value) {
                 options.machine = value;
                 return std::string();
               },
               /*required=*/true);
  parser.Value("--install-dir", "DIR",
               "the game's folder, where options.ini is read and written (it must exist)",
               [&](const std::string& value) {
                 std::string error;
                 if (!cli::IsExistingDirectory(value, error)) return "'" + value + "': " + error;
                 options.installDir = value;
                 return std::string();
               });
  parser.Value("--script", "FILE", "run the scenario in FILE headless (at most 1 MB) and print its events",
               [&](const std::string& value) {
                 options.script = value;
                 return std::string();
               });
  parser.Flag("--report", "print the hardware inventory as plain text", [&] { options.report = true; });
  return parser;
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
    std::fprintf(stderr, "halcyra-sim: simulated platform: %s\n", printable::Escape(problem).c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options parsed;
  const cli::Parser parser = MakeParser(parsed);
  if (const auto exit = parser.Parse(argc, argv, stdout, stderr)) return *exit;
  if (parsed.report && parsed.script) return parser.Refuse("--report and --script cannot be combined", stderr);
  sim::ProfileResult profile = sim::LoadMachineProfile(parsed.machine);
  if (profile.error) {
    std::fprintf(stderr, "halcyra-sim: %s\n", printable::Escape(profile.error->ToString()).c_str());
    return cli::kUsageError;
  }

  sim::SimulatedMachine machine(std::move(*profile.machine));
  if (parsed.installDir) machine.SetInstallPath(*parsed.installDir);
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
  if (parsed.report) {
    status = Report(machine);
  } else if (parsed.script) {
    status = sim::RunScenarioScript(*parsed.script);
  } else {
    status = sim::RunInteractive();
  }

  fs::SetFileSystem(nullptr);
  machine.Uninstall();
  // The system's -1 appears as 255, as a process exit status does.
  return status & 0xFF;
}
