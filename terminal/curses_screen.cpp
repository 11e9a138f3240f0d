#include "terminal/curses_screen.h"

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

#include <curses.h>

namespace term {

namespace {

// ---------------------------------------------------------------------------
// Restoring the terminal from anywhere. Everything the signal handler uses
// is prepared while the screen opens, so that the handler itself only
// writes, resets the terminal modes and re-raises (async-signal-safe calls).

struct Guard {
  volatile std::sig_atomic_t active = 0;
  int ttyFd = -1;        // the terminal, as ncurses writes to it
  int captureFd = -1;    // the temporary file that holds standard output
  int stdoutFd = -1;     // the real standard output
  bool haveModes = false;
  termios modes{};       // the terminal's modes before the screen opened
  std::string restore;   // the terminal's own strings that undo the screen
  std::map<int, struct sigaction> previous;
};

Guard g_guard;
std::terminate_handler g_previousTerminate = nullptr;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV,
                            SIGBUS, SIGFPE,  SIGILL, SIGABRT};

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

// Replays the kept standard output onto the real one.
void ReplayCapture() {
  if (g_guard.captureFd < 0 || g_guard.stdoutFd < 0) return;
  if (::lseek(g_guard.captureFd, 0, SEEK_SET) < 0) return;
  std::array<char, 4096> buffer;
  for (;;) {
    const ssize_t n = ::read(g_guard.captureFd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    WriteAll(g_guard.stdoutFd, buffer.data(), static_cast<std::size_t>(n));
  }
}

// The emergency restore: used by signals, std::terminate and exit.
void EmergencyRestore() {
  if (!g_guard.active) return;
  g_guard.active = 0;
  if (g_guard.ttyFd >= 0) WriteAll(g_guard.ttyFd, g_guard.restore.data(), g_guard.restore.size());
  if (g_guard.haveModes) ::tcsetattr(STDIN_FILENO, TCSANOW, &g_guard.modes);
  if (g_guard.stdoutFd >= 0) {
    ReplayCapture();
    ::dup2(g_guard.stdoutFd, STDOUT_FILENO);
  }
}

void OnSignal(int sig, siginfo_t* info, void* /*context*/) {
  const int saved = errno;
  EmergencyRestore();
  const bool fault = sig == SIGSEGV || sig == SIGBUS || sig == SIGFPE || sig == SIGILL;
  if (fault) {
    // Back to the earlier disposition (the default, or a sanitizer's); the
    // faulting instruction runs again when the handler returns.
    auto it = g_guard.previous.find(sig);
    if (it != g_guard.previous.end()) ::sigaction(sig, &it->second, nullptr);
    if (info != nullptr && info->si_code > 0) {
      errno = saved;
      return;
    }
  } else {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
  }
  ::raise(sig);
  errno = saved;
}

void OnTerminate() {
  EmergencyRestore();
  if (g_previousTerminate != nullptr) g_previousTerminate();
  std::abort();
}

void OnExit() { EmergencyRestore(); }

void InstallHandlers() {
  static bool atExitDone = false;
  if (!atExitDone) {
    std::atexit(OnExit);
    atExitDone = true;
  }
  for (const int sig : kSignals) {
    struct sigaction action {};
    action.sa_sigaction = OnSignal;
    action.sa_flags = SA_SIGINFO;
    ::sigemptyset(&action.sa_mask);
    struct sigaction old {};
    ::sigaction(sig, &action, &old);
    g_guard.previous[sig] = old;
  }
  g_previousTerminate = std::set_terminate(OnTerminate);
}

void RemoveHandlers() {
  for (const auto& [sig, old] : g_guard.previous) ::sigaction(sig, &old, nullptr);
  g_guard.previous.clear();
  std::set_terminate(g_previousTerminate);
}

std::string TerminalString(const char* name) {
  char* value = tigetstr(name);
  if (value == nullptr || value == reinterpret_cast<char*>(-1)) return {};
  return value;
}

// ---------------------------------------------------------------------------
// Colours: the grid's RGB values mapped to the terminal's palette.

constexpr std::array<std::uint32_t, 16> kVgaPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

int Distance(std::uint32_t a, std::uint32_t b) {
  const int dr = static_cast<int>((a >> 16) & 0xFF) - static_cast<int>((b >> 16) & 0xFF);
  const int dg = static_cast<int>((a >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
  const int db = static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF);
  return dr * dr + dg * dg + db * db;
}

int NearestOf(std::uint32_t rgb, int count) {
  int best = 0;
  for (int i = 1; i < count; ++i) {
    if (Distance(rgb, kVgaPalette[static_cast<std::size_t>(i)]) <
        Distance(rgb, kVgaPalette[static_cast<std::size_t>(best)])) {
      best = i;
    }
  }
  return best;
}

// The xterm 256-colour palette: a 6 x 6 x 6 cube from 16, a grey ramp from
// 232.
int Nearest256(std::uint32_t rgb) {
  static constexpr int kLevels[6] = {0, 95, 135, 175, 215, 255};
  auto level = [](int v) {
    int best = 0;
    for (int i = 1; i < 6; ++i) {
      if (std::abs(kLevels[i] - v) < std::abs(kLevels[best] - v)) best = i;
    }
    return best;
  };
  const int r = static_cast<int>((rgb >> 16) & 0xFF);
  const int g = static_cast<int>((rgb >> 8) & 0xFF);
  const int b = static_cast<int>(rgb & 0xFF);
  const int ri = level(r), gi = level(g), bi = level(b);
  const int cube = 16 + 36 * ri + 6 * gi + bi;
  const auto cubeRgb = static_cast<std::uint32_t>((kLevels[ri] << 16) | (kLevels[gi] << 8) | kLevels[bi]);
  const int grey = std::clamp((r + g + b) / 3, 8, 238);
  const int gi2 = std::clamp((grey - 8 + 5) / 10, 0, 23);
  const int gv = 8 + 10 * gi2;
  const auto greyRgb = static_cast<std::uint32_t>((gv << 16) | (gv << 8) | gv);
  return Distance(rgb, greyRgb) < Distance(rgb, cubeRgb) ? 232 + gi2 : cube;
}

// Keys of our own for sequences the terminal description may lack.
enum : int {
  kKeyCtrlPageDown = 0x3000,
  kKeyCtrlPageUp,
  kKeyCtrlTab,
  kKeyCtrlShiftTab,
  kKeyAltDown,
  kKeyAltUp,
};

}  // namespace

struct CursesScreen::Impl {
  SCREEN* screen = nullptr;
  FILE* out = nullptr;
  FILE* capture = nullptr;
  int savedStdout = -1;
  Caps caps;
  bool mouse = false;
  std::unordered_map<std::uint32_t, int> colorIndex;
  std::unordered_map<std::uint64_t, int> pairs;
  int nextPair = 1;
  std::unordered_map<int, Key> extraKeys;

  int ColorIndex(Color color) {
    if (color == kDefaultColor) return -1;
    if (auto it = colorIndex.find(color); it != colorIndex.end()) return it->second;
    int index = 0;
    if (caps.colors >= 256) {
      index = Nearest256(color);
    } else {
      index = NearestOf(color, caps.colors >= 16 ? 16 : 8);
    }
    colorIndex[color] = index;
    return index;
  }

  int PairFor(const Style& style) {
    if (caps.colors <= 0) return 0;
    const int fg = ColorIndex(style.fg);
    const int bg = ColorIndex(style.bg);
    if (fg == -1 && bg == -1) return 0;
    const std::uint64_t key = (static_cast<std::uint64_t>(fg + 1) << 32) | static_cast<std::uint32_t>(bg + 1);
    if (auto it = pairs.find(key); it != pairs.end()) return it->second;
    if (nextPair >= COLOR_PAIRS) return 0;  // out of pairs: the default colours
    const int pair = nextPair++;
    init_extended_pair(pair, fg, bg);
    pairs[key] = pair;
    return pair;
  }

  void BindKey(const char* sequence, int code, Key key) {
    const int bound = key_defined(sequence);
    if (bound > 0) {
      extraKeys[bound] = key;
    } else if (bound == 0) {
      define_key(sequence, code);
      extraKeys[code] = key;
    }
  }

  void BindCapability(const char* name, Key key) {
    const std::string sequence = TerminalString(name);
    if (sequence.empty()) return;
    const int bound = key_defined(sequence.c_str());
    if (bound > 0) extraKeys[bound] = key;
  }

  void Close() {
    if (screen == nullptr) return;
    endwin();
    g_guard.active = 0;
    RemoveHandlers();
    std::fflush(stdout);
    if (savedStdout >= 0) {
      ReplayCapture();
      ::dup2(savedStdout, STDOUT_FILENO);
      ::close(savedStdout);
      savedStdout = -1;
    }
    g_guard.stdoutFd = -1;
    g_guard.captureFd = -1;
    g_guard.ttyFd = -1;
    if (capture != nullptr) std::fclose(capture);
    capture = nullptr;
    delscreen(screen);
    screen = nullptr;
    if (out != nullptr) std::fclose(out);
    out = nullptr;
  }
};

std::unique_ptr<CursesScreen> CursesScreen::Open(std::string& error) {
  if (!::isatty(STDIN_FILENO) || !::isatty(STDOUT_FILENO)) {
    error = "standard input and standard output must be a terminal";
    return nullptr;
  }
  // Only the character set is taken from the environment: it decides
  // whether UTF-8 can be written. Loading the other categories would cost
  // time before the first frame and could change how the system formats.
  std::setlocale(LC_CTYPE, "");
  auto impl = std::make_unique<Impl>();
  const char* codeset = nl_langinfo(CODESET);
  impl->caps.unicode = codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;

  std::fflush(stdout);
  const int ttyFd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (ttyFd < 0) {
    error = "cannot use standard output";
    return nullptr;
  }
  impl->out = ::fdopen(ttyFd, "w");
  if (impl->out == nullptr) {
    ::close(ttyFd);
    error = "cannot use standard output";
    return nullptr;
  }
  // A frame goes out in one write: ncurses flushes at the end of each
  // update, and a line-buffered terminal stream would write line by line.
  std::setvbuf(impl->out, nullptr, _IOFBF, std::size_t{1} << 16);
  termios modes{};
  g_guard.haveModes = ::tcgetattr(STDIN_FILENO, &modes) == 0;
  g_guard.modes = modes;

  impl->screen = newterm(nullptr, impl->out, stdin);
  if (impl->screen == nullptr) {
    const char* type = std::getenv("TERM");
    error = std::string("cannot use the terminal type \"") + (type != nullptr ? type : "") + "\"";
    std::fclose(impl->out);
    return nullptr;
  }
  set_term(impl->screen);

  // Keep the system's standard output aside while the screen is up.
  impl->capture = std::tmpfile();
  if (impl->capture != nullptr) {
    impl->savedStdout = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (impl->savedStdout >= 0) {
      ::dup2(::fileno(impl->capture), STDOUT_FILENO);
      // Line by line, so that what is printed survives a signal.
      std::setvbuf(stdout, nullptr, _IOLBF, 0);
    }
  }

  cbreak();
  noecho();
  nonl();
  intrflush(stdscr, FALSE);
  keypad(stdscr, TRUE);
  meta(stdscr, TRUE);
  curs_set(0);
  set_escdelay(25);
  // No look-ahead for typed keys during an update: ncurses would flush and
  // poll after every line, and a frame would go out in dozens of writes.
  typeahead(-1);
  if (has_colors() && start_color() == OK) {
    use_default_colors();
    impl->caps.colors = COLORS >= 256 ? 256 : COLORS >= 16 ? 16 : COLORS >= 8 ? 8 : 0;
  } else {
    impl->caps.colors = 0;
  }
  mouseinterval(0);
  impl->mouse = mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED | BUTTON4_PRESSED | BUTTON5_PRESSED,
                          nullptr) != 0;

  // Ctrl-PgDn/PgUp and Alt-Down/Up from the description where it names
  // them, else in xterm's encoding; Ctrl-Tab where the terminal reports it
  // (xterm's modifyOtherKeys and the CSI u form).
  impl->BindCapability("kNXT5", Key::CtrlPageDown);
  impl->BindCapability("kPRV5", Key::CtrlPageUp);
  impl->BindCapability("kDN3", Key::AltDown);
  impl->BindCapability("kUP3", Key::AltUp);
  impl->BindKey("\033[6;5~", kKeyCtrlPageDown, Key::CtrlPageDown);
  impl->BindKey("\033[5;5~", kKeyCtrlPageUp, Key::CtrlPageUp);
  impl->BindKey("\033[1;3B", kKeyAltDown, Key::AltDown);
  impl->BindKey("\033[1;3A", kKeyAltUp, Key::AltUp);
  impl->BindKey("\033[27;5;9~", kKeyCtrlTab, Key::CtrlTab);
  impl->BindKey("\033[27;6;9~", kKeyCtrlShiftTab, Key::CtrlShiftTab);
  impl->BindKey("\033[9;5u", kKeyCtrlTab + 0x100, Key::CtrlTab);
  impl->BindKey("\033[9;6u", kKeyCtrlShiftTab + 0x100, Key::CtrlShiftTab);

  g_guard.restore = TerminalString("sgr0") + TerminalString("cnorm") + TerminalString("rmkx") +
                    (impl->mouse ? "\033[?1000l\033[?1002l\033[?1006l" : "") +
                    TerminalString("rmcup");
  g_guard.ttyFd = ::fileno(impl->out);
  g_guard.stdoutFd = impl->savedStdout;
  g_guard.captureFd = impl->capture != nullptr ? ::fileno(impl->capture) : -1;
  g_guard.active = 1;
  InstallHandlers();
  return std::unique_ptr<CursesScreen>(new CursesScreen(std::move(impl)));
}

CursesScreen::CursesScreen(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

CursesScreen::~CursesScreen() { m_impl->Close(); }

Size CursesScreen::GetSize() {
  int rows = 0, cols = 0;
  getmaxyx(stdscr, rows, cols);
  return {cols, rows};
}

Caps CursesScreen::GetCaps() { return m_impl->caps; }

void CursesScreen::Show(const Grid& grid) {
  const Size size = GetSize();
  const int rows = std::min(size.rows, grid.Rows());
  const int cols = std::min(size.cols, grid.Cols());
  const bool unicode = m_impl->caps.unicode;
  // Neighbouring cells mostly share a style: look it up once a run.
  std::optional<Style> last;
  attr_t attrs = A_NORMAL;
  int pair = 0;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      const Cell& cell = grid.At(x, y);
      if (!last || !(*last == cell.style)) {
        last = cell.style;
        attrs = A_NORMAL;
        if (cell.style.attrs & kBold) attrs |= A_BOLD;
        if (cell.style.attrs & kReverse) attrs |= A_REVERSE;
        if (cell.style.attrs & kDim) attrs |= A_DIM;
        if (cell.style.attrs & kUnderline) attrs |= A_UNDERLINE;
        pair = m_impl->PairFor(cell.style);
      }
      char32_t ch = cell.ch;
      if (ch < 0x20 || (!unicode && ch > 0x7E)) ch = U'?';
      const wchar_t text[2] = {static_cast<wchar_t>(ch), L'\0'};
      cchar_t cc;
      setcchar(&cc, text, attrs, 0, &pair);
      // The lower right cell is written too; ncurses reports that the
      // cursor cannot move past it, which is harmless.
      mvwadd_wch(stdscr, y, x, &cc);
    }
  }
  wnoutrefresh(stdscr);
  doupdate();
}

