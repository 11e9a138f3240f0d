#include "terminal/terminal_app.h"

#include <errno.h>

#include "dialog_model/sheet_model.h"
#include "terminal/agent.h"
#include "terminal/curses_screen.h"

namespace term {

int RunInTerminal(const std::function<int()>& system, const std::string& appName, std::FILE* err) {
  PreloadBuiltInPictures();
  std::string error;
  std::unique_ptr<CursesScreen> screen = CursesScreen::Open(error);
  if (!screen) {
    std::fprintf(err, "%s: %s\n", appName.c_str(), error.c_str());
    return kNoTerminalExit;
  }
  TerminalAgent agent(*screen);
  // The screen is closed (the terminal restored) however the run ends.
  const int code = dm::RunOnModel(agent, appName, system);
  screen.reset();
  return code;
}

std::string ExecutableName(const std::string& fallback) {
  // The name the program was started by, without its directory (glibc keeps
  // it; reading /proc/self/exe would cost a system call before the first
  // frame).
  std::string name = program_invocation_short_name != nullptr ? program_invocation_short_name : "";
  if (const auto dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);
  return name.empty() ? fallback : name;
}

}  // namespace term
