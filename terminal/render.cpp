#include "terminal/render.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "res/bitmaps.h"
#include "terminal/frame_writer.h"

namespace term {

namespace {

struct Glyphs {
  char32_t h, v, tl, tr, bl, br, teeUp, teeRight, arrowDown, scrollUp, scrollDown, radioMark,
      close, upperHalf, scrollLeft, scrollRight;
  // Without colour a disabled control's brackets and drop-down arrow are
  // drawn with this, as not every such terminal can dim its text.
  char32_t disabled;
};

constexpr Glyphs kUnicode{U'─', U'│', U'┌', U'┐', U'└', U'┘', U'┴', U'├', U'▼', U'▲', U'▼',
                          U'•', U'×', U'▀', U'◄', U'►', U'·'};
constexpr Glyphs kAscii{U'-', U'|', U'+', U'+', U'+', U'+', U'+', U'+', U'v', U'^', U'v',
                        U'*', U'x', U'#', U'<', U'>', U':'};

// Styles of the sheet's parts; colours after the classic Windows scheme.
struct Theme {
  Style desktop, face, frame, title, text, disabled, focus, field, fieldDisabled, arrow, list,
      stop, warning, emphasis;
};

constexpr Color kBlack = Rgb(0, 0, 0);
constexpr Color kWhite = Rgb(255, 255, 255);
constexpr Color kGray = Rgb(192, 192, 192);
constexpr Color kDarkGray = Rgb(128, 128, 128);
constexpr Color kNavy = Rgb(0, 0, 128);
constexpr Color kTeal = Rgb(0, 128, 128);
constexpr Color kRed = Rgb(255, 0, 0);
constexpr Color kDarkRed = Rgb(128, 0, 0);
constexpr Color kOlive = Rgb(128, 128, 0);

Theme MakeTheme(const Caps& caps) {
  Theme t;
  if (caps.colors <= 0) {
    // No colour: attributes only.
    t.title = {kDefaultColor, kDefaultColor, kReverse | kBold};
    t.disabled = {kDefaultColor, kDefaultColor, kDim};
    t.focus = {kDefaultColor, kDefaultColor, kReverse};
    t.field = {kDefaultColor, kDefaultColor, kUnderline};
    t.fieldDisabled = {kDefaultColor, kDefaultColor, kDim};
    t.list = {};
    t.stop = t.warning = t.emphasis = {kDefaultColor, kDefaultColor, kBold};
    return t;
  }
  const bool rich = caps.colors >= 16;
  t.desktop = {kWhite, kTeal, kNoAttr};
  t.face = {kBlack, kGray, kNoAttr};
  t.frame = {rich ? kDarkGray : kBlack, kGray, kNoAttr};
  t.title = {kWhite, kNavy, kBold};
  t.text = t.face;
  t.disabled = rich ? Style{kDarkGray, kGray, kNoAttr} : Style{kBlack, kGray, kDim};
  t.focus = {kWhite, kNavy, kNoAttr};
  // With eight colours white and light grey are one colour: fields take teal.
  t.field = {kBlack, rich ? kWhite : kTeal, kNoAttr};
  t.fieldDisabled = t.disabled;
  t.arrow = {kBlack, kGray, kBold};
  t.list = t.field;
  t.stop = {rich ? kRed : kDarkRed, kGray, kBold};
  t.warning = {kOlive, kGray, kBold};
  t.emphasis = {kBlack, kGray, kBold};
  return t;
}

class Painter {
 public:
  Painter(Grid& grid, const Caps& abilities)
      : g(grid),
        caps(abilities),
        glyphs(abilities.unicode ? kUnicode : kAscii),
        theme(MakeTheme(abilities)) {}

  void Frame(const Rect& r, Style style) {
    if (r.w < 2 || r.h < 2) return;
    for (int x = r.x + 1; x < r.Right(); ++x) {
      g.Put(x, r.y, glyphs.h, style);
      g.Put(x, r.Bottom(), glyphs.h, style);
    }
    for (int y = r.y + 1; y < r.Bottom(); ++y) {
      g.Put(r.x, y, glyphs.v, style);
      g.Put(r.Right(), y, glyphs.v, style);
    }
    g.Put(r.x, r.y, glyphs.tl, style);
    g.Put(r.Right(), r.y, glyphs.tr, style);
    g.Put(r.x, r.Bottom(), glyphs.bl, style);
    g.Put(r.Right(), r.Bottom(), glyphs.br, style);
  }

