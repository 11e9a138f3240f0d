// A grid of character cells: what the terminal front end draws into before
// the screen layer puts it on the terminal. Each cell holds one character
// (one column wide) with its colours and attributes. Colours are RGB values
// that the screen maps to the terminal's palette, or the terminal's default.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace term {

// 0x00RRGGBB, or kDefaultColor for the terminal's own colour.
using Color = std::uint32_t;
constexpr Color kDefaultColor = 0xFF000000u;
constexpr Color Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return (static_cast<Color>(r) << 16) | (static_cast<Color>(g) << 8) | b;
}

enum Attr : std::uint8_t {
  kNoAttr = 0,
  kBold = 1,
  kReverse = 2,
  kDim = 4,
  kUnderline = 8,
};

struct Style {
  Color fg = kDefaultColor;
  Color bg = kDefaultColor;
  std::uint8_t attrs = kNoAttr;
  friend bool operator==(const Style&, const Style&) = default;
};

struct Cell {
  char32_t ch = U' ';
  Style style;
  friend bool operator==(const Cell&, const Cell&) = default;
};

struct Size {
  int cols = 0;
  int rows = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// A rectangle of cells; x, y is its top-left cell.
struct Rect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  int Right() const { return x + w - 1; }
  int Bottom() const { return y + h - 1; }
  bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
  bool Empty() const { return w <= 0 || h <= 0; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

class Grid {
 public:
  Grid() = default;
  Grid(Size size, Style fill);

  int Cols() const { return m_size.cols; }
  int Rows() const { return m_size.rows; }
  Size GetSize() const { return m_size; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_size.cols && y < m_size.rows; }

  const Cell& At(int x, int y) const { return m_cells[Index(x, y)]; }
  Cell& At(int x, int y) { return m_cells[Index(x, y)]; }

  // Writes outside the grid, or outside the clip rectangle while one is
  // set, are dropped.
  void Put(int x, int y, char32_t ch, Style style);
  void SetClip(std::optional<Rect> clip) { m_clip = clip; }
  // Writes `text` from x, at most `maxCols` columns (all when negative);
  // returns the number of columns written or skipped by clipping.
  int Text(int x, int y, std::u32string_view text, Style style, int maxCols = -1);
  void Fill(const Rect& rect, char32_t ch, Style style);
  // Changes the style of the cells of `rect`, keeping their characters.
  void Restyle(const Rect& rect, Style style);

  // Row `y` as UTF-8 text, without trailing blanks.
  std::string RowText(int y) const;
  // All rows, each followed by a line feed.
  std::string ToText() const;

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_size.cols) +
           static_cast<std::size_t>(x);
  }

  Size m_size;
  std::vector<Cell> m_cells;
  std::optional<Rect> m_clip;
};

// The system's texts are 8-bit Windows ("ANSI") text: bytes 0x80-0x9F
// follow code page 1252, the rest are Latin-1. Control characters become
// blanks so that they cannot move the terminal's cursor.
std::u32string FromAnsi(std::string_view text);
// The inverse, for characters a user types: nullopt when `ch` has no 8-bit
// form (or is a control character).
std::optional<char> ToAnsi(char32_t ch);
std::string ToUtf8(std::u32string_view text);

}  // namespace term
