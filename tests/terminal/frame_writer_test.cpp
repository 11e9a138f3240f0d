// The frame writer against a small terminal emulator that understands what
// the writer sends with xterm's strings: cursor address, SGR, clear.
#include <gtest/gtest.h>

#include "sheet_run.h"
#include "terminal/frame_writer.h"
#include "terminal/render.h"

namespace {

using term::Cell;
using term::Grid;
using term::Size;

struct VtCell {
  char32_t ch = U' ';
  int fg = -1;
  int bg = -1;
  std::uint8_t attrs = 0;
};

// Applies the bytes to a screen of `size` cells.
class Vt {
 public:
  explicit Vt(Size size) : m_size(size), m_cells(static_cast<std::size_t>(size.cols * size.rows)) {}

  void Feed(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
      const auto c = static_cast<unsigned char>(bytes[i]);
      if (c == 0x1B) {
        i = Escape(bytes, i);
        continue;
      }
      char32_t ch = c;
      int extra = 0;
      if (c >= 0xE0) {
        ch = c & 0x0F;
        extra = 2;
      } else if (c >= 0xC0) {
        ch = c & 0x1F;
        extra = 1;
      }
      for (int k = 1; k <= extra; ++k) ch = (ch << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
      i += static_cast<std::size_t>(extra) + 1;
      if (m_row < m_size.rows && m_col < m_size.cols) {
        At(m_col, m_row) = VtCell{ch, m_fg, m_bg, m_attrs};
      }
      ++m_col;
      ++written;
    }
  }

  VtCell& At(int x, int y) { return m_cells[static_cast<std::size_t>(y * m_size.cols + x)]; }
  int clears = 0;
  int written = 0;

 private:
  std::size_t Escape(const std::string& b, std::size_t i) {
    EXPECT_EQ(b[i + 1], '[') << "unexpected escape";
    std::size_t j = i + 2;
    std::string params;
    while (j < b.size() && (std::isdigit(static_cast<unsigned char>(b[j])) || b[j] == ';' || b[j] == '?')) {
      params += b[j++];
    }
    const char final = b[j];
    std::vector<int> n;
    std::size_t start = params[0] == '?' ? 1 : 0;
    while (start <= params.size()) {
      const std::size_t end = std::min(params.find(';', start), params.size());
      n.push_back(end > start ? std::stoi(params.substr(start, end - start)) : 0);
      start = end + 1;
    }
    // Clear and erase lay the current background (xterm's bce).
    const VtCell erased{U' ', -1, m_bg, 0};
    if (final == 'H') {
      m_row = n.size() > 0 && n[0] > 0 ? n[0] - 1 : 0;
      m_col = n.size() > 1 && n[1] > 0 ? n[1] - 1 : 0;
    } else if (final == 'C') {
      m_col += std::max(n[0], 1);
    } else if (final == 'X') {
      for (int k = 0; k < std::max(n[0], 1) && m_col + k < m_size.cols; ++k) At(m_col + k, m_row) = erased;
    } else if (final == 'J' && params == "2") {
      std::fill(m_cells.begin(), m_cells.end(), erased);
      ++clears;
    } else if (final == 'm') {
      for (std::size_t k = 0; k < n.size(); ++k) {
        switch (n[k]) {
          case 0: m_fg = m_bg = -1; m_attrs = 0; break;
          case 1: m_attrs |= term::kBold; break;
          case 2: m_attrs |= term::kDim; break;
          case 4: m_attrs |= term::kUnderline; break;
          case 7: m_attrs |= term::kReverse; break;
          case 38:
          case 48: {
            // 5;INDEX, or 2;R;G;B (24-bit colour)
            const bool direct = n[k + 1] == 2;
            const int colour = direct ? (n[k + 2] << 16) | (n[k + 3] << 8) | n[k + 4] : n[k + 2];
            (n[k] == 38 ? m_fg : m_bg) = colour;
            k += direct ? 4 : 2;
            break;
          }
          default: ADD_FAILURE() << "SGR " << n[k];
        }
      }
    }
    return j + 1;
  }