  // Text clipped to the columns before `limit`.
  int Text(int x, int y, std::u32string_view text, Style style, int limit) {
    return g.Text(x, y, text, style, std::max(0, limit - x));
  }

  Grid& g;
  const Caps& caps;
  const Glyphs& glyphs;
  Theme theme;
};

std::u32string Centered(std::u32string_view text, int width) {
  std::u32string out(static_cast<std::size_t>(std::max(width, 0)), U' ');
  const int len = std::min(static_cast<int>(text.size()), width);
  const int at = (width - len) / 2;
  for (int i = 0; i < len; ++i) out[static_cast<std::size_t>(at + i)] = text[static_cast<std::size_t>(i)];
  return out;
}

void DrawTooSmall(Painter& p, const SheetLayout& layout) {
  const std::string text =
      "The window is too small for Halcyra Setup.\nPlease make it at least " +
      std::to_string(layout.needed.cols) + " x " + std::to_string(layout.needed.rows) +
      " characters (it is " + std::to_string(layout.term.cols) + " x " +
      std::to_string(layout.term.rows) + " now).\nEsc cancels.";
  const auto lines = WrapText(text, std::max(1, layout.term.cols - 2));
  const int top = std::max(0, (layout.term.rows - static_cast<int>(lines.size())) / 2);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int x = std::max(0, (layout.term.cols - static_cast<int>(lines[i].size())) / 2);
    p.g.Text(x, top + static_cast<int>(i), lines[i], p.theme.desktop);
  }
}

void DrawSheetFrame(Painter& p, const dm::SheetModel& sheet, const ViewState& state,
                    const SheetLayout& layout) {
  const Rect& s = layout.sheet;
  const Theme& th = p.theme;
  const Glyphs& gl = p.glyphs;
  p.g.Fill(s, U' ', th.face);
  p.Frame(s, th.face);

  // Title row over the top border, with the close mark at its right end.
  p.g.Fill({s.x + 1, s.y, s.w - 2, 1}, U' ', th.title);
  p.g.Put(s.x, s.y, gl.tl, th.title);
  p.g.Put(s.Right(), s.y, gl.tr, th.title);
  p.Text(s.x + 2, s.y, FromAnsi(sheet.Caption()), th.title, layout.closeBox.x - 1);
  const char32_t close[] = {U'[', gl.close, U']', 0};
  p.g.Text(layout.closeBox.x, layout.closeBox.y, close, th.title);

  // The page's frame; its top line runs under the tabs.
  p.Frame(layout.pageFrame, th.face);
  const int active = sheet.ActivePage();
  const int frameRow = layout.pageFrame.y;
  for (int i = 0; i < static_cast<int>(layout.tabs.size()); ++i) {
    const Rect& tab = layout.tabs[static_cast<std::size_t>(i)];
    const bool isActive = i == active;
    p.g.Put(tab.x, tab.y, gl.tl, th.face);
    for (int x = tab.x + 1; x < tab.Right(); ++x) p.g.Put(x, tab.y, gl.h, th.face);
    p.g.Put(tab.Right(), tab.y, gl.tr, th.face);
    p.g.Put(tab.x, tab.y + 1, gl.v, th.face);
    p.g.Put(tab.Right(), tab.y + 1, gl.v, th.face);
    Style caption = isActive ? th.emphasis : th.face;
    if (isActive && state.area == ViewState::Area::Tabs) caption = th.focus;
    std::u32string label = U" " + FromAnsi(sheet.TabCaption(i)) + U" ";
    p.Text(tab.x + 1, tab.y + 1, label, caption, tab.Right());
    const bool atFrameStart = tab.x == layout.pageFrame.x;
    if (isActive) {
      // The active tab opens into the page.
      p.g.Put(tab.x, frameRow, atFrameStart ? gl.v : gl.br, th.face);
      for (int x = tab.x + 1; x < tab.Right(); ++x) p.g.Put(x, frameRow, U' ', th.face);
      p.g.Put(tab.Right(), frameRow, gl.bl, th.face);
    } else {
      p.g.Put(tab.x, frameRow, atFrameStart ? gl.teeRight : gl.teeUp, th.face);
      p.g.Put(tab.Right(), frameRow, gl.teeUp, th.face);
    }
  }

  // The sheet's buttons: the focused one, or else OK, is the default.
  int defaultId = ui::IDOK;
  if (state.area == ViewState::Area::Button) defaultId = state.button;
  for (const auto& button : layout.buttons) {
    Style style = th.face;
    if (state.area == ViewState::Area::Button && state.button == button.id) {
      style = th.focus;
    }
    if (button.id == defaultId) style.attrs |= kBold;
    std::u32string label = U"[" + Centered(button.label, button.rect.w - 2) + U"]";
    p.g.Text(button.rect.x, button.rect.y, label, style);
  }
}

// Where the page area hides part of the page: a mark on the frame at that
// side.
void DrawScrollMarks(Painter& p, const SheetLayout& layout) {
  const Rect& frame = layout.pageFrame;
  const Rect& page = layout.page;
  Style mark = p.theme.emphasis;
  if (layout.scrollY > 0) p.g.Put(frame.Right(), page.y, p.glyphs.scrollUp, mark);
  if (layout.scrollY + page.h < layout.content.rows) {
    p.g.Put(frame.Right(), page.Bottom(), p.glyphs.scrollDown, mark);
  }
  if (layout.scrollX > 0) p.g.Put(page.x, frame.Bottom(), p.glyphs.scrollLeft, mark);
  if (layout.scrollX + page.w < layout.content.cols) {
    p.g.Put(page.Right(), frame.Bottom(), p.glyphs.scrollRight, mark);
  }
}

void DrawPicture(Painter& p, const Rect& frame, int bitmapId) {
  p.Frame(frame, p.theme.frame);
  const Rect inner{frame.x + 1, frame.y + 1, frame.w - 2, frame.h - 2};
  if (inner.Empty() || p.caps.colors <= 0) return;
  const auto& pixels = p.caps.colors > 256
                            ? PictureCells(bitmapId, inner.w, inner.h, p.theme.face.bg)
                            : PalettePictureCells(bitmapId, inner.w, inner.h, p.theme.face.bg, p.caps.colors);
  if (pixels.empty()) return;
  for (int row = 0; row < inner.h; ++row) {
    for (int col = 0; col < inner.w; ++col) {
      const Color upper = pixels[static_cast<std::size_t>((2 * row) * inner.w + col)];
      const Color lower = pixels[static_cast<std::size_t>((2 * row + 1) * inner.w + col)];
      if (p.caps.unicode) {
        p.g.Put(inner.x + col, inner.y + row, p.glyphs.upperHalf, {upper, lower, kNoAttr});
      } else {
        p.g.Put(inner.x + col, inner.y + row, U' ', {kDefaultColor, upper, kNoAttr});
      }
    }
  }
}

void DrawControl(Painter& p, const dm::ControlModel& control, const Rect& rect, bool focused,
                 bool listOpen, int limit) {
  const Theme& th = p.theme;
  const Style text = control.enabled ? th.text : th.disabled;
  const std::u32string caption = FromAnsi(control.text);
  switch (control.Kind()) {
    case res::ControlKind::GroupBox: {
      p.Frame(rect, th.frame);
      const int len = static_cast<int>(caption.size());
      if (len == 0) break;
      if (rect.w >= len + 4) {
        p.Text(rect.x + 1, rect.y, U" " + caption + U" ", text, rect.Right());
      } else {
        p.Text(rect.x + 1, rect.y, caption, text, rect.Right());
      }
      break;
    }
    case res::ControlKind::Picture:
      DrawPicture(p, rect, control.Template().bitmapId);
      break;
    case res::ControlKind::RadioButton:
    case res::ControlKind::CheckBox: {
      const bool radio = control.Kind() == res::ControlKind::RadioButton;
      const char32_t mark = control.check == 1   ? (radio ? p.glyphs.radioMark : U'x')
                            : control.check == 2 ? U'-'
                                                 : U' ';
      const bool greyGlyphs = !control.enabled && p.caps.colors <= 0;
      const char32_t open = greyGlyphs ? p.glyphs.disabled : radio ? U'(' : U'[';
      const char32_t close = greyGlyphs ? p.glyphs.disabled : radio ? U')' : U']';
      const char32_t box[] = {open, mark, close, U' ', 0};
      p.Text(rect.x, rect.y, box, text, limit);
      p.Text(rect.x + kMarkCols, rect.y, caption, focused ? th.focus : text, limit);
      break;
    }
    case res::ControlKind::Static:
      p.Text(rect.x, rect.y, caption, text, limit);
      break;
    case res::ControlKind::Edit: {
      // A read-only field shows the face colour, as Windows draws it.
      const bool readOnly = (control.Template().style & res::ES_READONLY) != 0;
      Style inside = !control.enabled ? th.fieldDisabled : readOnly ? th.face : th.field;
      if (focused) inside = th.focus;
      const int right = std::min(rect.Right(), limit - 1);
      const bool greyGlyphs = !control.enabled && p.caps.colors <= 0;
      p.g.Put(rect.x, rect.y, greyGlyphs ? p.glyphs.disabled : U'[', text);
      p.g.Fill({rect.x + 1, rect.y, right - rect.x - 1, 1}, U' ', inside);
      p.Text(rect.x + 1, rect.y, caption, inside, right);
      p.g.Put(right, rect.y, greyGlyphs ? p.glyphs.disabled : U']', text);
      break;
    }
    case res::ControlKind::ComboBox: {
      Style field = control.enabled ? th.field : th.fieldDisabled;
      if (focused && !listOpen) field = th.focus;
      const int right = std::min(rect.Right(), limit - 1);
      p.g.Fill({rect.x, rect.y, right - rect.x, 1}, U' ', field);
      p.Text(rect.x, rect.y, caption, field, right);
      Style arrow = control.enabled ? th.arrow : th.disabled;
      const bool greyGlyphs = !control.enabled && p.caps.colors <= 0;
      p.g.Put(right, rect.y, greyGlyphs ? p.glyphs.disabled : p.glyphs.arrowDown, arrow);
      break;
    }
  }
}

void DrawList(Painter& p, const dm::ControlModel& combo, const ListPlace& list) {
  const Theme& th = p.theme;
  p.g.Fill(list.frame, U' ', th.list);
  p.Frame(list.frame, th.list);
  const int count = static_cast<int>(combo.items.size());
  const int inner = list.frame.w - 2;
  for (int row = 0; row < list.visible; ++row) {
    const int entry = list.top + row;
    if (entry >= count) break;
    const int y = list.frame.y + 1 + row;
    p.g.Text(list.frame.x + 1, y, FromAnsi(combo.items[static_cast<std::size_t>(entry)]), th.list,
             inner);
  }
  if (list.top > 0) p.g.Put(list.frame.Right(), list.frame.y + 1, p.glyphs.scrollUp, th.list);
  if (list.top + list.visible < count) {
    p.g.Put(list.frame.Right(), list.frame.y + list.visible, p.glyphs.scrollDown, th.list);
  }
}

void HighlightListEntry(Painter& p, const dm::ControlModel& combo, const ListPlace& list,
                        int highlight) {
  const int row = highlight - list.top;
  if (highlight < 0 || highlight >= static_cast<int>(combo.items.size()) || row < 0 ||
      row >= list.visible) {
    return;
  }
  const int y = list.frame.y + 1 + row;
  const Rect bar{list.frame.x + 1, y, list.frame.w - 2, 1};
  p.g.Fill(bar, U' ', p.theme.focus);
  p.g.Text(bar.x, y, FromAnsi(combo.items[static_cast<std::size_t>(highlight)]), p.theme.focus, bar.w);
}

void DrawWait(Painter& p, const Rect& box) {
  p.g.Fill(box, U' ', p.theme.face);
  p.Frame(box, p.theme.face);
  const std::u32string text = p.caps.unicode ? kWaitText : kWaitTextAscii;
  p.g.Text(box.x + (box.w - static_cast<int>(text.size())) / 2, box.y + 1, text, p.theme.emphasis,
           box.w - 2);
}

void DrawMessageBox(Painter& p, const dm::MessageBoxInfo& info, const MessageBoxPlace& box) {
  const Theme& th = p.theme;
  const Rect& f = box.frame;
  p.g.Fill(f, U' ', th.face);
  p.Frame(f, th.face);
  p.g.Fill({f.x, f.y, f.w, 1}, U' ', th.title);
  p.Text(f.x + 1, f.y, FromAnsi(info.caption), th.title, f.Right());

  const int textTop = f.y + 2;
  const char32_t* sign = U"(i)";
  const char32_t* word = U"Note";
  Style iconStyle = th.emphasis;
  if (info.IsStop()) {
    sign = U"(X)";
    word = U"Stop";
    iconStyle = th.stop;
  } else if (info.IsWarning()) {
    sign = U"/!\\";
    word = U"Warning";
    iconStyle = th.warning;
  }
  p.g.Text(f.x + 2, textTop, sign, iconStyle);
  p.g.Text(f.x + 2, textTop + 1, word, iconStyle);
  for (std::size_t i = 0; i < box.lines.size(); ++i) {
    p.Text(f.x + 2 + kBoxIconCols, textTop + static_cast<int>(i), box.lines[i], th.text, f.Right());
  }
  Style ok = th.focus;
  ok.attrs |= kBold;
  p.g.Text(box.ok.x, box.ok.y, U"[" + Centered(U"OK", box.ok.w - 2) + U"]", ok);
}

}  // namespace

