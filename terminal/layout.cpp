#include "terminal/layout.h"

#include <algorithm>
#include <map>

#include "app/ui_platform.h"

namespace term {

namespace {

constexpr int kButtonCols = 12;
constexpr int kButtonGap = 2;
constexpr int kBoxOkCols = 10;
constexpr int kApplyNowId = 0x3021;
// The page size when no page window exists yet.
constexpr Size kDefaultPageCells{87, 22};

int TextCols(const std::string& text) { return static_cast<int>(FromAnsi(text).size()); }

bool IsFramed(res::ControlKind kind) {
  return kind == res::ControlKind::GroupBox || kind == res::ControlKind::Picture;
}

}  // namespace

Rect FrameCells(const res::ControlTemplate& t) {
  const int left = (t.x + kDuPerCol / 2) / kDuPerCol;
  const int top = (t.y + kDuPerRow / 2) / kDuPerRow;
  const int right = (t.x + t.cx) / kDuPerCol;
  const int bottom = (t.y + t.cy) / kDuPerRow;
  return {left, top, std::max(2, right - left + 1), std::max(2, bottom - top + 1)};
}

int ListPlace::EntryAt(int x, int y, int count) const {
  if (!frame.Contains(x, y) || x == frame.x || x == frame.Right()) return -1;
  const int row = y - (frame.y + 1);
  if (row < 0 || row >= visible) return -1;
  const int entry = top + row;
  return entry < count ? entry : -1;
}

const ControlPlace* SheetLayout::Place(int index) const {
  for (const auto& place : controls) {
    if (place.index == index) return &place;
  }
  return nullptr;
}

Size PageCells(const res::DialogTemplate& tmpl) {
  return {(tmpl.cx + kDuPerCol - 1) / kDuPerCol, (tmpl.cy + kDuPerRow - 1) / kDuPerRow};
}

std::vector<ControlPlace> PlaceControls(const dm::PageModel& page) {
  const auto& controls = page.Controls();
  const Size cells = PageCells(page.Template());
  std::vector<ControlPlace> places(controls.size());

  // One-line controls: the row that holds the control's vertical centre,
  // and the columns its text needs in the terminal's fixed-width font.
  struct Line {
    std::size_t index;
    int row;
    int left;
    int cols;
    int templateX;
  };
  std::vector<Line> lines;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const dm::ControlModel& control = *controls[i];
    const res::ControlTemplate& t = control.Template();
    places[i].index = static_cast<int>(i);
    if (IsFramed(t.kind)) {
      Rect rect = FrameCells(t);
      if (t.kind == res::ControlKind::GroupBox) {
        // A caption wider than its frame widens the frame, while the page
        // has room for it: the fixed-width font is wider than the dialog's.
        const int need = TextCols(control.text) + 2;
        rect.w = std::max(rect.w, std::min(need, cells.cols - rect.x));
      }
      places[i].rect = rect;
      continue;
    }
    const int heightDu = t.kind == res::ControlKind::ComboBox ? kComboClosedHeightDu : t.cy;
    const int row = (2 * t.y + heightDu + kDuPerRow) / (2 * kDuPerRow);
    const int left = (t.x + kDuPerCol / 2) / kDuPerCol;
    int cols = 1;
    switch (t.kind) {
      case res::ControlKind::RadioButton:
      case res::ControlKind::CheckBox:
        cols = kMarkCols + TextCols(control.text);
        break;
      case res::ControlKind::Static:
        cols = std::max(1, TextCols(control.text));
        break;
      default:
        cols = std::max(1, (t.cx + kDuPerCol / 2) / kDuPerCol);
        break;
    }
    lines.push_back({i, row, left, cols, t.x});
  }

  // Where a text runs into the next control on its row, that control moves
  // right, and with it every control that starts at the same place in the
  // template, so that columns stay aligned.
  // The passes are bounded: controls that start in one cell from different
  // template places could otherwise push each other in turn.
  std::map<int, int> shift;
  bool changed = true;
  for (int pass = 0; changed && pass < 16; ++pass) {
    changed = false;
    for (const Line& a : lines) {
      for (const Line& b : lines) {
        if (&a == &b || a.row != b.row || a.templateX == b.templateX || b.left < a.left ||
            (b.left == a.left && b.index < a.index)) {
          continue;
        }
        const int aEnd = a.left + shift[a.templateX] + a.cols;  // one past a's last cell
        const int bStart = b.left + shift[b.templateX];
        const int need = aEnd + 1 - bStart;
        if (need > 0 && bStart + need + b.cols <= cells.cols) {
          shift[b.templateX] += need;
          changed = true;
        }
      }
    }
  }
  for (const Line& line : lines) {
    places[line.index].rect = {line.left + shift[line.templateX], line.row, line.cols, 1};
  }
  return places;
}

