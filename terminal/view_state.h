// What the terminal front end keeps of its own, beside the dialog model:
// which control has the keyboard focus and which combo box has its list
// open. The model knows nothing of either, as the Windows dialog manager
// keeps focus and drop-down state apart from the page's logic.
#pragma once

#include <optional>

namespace term {

struct OpenList {
  int control = -1;    // index of the combo box among the active page's controls
  int highlight = 0;   // the entry under the selection bar (-1 with no entries)
  int top = 0;         // the first entry shown
  friend bool operator==(const OpenList&, const OpenList&) = default;
};

// ViewState::pressed for the close mark.
constexpr int kCloseMark = -1;

struct ViewState {
  enum class Area { Page, Button, Tabs };

  Area area = Area::Page;
  int control = -1;  // Page: index among the active page's controls
  int button = 0;    // Button: the sheet button's id (IDOK, IDCANCEL)
  int page = -1;     // the page that `control` belongs to; -1 before the first frame
  std::optional<OpenList> list;
  // The push button the left mouse button went down on (a sheet button's
  // id, or kCloseMark for the title bar's close mark): it acts only if the
  // button comes up on it again.
  std::optional<int> pressed;
  friend bool operator==(const ViewState&, const ViewState&) = default;
};

}  // namespace term
