#include "terminal/input.h"

#include <algorithm>
#include <vector>

#include "app/ui_platform.h"

namespace term {

namespace {

using Area = ViewState::Area;
using Controls = std::vector<std::unique_ptr<dm::ControlModel>>;

const dm::PageModel* ActivePage(const dm::SheetModel& sheet) {
  const int active = sheet.ActivePage();
  return active >= 0 ? sheet.Page(active) : nullptr;
}

bool IsRadio(const dm::ControlModel& c) { return c.Kind() == res::ControlKind::RadioButton; }

// Controls that take the keyboard focus.
bool Focusable(const dm::ControlModel& c) {
  if (!c.visible || !c.enabled) return false;
  switch (c.Kind()) {
    case res::ControlKind::RadioButton:
    case res::ControlKind::CheckBox:
    case res::ControlKind::ComboBox:
    case res::ControlKind::Edit:
      return true;
    default:
      return false;
  }
}

// The group of control `i`: from the control that starts it to the next
// control that starts one.
std::pair<std::size_t, std::size_t> GroupOf(const Controls& controls, std::size_t i) {
  std::size_t first = i;
  while (first > 0 && !controls[first]->Template().StartsGroup()) --first;
  std::size_t last = i + 1;
  while (last < controls.size() && !controls[last]->Template().StartsGroup()) ++last;
  return {first, last};
}

// Where the focus goes when it enters a radio group: the checked button,
// else the first button that can take the focus; -1 when none can.
int RadioTarget(const Controls& controls, std::size_t first, std::size_t last) {
  int fallback = -1;
  for (std::size_t i = first; i < last; ++i) {
    const dm::ControlModel& c = *controls[i];
    if (!IsRadio(c) || !Focusable(c)) continue;
    if (c.check == 1) return static_cast<int>(i);
    if (fallback < 0) fallback = static_cast<int>(i);
  }
  return fallback;
}

// One stop of the tab cycle.
struct Stop {
  Area area;
  int control = -1;  // Page: the control the focus goes to
  int group = -1;    // Page: the first control of a radio group, else the control
  int button = 0;    // Button
};

std::vector<Stop> PageStops(const dm::PageModel* page) {
  std::vector<Stop> stops;
  if (page == nullptr) return stops;
  const Controls& controls = page->Controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const dm::ControlModel& c = *controls[i];
    if (IsRadio(c)) {
      const auto [first, last] = GroupOf(controls, i);
      std::size_t firstRadio = first;
      while (!IsRadio(*controls[firstRadio])) ++firstRadio;
      if (firstRadio != i) continue;
      bool tabStop = false;
      for (std::size_t j = first; j < last; ++j) {
        if (IsRadio(*controls[j]) && controls[j]->Template().TabStop()) tabStop = true;
      }
      const int target = RadioTarget(controls, first, last);
      if (tabStop && target >= 0) stops.push_back({Area::Page, target, static_cast<int>(first), 0});
    } else if (Focusable(c) && c.Template().TabStop()) {
      stops.push_back({Area::Page, static_cast<int>(i), static_cast<int>(i), 0});
    }
  }
  return stops;
}

std::vector<Stop> TabCycle(const dm::PageModel* page) {
  std::vector<Stop> stops = PageStops(page);
  stops.push_back({Area::Button, -1, -1, ui::IDOK});
  stops.push_back({Area::Button, -1, -1, ui::IDCANCEL});
  stops.push_back({Area::Tabs, -1, -1, 0});
  return stops;
}

// The stop that holds the focus now, or -1.
int CurrentStop(const std::vector<Stop>& stops, const dm::PageModel* page, const ViewState& state) {
  for (std::size_t s = 0; s < stops.size(); ++s) {
    const Stop& stop = stops[s];
    if (stop.area != state.area) continue;
    if (state.area == Area::Tabs) return static_cast<int>(s);
    if (state.area == Area::Button && stop.button == state.button) return static_cast<int>(s);
    if (state.area == Area::Page && page != nullptr && state.control >= 0) {
      const Controls& controls = page->Controls();
      const auto at = static_cast<std::size_t>(state.control);
      const int group = IsRadio(*controls[at]) ? static_cast<int>(GroupOf(controls, at).first)
                                               : state.control;
      if (stop.group == group) return static_cast<int>(s);
    }
  }
  return -1;
}

void FocusStop(ViewState& state, const Stop& stop) {
  state.area = stop.area;
  if (stop.area == Area::Page) state.control = stop.control;
  if (stop.area == Area::Button) state.button = stop.button;
}

void MoveFocus(const dm::SheetModel& sheet, ViewState& state, bool forward) {
  const dm::PageModel* page = ActivePage(sheet);
  const std::vector<Stop> stops = TabCycle(page);
  const int n = static_cast<int>(stops.size());
  int at = CurrentStop(stops, page, state);
  if (at < 0) {
    // A focus off the cycle (a control without a tab stop): go on from the
    // first stop after it in template order.
    at = forward ? n - 1 : 0;
    if (state.area == Area::Page) {
      for (int s = 0; s < n; ++s) {
        if (stops[static_cast<std::size_t>(s)].area == Area::Page &&
            stops[static_cast<std::size_t>(s)].group > state.control) {
          at = forward ? s - 1 : s;
          break;
        }
      }
    }
    if (at < 0) at = n - 1;
  }
  const int next = forward ? (at + 1) % n : (at - 1 + n) % n;
  FocusStop(state, stops[static_cast<std::size_t>(next)]);
}

dm::Action MakeAction(dm::Action::Kind kind, int id = 0, int index = 0, std::string text = {}) {
  dm::Action action;
  action.kind = kind;
  action.id = id;
  action.index = index;
  action.text = std::move(text);
  return action;
}

std::optional<dm::Action> PressButton(int id) {
  if (id == ui::IDOK) return MakeAction(dm::Action::Kind::Ok);
  if (id == ui::IDCANCEL) return MakeAction(dm::Action::Kind::Cancel);
  return std::nullopt;  // Help and Apply do nothing here
}

std::optional<dm::Action> SwitchPage(const dm::SheetModel& sheet, ViewState& state, int step,
                                     bool wrap) {
  const int n = sheet.PageCount();
  if (n <= 1) return std::nullopt;
  int target = sheet.ActivePage() + step;
  if (wrap) {
    target = (target % n + n) % n;
  } else if (target < 0 || target >= n) {
    return std::nullopt;
  }
  state.list.reset();
  return MakeAction(dm::Action::Kind::Tab, 0, target);
}

void OpenListOf(const dm::ControlModel& combo, ViewState& state, int index) {
  OpenList list;
  list.control = index;
  const int count = static_cast<int>(combo.items.size());
  list.highlight = count == 0 ? -1 : std::clamp(combo.curSel, 0, count - 1);
  list.top = ListTop(0, list.highlight, count, ListRows(combo.Template(), count));
  state.list = list;
}

// Closes the open list; with `take`, the entry under the bar becomes the
// combo's selection (a user selection, when it differs).
std::optional<dm::Action> CloseList(const dm::PageModel& page, ViewState& state, bool take) {
  const OpenList list = *state.list;
  state.list.reset();
  const dm::ControlModel& combo = *page.Controls()[static_cast<std::size_t>(list.control)];
  if (!take || list.highlight < 0 || list.highlight >= static_cast<int>(combo.items.size()) ||
      list.highlight == combo.curSel) {
    return std::nullopt;
  }
  return MakeAction(dm::Action::Kind::Select, combo.Id(), list.highlight);
}

std::optional<dm::Action> SelectEntry(const dm::ControlModel& combo, int entry) {
  const int count = static_cast<int>(combo.items.size());
  if (count == 0) return std::nullopt;
  entry = std::clamp(entry, 0, count - 1);
  if (entry == combo.curSel) return std::nullopt;
  return MakeAction(dm::Action::Kind::Select, combo.Id(), entry);
}

std::optional<dm::Action> ListKey(const dm::PageModel& page, ViewState& state,
                                  const SheetLayout& layout, const Event& event, bool& handled) {
  handled = true;
  OpenList& list = *state.list;
  const dm::ControlModel& combo = *page.Controls()[static_cast<std::size_t>(list.control)];
  const int count = static_cast<int>(combo.items.size());
  const int visible =
      layout.list ? layout.list->visible : ListRows(combo.Template(), count);
  int bar = list.highlight;
  switch (event.key) {
    case Key::Up: bar -= 1; break;
    case Key::Down: bar += 1; break;
    case Key::WheelUp: bar -= 1; break;
    case Key::WheelDown: bar += 1; break;
    case Key::PageUp: bar -= visible; break;
    case Key::PageDown: bar += visible; break;
    case Key::Home: bar = 0; break;
    case Key::End: bar = count - 1; break;
    case Key::Enter:
    case Key::F4:
    case Key::AltUp:
    case Key::AltDown:
      return CloseList(page, state, true);
    case Key::Escape:
      return CloseList(page, state, false);
    case Key::Tab:
    case Key::BackTab:
    case Key::CtrlPageUp:
    case Key::CtrlPageDown:
    case Key::CtrlTab:
    case Key::CtrlShiftTab:
      // The list closes unchanged; the key then does what it always does.
      state.list.reset();
      handled = false;
      return std::nullopt;
    default:
      return std::nullopt;
  }
  if (count > 0) {
    list.highlight = std::clamp(bar, 0, count - 1);
    list.top = ListTop(list.top, list.highlight, count, visible);
  }
  return std::nullopt;
}

std::optional<dm::Action> ControlKey(const dm::PageModel& page, ViewState& state,
                                     const Event& event) {
  const Controls& controls = page.Controls();
  const auto at = static_cast<std::size_t>(state.control);
  const dm::ControlModel& c = *controls[at];
  switch (c.Kind()) {
    case res::ControlKind::RadioButton: {
      if (event.key == Key::Char && event.ch == U' ') {
        return MakeAction(dm::Action::Kind::Click, c.Id());
      }
      int step = 0;
      if (event.key == Key::Up || event.key == Key::Left) step = -1;
      if (event.key == Key::Down || event.key == Key::Right) step = 1;
      if (step == 0) return std::nullopt;
      // Arrows move through the group's buttons that can take the focus,
      // round and round, and check the one they reach.
      const auto [first, last] = GroupOf(controls, at);
      std::vector<std::size_t> radios;
      for (std::size_t i = first; i < last; ++i) {
        if (IsRadio(*controls[i]) && Focusable(*controls[i])) radios.push_back(i);
      }
      const auto it = std::find(radios.begin(), radios.end(), at);
      if (radios.size() < 2 || it == radios.end()) return std::nullopt;
      const auto n = static_cast<std::ptrdiff_t>(radios.size());
      const std::ptrdiff_t pos = ((it - radios.begin()) + step + n) % n;
      const std::size_t target = radios[static_cast<std::size_t>(pos)];
      state.control = static_cast<int>(target);
      return MakeAction(dm::Action::Kind::Click, controls[target]->Id());
    }
    case res::ControlKind::CheckBox:
      if (event.key == Key::Char && event.ch == U' ') {
        return MakeAction(dm::Action::Kind::Click, c.Id());
      }
      return std::nullopt;
    case res::ControlKind::ComboBox: {
      const int count = static_cast<int>(c.items.size());
      const int visible = ListRows(c.Template(), count);
      const int current = c.curSel;
      switch (event.key) {
        case Key::Up: return SelectEntry(c, current < 0 ? 0 : current - 1);
        case Key::Down: return SelectEntry(c, current + 1);
        case Key::PageUp: return SelectEntry(c, current < 0 ? 0 : current - visible);
        case Key::PageDown: return SelectEntry(c, current + visible);
        case Key::Home: return SelectEntry(c, 0);
        case Key::End: return SelectEntry(c, count - 1);
        case Key::F4:
        case Key::AltDown:
        case Key::AltUp:
          OpenListOf(c, state, state.control);
          return std::nullopt;
        case Key::Char: {
          // The drop-down combo's edit field takes typed text.
          const std::optional<char> byte = ToAnsi(event.ch);
          if (!byte) return std::nullopt;
          return MakeAction(dm::Action::Kind::Type, c.Id(), 0, c.text + *byte);
        }
        case Key::Backspace:
          if (c.text.empty()) return std::nullopt;
          return MakeAction(dm::Action::Kind::Type, c.Id(), 0, c.text.substr(0, c.text.size() - 1));
        default:
          return std::nullopt;
      }
    }
    default:
      return std::nullopt;
  }
}

std::optional<dm::Action> Click(const dm::SheetModel& sheet, ViewState& state,
                                const SheetLayout& layout, const Event& event) {
  const dm::PageModel* page = ActivePage(sheet);
  const int x = event.x;
  const int y = event.y;
  if (state.list && page != nullptr) {
    const dm::ControlModel& combo = *page->Controls()[static_cast<std::size_t>(state.list->control)];
    if (layout.list) {
      const int entry = layout.list->EntryAt(x, y, static_cast<int>(combo.items.size()));
      if (entry >= 0) {
        state.list->highlight = entry;
        return CloseList(*page, state, true);
      }
      if (layout.list->frame.Contains(x, y)) return std::nullopt;
    }
    // A click anywhere else only closes the list.
    state.list.reset();
    return std::nullopt;
  }
  if (layout.closeBox.Contains(x, y)) {
    state.pressed = kCloseMark;
    return std::nullopt;
  }
  for (std::size_t i = 0; i < layout.tabs.size(); ++i) {
    if (!layout.tabs[i].Contains(x, y)) continue;
    state.area = Area::Tabs;
    if (static_cast<int>(i) == sheet.ActivePage()) return std::nullopt;
    return MakeAction(dm::Action::Kind::Tab, 0, static_cast<int>(i));
  }
  for (const auto& button : layout.buttons) {
    if (!button.rect.Contains(x, y)) continue;
    state.area = Area::Button;
    state.button = button.id;
    state.pressed = button.id;
    return std::nullopt;
  }
  if (page == nullptr) return std::nullopt;
  for (const auto& place : layout.controls) {
    if (!place.rect.Contains(x, y) || !layout.page.Contains(x, y)) continue;
    const dm::ControlModel& c = *page->Controls()[static_cast<std::size_t>(place.index)];
    if (!c.visible || c.Kind() == res::ControlKind::GroupBox ||
        c.Kind() == res::ControlKind::Picture || c.Kind() == res::ControlKind::Static) {
      continue;
    }
    if (!c.enabled) return std::nullopt;  // a disabled control takes no click
    state.area = Area::Page;
    state.control = place.index;
    switch (c.Kind()) {
      case res::ControlKind::RadioButton:
      case res::ControlKind::CheckBox:
        return MakeAction(dm::Action::Kind::Click, c.Id());
      case res::ControlKind::ComboBox:
        OpenListOf(c, state, place.index);
        return std::nullopt;
      default:
        return std::nullopt;
    }
  }
  return std::nullopt;
}

// The mouse button let go: the push button it went down on acts if it is
// still under the pointer.
std::optional<dm::Action> Release(ViewState& state, const SheetLayout& layout, const Event& event) {
  const std::optional<int> pressed = state.pressed;
  state.pressed.reset();
  if (!pressed) return std::nullopt;
  if (*pressed == kCloseMark) {
    if (layout.closeBox.Contains(event.x, event.y)) return MakeAction(dm::Action::Kind::Close);
    return std::nullopt;
  }
  for (const auto& button : layout.buttons) {
    if (button.id == *pressed && button.rect.Contains(event.x, event.y)) return PressButton(button.id);
  }
  return std::nullopt;
}

}  // namespace