std::vector<std::u32string> WrapText(std::string_view text, int width) {
  width = std::max(width, 1);
  std::vector<std::u32string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(start, end - start);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    const std::u32string para = FromAnsi(raw);
    const auto w = static_cast<std::size_t>(width);
    std::size_t pos = 0;
    bool first = true;
    if (para.empty()) lines.emplace_back();
    while (pos < para.size()) {
      if (!first) {
        while (pos < para.size() && para[pos] == U' ') ++pos;
        if (pos >= para.size()) break;
      }
      first = false;
      std::size_t cut = pos + w;
      std::size_t next = cut;
      if (para.size() - pos <= w) {
        cut = para.size();
        next = cut;
      } else {
        const std::size_t blank = para.rfind(U' ', pos + w);
        if (blank != std::u32string::npos && blank > pos) {
          cut = blank;
          next = blank + 1;
        }
      }
      std::u32string line = para.substr(pos, cut - pos);
      while (!line.empty() && line.back() == U' ') line.pop_back();
      lines.push_back(std::move(line));
      pos = next;
    }
    if (end == text.size()) break;
    start = end + 1;
  }
  return lines;
}

int ListRows(const res::ControlTemplate& combo, int count) {
  if (count <= 0) return 1;
  const int room = std::max(1, (combo.cy - kComboClosedHeightDu) / kDuPerRow);
  return std::min(count, room);
}

int ListTop(int top, int highlight, int count, int visible) {
  if (count <= visible) return 0;
  if (highlight >= 0) {
    if (highlight < top) top = highlight;
    if (highlight >= top + visible) top = highlight - visible + 1;
  }
  return std::clamp(top, 0, count - visible);
}

int ScrollToShow(int first, int last, int view, int content) {
  int scroll = 0;
  if (last >= scroll + view) scroll = last - view + 1;
  if (first < scroll) scroll = first;
  return std::clamp(scroll, 0, std::max(0, content - view));
}

namespace {

// Scrolls the page area of `layout` (its controls still placed relative to
// the page) so that control `focus` is in view, with the whole group box
// around it where that fits.
void ScrollToFocus(SheetLayout& layout, const dm::PageModel& page, int focus) {
  const ControlPlace* target = layout.Place(focus);
  if (target == nullptr) return;
  const Rect& own = target->rect;
  Rect show = own;
  int area = -1;
  for (const ControlPlace& place : layout.controls) {
    const Rect& frame = place.rect;
    const bool group =
        page.Controls()[static_cast<std::size_t>(place.index)]->Kind() == res::ControlKind::GroupBox;
    const bool around = frame.x <= own.x && frame.y <= own.y && frame.Right() >= own.Right() &&
                        frame.Bottom() >= own.Bottom();
    const bool fitsView = frame.w <= layout.page.w && frame.h <= layout.page.h;
    if (group && around && fitsView && (area < 0 || frame.w * frame.h < area)) {
      area = frame.w * frame.h;
      show = frame;
    }
  }
  // The control itself first, then as much of its group as fits.
  layout.scrollX = ScrollToShow(show.x, show.Right(), layout.page.w, layout.content.cols);
  layout.scrollY = ScrollToShow(show.y, show.Bottom(), layout.page.h, layout.content.rows);
  if (own.x < layout.scrollX || own.Right() >= layout.scrollX + layout.page.w) {
    layout.scrollX = ScrollToShow(own.x, own.Right(), layout.page.w, layout.content.cols);
  }
  if (own.y < layout.scrollY || own.Bottom() >= layout.scrollY + layout.page.h) {
    layout.scrollY = ScrollToShow(own.y, own.Bottom(), layout.page.h, layout.content.rows);
  }
}

}  // namespace

