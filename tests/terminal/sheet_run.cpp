#include "sheet_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/setup_app.h"
#include "dialog_model/sheet_model.h"
#include "simulated/posix_file_system.h"
#include "simulated/simulated_machine.h"
#include "terminal/reference_profile.h"

namespace test {

term::Event ScriptedScreen::NextEvent() {
  if (events.empty()) return {term::Key::Hangup};
  const term::Event event = events.front();
  events.pop_front();
  if (event.key == term::Key::Resize) size = {event.x, event.y};
  return event;
}

SheetRun::SheetRun(std::vector<term::Event> events, term::Size size, term::Caps caps,
                   std::chrono::milliseconds waitFrameDelay)
    : screen(size, caps), agent(screen, waitFrameDelay) {
  screen.events.assign(events.begin(), events.end());
  install = std::filesystem::temp_directory_path() / ("halcyra-terminal-" + std::to_string(getpid()));
  std::filesystem::remove_all(install);
  // The texture archives are there: OK saves without a warning.
  std::filesystem::create_directories(install / "static");
  for (const char* archive : {"bitmapc.flx", "bitmap16.flx", "bitmapsh.flx"})
    std::ofstream(install / "static" / archive);
}

SheetRun::~SheetRun() { std::filesystem::remove_all(install); }

namespace {

// The machine's DirectDraw with `probe` run first.
struct WatchedDirectDraw : dx::DirectDrawApi {
  dx::DirectDrawApi* machine;
  const std::function<void()>* probe;
  dx::HRESULT DirectDrawEnumerateExA(dx::LPDDENUMCALLBACKEXA callback, void* context, dx::DWORD flags) override {
    if (*probe) (*probe)();
    return machine->DirectDrawEnumerateExA(callback, context, flags);
  }
  dx::HRESULT DirectDrawCreate(dx::GUID* driver, dx::IDirectDraw** result, void* outer) override {
    return machine->DirectDrawCreate(driver, result, outer);
  }
};

}  // namespace

void SheetRun::RunHere() {
  sim::SimulatedMachine machine(profile.empty() ? term::ReferenceMachine()
                                                : sim::LoadMachineProfile(profile).machine.value());
  machine.SetInstallPath(install.string());
  machine.Install();
  WatchedDirectDraw directDraw;
  directDraw.machine = &machine;
  directDraw.probe = &probe;
  dx::DirectDrawSlot::Install(&directDraw);
  reg::RegistrySlot::Install(&machine);
  posixfs::PosixFileSystem files;
  filesys::FileSystemSlot::Install(&files);
  // The slots are emptied however the run ends.
  struct Uninstall {
    sim::SimulatedMachine& machine;
    ~Uninstall() {
      filesys::FileSystemSlot::Install(nullptr);
      reg::RegistrySlot::Install(nullptr);
      dx::DirectDrawSlot::Install(nullptr);
      machine.Uninstall();
    }
  } uninstall{machine};
  dm::RunOnModel(agent, "halcyra-setup", halcyra::RunHalcyraSetup);
}

// The program keeps its state in globals, as a process that runs once may:
// each run has a process of its own, which sends back the frames and notes.
void SheetRun::Go() {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("no pipe");
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("no process");
  if (child == 0) {
    // The child never returns into the test program.
    close(fds[0]);
    try {
      RunHere();
    } catch (...) {
      _exit(1);
    }
    std::string out = std::to_string(screen.frames.size()) + " " + notes + "\n";
    for (const term::Grid& grid : screen.frames) {
      out += std::to_string(grid.Cols()) + " " + std::to_string(grid.Rows()) + "\n";
      for (int y = 0; y < grid.Rows(); ++y) {
        for (int x = 0; x < grid.Cols(); ++x) {
          const term::Cell& c = grid.At(x, y);
          for (const std::uint32_t value :
               {std::uint32_t{c.ch}, c.style.fg, c.style.bg, std::uint32_t{c.style.attrs}}) {
            out += std::to_string(value) + " ";
          }
        }
      }
    }
    for (std::size_t done = 0; done < out.size();) {
      const ssize_t n = write(fds[1], out.data() + done, out.size() - done);
      if (n <= 0) _exit(1);
      done += static_cast<std::size_t>(n);
    }
    _exit(0);
  }
  close(fds[1]);
  std::string data;
  char buffer[65536];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) data.append(buffer, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the run failed");
  std::istringstream in(data);
  std::size_t count = 0;
  in >> count >> notes;
  screen.frames.clear();
  for (std::size_t i = 0; i < count; ++i) {
    term::Size size;
    in >> size.cols >> size.rows;
    term::Grid& grid = screen.frames.emplace_back(size, term::Style{});
    for (int y = 0; y < size.rows; ++y) {
      for (int x = 0; x < size.cols; ++x) {
        std::uint32_t ch = 0, attrs = 0;
        term::Cell& c = grid.At(x, y);
        in >> ch >> c.style.fg >> c.style.bg >> attrs;
        c.ch = ch;
        c.style.attrs = static_cast<std::uint8_t>(attrs);
      }
    }
  }
}

bool Shows(const term::Grid& grid, const std::string& text) {
  for (int y = 0; y < grid.Rows(); ++y) {
    if (grid.RowText(y).find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace test
