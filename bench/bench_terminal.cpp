// The terminal UI's speed: how soon the usable sheet is on the terminal,
// next to whiptail --msgbox starting in a terminal of the same size, and
// what one redraw costs.
//
// The programs run on a pseudo-terminal of 100 x 32 cells (TERM
// xterm-256color, a UTF-8 locale). Start-up runs as interleaved pairs
// (bench/interleave.h): halcyra-setup and whiptail take turns, and each
// pair gives one ratio, halcyra-setup's time to its usable sheet divided by
// whiptail's time to its box. Either frame is complete when its program
// stops writing (the last byte before a quiet spell); the usable sheet is
// the sheet after the probes, with its controls set. The ratios are printed
// pair by pair, then the redraw benchmarks run under Google Benchmark.
//
//   bench_terminal [--pairs-only | --absolute-only] [--repetitions N]
//                  [Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/setup_app.h"
#include "bench/interleave.h"
#include "dialog_model/sheet_model.h"
#include "settings/file_system.h"
#include "settings/registry.h"
#include "simulated/machine_profile.h"
#include "simulated/posix_file_system.h"
#include "simulated/simulated_machine.h"
#include "terminal/render.h"

using namespace halcyra;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kCols = 100;
constexpr int kRows = 32;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Child {
  pid_t pid = -1;
  int master = -1;
};

Child Spawn(const std::vector<std::string>& args, const std::string& cwd, int cols = kCols,
            int rows = kRows) {
  winsize size{};
  size.ws_col = static_cast<unsigned short>(cols);
  size.ws_row = static_cast<unsigned short>(rows);
  Child child;
  child.pid = forkpty(&child.master, nullptr, nullptr, &size);
  if (child.pid == 0) {
    if (::chdir(cwd.c_str()) != 0) _exit(126);
    ::setenv("TERM", "xterm-256color", 1);
    ::setenv("LANG", "C.UTF-8", 1);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    _exit(127);
  }
  return child;
}

void Stop(Child& child) {
  if (child.pid > 0) {
    ::kill(child.pid, SIGTERM);
    // Drain what it writes while restoring the terminal, then reap it.
    std::array<char, 4096> buffer;
    pollfd fd{child.master, POLLIN, 0};
    while (::poll(&fd, 1, 200) > 0 && ::read(child.master, buffer.data(), buffer.size()) > 0) {
    }
    ::waitpid(child.pid, nullptr, 0);
  }
  if (child.master >= 0) ::close(child.master);
  child = {};
}

struct Burst {
  std::optional<Clock::time_point> first;
  std::optional<Clock::time_point> last;
  std::optional<Clock::time_point> sheet;  // the first frame with the sheet had come
  std::size_t bytes = 0;
};

// Reads until nothing has come for `quiet` (after at least one byte), or
// `limit` has passed.
Burst ReadUntilQuiet(int fd, milliseconds quiet, milliseconds limit, bool findSheet = false) {
  Burst burst;
  std::string seen;
  const auto start = Clock::now();
  std::array<char, 65536> buffer;
  for (;;) {
    const auto now = Clock::now();
    if (now - start > limit) break;
    const auto wait = burst.last ? quiet : limit;
    pollfd pfd{fd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, static_cast<int>(wait.count()));
    if (ready <= 0) {
      if (burst.last) break;
      continue;
    }
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n <= 0) break;
    const auto at = Clock::now();
    if (!burst.first) burst.first = at;
    burst.last = at;
    burst.bytes += static_cast<std::size_t>(n);
    if (findSheet && !burst.sheet) {
      // A frame is one write, top row first: when the buttons' row has
      // come, so has the frame. A wait frame (the wait text before the
      // buttons) is not the sheet; the sheet after it is then known only by
      // the end of the output.
      seen.append(buffer.data(), static_cast<std::size_t>(n));
      const std::size_t cancel = seen.find("Cancel");
      if (cancel != std::string::npos) {
        if (seen.rfind("Detecting hardware", cancel) == std::string::npos) burst.sheet = at;
        findSheet = false;
      }
    }
  }
  return burst;
}

