// Where everything of the sheet goes on the terminal, in character cells.
// Dialog units map to cells as the unit is defined: a cell is 4 units wide
// and 8 units high, so the 346 x 175 pages take 87 x 22 cells. Drawing and
// mouse hit-testing both read this one layout.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dialog_model/sheet_model.h"
#include "terminal/grid.h"
#include "terminal/view_state.h"

namespace term {

constexpr int kDuPerCol = 4;
constexpr int kDuPerRow = 8;
// A closed drop-down combo box is one line; its template height is the
// height of the open list.
constexpr int kComboClosedHeightDu = 12;
// Columns taken by a radio button's or check box's mark: "( ) " or "[ ] ".
constexpr int kMarkCols = 4;
// Widest text line of a message box.
constexpr int kBoxTextCols = 50;
// Column of a message box's icon sign and word, before its text.
constexpr int kBoxIconCols = 10;

// Where one control of the active page is drawn (screen cells). Group boxes
// and pictures: their frame. Radio buttons and check boxes: mark and text.
// Labels: their text. Edits and combos: their field.
struct ControlPlace {
  int index = -1;  // in the page's Controls()
  Rect rect;       // may lie partly or wholly outside a scrolled page area
};

struct ListPlace {
  int control = -1;
  Rect frame;        // the list's border
  int top = 0;       // first entry shown
  int visible = 1;   // entry rows inside the frame
  // The entry shown on screen row `y`, or -1.
  int EntryAt(int x, int y, int count) const;
};

struct MessageBoxPlace {
  Rect frame;
  std::vector<std::u32string> lines;  // the wrapped text
  Rect ok;                            // the OK button
};

struct SheetButtonPlace {
  int id = 0;
  std::u32string label;
  Rect rect;
};

// The smallest terminal the sheet is drawn in; below the size that shows
// the whole page (93 x 29) the page area scrolls to the focused control.
constexpr Size kSmallestTerminal{80, 24};

struct SheetLayout {
  Size term;
  Size needed;       // the smallest terminal that holds the sheet
  Size whole;        // the smallest terminal that shows the page unscrolled
  bool fits = false;
  Rect sheet;        // the whole sheet with its border
  Rect closeBox;     // the close mark in the title row
  std::vector<Rect> tabs;   // one a page, in page order
  Rect pageFrame;    // the frame around the page (its top line runs under the tabs)
  Rect page;         // the cells the page is shown in: all its 87 x 22, or fewer
  Size content;      // the page's own cells (87 x 22)
  int scrollX = 0;   // the page's first column and row shown
  int scrollY = 0;
  std::vector<SheetButtonPlace> buttons;
  std::vector<ControlPlace> controls;  // the active page's, in template order
  std::optional<ListPlace> list;
  std::optional<MessageBoxPlace> box;
  std::optional<Rect> waitBox;

  // The place of control `index`, or null.
  const ControlPlace* Place(int index) const;
  // Whether the page area is scrolled or cut: part of the page is hidden.
  bool Scrolls() const { return page.w < content.cols || page.h < content.rows; }
};

// The cells of a framed control (group box, picture) relative to its page:
// left and top edges rounded to the nearest cell, right and bottom edges
// rounded down, so that frames a few units apart never share a cell.
Rect FrameCells(const res::ControlTemplate& t);
// Cells of a page of `tmpl`'s size.
Size PageCells(const res::DialogTemplate& tmpl);
// The controls of `page` placed relative to the page's top-left cell.
std::vector<ControlPlace> PlaceControls(const dm::PageModel& page);
// The 8-bit text of a message box broken into lines of at most `width`
// columns: at blanks where it can, inside a word that is longer than a line,
// and at each line feed.
std::vector<std::u32string> WrapText(std::string_view text, int width);
// The height of an open list in entries for the combo's template.
int ListRows(const res::ControlTemplate& combo, int count);
// The list's first shown entry so that `highlight` is visible.
int ListTop(int top, int highlight, int count, int visible);
// The first cell to show of `content` cells in `view` cells so that cells
// `first` to `last` are in view (as many of them as fit), scrolled as
// little as can be.
int ScrollToShow(int first, int last, int view, int content);

SheetLayout ComputeLayout(const dm::SheetModel& sheet, const ViewState& state, Size term);

}  // namespace term