namespace {

using PictureKey = std::tuple<int, int, int, Color>;

std::map<PictureKey, std::vector<Color>>& PictureCache() {
  static std::map<PictureKey, std::vector<Color>> cache;
  return cache;
}

int Channel(Color c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

}  // namespace

std::vector<Color> DitherToPalette(const std::vector<Color>& pixels, int cols, Color fill, int colors) {
  std::vector<Color> out = pixels;
  if (cols <= 0 || pixels.empty()) return out;
  const int rows = static_cast<int>(pixels.size()) / cols;
  // The error still to be spread, per channel, for this row and the next.
  std::vector<int> here(static_cast<std::size_t>(cols + 2) * 3, 0);
  std::vector<int> next(here.size(), 0);
  for (int y = 0; y < rows; ++y) {
    std::fill(next.begin(), next.end(), 0);
    // Serpentine: every other row right to left, so that the error does
    // not drift to one side.
    const bool leftToRight = y % 2 == 0;
    const int step = leftToRight ? 1 : -1;
    for (int i = 0; i < cols; ++i) {
      const int x = leftToRight ? i : cols - 1 - i;
      const auto at = static_cast<std::size_t>(y * cols + x);
      if (pixels[at] == fill) continue;  // the background keeps its colour
      int want[3];
      for (int c = 0; c < 3; ++c) {
        want[c] = std::clamp(Channel(pixels[at], 16 - 8 * c) + here[static_cast<std::size_t>(x + 1) * 3 + c] / 16,
                             0, 255);
      }
      const Color wanted = Rgb(static_cast<std::uint8_t>(want[0]), static_cast<std::uint8_t>(want[1]),
                               static_cast<std::uint8_t>(want[2]));
      const Color got = PaletteColor(PaletteIndex(wanted, colors), colors);
      out[at] = got;
      for (int c = 0; c < 3; ++c) {
        const int error = want[c] - Channel(got, 16 - 8 * c);
        // Floyd and Steinberg's weights: 7 ahead, 3 behind below, 5 below,
        // 1 ahead below (in sixteenths).
        here[static_cast<std::size_t>(x + 1 + step) * 3 + c] += error * 7;
        next[static_cast<std::size_t>(x + 1 - step) * 3 + c] += error * 3;
        next[static_cast<std::size_t>(x + 1) * 3 + c] += error * 5;
        next[static_cast<std::size_t>(x + 1 + step) * 3 + c] += error * 1;
      }
    }
    std::swap(here, next);
  }
  return out;
}

const std::vector<Color>& PalettePictureCells(int id, int cols, int rows, Color fill, int colors) {
  static std::map<std::tuple<int, int, int, Color, int>, std::vector<Color>> cache;
  const auto key = std::make_tuple(id, cols, rows, fill, colors);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  return cache[key] = DitherToPalette(PictureCells(id, cols, rows, fill), cols, fill, colors);
}

const std::vector<Color>& PictureCells(int id, int cols, int rows, Color fill) {
  auto& cache = PictureCache();
  const PictureKey key{id, cols, rows, fill};
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  return cache[key] = ComputePictureCells(id, cols, rows, fill);
}

void PreloadPictureCells(int id, int cols, int rows, Color fill, std::vector<Color> cells) {
  PictureCache()[PictureKey{id, cols, rows, fill}] = std::move(cells);
}

Color PictureBackground() { return kGray; }

std::vector<Color> ComputePictureCells(int id, int cols, int rows, Color fill) {
  std::vector<Color> out;
  const res::Image image = res::RenderBitmap(id);
  if (image.width <= 0 || image.height <= 0 || cols <= 0 || rows <= 0) return out;
  const int pxRows = rows * 2;
  out.assign(static_cast<std::size_t>(cols) * static_cast<std::size_t>(pxRows), fill);
  // Fit by the smaller scale, keeping the picture's proportions (a
  // half-height cell is about square).
  const double scale = std::min(static_cast<double>(cols) / image.width,
                                static_cast<double>(pxRows) / image.height);
  // The size is rounded to the nearest one that leaves equal margins on
  // both sides, so that the picture sits in the middle of its frame.
  auto centred = [](double exact, int room) {
    int size = std::min(room, static_cast<int>(exact + 0.5));
    if ((room - size) % 2 != 0) size += (exact > size || size == 1) && size < room ? 1 : -1;
    return std::max(1, size);
  };
  const int w = centred(image.width * scale, cols);
  const int h = centred(image.height * scale, pxRows);
  const int x0 = (cols - w) / 2;
  const int y0 = (pxRows - h) / 2;
  for (int ty = 0; ty < h; ++ty) {
    const int sy0 = ty * image.height / h;
    const int sy1 = std::max(sy0 + 1, (ty + 1) * image.height / h);
    for (int tx = 0; tx < w; ++tx) {
      const int sx0 = tx * image.width / w;
      const int sx1 = std::max(sx0 + 1, (tx + 1) * image.width / w);
      // The average of the source pixels that the target pixel covers.
      unsigned long r = 0, g = 0, b = 0, n = 0;
      for (int sy = sy0; sy < sy1; ++sy) {
        for (int sx = sx0; sx < sx1; ++sx) {
          r += image.R(sx, sy);
          g += image.G(sx, sy);
          b += image.B(sx, sy);
          ++n;
        }
      }
      out[static_cast<std::size_t>((y0 + ty) * cols + x0 + tx)] =
          Rgb(static_cast<std::uint8_t>(r / n), static_cast<std::uint8_t>(g / n),
              static_cast<std::uint8_t>(b / n));
    }
  }
  return out;
}

Grid Render(const dm::SheetModel& sheet, const ViewState& state, Size term, const Caps& caps) {
  return Render(sheet, state, ComputeLayout(sheet, state, term), caps);
}

Grid Render(const dm::SheetModel& sheet, const ViewState& state, const SheetLayout& layout,
            const Caps& caps) {
  Grid grid(layout.term, MakeTheme(caps).desktop);
  Painter p(grid, caps);

  if (!layout.fits) {
    DrawTooSmall(p, layout);
  } else {
    DrawSheetFrame(p, sheet, state, layout);
    const int active = sheet.ActivePage();
    const dm::PageModel* page = active >= 0 ? sheet.Page(active) : nullptr;
    if (page != nullptr) {
      const auto& controls = page->Controls();
      const bool focusHere = state.area == ViewState::Area::Page && state.page == active;
      // Texts end at the page's right edge, and on a scrolled page nothing
      // is drawn outside the page area.
      const int limit = layout.page.x - layout.scrollX + layout.content.cols;
      p.g.SetClip(layout.page);
      // Frames first, so that nothing inside them is drawn over.
      for (const int pass : {0, 1}) {
        for (const auto& place : layout.controls) {
          const dm::ControlModel& control = *controls[static_cast<std::size_t>(place.index)];
          const bool framed = control.Kind() == res::ControlKind::GroupBox ||
                              control.Kind() == res::ControlKind::Picture;
          if (!control.visible || framed != (pass == 0)) continue;
          const bool focused = focusHere && state.control == place.index;
          const bool listOpen = layout.list && layout.list->control == place.index;
          DrawControl(p, control, place.rect, focused, listOpen, limit);
        }
      }
      p.g.SetClip(std::nullopt);
      DrawScrollMarks(p, layout);
      if (layout.list) {
        const dm::ControlModel& combo = *controls[static_cast<std::size_t>(layout.list->control)];
        DrawList(p, combo, *layout.list);
        HighlightListEntry(p, combo, *layout.list, state.list ? state.list->highlight : -1);
      }
    }
    if (layout.waitBox) DrawWait(p, *layout.waitBox);
  }
  if (layout.box && sheet.OpenMessageBox()) DrawMessageBox(p, *sheet.OpenMessageBox(), *layout.box);
  return grid;
}

}  // namespace term
