#include "terminal/curses_screen.h"
#include "terminal/terminfo_glue.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <langinfo.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
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
// Set when the process continues after a stop (Ctrl-Z): ncurses repaints
// its own, empty picture then, and the frame must be drawn again.
volatile std::sig_atomic_t g_continued = 0;
// How long a wait for input lasts before the flag above is looked at.
constexpr int kInputPollMs = 250;

void OnContinue(int /*sig*/) { g_continued = 1; }

// Whether the locale the environment names (LC_ALL, else LC_CTYPE, else
// LANG, as setlocale takes them) uses UTF-8.
bool LocaleNamesUtf8() {
  const char* name = nullptr;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      name = value;
      break;
    }
  }
  if (name == nullptr) return false;
  std::string lower;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p != '-') lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(*p))));
  }
  return lower.find(".utf8") != std::string::npos;
}
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
  struct sigaction cont {};
  cont.sa_handler = OnContinue;
  ::sigemptyset(&cont.sa_mask);
  struct sigaction oldCont {};
  ::sigaction(SIGCONT, &cont, &oldCont);
  g_guard.previous[SIGCONT] = oldCont;
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
  int capture = -1;  // the in-memory file that holds standard output
  int savedStdout = -1;
  int ttyFd = -1;
  Caps caps;
  bool mouse = false;
  bool inputReady = false;
  bool started = false;     // the alternate screen is on
  bool inputBroken = false;  // ncurses could not set up its screen
  void* early = nullptr;     // the description read before ncurses' screen
  bool redrawPending = false;  // the next event is a redraw
  std::unordered_map<std::uint32_t, int> colorIndex;
  std::array<std::pair<Color, int>, 256> recentColors{};  // first: kDefaultColor when empty
  std::unordered_map<int, Key> extraKeys;

  // The frame writer: the terminal's own strings, looked up once.
  std::optional<Grid> shown;  // what the terminal shows; none: unknown
  std::string cup, sgr0, bold, rev, dim, smul, clear, smcup, civis, setafFormat, setabFormat;
  // The colour strings by colour index, formatted when first used.
  std::vector<std::string> setaf, setab;
  bool skipLastCell = false;  // writing it would scroll the screen
  bool ansiCup = false;       // the cursor address is "ESC [ row ; col H"

  // The palette index of `color`; -1 for the terminal's default. Looked up
  // for every change of colour in a frame, so kept in a small table in
  // front of the map.
  int ColorIndex(Color color) {
    if (color == kDefaultColor || caps.colors <= 0) return -1;
    auto& slot = recentColors[(color * 2654435761u) >> 24];
    if (slot.first == color) return slot.second;
    int index = 0;
    if (auto it = colorIndex.find(color); it != colorIndex.end()) {
      index = it->second;
    } else {
      index = caps.colors >= 256 ? Nearest256(color) : NearestOf(color, caps.colors >= 16 ? 16 : 8);
      colorIndex[color] = index;
    }
    slot = {color, index};
    return index;
  }

  // The cursor address: the common ANSI form is written directly, any
  // other through the terminal's own string.
  void AppendCursor(std::string& buffer, int y, int x) {
    if (ansiCup) {
      char text[24];
      const int n = std::snprintf(text, sizeof text, "\033[%d;%dH", y + 1, x + 1);
      if (n > 0) buffer.append(text, static_cast<std::size_t>(std::min(n, static_cast<int>(sizeof text) - 1)));
    } else {
      buffer += tiparm(cup.c_str(), y, x);
    }
  }

  void LoadStrings() {
    cup = TerminalString("cup");
    ansiCup = cup == "\033[%i%p1%d;%p2%dH";
    recentColors.fill({kDefaultColor, -1});
    sgr0 = TerminalString("sgr0");
    bold = TerminalString("bold");
    rev = TerminalString("rev");
    dim = TerminalString("dim");
    smul = TerminalString("smul");
    clear = TerminalString("clear");
    smcup = TerminalString("smcup");
    civis = TerminalString("civis");
    setafFormat = TerminalString("setaf");
    setabFormat = TerminalString("setab");
    if (setafFormat.empty() || setabFormat.empty()) caps.colors = 0;
    const auto count = static_cast<std::size_t>(caps.colors >= 256 ? 256 : caps.colors);
    setaf.assign(count, std::string());
    setab.assign(count, std::string());
    skipLastCell = tigetflag("am") == 1 && tigetflag("xenl") != 1;
  }

  void AppendColor(std::string& buffer, std::vector<std::string>& cache, const std::string& format,
                   int index) {
    if (index < 0 || index >= static_cast<int>(cache.size())) return;
    std::string& text = cache[static_cast<std::size_t>(index)];
    if (text.empty()) text = tiparm(format.c_str(), index);
    buffer += text;
  }

  // Changes the terminal's style from `from` (unknown when null) to `to`,
  // with as few bytes as it can: attributes can only all be turned off
  // together, and so can colours go back to the default.
  void AppendStyle(std::string& buffer, const Style* from, const Style& to) {
    const int fg = ColorIndex(to.fg);
    const int bg = ColorIndex(to.bg);
    const bool reset = from == nullptr || (from->attrs & ~to.attrs) != 0 ||
                       (fg < 0 && ColorIndex(from->fg) >= 0) || (bg < 0 && ColorIndex(from->bg) >= 0);
    const std::uint8_t added = reset ? to.attrs : static_cast<std::uint8_t>(to.attrs & ~from->attrs);
    if (reset) buffer += sgr0;
    if (added & kBold) buffer += bold;
    if (added & kReverse) buffer += rev;
    if (added & kDim) buffer += dim;
    if (added & kUnderline) buffer += smul;
    if (reset || fg != ColorIndex(from->fg)) AppendColor(buffer, setaf, setafFormat, fg);
    if (reset || bg != ColorIndex(from->bg)) AppendColor(buffer, setab, setabFormat, bg);
  }

  void AppendCell(std::string& buffer, char32_t ch) {
    if (ch < 0x20 || (!caps.unicode && ch > 0x7E) || ch > 0xFFFF || (ch >= 0xD800 && ch <= 0xDFFF)) {
      ch = U'?';
    }
    // UTF-8 of a character of the basic plane: the grid holds no others.
    if (ch < 0x80) {
      buffer.push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
      buffer.push_back(static_cast<char>(0xC0 | (ch >> 6)));
      buffer.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else {
      buffer.push_back(static_cast<char>(0xE0 | (ch >> 12)));
      buffer.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
      buffer.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
  }

  // The keyboard and the mouse: after the first frame.
  void SetRawOutput() {
    termios raw{};
    if (::tcgetattr(ttyFd, &raw) == 0) {
      raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
      ::tcsetattr(ttyFd, TCSANOW, &raw);
    }
  }

  void PrepareInput() {
    if (inputReady) return;
    inputReady = true;
    // ncurses keeps the terminal's modes at newterm to restore them at the
    // end and at a stop: it is given the ones the program started with.
    if (g_guard.haveModes) ::tcsetattr(ttyFd, TCSANOW, &g_guard.modes);
    screen = newterm(nullptr, out, stdin);
    if (screen == nullptr) {
      inputBroken = true;
      SetRawOutput();
      return;
    }
    set_term(screen);
    terminfo_glue::Free(early);
    early = nullptr;
    // ncurses' own picture stays empty and untouched, so that it never
    // repaints over the frames. curs_set sends what newterm has queued
    // (the alternate screen again, which changes nothing).
    untouchwin(stdscr);
    curs_set(0);
    // Only the character set is taken from the environment: typed text is
    // decoded by it. The other categories could change how the system
    // formats its texts.
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    const bool unicode = codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
    if (unicode != caps.unicode) {
      // The locale is not what its name said: draw everything again.
      caps.unicode = unicode;
      shown.reset();
      redrawPending = true;
    }
    cbreak();
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    keypad(stdscr, TRUE);
    meta(stdscr, TRUE);
    set_escdelay(25);
    wtimeout(stdscr, kInputPollMs);
    // No look-ahead for typed keys while ncurses updates (it does so only
    // after a resize): it would flush and poll after every line.
    typeahead(-1);
    mouseinterval(0);
    mouse = mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED | BUTTON4_PRESSED | BUTTON5_PRESSED,
                      nullptr) != 0;

    // Ctrl-PgDn/PgUp and Alt-Down/Up from the description where it names
    // them, else in xterm's encoding; Ctrl-Tab where the terminal reports it
    // (xterm's modifyOtherKeys and the CSI u form).
    BindCapability("kNXT5", Key::CtrlPageDown);
    BindCapability("kPRV5", Key::CtrlPageUp);
    BindCapability("kDN3", Key::AltDown);
    BindCapability("kUP3", Key::AltUp);
    BindKey("\033[6;5~", kKeyCtrlPageDown, Key::CtrlPageDown);
    BindKey("\033[5;5~", kKeyCtrlPageUp, Key::CtrlPageUp);
    BindKey("\033[1;3B", kKeyAltDown, Key::AltDown);
    BindKey("\033[1;3A", kKeyAltUp, Key::AltUp);
    BindKey("\033[27;5;9~", kKeyCtrlTab, Key::CtrlTab);
    BindKey("\033[27;6;9~", kKeyCtrlShiftTab, Key::CtrlShiftTab);
    BindKey("\033[9;5u", kKeyCtrlTab + 0x100, Key::CtrlTab);
    BindKey("\033[9;6u", kKeyCtrlShiftTab + 0x100, Key::CtrlShiftTab);
    SetRawOutput();
    def_prog_mode();  // ncurses puts this mode back after a stop
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
    if (out == nullptr) return;
    if (screen != nullptr) {
      endwin();
    } else if (started) {
      WriteAll(ttyFd, g_guard.restore.data(), g_guard.restore.size());
    }
    if (g_guard.haveModes) ::tcsetattr(ttyFd, TCSANOW, &g_guard.modes);
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
    if (capture >= 0) ::close(capture);
    capture = -1;
    if (screen != nullptr) delscreen(screen);
    screen = nullptr;
    terminfo_glue::Free(early);
    early = nullptr;
    std::fclose(out);
    out = nullptr;
  }
};