void Normalize(const dm::SheetModel& sheet, ViewState& state) {
  const int active = sheet.ActivePage();
  const dm::PageModel* page = ActivePage(sheet);
  if (state.page != active) {
    state.page = active;
    state.list.reset();
    if (state.area == Area::Page) state.control = -1;
  }
  if (state.area == Area::Page) {
    const Controls* controls = page != nullptr ? &page->Controls() : nullptr;
    const bool valid = controls != nullptr && state.control >= 0 &&
                       state.control < static_cast<int>(controls->size()) &&
                       Focusable(*(*controls)[static_cast<std::size_t>(state.control)]);
    if (!valid) {
      // The first stop from the lost control on, round the page; OK when
      // the page has none.
      const std::vector<Stop> stops = PageStops(page);
      const Stop* pick = nullptr;
      for (const Stop& stop : stops) {
        if (stop.group >= state.control) {
          pick = &stop;
          break;
        }
      }
      if (pick == nullptr && !stops.empty()) pick = &stops.front();
      if (pick != nullptr) {
        state.control = pick->control;
      } else {
        state.area = Area::Button;
        state.button = ui::IDOK;
      }
    }
  }
  if (state.list) {
    const bool keep = state.area == Area::Page && page != nullptr &&
                      state.list->control == state.control &&
                      page->Controls()[static_cast<std::size_t>(state.control)]->Kind() ==
                          res::ControlKind::ComboBox;
    if (!keep) {
      state.list.reset();
    } else {
      const int count = static_cast<int>(
          page->Controls()[static_cast<std::size_t>(state.control)]->items.size());
      state.list->highlight = count == 0 ? -1 : std::clamp(state.list->highlight, 0, count - 1);
    }
  }
}

