// The terminal front end as the dialog model's user: it draws the sheet
// after every change and turns the user's keys and clicks into actions.
#pragma once

#include <optional>

#include "dialog_model/sheet_model.h"
#include "terminal/screen.h"
#include "terminal/view_state.h"

namespace term {

class TerminalAgent : public dm::UserAgent {
 public:
  explicit TerminalAgent(Screen& screen) : m_screen(&screen) {}

  // The wait cursor: the sheet is drawn with its wait state at once, before
  // the probes that follow block the program.
  void CursorChanged(dm::SheetModel& sheet, ui::Cursor cursor) override;
  std::optional<dm::Action> NextAction(dm::SheetModel& sheet) override;
  int ShowMessageBox(dm::SheetModel& sheet, const dm::MessageBoxInfo& box) override;
  void SheetClosed(dm::SheetModel& sheet, int result) override;

  const ViewState& State() const { return m_state; }
  int FramesDrawn() const { return m_frames; }

 private:
  // Draws the sheet with `state`, which is put right first.
  SheetLayout Draw(const dm::SheetModel& sheet, ViewState& state);

  Screen* m_screen;
  ViewState m_state;
  int m_frames = 0;
  bool m_hungUp = false;
};

}  // namespace term
