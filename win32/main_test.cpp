// halcyra-setup-test.exe: the test build of Halcyra Setup. It runs the
// system exactly as halcyra-setup.exe does, with the scenario driver playing
// the user on the real property sheet:
//
//   halcyra-setup-test.exe --script FILE [--install-dir DIR | --no-install-dir]
//                          [--pause-dir DIR]
//
//   --install-dir DIR   sets the registry's "Install Path" to DIR first
//   --no-install-dir    removes that value first
//   --pause-dir DIR     pauses at every dump for a screenshot (see DriverOptions)
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

#include "app/setup_app.h"
// Before any file that reads <windows.h>: the scenario runner's header names
// framework constants.
#include "win32/scenario_driver.h"
#include "win32/host.h"

namespace {

int Usage(const char* why) {
  std::fprintf(stderr, "halcyra-setup-test: %s\n", why);
  std::fprintf(stderr,
               "usage: halcyra-setup-test --script FILE [--install-dir DIR | --no-install-dir] "
               "[--pause-dir DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::optional<std::string> script;
  std::optional<std::string> installDir;
  bool clearInstallDir = false;
  win32::DriverOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--script" && hasValue) {
      script = argv[++i];
    } else if (argument == "--install-dir" && hasValue) {
      installDir = argv[++i];
    } else if (argument == "--no-install-dir") {
      clearInstallDir = true;
    } else if (argument == "--pause-dir" && hasValue) {
      options.pauseDirectory = argv[++i];
    } else {
      return Usage(("unknown or incomplete argument " + argument).c_str());
    }
  }
  if (!script) return Usage("--script FILE is required");
  if (installDir && clearInstallDir) return Usage("--install-dir and --no-install-dir exclude each other");

  std::ifstream in(*script, std::ios::binary);
  if (!in) return Usage(("cannot read " + *script).c_str());
  std::ostringstream text;
  text << in.rdbuf();

  if (installDir && !win32::SetInstallPath(*installDir)) return Usage("cannot set the install path");
  if (clearInstallDir && !win32::ClearInstallPath()) return Usage("cannot remove the install path");

  win32::WindowsHost host(::GetModuleHandleA(nullptr));
  return win32::RunScenario(text.str(), &RunHalcyraSetup, host.Ui(), stdout, stderr, options);
}