std::unique_ptr<CursesScreen> CursesScreen::Open(std::string& error) {
  if (!::isatty(STDIN_FILENO) || !::isatty(STDOUT_FILENO)) {
    error = "standard input and standard output must be a terminal";
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  // Whether UTF-8 can be written, as the locale names it; the locale itself
  // is loaded after the first frame (see PrepareInput).
  impl->caps.unicode = LocaleNamesUtf8();

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

  // The terminal's description now; ncurses' screen (newterm, which reads
  // it again and sets up its windows) after the first frame.
  impl->early = terminfo_glue::Load(ttyFd);
  if (impl->early == nullptr) {
    const char* type = std::getenv("TERM");
    error = std::string("cannot use the terminal type \"") + (type != nullptr ? type : "") + "\"";
    std::fclose(impl->out);
    return nullptr;
  }

  // Keep the system's standard output aside while the screen is up.
  // An in-memory file: nothing is left on disk, and it costs no file
  // system work before the first frame.
  impl->capture = ::memfd_create("halcyra-stdout", MFD_CLOEXEC);
  if (impl->capture >= 0) {
    impl->savedStdout = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (impl->savedStdout >= 0) {
      ::dup2(impl->capture, STDOUT_FILENO);
      // Line by line, so that what is printed survives a signal.
      std::setvbuf(stdout, nullptr, _IOLBF, 0);
    }
  }

  // What the first frame needs comes first: frames written as they are (no
  // output processing by the terminal driver: it would look at every byte),
  // the colours and the terminal's strings. The alternate screen and the
  // hidden cursor go out with the first frame; ncurses, the keyboard and
  // the mouse are set up once it is out.
  impl->ttyFd = ttyFd;
  // The frames carry their colours themselves (see Show), so ncurses'
  // colour pairs are not set up; the terminal's description says how many
  // colours there are.
  const int colors = tigetnum("colors");
  impl->caps.colors = colors >= 256 ? 256 : colors >= 16 ? 16 : colors >= 8 ? 8 : 0;
  impl->LoadStrings();

  // Built now, complete, so that a signal never finds it half made: the
  // mouse is switched off where the terminal has one.
  g_guard.restore = TerminalString("sgr0") + TerminalString("cnorm") + TerminalString("rmkx") +
                    (TerminalString("kmous").empty() ? "" : "\033[?1000l\033[?1002l\033[?1006l") +
                    TerminalString("rmcup");
  g_guard.ttyFd = ::fileno(impl->out);
  g_guard.stdoutFd = impl->savedStdout;
  g_guard.captureFd = impl->capture;
  g_guard.active = 1;
  InstallHandlers();
  impl->SetRawOutput();
  return std::unique_ptr<CursesScreen>(new CursesScreen(std::move(impl)));
}

CursesScreen::CursesScreen(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

CursesScreen::~CursesScreen() { m_impl->Close(); }

Size CursesScreen::GetSize() {
  if (m_impl->screen != nullptr) {
    int rows = 0, cols = 0;
    getmaxyx(stdscr, rows, cols);
    return {cols, rows};
  }
  // Before ncurses has its screen: the terminal's own word, else its
  // description's.
  winsize size{};
  if (::ioctl(m_impl->ttyFd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    return {size.ws_col, size.ws_row};
  }
  return {std::max(tigetnum("cols"), 0), std::max(tigetnum("lines"), 0)};
}

Caps CursesScreen::GetCaps() { return m_impl->caps; }

void CursesScreen::Show(const Grid& grid) {
  // ncurses sets the terminal up and reads it; the frames are written here,
  // with the terminal's own strings, each in one write: ncurses would flush
  // at every cursor movement, a write for every line.
  Impl& impl = *m_impl;
  const Size size = GetSize();
  const bool full = !impl.shown || impl.shown->GetSize() != grid.GetSize();
  std::string buffer;
  buffer.reserve(static_cast<std::size_t>(grid.Cols() * grid.Rows()) * 4);
  if (!impl.started) {
    impl.started = true;
    buffer += impl.smcup + impl.civis;
  }
  if (full) buffer += impl.sgr0 + impl.clear;
  std::optional<Style> current;  // the terminal's style, unknown at first
  const int rows = std::min(size.rows, grid.Rows());
  const int cols = std::min(size.cols, grid.Cols());
  const Cell blank{};
  for (int y = 0; y < rows; ++y) {
    int cursor = -1;  // the column the terminal's cursor is at on this row
    for (int x = 0; x < cols; ++x) {
      if (impl.skipLastCell && y == size.rows - 1 && x == size.cols - 1) continue;
      const Cell& cell = grid.At(x, y);
      if (cell == (full ? blank : impl.shown->At(x, y))) continue;
      if (cursor != x) impl.AppendCursor(buffer, y, x);
      if (!current || !(*current == cell.style)) {
        impl.AppendStyle(buffer, current ? &*current : nullptr, cell.style);
        current = cell.style;
      }
      impl.AppendCell(buffer, cell.ch);
      cursor = x + 1;
    }
  }
  buffer += impl.sgr0;
  WriteAll(impl.ttyFd, buffer.data(), buffer.size());
  // A grid of another size than the terminal (it changed meanwhile) was
  // written only in part: the next frame is drawn whole.
  if (size == grid.GetSize()) {
    impl.shown = grid;
  } else {
    impl.shown.reset();
  }
  impl.PrepareInput();
}

Event CursesScreen::NextEvent() {
  m_impl->PrepareInput();
  if (m_impl->inputBroken) {
    Event hangup;
    hangup.key = Key::Hangup;
    return hangup;
  }
  if (m_impl->redrawPending) {
    m_impl->redrawPending = false;
    Event redraw;
    redraw.key = Key::Resize;
    return redraw;
  }
  for (int failures = 0; failures < 100;) {
    wint_t wch = 0;
    const auto started = std::chrono::steady_clock::now();
    const int result = wget_wch(stdscr, &wch);
    if (result == ERR) {
      if (g_continued) {
        // Back from a stop: ncurses has repainted the screen empty.
        g_continued = 0;
        m_impl->shown.reset();
        Event redraw;
        redraw.key = Key::Resize;
        return redraw;
      }
      // A terminal that is gone reports at once, again and again; a wait
      // that timed out took its time.
      pollfd fd{STDIN_FILENO, POLLIN, 0};
      if (::poll(&fd, 1, 0) > 0 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) break;
      if (std::chrono::steady_clock::now() - started < std::chrono::milliseconds(kInputPollMs / 2)) {
        ++failures;
      } else {
        failures = 0;
      }
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
        case KEY_RESIZE:
          // ncurses has taken the new size; it clears the screen at its
          // next refresh, so that comes now, before the new frame.
          refresh();
          m_impl->shown.reset();
          event.key = Key::Resize;
          break;
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
        wtimeout(stdscr, kInputPollMs);
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