std::string DemoDirectory() {
  static const std::string dir = [] {
    const std::string base = std::filesystem::temp_directory_path() / ("halcyra-bench-" + std::to_string(::getpid()));
    const std::string demo = base + "/demo";
    const std::string command = "bash '" HALCYRA_DEMO_INSTALL "' '" + demo + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "demo install failed\n");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                      ("halcyra-bench-" + std::to_string(::getpid())),
                                  ignored);
    });
    return demo;
  }();
  return dir;
}

struct StartTimes {
  double firstByte = 0;  // ms from the start
  double sheet = 0;      // ms until the sheet's frame had come (else `settled`)
  double settled = 0;    // ms until the last byte before a quiet spell
};

std::optional<StartTimes> TimeStart(const std::vector<std::string>& args, bool findSheet) {
  const auto start = Clock::now();
  Child child = Spawn(args, DemoDirectory());
  const Burst burst = ReadUntilQuiet(child.master, milliseconds(300), milliseconds(10000), findSheet);
  Stop(child);
  if (!burst.last) return std::nullopt;
  StartTimes times;
  times.firstByte = Ms(*burst.first - start);
  times.settled = Ms(*burst.last - start);
  times.sheet = burst.sheet ? Ms(*burst.sheet - start) : times.settled;
  return times;
}

const std::vector<std::string> kSetup = {HALCYRA_SETUP_PATH};
const std::vector<std::string> kWhiptail = {HALCYRA_WHIPTAIL_PATH, "--msgbox", "Halcyra Setup", "10",
                                            "40"};

// Start to the complete first frame of each program, as interleaved pairs.
bool RunStartPairs(int repetitions) {
  for (const auto* args : {&kSetup, &kWhiptail}) {
    if (::access((*args)[0].c_str(), X_OK) != 0) {
      std::printf("not found: %s\n", (*args)[0].c_str());
      return false;
    }
  }
  bool failed = false;
  std::vector<double> oursSettled, theirsSettled;
  // halcyra-setup: the time its sheet's frame had come (ncurses then sends
  // the keypad and mouse modes, which change nothing on the screen; the end
  // of all output is printed beside). whiptail: the end of its output, its
  // box being its one frame.
  const auto timed = [&failed](const std::vector<std::string>& args, bool ours,
                               std::vector<double>& settled) {
    const auto times = TimeStart(args, ours);
    if (!times) {
      failed = true;
      return 1.0;
    }
    settled.push_back(times->settled);
    return (ours ? times->sheet : times->settled) / 1000.0;
  };
  bench::PairOptions options;
  options.repetitions = repetitions;
  options.minBatchSeconds = 0;  // one start is one sample
  bench::PrintRatioHeader("Start to the usable sheet (A = halcyra-setup, B = whiptail --msgbox)",
                          "time(A) / time(B), below 1: the sheet is up sooner than whiptail's box");
  const bench::RatioSummary summary = bench::CompareTimedPair(
      [&] { return timed(kSetup, true, oursSettled); }, [&] { return timed(kWhiptail, false, theirsSettled); },
      true, options);
  const bool met = bench::PrintRatio("usable sheet / whiptail's box", summary, bench::Target{0.8, false});
  std::printf("  end of all output: halcyra-setup %.2f ms, whiptail %.2f ms (medians)\n",
              bench::Quantile(oursSettled, 0.5), bench::Quantile(theirsSettled, 0.5));
  if (failed) std::printf("  some starts gave no frame\n");
  std::printf("\nTargets: %s\n", met && !failed ? "all met" : "some MISSED");
  return met && !failed;
}

