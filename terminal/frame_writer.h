// Turning a grid of cells into the bytes that put it on a terminal: only
// what changed since the last frame, with the terminal's own strings (from
// its terminfo description), in one piece to be written at once. Also maps
// the grid's RGB colours to the terminal's palette. No terminal library is
// needed here: the screen layer hands in the strings and writes the bytes.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "terminal/grid.h"

namespace term {

// The number of colours of a terminal that takes any 24-bit colour.
constexpr int kDirectColors = 1 << 24;

// The palette index for `rgb` among `colors` colours (8, 16: the VGA
// palette, which the Windows colours are part of; 256: xterm's, with its
// colour cube and grey ramp); with kDirectColors, `rgb` itself.
int PaletteIndex(Color rgb, int colors);
// The colour of palette entry `index` among `colors` colours.
Color PaletteColor(int index, int colors);

struct TerminalStrings {
  std::string cup;    // cursor address (terminfo), used unless ANSI
  std::string sgr0, bold, rev, dim, smul, clear, smcup, civis;
  // The foreground (or background) colour string for a palette index (the
  // colour itself with kDirectColors).
  std::function<std::string(bool background, int index)> color;
  // The cursor address for other than "ESC [ row ; col H".
  std::function<std::string(int row, int col)> address;
  int colors = 0;             // 0: no colour; 8, 16, 256 or kDirectColors
  bool skipLastCell = false;  // writing the lower right cell would scroll
  // The terminal clears and erases with the current background colour
  // (terminfo's bce), and erases `count` cells from the cursor without
  // moving it (ech) where `eraseChars` is set: a frame then lays its most
  // common background with the clear and long blank runs with an erase.
  bool backColorErase = false;
  std::function<std::string(int count)> eraseChars;
};

class FrameWriter {
 public:
  explicit FrameWriter(TerminalStrings strings);

  // The bytes that bring the terminal, `size` cells, from what it shows to
  // `grid`. The first frame also enters the alternate screen and hides the
  // cursor; a frame after Forget (or of another size) clears and draws
  // everything. Characters outside ASCII are written as UTF-8, or as '?'
  // without `unicode`.
  std::string Frame(const Grid& grid, Size size, bool unicode);
  // The terminal's content is unknown: the next frame is drawn whole.
  void Forget() { m_shown.reset(); }
  int Colors() const { return m_strings.colors; }

 private:
  int ColorIndex(Color color);
  const std::string& ColorString(bool background, int index);
  void AppendStyle(std::string& out, const Style* from, const Style& to);
  void AppendCursor(std::string& out, int row, int col, int from);
  // Appends a string of the terminal's; one that only sets attributes
  // (ESC [ ... m) joins the one before it when that did too.
  void AppendSgr(std::string& out, const std::string& sgr);
  // The palette index of the background a blank cell shows (-1: the
  // default), or none when the cell is not blank (a character, underline
  // or reverse video shows).
  std::optional<int> BlankBackground(const Cell& cell);

  TerminalStrings m_strings;
  bool m_ansiCup = false;
  bool m_started = false;
  std::optional<Grid> m_shown;
  std::unordered_map<Color, int> m_colorIndex;
  std::array<std::pair<Color, int>, 256> m_recentColors{};
  std::vector<std::string> m_foreground, m_background;  // formatted when first used
  std::string m_directColor;
  std::size_t m_sgrEnd = std::string::npos;  // where the last joinable SGR ends in the frame
};

}  // namespace term
