// halcyra-setup-test.exe: the test build of Halcyra Setup. It runs the
// system exactly as halcyra-setup.exe does, with the scenario driver playing
// the user on the real property sheet:
//
//   halcyra-setup-test.exe [--machine PROFILE.toml] --script FILE
//                          [--install-dir DIR | --no-install-dir] [--pause-dir DIR]
//   halcyra-setup-test.exe --batch JOBS [--from N]
//
//   --machine PROFILE   the hardware, registry and Glide library of the
//                       simulated machine that the profile describes (as
//                       halcyra-sim plays it) instead of this computer's
//                       DirectX, DirectSound, glide2x.dll and registry
//   --install-dir DIR   sets the registry's "Install Path" to DIR first (the
//                       simulated machine's, with --machine)
//   --no-install-dir    removes that value first
//   --pause-dir DIR     pauses at every dump for a screenshot (see DriverOptions)
//   --batch JOBS        runs many scenarios on simulated machines in this one
//                       process (see RunBatch)
//
// Prints the scenario events and "exit N"; the exit status is the system's
// own, or 2 for a usage or script fault.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/setup_app.h"
// Before any file that reads <windows.h>: the scenario runner's header names
// framework constants.
#include "win32/scenario_driver.h"
#include "hardware/glide.h"
#include "hardware/inventory.h"
#include "pages/audio_page.h"
#include "settings/game_settings.h"
#include "settings/install_directory.h"
#include "simulated/machine_profile.h"
#include "simulated/simulated_machine.h"
#include "win32/host.h"

using namespace halcyra;

namespace {

int Usage(const char* why) {
  std::fprintf(stderr, "halcyra-setup-test: %s\n", why);
  std::fprintf(stderr,
               "usage: halcyra-setup-test [--machine PROFILE.toml] --script FILE "
               "[--install-dir DIR | --no-install-dir] [--pause-dir DIR]\n"
               "       halcyra-setup-test --batch JOBS [--from N]\n");
  return 2;
}

std::optional<std::string> ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A simulated machine installed in place of the host's DirectX, DirectSound,
// library loader and registry for as long as it lives.
class SimulatedHardware {
 public:
  explicit SimulatedHardware(sim::Machine machine) : m_machine(std::move(machine)) {
    m_machine.Install();
    reg::RegistrySlot::Install(&m_machine);
  }
  ~SimulatedHardware() {
    reg::RegistrySlot::Install(nullptr);
    m_machine.Uninstall();
  }
  SimulatedHardware(const SimulatedHardware&) = delete;
  SimulatedHardware& operator=(const SimulatedHardware&) = delete;

  sim::SimulatedMachine& Machine() { return m_machine; }