Event CursesScreen::NextEvent() {
  for (int failures = 0; failures < 100;) {
    wint_t wch = 0;
    const int result = wget_wch(stdscr, &wch);
    if (result == ERR) {
      // Interrupted reads come back; a terminal that is gone does not.
      pollfd fd{STDIN_FILENO, POLLIN, 0};
      if (::poll(&fd, 1, 0) > 0 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) break;
      ++failures;
      continue;
    }
    failures = 0;
    Event event;
    if (result == KEY_CODE_YES) {
      const int code = static_cast<int>(wch);
      if (auto it = m_impl->extraKeys.find(code); it != m_impl->extraKeys.end()) {
        event.key = it->second;
        return event;
      }
      switch (code) {
        case KEY_UP: event.key = Key::Up; break;
        case KEY_DOWN: event.key = Key::Down; break;
        case KEY_LEFT: event.key = Key::Left; break;
        case KEY_RIGHT: event.key = Key::Right; break;
        case KEY_HOME: event.key = Key::Home; break;
        case KEY_END: event.key = Key::End; break;
        case KEY_PPAGE: event.key = Key::PageUp; break;
        case KEY_NPAGE: event.key = Key::PageDown; break;
        case KEY_BTAB: event.key = Key::BackTab; break;
        case KEY_ENTER: event.key = Key::Enter; break;
        case KEY_BACKSPACE: event.key = Key::Backspace; break;
        case KEY_RESIZE: event.key = Key::Resize; break;
        case KEY_MOUSE: {
          MEVENT mouse{};
          if (getmouse(&mouse) != OK) continue;
          event.x = mouse.x;
          event.y = mouse.y;
          if (mouse.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)) {
            event.key = Key::MouseDown;
          } else if (mouse.bstate & BUTTON4_PRESSED) {
            event.key = Key::WheelUp;
          } else if (mouse.bstate & BUTTON5_PRESSED) {
            event.key = Key::WheelDown;
          } else {
            continue;
          }
          break;
        }
        default:
          if (code == KEY_F(4)) {
            event.key = Key::F4;
            break;
          }
          continue;
      }
      return event;
    }
    switch (wch) {
      case 27: {
        // Esc alone, or Alt with the key that follows at once.
        wtimeout(stdscr, 0);
        wint_t next = 0;
        const int more = wget_wch(stdscr, &next);
        wtimeout(stdscr, -1);
        if (more == ERR) {
          event.key = Key::Escape;
        } else if (more == KEY_CODE_YES && next == KEY_DOWN) {
          event.key = Key::AltDown;
        } else if (more == KEY_CODE_YES && next == KEY_UP) {
          event.key = Key::AltUp;
        } else {
          continue;
        }
        return event;
      }
      case '\t': event.key = Key::Tab; return event;
      case '\r':
      case '\n': event.key = Key::Enter; return event;
      case 8:
      case 127: event.key = Key::Backspace; return event;
      default:
        if (wch < 0x20) continue;
        event.key = Key::Char;
        event.ch = static_cast<char32_t>(wch);
        return event;
    }
  }
  Event hangup;
  hangup.key = Key::Hangup;
  return hangup;
}

}  // namespace term