std::optional<dm::Action> HandleEvent(const dm::SheetModel& sheet, ViewState& state,
                                      const SheetLayout& layout, const Event& event) {
  Normalize(sheet, state);
  if (!layout.fits) {
    // Nothing of the sheet can be seen: only leaving is offered.
    if (event.key == Key::Escape) return MakeAction(dm::Action::Kind::Cancel);
    return std::nullopt;
  }
  if (event.key == Key::MouseDown) {
    state.pressed.reset();
    return Click(sheet, state, layout, event);
  }
  if (event.key == Key::MouseUp) return Release(state, layout, event);

  const dm::PageModel* page = ActivePage(sheet);
  if (state.list && page != nullptr) {
    bool handled = false;
    auto action = ListKey(*page, state, layout, event, handled);
    if (handled) return action;
  }

  switch (event.key) {
    case Key::Tab: MoveFocus(sheet, state, true); return std::nullopt;
    case Key::BackTab: MoveFocus(sheet, state, false); return std::nullopt;
    case Key::CtrlPageDown:
    case Key::CtrlTab:
      return SwitchPage(sheet, state, 1, true);
    case Key::CtrlPageUp:
    case Key::CtrlShiftTab:
      return SwitchPage(sheet, state, -1, true);
    case Key::Enter:
      return PressButton(state.area == Area::Button ? state.button : ui::IDOK);
    case Key::Escape:
      return MakeAction(dm::Action::Kind::Cancel);
    default:
      break;
  }

  switch (state.area) {
    case Area::Tabs:
      if (event.key == Key::Left) return SwitchPage(sheet, state, -1, false);
      if (event.key == Key::Right) return SwitchPage(sheet, state, 1, false);
      return std::nullopt;
    case Area::Button:
      if (event.key == Key::Char && event.ch == U' ') return PressButton(state.button);
      return std::nullopt;
    case Area::Page:
      if (page == nullptr || state.control < 0) return std::nullopt;
      return ControlKey(*page, state, event);
  }
  return std::nullopt;
}

bool DismissesBox(const SheetLayout& layout, const Event& event, bool& okPressed) {
  switch (event.key) {
    case Key::Enter:
    case Key::Escape:
    case Key::Hangup:
      return true;
    case Key::Char:
      return event.ch == U' ';
    case Key::MouseDown:
      okPressed = layout.box && layout.box->ok.Contains(event.x, event.y);
      return false;
    case Key::MouseUp: {
      const bool wasPressed = okPressed;
      okPressed = false;
      return wasPressed && layout.box && layout.box->ok.Contains(event.x, event.y);
    }
    default:
      return false;
  }
}

}  // namespace term
