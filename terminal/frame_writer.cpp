#include "terminal/frame_writer.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace term {

namespace {

constexpr std::array<Color, 16> kVgaPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

int Distance(Color a, Color b) {
  const int dr = static_cast<int>((a >> 16) & 0xFF) - static_cast<int>((b >> 16) & 0xFF);
  const int dg = static_cast<int>((a >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
  const int db = static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF);
  return dr * dr + dg * dg + db * db;
}

int NearestVga(Color rgb, int count) {
  int best = 0;
  for (int i = 1; i < count; ++i) {
    if (Distance(rgb, kVgaPalette[static_cast<std::size_t>(i)]) <
        Distance(rgb, kVgaPalette[static_cast<std::size_t>(best)])) {
      best = i;
    }
  }
  return best;
}

int Nearest256(Color rgb) {
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
  const auto cubeRgb = static_cast<Color>((kLevels[ri] << 16) | (kLevels[gi] << 8) | kLevels[bi]);
  const int grey = std::clamp((r + g + b) / 3, 8, 238);
  const int step = std::clamp((grey - 8 + 5) / 10, 0, 23);
  const int value = 8 + 10 * step;
  const auto greyRgb = static_cast<Color>((value << 16) | (value << 8) | value);
  return Distance(rgb, greyRgb) < Distance(rgb, cubeRgb) ? 232 + step : cube;
}

void AppendUtf8(std::string& out, char32_t ch, bool unicode) {
  if (ch < 0x20 || (!unicode && ch > 0x7E) || ch > 0xFFFF || (ch >= 0xD800 && ch <= 0xDFFF)) {
    ch = U'?';
  }
  // The grid holds characters of the basic plane only.
  if (ch < 0x80) {
    out.push_back(static_cast<char>(ch));
  } else if (ch < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
    out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (ch >> 12)));
    out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
  }
}

}  // namespace

int PaletteIndex(Color rgb, int colors) {
  if (colors > 256) return static_cast<int>(rgb & 0xFFFFFFu);
  if (colors >= 256) return Nearest256(rgb);
  return NearestVga(rgb, colors >= 16 ? 16 : 8);
}

Color PaletteColor(int index, int colors) {
  if (colors > 256) return static_cast<Color>(index) & 0xFFFFFFu;
  if (index < 16) return kVgaPalette[static_cast<std::size_t>(std::clamp(index, 0, 15))];
  if (index >= 232) {
    const auto value = static_cast<std::uint8_t>(8 + 10 * (std::min(index, 255) - 232));
    return Rgb(value, value, value);
  }
  static constexpr std::uint8_t kLevels[6] = {0, 95, 135, 175, 215, 255};
  const int cube = index - 16;
  return Rgb(kLevels[cube / 36], kLevels[(cube / 6) % 6], kLevels[cube % 6]);
}

FrameWriter::FrameWriter(TerminalStrings strings) : m_strings(std::move(strings)) {
  m_ansiCup = m_strings.cup == "\033[%i%p1%d;%p2%dH" || !m_strings.address;
  if (!m_strings.color) m_strings.colors = 0;
  const auto count = static_cast<std::size_t>(std::clamp(m_strings.colors, 0, 256));
  m_foreground.assign(count, std::string());
  m_background.assign(count, std::string());
  m_recentColors.fill({kDefaultColor, -1});
}

// Looked up at every change of colour in a frame: a small table in front of
// the map.
int FrameWriter::ColorIndex(Color color) {
  if (color == kDefaultColor || m_strings.colors <= 0) return -1;
  auto& slot = m_recentColors[(color * 2654435761u) >> 24];
  if (slot.first == color) return slot.second;
  int index = 0;
  if (auto it = m_colorIndex.find(color); it != m_colorIndex.end()) {
    index = it->second;
  } else {
    index = PaletteIndex(color, m_strings.colors);
    m_colorIndex[color] = index;
  }
  slot = {color, index};
  return index;
}

