// halcyra-sim: runs Halcyra Setup on a simulated machine.
//
//   halcyra-sim --machine FILE [--install-dir DIR] [--script FILE] [--report]
//               [--profile FILE] [--support-file FILE] [--fail-call N] [--date TEXT] [--help] [--version]
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
#include <charconv>
#include <cstdio>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/printable_text.h"
#include "hardware/glide.h"
#include "hardware/inventory.h"
#include "settings/registry.h"
#include "simulated/command_line.h"
#include "simulated/input_file.h"
#include "simulated/inventory_report.h"
#include "settings/file_system.h"
#include "simulated/machine_profile.h"
#include "simulated/posix_file_system.h"
#include "programs/sim_hooks.h"
#include "simulated/simulated_machine.h"
#include "terminal/setup_in_terminal.h"

using namespace halcyra;

namespace {

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

// The options of halcyra-sim; each value is checked as it is read.
cli::Parser MakeParser(Options& options) {
  cli::Parser parser("halcyra-sim",
                     "Runs Halcyra Setup on the simulated machine that a machine profile describes\n"
                     "(docs/machine-profiles.md); the real hardware is never probed. Without\n"
                     "--script or --report the sheet opens in this terminal.");
  parser.Value("--machine", "FILE", "the machine profile (TOML, at most 16 MB), or a report file that carries one",
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
  parser.Flag("--report", "print the report a player sends: setup, inventory and the platform calls", [&] { options.report = true; });
  // An output file: refused at once, as an input is, when it cannot be one.
  const auto output = [](std::optional<std::string>& into) {
    return [&into](const std::string& value) {
      std::string error;
      if (!cli::IsOutputPath(value, error)) return "'" + value + "': " + error;
      into = value;
      return std::string();
    };
  };
  parser.Value("--profile", "FILE", "write the machine profile of what the probes saw to FILE",
               output(options.profile));
  parser.Value("--support-file", "FILE",
               "write the report with that profile embedded to FILE, as halcyra-report.exe does",
               output(options.supportFile));
  parser.Value("--fail-call", "N",
               "make the N-th fallible platform call fail, numbered as the report lists them",
               [&](const std::string& value) {
                 std::uint64_t number = 0;
                 const char* end = value.data() + value.size();
                 const auto [stop, error] = std::from_chars(value.data(), end, number);
                 if (value.empty() || error != std::errc() || stop != end || number == 0) {
                   return std::string("needs a call number of 1 or more");
                 }
                 options.failCall = number;
                 return std::string();
               });
  parser.Value("--date", "TEXT", "the date the report shows (default: today)",
               [&](const std::string& value) {
                 options.date = value;
                 return std::string();
               });
  return parser;
}

// An output file, refused as an input would be (exit code 2) when it cannot
// be written.
bool WriteText(const std::string& path, const std::string& text) {
  std::string error;
  if (cli::WriteRegularFile(path, text, error)) return true;
  std::fprintf(stderr, "halcyra-sim: cannot write %s: %s\n", printable::Escape(path).c_str(),
               printable::Escape(error).c_str());
  return false;
}

// The report run: what halcyra-report.exe does on Windows, on the simulated
// machine.
int Report(const Options& options, sim::SimulatedMachine& machine) {
  sim::ProbeRun run = sim::RunProbes();
  run.captured.name = machine.GetMachine().name;
  run.captured.description = machine.GetMachine().description;
  // Who runs the program is no platform call the probes make: the capture
  // keeps the profile's user as it was.
  run.captured.elevated = machine.GetMachine().elevated;
  run.captured.virtualStore = machine.GetMachine().virtualStore;
  run.captured.programFiles = machine.GetMachine().programFiles;
  run.captured.programFolder = machine.GetMachine().programFolder;
  const sim::ReportHeader header{"halcyra-sim", options.date.value_or(sim::Today()),
                                 "none: a simulated machine (halcyra-sim)"};
  int status = 0;
  if (options.report) std::fputs(sim::SupportReport(header, run).c_str(), stdout);
  if (options.profile && !WriteText(*options.profile, sim::CapturedProfile(header, run))) status = cli::kUsageError;
  if (options.supportFile && !WriteText(*options.supportFile, sim::SupportFile(header, run))) {
    status = cli::kUsageError;
  }
  run = sim::ProbeRun();
  for (const std::string& problem : machine.ReleaseProblems()) {
    std::fprintf(stderr, "halcyra-sim: simulated platform: %s\n", printable::Escape(problem).c_str());
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options parsed;
  const cli::Parser parser = MakeParser(parsed);
  if (const auto exit = parser.Parse(argc, argv, stdout, stderr)) return *exit;
  if ((parsed.report || parsed.profile || parsed.supportFile) && parsed.script) {
    return parser.Refuse("--report, --profile and --support-file cannot be combined with --script", stderr);
  }
  sim::ProfileResult profile = sim::LoadMachineProfile(parsed.machine);
  if (profile.error) {
    std::fprintf(stderr, "halcyra-sim: %s\n", printable::Escape(profile.error->ToString()).c_str());
    return cli::kUsageError;
  }
  if (!profile.warning.empty()) {
    std::fprintf(stderr, "halcyra-sim: warning: %s\n", printable::Escape(profile.warning).c_str());
  }

  sim::SimulatedMachine machine(std::move(*profile.machine));
  if (parsed.installDir) machine.SetInstallPath(*parsed.installDir);
  machine.Install();
  reg::RegistrySlot::Install(&machine);
  posixfs::PosixFileSystem::Options fileOptions;
  const sim::Machine& declared = machine.GetMachine();
  if (declared.virtualStore && declared.programFiles) {
    fileOptions.virtualStore =
        posixfs::VirtualStore{*declared.virtualStore, {*declared.programFiles}, declared.elevated};
  }
  fileOptions.programFolder = declared.programFolder;
  posixfs::PosixFileSystem files(fileOptions);
  filesys::FileSystemSlot::Install(&files);

  machine.FailCall(parsed.failCall);

  int status = 0;
  if (parsed.report || parsed.profile || parsed.supportFile) {
    status = Report(parsed, machine);
  } else if (parsed.script) {
    status = sim::RunScenarioScript(*parsed.script);
  } else {
    status = term::RunSetupInTerminal();
  }

  filesys::FileSystemSlot::Install(nullptr);
  machine.Uninstall();
  // The system's -1 appears as 255, as a process exit status does.
  return status & 0xFF;
}