 private:
  sim::SimulatedMachine m_machine;
};

// Where the registry's "Install Path" comes from: the machine's own (or the
// real registry's) value, a given folder, or none.
struct InstallPath {
  bool set = false;
  std::optional<std::string> value;
};

// Runs `script` on the simulated machine of `profile`, as halcyra-sim
// --machine PROFILE [--install-dir DIR] --script does on the dialog model.
int RunOnMachine(win32::WindowsHost& host, const std::string& profile, const InstallPath& install,
                 const std::string& script, std::FILE* out, std::FILE* err,
                 const win32::DriverOptions& options) {
  sim::ProfileResult loaded = sim::LoadMachineProfile(profile);
  if (loaded.error) {
    std::fprintf(err, "halcyra-setup-test: %s\n", loaded.error->ToString().c_str());
    return 2;
  }
  SimulatedHardware hardware(std::move(*loaded.machine));
  if (install.set) hardware.Machine().SetInstallPath(install.value);
  return win32::RunScenario(script, &RunHalcyraSetup, host.Ui(), out, err, options);
}

// The batch mode. JOBS holds one job a line, four fields separated by tabs:
//
//   FOLDER  PROFILE  INSTALL-DIR  SCRIPT
//
// Each job runs in FOLDER (the current directory during the job, so that
// relative paths name the same files on every platform) on the simulated
// machine of PROFILE, with "Install Path" set to INSTALL-DIR (an empty field:
// the profile's own value), and writes its standard output and error to
// FOLDER.out and FOLDER.err. After each job the line "INDEX STATUS" (INDEX counting from 0)
// is appended to JOBS.done. A job whose system ends the process ends the
// batch as well, after recording itself; --from N then goes on with job N.
int RunBatch(win32::WindowsHost& host, const std::string& jobsPath, std::size_t from) {
  const std::optional<std::string> jobs = ReadText(jobsPath);
  if (!jobs) return Usage(("cannot read " + jobsPath).c_str());
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(*jobs);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    if (fields.size() != 4) return Usage(("a job needs four fields: " + line).c_str());
    lines.push_back(std::move(fields));
  }
  const std::string donePath = jobsPath + ".done";
  auto record = [&](std::size_t index, int status) {
    if (std::FILE* done = std::fopen(donePath.c_str(), "ab")) {
      std::fprintf(done, "%zu %d\n", index, status);
      std::fclose(done);
    }
  };
  for (std::size_t index = from; index < lines.size(); ++index) {
    const auto& job = lines[index];
    const std::string& folder = job[0];
    // The job's own standard output and error: the system prints there too.
    std::fflush(stdout);
    std::fflush(stderr);
    int status = 2;
    if (std::freopen((folder + ".out").c_str(), "wb", stdout) == nullptr ||
        std::freopen((folder + ".err").c_str(), "wb", stderr) == nullptr ||
        !::SetCurrentDirectoryA(folder.c_str())) {
      std::fprintf(stderr, "halcyra-setup-test: job %zu: cannot use %s\n", index, folder.c_str());
    } else if (const std::optional<std::string> script = ReadText(job[3]); !script) {
      std::fprintf(stderr, "halcyra-setup-test: cannot read %s\n", job[3].c_str());
    } else {
      InstallPath install;
      if (!job[2].empty()) install = {true, job[2]};
      win32::DriverOptions options;
      options.processEnding = [&record, index](int code) { record(index, code); };
      StartAsNewProcess();
      status = RunOnMachine(host, job[1], install, *script, stdout, stderr, options);
    }
    std::fflush(stdout);
    std::fflush(stderr);
    record(index, status);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::optional<std::string> script;
  std::optional<std::string> machine;
  std::optional<std::string> batch;
  std::size_t from = 0;
  InstallPath install;
  win32::DriverOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--script" && hasValue) {
      script = argv[++i];
    } else if (argument == "--machine" && hasValue) {
      machine = argv[++i];
    } else if (argument == "--install-dir" && hasValue) {
      if (install.set) return Usage("--install-dir and --no-install-dir exclude each other");
      install = {true, argv[++i]};
    } else if (argument == "--no-install-dir") {
      if (install.set) return Usage("--install-dir and --no-install-dir exclude each other");
      install = {true, std::nullopt};
    } else if (argument == "--pause-dir" && hasValue) {
      options.pauseDirectory = argv[++i];
    } else if (argument == "--batch" && hasValue) {
      batch = argv[++i];
    } else if (argument == "--from" && hasValue) {
      from = std::strtoul(argv[++i], nullptr, 10);
    } else {
      return Usage(("unknown or incomplete argument " + argument).c_str());
    }
  }
  win32::WindowsHost host(::GetModuleHandleA(nullptr));
  if (batch) {
    if (script || machine || install.set) return Usage("--batch takes its jobs from its file only");
    return RunBatch(host, *batch, from);
  }
  if (!script) return Usage("--script FILE is required");
  const std::optional<std::string> text = ReadText(*script);
  if (!text) return Usage(("cannot read " + *script).c_str());

  if (machine) return RunOnMachine(host, *machine, install, *text, stdout, stderr, options);
  if (install.set && install.value && !win32::SetInstallPath(*install.value)) {
    return Usage("cannot set the install path");
  }
  if (install.set && !install.value && !win32::ClearInstallPath()) return Usage("cannot remove the install path");
  return win32::RunScenario(*text, &RunHalcyraSetup, host.Ui(), stdout, stderr, options);
}
