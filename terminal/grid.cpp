#include "terminal/grid.h"

#include <algorithm>

namespace term {

namespace {

// Code page 1252 in the range 0x80-0x9F; 0 marks an unassigned byte.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

}  // namespace

Grid::Grid(Size size, Style fill)
    : m_size{std::max(size.cols, 0), std::max(size.rows, 0)},
      m_cells(static_cast<std::size_t>(m_size.cols) * static_cast<std::size_t>(m_size.rows),
              Cell{U' ', fill}) {}

void Grid::Put(int x, int y, char32_t ch, Style style) {
  if (!Contains(x, y) || (m_clip && !m_clip->Contains(x, y))) return;
  At(x, y) = Cell{ch, style};
}

int Grid::Text(int x, int y, std::u32string_view text, Style style, int maxCols) {
  int written = 0;
  for (const char32_t ch : text) {
    if (maxCols >= 0 && written >= maxCols) break;
    Put(x + written, y, ch, style);
    ++written;
  }
  return written;
}

void Grid::Fill(const Rect& rect, char32_t ch, Style style) {
  for (int y = rect.y; y < rect.y + rect.h; ++y) {
    for (int x = rect.x; x < rect.x + rect.w; ++x) Put(x, y, ch, style);
  }
}

void Grid::Restyle(const Rect& rect, Style style) {
  for (int y = rect.y; y < rect.y + rect.h; ++y) {
    for (int x = rect.x; x < rect.x + rect.w; ++x) {
      if (Contains(x, y)) At(x, y).style = style;
    }
  }
}

std::string Grid::RowText(int y) const {
  if (y < 0 || y >= m_size.rows) return {};
  std::u32string row;
  row.reserve(static_cast<std::size_t>(m_size.cols));
  for (int x = 0; x < m_size.cols; ++x) row.push_back(At(x, y).ch);
  while (!row.empty() && row.back() == U' ') row.pop_back();
  return ToUtf8(row);
}

std::string Grid::ToText() const {
  std::string text;
  for (int y = 0; y < m_size.rows; ++y) {
    text += RowText(y);
    text += '\n';
  }
  return text;
}

std::u32string FromAnsi(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    char32_t ch = byte;
    if (byte < 0x20 || byte == 0x7F) {
      ch = U' ';
    } else if (byte >= 0x80 && byte < 0xA0) {
      ch = kCp1252High[byte - 0x80];
      if (ch == 0) ch = U'?';
    }
    out.push_back(ch);
  }
  return out;
}

std::optional<char> ToAnsi(char32_t ch) {
  if (ch < 0x20 || ch == 0x7F) return std::nullopt;
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<char>(ch);
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == ch && ch != 0) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

std::string ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t ch : text) {
    if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) ch = U'?';
    if (ch < 0x80) {
      out.push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
      out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else if (ch < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (ch >> 12)));
      out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (ch >> 18)));
      out.push_back(static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
  }
  return out;
}

}  // namespace term
