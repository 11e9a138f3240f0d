#include "terminal/agent.h"

#include <system_error>

namespace term {

TerminalAgent::~TerminalAgent() { CancelWaitFrame(); }

void TerminalAgent::CancelWaitFrame() {
  if (!m_waitTimer.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(m_waitMutex);
    m_waitCancel = true;
  }
  m_waitCancelled.notify_all();
  m_waitTimer.join();
}

SheetLayout TerminalAgent::Draw(const dm::SheetModel& sheet, ViewState& state) {
  CancelWaitFrame();
  Normalize(sheet, state);
  const SheetLayout layout = ComputeLayout(sheet, state, m_screen->GetSize());
  m_screen->Show(Render(sheet, state, layout, m_screen->GetCaps()));
  ++m_frames;
  return layout;
}

void TerminalAgent::CursorChanged(dm::SheetModel& sheet, ui::Cursor cursor) {
  // The arrow needs no frame of its own; the next action or message box
  // draws one. The page may still be setting itself up: the focus is placed
  // for good only when the user can act.
  if (cursor != ui::Cursor::Wait) {
    CancelWaitFrame();
    return;
  }
  if (m_hungUp) return;
  ViewState preview = m_state;
  if (m_waitFrameDelay.count() <= 0) {
    Draw(sheet, preview);
    return;
  }
  CancelWaitFrame();
  // The frame is made now, while the sheet may be read; the timer thread
  // only puts it on the screen, which nothing else uses until the timer is
  // cancelled or has ended.
  Normalize(sheet, preview);
  const SheetLayout layout = ComputeLayout(sheet, preview, m_screen->GetSize());
  m_waitCancel = false;
  try {
    m_waitTimer = std::thread([this, grid = Render(sheet, preview, layout, m_screen->GetCaps())] {
      std::unique_lock<std::mutex> lock(m_waitMutex);
      if (m_waitCancelled.wait_for(lock, m_waitFrameDelay, [this] { return m_waitCancel; })) return;
      m_screen->Show(grid);
      ++m_frames;
    });
  } catch (const std::system_error&) {
    // No thread to be had: the wait state is shown at once.
    m_screen->Show(Render(sheet, preview, layout, m_screen->GetCaps()));
    ++m_frames;
  }
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
  ViewState behind = m_state;  // the sheet behind the box keeps its focus
  while (!m_hungUp) {
    const SheetLayout layout = Draw(sheet, behind);
    const Event event = m_screen->NextEvent();
    if (event.key == Key::Hangup) m_hungUp = true;
    if (DismissesBox(layout, event)) break;
  }
  return ui::IDOK;
}

void TerminalAgent::SheetClosed(dm::SheetModel& /*sheet*/, int /*result*/) {}

}  // namespace term
