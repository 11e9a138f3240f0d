#include "terminal/agent.h"

namespace term {

SheetLayout TerminalAgent::Draw(const dm::SheetModel& sheet, ViewState& state) {
  Normalize(sheet, state);
  const SheetLayout layout = ComputeLayout(sheet, state, m_screen->GetSize());
  m_screen->Show(Render(sheet, state, layout, m_screen->GetCaps()));
  ++m_frames;
  return layout;
}

void TerminalAgent::CursorChanged(dm::SheetModel& sheet, ui::Cursor cursor) {
  // The wait state is drawn at once: the program blocks next. The arrow
  // needs no frame of its own; the next action or message box draws one.
  // The page may still be setting itself up: the focus is placed for good
  // only when the user can act.
  if (cursor != ui::Cursor::Wait || m_hungUp) return;
  ViewState preview = m_state;
  Draw(sheet, preview);
}

std::optional<dm::Action> TerminalAgent::NextAction(dm::SheetModel& sheet) {
  while (!m_hungUp) {
    const SheetLayout layout = Draw(sheet, m_state);
    const Event event = m_screen->NextEvent();
    if (event.key == Key::Hangup) {
      m_hungUp = true;
      break;
    }
    std::optional<dm::Action> action = HandleEvent(sheet, m_state, layout, event);
    if (action && sheet.Check(*action) == dm::ActionError::None) return action;
  }
  return std::nullopt;  // the run ends with Cancel
}

int TerminalAgent::ShowMessageBox(dm::SheetModel& sheet, const dm::MessageBoxInfo& /*box*/) {
  m_state.list.reset();
  m_state.pressed.reset();
  ViewState behind = m_state;  // the sheet behind the box keeps its focus
  bool okPressed = false;
  while (!m_hungUp) {
    const SheetLayout layout = Draw(sheet, behind);
    const Event event = m_screen->NextEvent();
    if (event.key == Key::Hangup) m_hungUp = true;
    if (DismissesBox(layout, event, okPressed)) break;
  }
  return ui::IDOK;
}

void TerminalAgent::SheetClosed(dm::SheetModel& /*sheet*/, int /*result*/) {}

}  // namespace term
