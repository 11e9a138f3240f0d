#include "terminal/setup_in_terminal.h"

#include <cstdio>

#include "app/setup_app.h"
#include "settings/file_system.h"
#include "simulated/posix_file_system.h"
#include "terminal/terminal_app.h"

namespace term {

int RunSetupInTerminal(const std::function<bool()>& before, const std::function<void()>& after) {
  posixfs::PosixFileSystem files;
  fs::SetFileSystem(&files);
  auto system = [&]() -> int {
    if (before && !before()) return kNoTerminalExit;
    struct After {
      const std::function<void()>& run;
      ~After() {
        if (run) run();
      }
    } finish{after};
    return RunHalcyraSetup();
  };
  const int code = RunInTerminal(system, ExecutableName("halcyra-setup"), stderr);
  fs::SetFileSystem(nullptr);
  return code;
}

}  // namespace term