  Size m_size;
  std::vector<VtCell> m_cells;
  int m_row = 0, m_col = 0, m_fg = -1, m_bg = -1;
  std::uint8_t m_attrs = 0;
};

term::TerminalStrings XtermStrings() {
  term::TerminalStrings s;
  s.cup = "\033[%i%p1%d;%p2%dH";
  s.sgr0 = "\033[0m";
  s.bold = "\033[1m";
  s.dim = "\033[2m";
  s.smul = "\033[4m";
  s.rev = "\033[7m";
  s.clear = "\033[H\033[2J";
  s.smcup = "\033[?1049h";
  s.civis = "\033[?25l";
  s.colors = 256;
  s.color = [](bool background, int index) {
    return std::string(background ? "\033[48;5;" : "\033[38;5;") + std::to_string(index) + "m";
  };
  s.backColorErase = true;
  s.eraseChars = [](int count) { return "\033[" + std::to_string(count) + "X"; };
  return s;
}

// Whether the emulated screen shows `grid`, cell for cell.
void ExpectShows(Vt& vt, const Grid& grid, int colors, const char* what) {
  int wrong = 0;
  for (int y = 0; y < grid.Rows(); ++y) {
    for (int x = 0; x < grid.Cols(); ++x) {
      const Cell& cell = grid.At(x, y);
      const VtCell& got = vt.At(x, y);
      const int fg = cell.style.fg == term::kDefaultColor ? -1 : term::PaletteIndex(cell.style.fg, colors);
      const int bg = cell.style.bg == term::kDefaultColor ? -1 : term::PaletteIndex(cell.style.bg, colors);
      // A blank shows only its background (underline and reverse aside).
      constexpr std::uint8_t kShown = term::kUnderline | term::kReverse;
      const bool blank = cell.ch == U' ' && (cell.style.attrs & kShown) == 0;
      const bool same = blank ? got.ch == U' ' && got.bg == bg && (got.attrs & kShown) == 0
                              : got.ch == cell.ch && got.fg == fg && got.bg == bg && got.attrs == cell.style.attrs;
      if (!same) {
        if (++wrong <= 3) ADD_FAILURE() << what << ": cell " << x << "," << y;
      }
    }
  }
  EXPECT_EQ(wrong, 0) << what;
}

constexpr Size kSize{100, 32};

// The strings of a terminal with 24-bit colour.
term::TerminalStrings DirectStrings() {
  term::TerminalStrings strings = XtermStrings();
  strings.colors = term::kDirectColors;
  strings.color = [](bool background, int rgb) {
    return std::string(background ? "\033[48;2;" : "\033[38;2;") + std::to_string((rgb >> 16) & 0xFF) + ";" +
           std::to_string((rgb >> 8) & 0xFF) + ";" + std::to_string(rgb & 0xFF) + "m";
  };
  return strings;
}

// Every frame of a run of the program, each written as a change from the
// one before, shows on the terminal as it was drawn; a change of focus or
// of a check mark sends little.
TEST(FrameWriter, FramesRebuildTheGridOnTheTerminal) {
  test::SheetRun run({{term::Key::CtrlPageDown}, {term::Key::Tab}, {term::Key::Char, U' '}});
  run.Go();
  const std::vector<Grid>& frames = run.screen.frames;
  ASSERT_GE(frames.size(), 4u);
  for (const term::TerminalStrings& strings : {XtermStrings(), DirectStrings()}) {
    term::FrameWriter writer(strings);
    Vt vt(kSize);
    const std::string whole = writer.Frame(frames[0], kSize, true);
    EXPECT_EQ(whole.rfind("\033[?1049h\033[?25l", 0), 0u);  // alternate screen, no cursor
    vt.Feed(whole);
    ExpectShows(vt, frames[0], strings.colors, "first frame");
    for (std::size_t i = 1; i < frames.size(); ++i) {
      const std::string change = writer.Frame(frames[i], kSize, true);
      vt.Feed(change);
      ExpectShows(vt, frames[i], strings.colors, ("frame " + std::to_string(i)).c_str());
      if (i + 1 == frames.size()) {
        EXPECT_LT(change.size() * 20, whole.size());  // the check mark only
      }
    }
    EXPECT_EQ(vt.clears, 1);
    EXPECT_EQ(writer.Frame(frames.back(), kSize, true), "\033[0m");  // nothing changed
    // After Forget, everything again.
    writer.Forget();
    vt.Feed(writer.Frame(frames.back(), kSize, true));
    EXPECT_EQ(vt.clears, 2);
    ExpectShows(vt, frames.back(), strings.colors, "frame after Forget");
  }
  EXPECT_EQ(term::PaletteIndex(0x123456, term::kDirectColors), 0x123456);
}

TEST(FrameWriter, ATerminalOfAnotherSizeGetsWhatFitsThenAWholeFrame) {
  Grid grid(kSize, {0x000000, 0xC0C0C0, 0});
  grid.Text(98, 31, U"AB", {});
  term::FrameWriter writer(XtermStrings());
  Vt small({50, 20});
  small.Feed(writer.Frame(grid, {50, 20}, true));  // the terminal shrank meanwhile
  EXPECT_EQ(small.At(49, 19).ch, U' ');
  EXPECT_EQ(small.At(49, 19).bg, term::PaletteIndex(0xC0C0C0, 256));
  Vt vt(kSize);
  const std::string next = writer.Frame(grid, kSize, true);
  EXPECT_NE(next.find("\033[H\033[2J"), std::string::npos);  // drawn whole
  vt.Feed(next);
  ExpectShows(vt, grid, 256, "after resize");
}

TEST(FrameWriter, CharactersAndCornersByTheTerminalsAbilities) {
  Grid grid({4, 2}, {});
  grid.Text(0, 0, U"\u2502\u00E9x", {});
  grid.Put(3, 1, U'Z', {});
  {
    term::FrameWriter writer(XtermStrings());
    Vt vt({4, 2});
    vt.Feed(writer.Frame(grid, {4, 2}, false));  // no UTF-8: ASCII stand-ins
    EXPECT_EQ(vt.At(0, 0).ch, U'?');
    EXPECT_EQ(vt.At(1, 0).ch, U'?');
    EXPECT_EQ(vt.At(2, 0).ch, U'x');
  }
  {
    term::TerminalStrings strings = XtermStrings();
    strings.skipLastCell = true;  // automatic margins without the xterm glitch
    strings.cup = "\033[%p1%d;%p2%df";
    int addressed = 0;
    strings.address = [&addressed](int row, int col) {
      ++addressed;
      return "\033[" + std::to_string(row + 1) + ";" + std::to_string(col + 1) + "H";
    };
    term::FrameWriter writer(strings);
    Vt vt({4, 2});
    vt.Feed(writer.Frame(grid, {4, 2}, true));
    EXPECT_EQ(vt.At(0, 0).ch, U'\u2502');
    EXPECT_EQ(vt.At(1, 0).ch, U'\u00E9');
    EXPECT_EQ(vt.At(3, 1).ch, U' ');  // the lower right cell is left alone
    EXPECT_GT(addressed, 0);          // the terminal's own cursor address
  }
}

TEST(FrameWriter, PaletteMapping) {
  // Exact Windows colours land on their VGA index; xterm's 256 colours
  // take the cube or the grey ramp, whichever is nearer.
  EXPECT_EQ(term::PaletteIndex(0x000080, 16), 4);
  EXPECT_EQ(term::PaletteIndex(0xC0C0C0, 16), 7);
  EXPECT_EQ(term::PaletteIndex(0x808080, 16), 8);
  EXPECT_EQ(term::PaletteIndex(0xFFFFFF, 16), 15);
  EXPECT_EQ(term::PaletteIndex(0xFFFFFF, 8), 7);
  EXPECT_EQ(term::PaletteIndex(0xFF0000, 8), 1);
  EXPECT_EQ(term::PaletteIndex(0x000000, 256), 16);
  EXPECT_EQ(term::PaletteIndex(0xFFFFFF, 256), 231);
  EXPECT_EQ(term::PaletteIndex(0x808080, 256), 244);
  EXPECT_EQ(term::PaletteIndex(0xFF0000, 256), 196);
  // Every palette entry maps back to itself.
  for (const int colors : {8, 16, 256}) {
    for (int index = colors == 256 ? 16 : 0; index < colors; ++index) {
      EXPECT_EQ(term::PaletteIndex(term::PaletteColor(index, colors), colors), index) << colors;
    }
  }
}

}  // namespace