// A key that moves the focus: the program redraws and ncurses sends the
// cells that changed.
void BM_RedrawAfterKey_HalcyraSetup(benchmark::State& state) {
  Child child = Spawn({HALCYRA_SETUP_PATH}, DemoDirectory());
  ReadUntilQuiet(child.master, milliseconds(300), milliseconds(10000));
  bool forward = true;
  for (auto _ : state) {
    const char* key = forward ? "\t" : "\033[Z";
    forward = !forward;
    const auto start = Clock::now();
    if (::write(child.master, key, std::char_traits<char>::length(key)) < 0) break;
    const Burst burst = ReadUntilQuiet(child.master, milliseconds(40), milliseconds(2000));
    if (!burst.last) {
      state.SkipWithError("no redraw");
      break;
    }
    state.SetIterationTime(Ms(*burst.last - start) / 1000.0);
  }
  Stop(child);
}
BENCHMARK(BM_RedrawAfterKey_HalcyraSetup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

// A resize: the whole screen is drawn again.
void BM_FullRedrawOnResize_HalcyraSetup(benchmark::State& state) {
  Child child = Spawn({HALCYRA_SETUP_PATH}, DemoDirectory());
  ReadUntilQuiet(child.master, milliseconds(300), milliseconds(10000));
  bool wide = false;
  double bytes = 0;
  for (auto _ : state) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(wide ? kCols : kCols + 2);
    size.ws_row = static_cast<unsigned short>(kRows);
    wide = !wide;
    const auto start = Clock::now();
    ::ioctl(child.master, TIOCSWINSZ, &size);
    const Burst burst = ReadUntilQuiet(child.master, milliseconds(40), milliseconds(2000));
    if (!burst.last) {
      state.SkipWithError("no redraw");
      break;
    }
    state.SetIterationTime(Ms(*burst.last - start) / 1000.0);
    bytes += static_cast<double>(burst.bytes);
  }
  state.counters["frame_bytes"] = bytes / static_cast<double>(state.iterations());
  Stop(child);
}
BENCHMARK(BM_FullRedrawOnResize_HalcyraSetup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

// In the process: layout and drawing of a page of the reference machine
// into a cell grid, the part of a redraw that is ours.
class MeasuringUser : public dm::UserAgent {
 public:
  explicit MeasuringUser(benchmark::State& state) : m_state(&state) {}
  std::optional<dm::Action> NextAction(dm::SheetModel& sheet) override {
    if (sheet.ActivePage() != m_page) return dm::Action{dm::Action::Kind::Tab, 0, m_page, {}};
    const term::ViewState view;
    const term::Caps caps{256, true};
    for (auto _ : *m_state) {
      const term::SheetLayout layout = term::ComputeLayout(sheet, view, term::Size{kCols, kRows});
      benchmark::DoNotOptimize(term::Render(sheet, view, layout, caps));
    }
    return std::nullopt;
  }
  int ShowMessageBox(dm::SheetModel&, const dm::MessageBoxInfo&) override { return ui::IDOK; }
  int m_page = 0;

 private:
  benchmark::State* m_state;
};

void BM_RenderPage(benchmark::State& state) {
  sim::ProfileResult profile = sim::LoadMachineProfile(HALCYRA_REFERENCE_PROFILE);
  if (profile.error) {
    state.SkipWithError("profile");
    return;
  }
  sim::SimulatedMachine machine(std::move(*profile.machine));
  machine.SetInstallPath(DemoDirectory());
  machine.Install();
  reg::RegistrySlot::Install(&machine);
  posixfs::PosixFileSystem files;
  filesys::FileSystemSlot::Install(&files);
  MeasuringUser user(state);
  user.m_page = static_cast<int>(state.range(0));
  dm::ModelPlatform platform(user, "halcyra-setup");
  ui::UiPlatformSlot::Install(&platform);
  // The system prints the options.ini it reads; keep the report clean.
  std::fflush(stdout);
  const int saved = ::dup(STDOUT_FILENO);
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, STDOUT_FILENO);
  RunHalcyraSetup();
  std::fflush(stdout);
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  ::close(null);
  ui::UiPlatformSlot::Install(nullptr);
  filesys::FileSystemSlot::Install(nullptr);
  reg::RegistrySlot::Install(nullptr);
  machine.Uninstall();
}
BENCHMARK(BM_RenderPage)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  bench::RunOptions options = bench::ParseRunOptions(argc, argv, 30);
  if (options.pairs) RunStartPairs(options.repetitions);
  if (options.absolute) {
    std::fflush(stdout);
    int count = options.RestCount();
    benchmark::Initialize(&count, options.rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  return 0;
}
