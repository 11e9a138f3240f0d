#include "terminal/setup_in_terminal.h"

#include <cstdio>

#include "app/setup_app.h"
#include "settings/file_system.h"
#include "simulated/posix_file_system.h"
#include "terminal/terminal_app.h"

namespace term {

int RunSetupInTerminal() {
  posixfs::PosixFileSystem files;
  fs::SetFileSystem(&files);
  const int code = RunInTerminal(RunHalcyraSetup, ExecutableName("halcyra-setup"), stderr);
  fs::SetFileSystem(nullptr);
  return code;
}

}  // namespace term