const std::string& FrameWriter::ColorString(bool background, int index) {
  if (m_strings.colors > 256) {
    // Any colour: made when needed, the last one kept.
    m_directColor = m_strings.color(background, index);
    return m_directColor;
  }
  std::string& text = (background ? m_background : m_foreground)[static_cast<std::size_t>(index)];
  if (text.empty()) text = m_strings.color(background, index);
  return text;
}

// Attributes can only all be turned off together, and so can colours go
// back to the default: such a change starts from sgr0, any other only adds.
void FrameWriter::AppendStyle(std::string& out, const Style* from, const Style& to) {
  const int fg = ColorIndex(to.fg);
  const int bg = ColorIndex(to.bg);
  const bool reset = from == nullptr || (from->attrs & ~to.attrs) != 0 ||
                     (fg < 0 && ColorIndex(from->fg) >= 0) || (bg < 0 && ColorIndex(from->bg) >= 0);
  const auto added = static_cast<std::uint8_t>(reset ? to.attrs : to.attrs & ~from->attrs);
  if (reset) AppendSgr(out, m_strings.sgr0);
  if (added & kBold) AppendSgr(out, m_strings.bold);
  if (added & kReverse) AppendSgr(out, m_strings.rev);
  if (added & kDim) AppendSgr(out, m_strings.dim);
  if (added & kUnderline) AppendSgr(out, m_strings.smul);
  if (fg >= 0 && (reset || fg != ColorIndex(from->fg))) AppendSgr(out, ColorString(false, fg));
  if (bg >= 0 && (reset || bg != ColorIndex(from->bg))) AppendSgr(out, ColorString(true, bg));
}

void FrameWriter::AppendSgr(std::string& out, const std::string& sgr) {
  // Only the form ESC [ digits and ';' m is joined; xterm's sgr0 brings a
  // character set choice before it, which is kept as it is.
  const std::size_t csi = sgr.rfind("\033[");
  const bool joinable = csi != std::string::npos && sgr.size() >= csi + 3 && sgr.back() == 'm' &&
                        sgr.find_first_not_of("0123456789;", csi + 2) == sgr.size() - 1;
  if (!joinable) {
    out += sgr;
    m_sgrEnd = std::string::npos;
    return;
  }
  if (csi > 0) {
    out.append(sgr, 0, csi);
    m_sgrEnd = std::string::npos;
  }
  const std::string_view params(sgr.data() + csi + 2, sgr.size() - csi - 3);
  if (m_sgrEnd == out.size()) {
    out.pop_back();  // the 'm'
    if (out.back() == '[') out += '0';
    out += ';';
    out += params.empty() ? std::string_view("0") : params;
    out += 'm';
  } else {
    out.append(sgr, csi, std::string::npos);
  }
  m_sgrEnd = out.size();
}

std::optional<int> FrameWriter::BlankBackground(const Cell& cell) {
  if (cell.ch != U' ' || (cell.style.attrs & (kUnderline | kReverse)) != 0) return std::nullopt;
  return ColorIndex(cell.style.bg);
}

void FrameWriter::AppendCursor(std::string& out, int row, int col, int from) {
  if (!m_ansiCup) {
    out += m_strings.address(row, col);
    return;
  }
  if (from >= 0 && col > from) {
    // Forward on the same row: shorter than an address.
    out += "\033[";
    if (col - from > 1) out += std::to_string(col - from);
    out += 'C';
    return;
  }
  out += "\033[";
  out += std::to_string(row + 1);
  out += ';';
  out += std::to_string(col + 1);
  out += 'H';
}

