#include "terminal/curses_screen.h"

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
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

#include <curses.h>

#include "base/printable_text.h"
#include "terminal/frame_writer.h"
#include "terminal/terminfo_glue.h"

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

// A string capability as the description holds it, with its parameters
// and padding still to be filled in.
std::string RawString(const char* name) {
  char* value = tigetstr(name);
  if (value == nullptr || value == reinterpret_cast<char*>(-1)) return {};
  return value;
}

// A string capability without parameters, ready to be sent.
std::string TerminalString(const char* name) { return terminfo_glue::Pad(RawString(name)); }

// Whether NO_COLOR asks for no colour (set and not empty).
bool NoColorAsked() {
  const char* value = std::getenv("NO_COLOR");
  return value != nullptr && *value != '\0';
}

// Whether the terminal takes 24-bit colour: COLORTERM says so, or the
// description's RGB or Tc flag.
bool DirectColorOffered() {
  const char* colorterm = std::getenv("COLORTERM");
  if (colorterm != nullptr &&
      (std::strcmp(colorterm, "truecolor") == 0 || std::strcmp(colorterm, "24bit") == 0)) {
    return true;
  }
  return tigetflag("RGB") == 1 || tigetflag("Tc") == 1;
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
  bool inputReady = false;
  bool started = false;     // the alternate screen is on
  bool inputBroken = false;  // ncurses could not set up its screen
  void* early = nullptr;     // the description read before ncurses' screen
  bool redrawPending = false;  // the next event is a redraw
  std::unordered_map<int, Key> extraKeys;
  std::optional<FrameWriter> writer;

  // The terminal's strings, looked up once, for the frame writer.
  void MakeWriter() {
    TerminalStrings strings;
    strings.sgr0 = TerminalString("sgr0");
    strings.bold = TerminalString("bold");
    strings.rev = TerminalString("rev");
    strings.dim = TerminalString("dim");
    strings.smul = TerminalString("smul");
    strings.clear = TerminalString("clear");
    strings.smcup = TerminalString("smcup");
    strings.civis = TerminalString("civis");
    const std::string setaf = RawString("setaf");
    const std::string setab = RawString("setab");
    const int colors = tigetnum("colors");
    strings.colors = setaf.empty() || setab.empty() || NoColorAsked() ? 0
                     : DirectColorOffered()                           ? kDirectColors
                     : colors >= 256                                  ? 256
                     : colors >= 16                                   ? 16
                     : colors >= 8                                    ? 8
                                                                      : 0;
    if (strings.colors == kDirectColors) {
      // The ISO 8613-6 form that terminals with 24-bit colour understand;
      // the index is the colour itself.
      strings.color = [](bool background, int rgb) {
        return std::string(background ? "\033[48;2;" : "\033[38;2;") + std::to_string((rgb >> 16) & 0xFF) +
               ";" + std::to_string((rgb >> 8) & 0xFF) + ";" + std::to_string(rgb & 0xFF) + "m";
      };
    } else {
      strings.color = [setaf, setab](bool background, int index) {
        return terminfo_glue::Pad(tiparm((background ? setab : setaf).c_str(), index));
      };
    }
    const std::string cup = RawString("cup");
    strings.cup = cup;
    strings.address = [cup](int row, int col) {
      return terminfo_glue::Pad(tiparm(cup.c_str(), row, col));
    };
    strings.skipLastCell = tigetflag("am") == 1 && tigetflag("xenl") != 1;
    strings.backColorErase = tigetflag("bce") == 1;
    if (const std::string ech = RawString("ech"); !ech.empty()) {
      strings.eraseChars = [ech](int count) { return terminfo_glue::Pad(tiparm(ech.c_str(), count)); };
    }
    caps.colors = strings.colors;
    writer.emplace(std::move(strings));
  }

  // Frames go out as they are: no output processing by the terminal
  // driver, which would look at every byte of every frame. Flow control is
  // off too: Ctrl-S would otherwise stop all output (the sheet looks frozen
  // until Ctrl-Q). The modes the program started with come back at the end.
  void SetRawOutput() {
    termios raw{};
    if (::tcgetattr(ttyFd, &raw) == 0) {
      raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
      raw.c_iflag &= ~static_cast<tcflag_t>(IXON);
      ::tcsetattr(ttyFd, TCSANOW, &raw);
    }
  }

  // ncurses' screen, the keyboard, the mouse and the locale: after the
  // first frame, which needs none of them.
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
      writer->Forget();
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
    mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON4_PRESSED | BUTTON5_PRESSED, nullptr);

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
  const char* type = std::getenv("TERM");
  const std::string typeName = printable::Escape(type != nullptr ? type : "");
  if (impl->early == nullptr) {
    error = "cannot use the terminal type \"" + typeName + "\"";
    std::fclose(impl->out);
    return nullptr;
  }
  if (!terminfo_glue::CanAddressCursor()) {
    error = "the terminal type \"" + typeName +
            "\" cannot place the cursor, which the sheet needs; run Halcyra Setup in a terminal "
            "window (TERM such as xterm-256color) or the Linux console";
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
  // The frames carry their colours themselves, so ncurses' colour pairs
  // are never set up; the description says how many colours there are.
  impl->MakeWriter();

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
  // each in one write: ncurses 6.4 flushes at every cursor movement, a
  // write for every line.
  Impl& impl = *m_impl;
  const std::string bytes = impl.writer->Frame(grid, GetSize(), impl.caps.unicode);
  WriteAll(impl.ttyFd, bytes.data(), bytes.size());
  impl.started = true;
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
        m_impl->writer->Forget();
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
          m_impl->writer->Forget();
          event.key = Key::Resize;
          break;
        case KEY_MOUSE: {
          MEVENT mouse{};
          if (getmouse(&mouse) != OK) continue;
          event.x = mouse.x;
          event.y = mouse.y;
          if (mouse.bstate & BUTTON1_PRESSED) {
            event.key = Key::MouseDown;
          } else if (mouse.bstate & BUTTON1_RELEASED) {
            event.key = Key::MouseUp;
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
