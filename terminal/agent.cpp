#include "terminal/agent.h"

#include <system_error>

namespace term {

TerminalAgent::~TerminalAgent() {
  if (!m_waitTimer.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(m_waitMutex);
    m_waitGrid.reset();
    m_waitStop = true;
  }
  m_waitChanged.notify_all();
  m_waitTimer.join();
}

void TerminalAgent::CancelWaitFrame() {
  // Once the lock is held the timer is not showing a frame, and after it is
  // released it shows none: the caller may use the screen. The timer is not
  // waited for.
  const std::lock_guard<std::mutex> lock(m_waitMutex);
  m_waitGrid.reset();
}

void TerminalAgent::RunWaitTimer() {
  std::unique_lock<std::mutex> lock(m_waitMutex);
  while (!m_waitStop) {
    if (!m_waitGrid) {
      m_waitChanged.wait(lock);
    } else if (m_waitChanged.wait_until(lock, m_waitDue) == std::cv_status::timeout && m_waitGrid &&
               std::chrono::steady_clock::now() >= m_waitDue) {
      m_screen->Show(*m_waitGrid);
      m_waitGrid.reset();
      ++m_frames;
    }
  }
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
  // The frame is made now, while the sheet may be read; the timer thread
  // (one for the agent's life, started at the first wait) only puts it on
  // the screen, under the lock that the agent's own drawing takes first.
  Normalize(sheet, preview);
  const SheetLayout layout = ComputeLayout(sheet, preview, m_screen->GetSize());
  Grid grid = Render(sheet, preview, layout, m_screen->GetCaps());
  if (!m_waitTimer.joinable()) {
    try {
      m_waitTimer = std::thread([this] { RunWaitTimer(); });
    } catch (const std::system_error&) {
      // No thread to be had: the wait state is shown at once.
      m_screen->Show(grid);
      ++m_frames;
      return;
    }
  }
  {
    const std::lock_guard<std::mutex> lock(m_waitMutex);
    m_waitGrid = std::move(grid);
    m_waitDue = std::chrono::steady_clock::now() + m_waitFrameDelay;
  }
  m_waitChanged.notify_all();
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