std::string FrameWriter::Frame(const Grid& grid, Size size, bool unicode) {
  // Runs of one blank at least this long are erased rather than written
  // (the erase and the move past it take about ten bytes); gaps up to this
  // long between cells to draw are written over with blanks rather than
  // skipped with a move, when they show the current background.
  constexpr int kEraseRun = 12;
  constexpr int kWrittenGap = 4;
  const bool whole = !m_shown || m_shown->GetSize() != grid.GetSize();
  const bool erase = m_strings.backColorErase && m_strings.colors > 0;
  std::string out;
  out.reserve(static_cast<std::size_t>(grid.Cols()) * static_cast<std::size_t>(grid.Rows()) * 4);
  m_sgrEnd = std::string::npos;
  if (!m_started) {
    m_started = true;
    out += m_strings.smcup + m_strings.civis;
  }
  const int rows = std::min(size.rows, grid.Rows());
  const int cols = std::min(size.cols, grid.Cols());
  std::optional<Style> current;  // the terminal's style, unknown at first
  // A whole frame starts from a cleared screen of one background: the
  // default, or where the clear lays the current background, the one most
  // blank cells show. Blank cells of that background are there already.
  int fill = -1;
  if (whole) {
    Style fillStyle{};
    if (erase) {
      std::unordered_map<int, std::pair<int, Color>> blanks;  // index: count, a colour of it
      for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
          const Cell& cell = grid.At(x, y);
          if (const auto bg = BlankBackground(cell)) {
            auto& [count, colour] = blanks[*bg];
            if (count++ == 0) colour = cell.style.bg;
          }
        }
      }
      int most = 0;
      for (const auto& [index, seen] : blanks) {
        if (seen.first > most || (seen.first == most && index < fill)) {
          most = seen.first;
          fill = index;
          fillStyle.bg = seen.second;
        }
      }
    }
    AppendSgr(out, m_strings.sgr0);
    if (fill >= 0) AppendSgr(out, ColorString(true, fill));
    out += m_strings.clear;
    m_sgrEnd = std::string::npos;
    current = fill >= 0 ? fillStyle : Style{};
  }
  for (int y = 0; y < rows; ++y) {
    int cursor = -1;  // where the terminal's cursor is on this row
    for (int x = 0; x < cols; ++x) {
      if (m_strings.skipLastCell && y == size.rows - 1 && x == size.cols - 1) continue;
      const Cell& cell = grid.At(x, y);
      if (whole ? BlankBackground(cell) == fill : cell == m_shown->At(x, y)) continue;
      if (cursor != x) {
        // A short gap that shows the current background is written over.
        bool writeGap = cursor >= 0 && x - cursor <= kWrittenGap && current &&
                        (current->attrs & (kUnderline | kReverse)) == 0;
        for (int g = cursor; writeGap && g < x; ++g) {
          writeGap = BlankBackground(grid.At(g, y)) == ColorIndex(current->bg);
        }
        if (writeGap) {
          out.append(static_cast<std::size_t>(x - cursor), ' ');
        } else {
          AppendCursor(out, y, x, cursor);
        }
        m_sgrEnd = std::string::npos;
        cursor = x;
      }
      // A blank shows its background only: it keeps the foreground and
      // the bold or dim the terminal has.
      Style style = cell.style;
      if (current && BlankBackground(cell)) {
        style.fg = current->fg;
        style.attrs = static_cast<std::uint8_t>(current->attrs & ~(kUnderline | kReverse));
      }
      if (!current || !(*current == style)) {
        AppendStyle(out, current ? &*current : nullptr, style);
        current = style;
      }
      int run = 1;
      if (erase && m_strings.eraseChars && BlankBackground(cell)) {
        while (x + run < cols && grid.At(x + run, y) == cell) ++run;
      }
      if (run >= kEraseRun) {
        out += m_strings.eraseChars(run);
        m_sgrEnd = std::string::npos;
        x += run - 1;  // the cursor stays where the run begins
        continue;
      }
      AppendUtf8(out, cell.ch, unicode);
      m_sgrEnd = std::string::npos;
      cursor = x + 1;
    }
  }
  AppendSgr(out, m_strings.sgr0);
  // A grid of another size than the terminal (it changed meanwhile) went
  // out only in part: the next frame is drawn whole.
  if (size == grid.GetSize()) {
    m_shown = grid;
  } else {
    m_shown.reset();
  }
  return out;
}

}  // namespace term