SheetLayout ComputeLayout(const dm::SheetModel& sheet, const ViewState& state, Size term) {
  SheetLayout layout;
  layout.term = term;

  Size pageCells{0, 0};
  for (int i = 0; i < sheet.PageCount(); ++i) {
    if (const dm::PageModel* page = sheet.Page(i)) {
      const Size cells = PageCells(page->Template());
      pageCells.cols = std::max(pageCells.cols, cells.cols);
      pageCells.rows = std::max(pageCells.rows, cells.rows);
    }
  }
  if (pageCells.cols == 0) pageCells = kDefaultPageCells;

  std::vector<int> tabCols;
  int tabsWidth = 0;
  for (int i = 0; i < sheet.PageCount(); ++i) {
    tabCols.push_back(TextCols(sheet.TabCaption(i)) + 4);
    tabsWidth += tabCols.back();
  }

  struct Button {
    int id;
    const char* label;
  };
  std::vector<Button> buttons = {{ui::IDOK, "OK"}, {ui::IDCANCEL, "Cancel"}};
  if (sheet.ApplyButtonVisible()) buttons.push_back({kApplyNowId, "Apply"});
  if (sheet.HelpButtonVisible()) buttons.push_back({ui::IDHELP, "Help"});
  const int buttonsWidth =
      static_cast<int>(buttons.size()) * (kButtonCols + kButtonGap) - kButtonGap;

  // Border and margin on each side, then the page's frame; rows: title,
  // two of tabs, the frame's top, the page, the frame's bottom, the buttons
  // and the border.
  const int frameWidth = std::max({tabsWidth + 6, buttonsWidth + 6, TextCols(sheet.Caption()) + 8});
  const Size whole{std::max(pageCells.cols + 6, frameWidth), pageCells.rows + 7};
  layout.whole = whole;
  layout.content = pageCells;
  layout.needed = {std::max(std::min(whole.cols, kSmallestTerminal.cols), frameWidth),
                   std::min(whole.rows, kSmallestTerminal.rows)};
  layout.fits = term.cols >= layout.needed.cols && term.rows >= layout.needed.rows;
  // A terminal smaller than the whole sheet shows as much of the page as
  // it can; the page area scrolls.
  const int width = std::min(whole.cols, std::max(term.cols, layout.needed.cols));
  const int height = std::min(whole.rows, std::max(term.rows, layout.needed.rows));
  layout.sheet = {std::max(0, (term.cols - width) / 2), std::max(0, (term.rows - height) / 2),
                  width, height};
  const Rect& s = layout.sheet;
  layout.closeBox = {s.Right() - 3, s.y, 3, 1};
  layout.pageFrame = {s.x + 2, s.y + 3, width - 4, height - 5};
  layout.page = {layout.pageFrame.x + 1, layout.pageFrame.y + 1, std::min(pageCells.cols, width - 6),
                 height - 7};

  int tabX = layout.pageFrame.x;
  for (const int cols : tabCols) {
    layout.tabs.push_back({tabX, s.y + 1, cols, 2});
    tabX += cols;
  }

  int buttonX = layout.pageFrame.Right() + 1 - buttonsWidth;
  for (const Button& button : buttons) {
    layout.buttons.push_back(
        {button.id, FromAnsi(button.label), {buttonX, layout.pageFrame.Bottom() + 1, kButtonCols, 1}});
    buttonX += kButtonCols + kButtonGap;
  }

  const int active = sheet.ActivePage();
  const dm::PageModel* page = active >= 0 ? sheet.Page(active) : nullptr;
  if (page != nullptr) {
    layout.controls = PlaceControls(*page);
    if (layout.Scrolls() && state.area == ViewState::Area::Page && state.page == active) {
      ScrollToFocus(layout, *page, state.control);
    }
    for (auto& place : layout.controls) {
      place.rect.x += layout.page.x - layout.scrollX;
      place.rect.y += layout.page.y - layout.scrollY;
    }
  }

  if (page != nullptr && state.list && state.page == active && state.list->control >= 0 &&
      state.list->control < static_cast<int>(page->Controls().size())) {
    const dm::ControlModel& combo = *page->Controls()[static_cast<std::size_t>(state.list->control)];
    const ControlPlace* place = layout.Place(state.list->control);
    if (combo.Kind() == res::ControlKind::ComboBox && place != nullptr) {
      const int count = static_cast<int>(combo.items.size());
      ListPlace list;
      list.control = state.list->control;
      list.visible = ListRows(combo.Template(), count);
      const int dropped = (combo.droppedWidth + dm::kCharWidth - 1) / dm::kCharWidth;
      const int listWidth = std::min(std::max(place->rect.w, dropped), std::max(term.cols, 1));
      int x = place->rect.x;
      if (x + listWidth > term.cols) x = std::max(0, term.cols - listWidth);
      const int below = term.rows - (place->rect.y + 1);
      const int above = place->rect.y;
      int y = place->rect.y + 1;
      if (list.visible + 2 > below) {
        if (list.visible + 2 <= above) {
          y = place->rect.y - (list.visible + 2);
        } else if (above > below) {
          list.visible = std::max(1, above - 2);
          y = std::max(0, place->rect.y - (list.visible + 2));
        } else {
          list.visible = std::max(1, below - 2);
        }
      }
      list.frame = {x, y, listWidth, list.visible + 2};
      list.top = ListTop(state.list->top, state.list->highlight, count, list.visible);
      layout.list = list;
    }
  }

  if (const auto& box = sheet.OpenMessageBox()) {
    MessageBoxPlace place;
    const int textCols = std::clamp(term.cols - 4 - kBoxIconCols, 10, kBoxTextCols);
    place.lines = WrapText(box->text, textCols);
    int longest = 0;
    for (const auto& line : place.lines) longest = std::max(longest, static_cast<int>(line.size()));
    const int inner = std::max({kBoxIconCols + longest, TextCols(box->caption) + 2, kBoxOkCols});
    const int rows = std::max(2, static_cast<int>(place.lines.size()));
    const int w = inner + 4;
    const int h = rows + 5;
    place.frame = {std::max(0, (term.cols - w) / 2), std::max(0, (term.rows - h) / 2), w, h};
    place.ok = {place.frame.x + (w - kBoxOkCols) / 2, place.frame.y + rows + 3, kBoxOkCols, 1};
    layout.box = place;
  } else if (sheet.CurrentCursor() == ui::Cursor::Wait) {
    constexpr int kWaitCols = 19 + 4;  // "Detecting hardware…" in a frame
    layout.waitBox = Rect{layout.page.x + (layout.page.w - kWaitCols) / 2,
                          layout.page.y + (layout.page.h - 3) / 2, kWaitCols, 3};
  }
  return layout;
}

}  // namespace term
