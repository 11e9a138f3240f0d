// Keyboard and mouse, as Windows dialogs take them: a pure function from an
// event, the dialog model's state and the front end's focus and open list to
// a user action for the model and the new focus and list.
//
// Tab and Shift-Tab walk the tab stops: the page's controls in template
// order (a radio group is one stop, entered at its checked button), then
// OK, Cancel and the tab strip. Arrow keys move within a radio group and
// click the button they reach. Space clicks the focused button or box.
// OK, Cancel and the close mark act when the mouse button is let go over
// them after it went down there, so that a press can be abandoned by moving
// off; the other controls act when it goes down.
// Ctrl-PgDn/Ctrl-PgUp and Ctrl-Tab/Ctrl-Shift-Tab switch pages, Left/Right
// too while the tab strip has the focus. In a combo box Up/Down (Home, End,
// PgUp, PgDn) pick another entry, each pick a user selection; Alt-Down,
// Alt-Up or F4 open the list; typing edits the combo's text field. With the
// list open, Up/Down move the bar and Enter (or F4, Alt-Up, Alt-Down) takes
// the entry, Esc closes the list unchanged. Otherwise Enter presses the
// focused sheet button or OK, and Esc presses Cancel.
#pragma once

#include <optional>

#include "dialog_model/sheet_model.h"
#include "terminal/layout.h"
#include "terminal/view_state.h"

namespace term {

enum class Key {
  None,
  Char,  // a typed character, in Event::ch
  Enter,
  Escape,
  Tab,
  BackTab,
  Up,
  Down,
  Left,
  Right,
  Home,
  End,
  PageUp,
  PageDown,
  CtrlPageUp,
  CtrlPageDown,
  CtrlTab,
  CtrlShiftTab,
  AltUp,
  AltDown,
  F4,
  Backspace,
  MouseDown,  // left button pressed, at Event::x, Event::y
  MouseUp,    // left button released, at Event::x, Event::y
  WheelUp,
  WheelDown,
  Resize,
  Hangup,  // the terminal is gone
};

struct Event {
  Key key = Key::None;
  char32_t ch = 0;
  int x = 0;
  int y = 0;
};

// Puts the focus where it can be: on the first tab stop of a page that has
// just become active, off a control that was disabled or hidden, and closes
// a list whose combo box lost the focus.
void Normalize(const dm::SheetModel& sheet, ViewState& state);

// Handles `event` on the sheet drawn by `layout`: updates `state` and
// returns the action the user took, if any.
std::optional<dm::Action> HandleEvent(const dm::SheetModel& sheet, ViewState& state,
                                      const SheetLayout& layout, const Event& event);

// Whether `event` dismisses the message box that `layout` shows (Enter,
// Space, Esc, or the mouse button let go on its OK button after going down
// there). `okPressed` keeps, between events, whether the mouse button went
// down on OK.
bool DismissesBox(const SheetLayout& layout, const Event& event, bool& okPressed);

}  // namespace term
