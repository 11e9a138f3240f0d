// The terminal front end as the dialog model's user: it draws the sheet
// after every change and turns the user's keys and clicks into actions.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "dialog_model/sheet_model.h"
#include "terminal/screen.h"
#include "terminal/view_state.h"

namespace term {

class TerminalAgent : public dm::UserAgent {
 public:
  // How long the program may be busy before its wait state is shown: a
  // wait shorter than this is not seen, and drawing it would only delay
  // the sheet that follows.
  static constexpr std::chrono::milliseconds kWaitFrameDelay{100};

  explicit TerminalAgent(Screen& screen, std::chrono::milliseconds waitFrameDelay = kWaitFrameDelay)
      : m_screen(&screen), m_waitFrameDelay(waitFrameDelay) {}
  ~TerminalAgent() override;
  TerminalAgent(const TerminalAgent&) = delete;
  TerminalAgent& operator=(const TerminalAgent&) = delete;

  // The wait cursor: the sheet with its wait state is made at once and put
  // on the screen when the wait lasts longer than the delay (by a timer
  // thread, as the program blocks next); the arrow, or the next frame,
  // cancels it without waiting for the thread.
  void CursorChanged(dm::SheetModel& sheet, ui::Cursor cursor) override;
  std::optional<dm::Action> NextAction(dm::SheetModel& sheet) override;
  int ShowMessageBox(dm::SheetModel& sheet, const dm::MessageBoxInfo& box) override;
  void SheetClosed(dm::SheetModel& sheet, int result) override;

  const ViewState& State() const { return m_state; }
  int FramesDrawn() const { return m_frames; }

 private:
  // Draws the sheet with `state`, which is put right first.
  SheetLayout Draw(const dm::SheetModel& sheet, ViewState& state);

  // Ends a pending wait frame: not shown if its time has not come.
  void CancelWaitFrame();
  // The timer thread: shows the pending wait frame when it is due.
  void RunWaitTimer();

  Screen* m_screen;
  std::chrono::milliseconds m_waitFrameDelay;
  ViewState m_state;
  std::atomic<int> m_frames{0};
  std::thread m_waitTimer;
  std::mutex m_waitMutex;
  std::condition_variable m_waitChanged;
  std::optional<Grid> m_waitGrid;  // the pending wait frame
  std::chrono::steady_clock::time_point m_waitDue;
  bool m_waitStop = false;
  bool m_hungUp = false;
};

}  // namespace term
