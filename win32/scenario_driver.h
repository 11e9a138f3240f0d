// The scenario driver of the Windows test build: plays a scenario script on
// the real property sheet with real window messages (BM_CLICK, CB_SETCURSEL
// with CBN_SELCHANGE to the page, WM_CHAR into a combo's edit field,
// PSM_SETCURSEL, PSM_PRESSBUTTON, WM_SYSCOMMAND SC_CLOSE) and prints the
// same event lines as the dialog model's scenario runner. Message boxes are
// real: the driver finds each one on screen, reads its text, icon and
// caption from its controls, reports it and presses its OK button.
//
// The driver runs on the user-interface thread from a thread timer. Windows
// delivers WM_TIMER only when no other message is waiting; after each action
// the driver handles every message the action left waiting (painting
// included) before it takes the next, so each action is handled completely
// and a script does not wait a timer period per action. The timer also fires
// inside a message box's own modal loop, which is how the box gets answered.
//
// A step that cannot be carried out (an unknown or disabled control, a
// missing entry) ends the run as the dialog model's runner does: nothing
// more is printed, the sheet is closed with Cancel behind the scenes, and
// the run's result is 2 with the fault on the error stream.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dialog_model/scenario.h"
#include "win32/ui_platform_win32.h"

namespace win32 {

struct DriverOptions {
  // When set, every dump also pauses the run for a screenshot: the driver
  // writes "<dir>/snapN.ready" (N counts from 1) holding the sheet window's
  // screen rectangle "left top width height", and goes on once
  // "<dir>/snapN.go" exists (or after a minute).
  std::string pauseDirectory;
  // Called when the system ends the process with `code`, after "exit N" has
  // been printed and before the process ends (the batch mode records the
  // run as finished).
  std::function<void(int code)> processEnding;
};

class ScenarioDriver : public SheetObserver {
 public:
  ScenarioDriver(const dm::Script& script, std::FILE* out, std::FILE* err,
                 DriverOptions options = {});
  ~ScenarioDriver() override;
  ScenarioDriver(const ScenarioDriver&) = delete;
  ScenarioDriver& operator=(const ScenarioDriver&) = delete;

  // SheetObserver
  void SheetStarting() override;
  void SheetReady(HWND sheetWindow, ui::CPropertySheet& sheet) override;
  void OkRefused() override;
  void SheetClosed(int result) override;
  void ProcessEnding(int code) override;

  // Diagnostics about what the driver saw that the event lines do not show
  // (a box caption that is not the application's name, a page whose windows
  // do not match its template); empty when all was as expected.
  const std::vector<std::string>& Problems() const { return m_problems; }
  // The script fault that ended the run, if any: "script line N: why".
  const std::string& Fault() const { return m_fault; }

  void Tick();

 private:
  void Step();
  bool AnswerMessageBox();
  void Dump();
  bool Holding();
  dm::ActionError Check(const dm::Action& action);
  void Apply(const dm::Action& action);
  void Fail(int line, const char* why);
  void PumpMessages();
  void Print(const std::string& line);
  HWND ActivePage() const;
  int ActiveIndex() const;
  const res::DialogTemplate* ActiveTemplate() const;
  const res::ControlTemplate* FindControl(int id) const;

  const dm::Script* m_script;
  std::FILE* m_out;
  std::FILE* m_err;
  DriverOptions m_options;
  std::size_t m_next = 0;
  HWND m_sheetWindow = nullptr;
  ui::CPropertySheet* m_sheet = nullptr;
  UINT_PTR m_timer = 0;
  bool m_ready = false;
  bool m_closed = false;
  bool m_busy = false;
  bool m_closing = false;  // OK, Cancel or close has been pressed
  int m_snapshots = 0;
  bool m_holding = false;
  DWORD m_holdStart = 0;
  std::vector<std::string> m_problems;
  std::string m_fault;
};

// One line of a dump: the control `window` made from `control`, in the
// scenario runner's format.
std::string DumpLine(const res::ControlTemplate& control, HWND window);

// Parses `scriptText` and runs `system` (the application's entry) with the
// driver watching `platform`'s sheet; prints the events and "exit N" on
// `out`. A script fault, or a step that cannot be carried out, is reported
// on `err` with its line and gives 2.
int RunScenario(std::string_view scriptText, const std::function<int()>& system,
                Win32Platform& platform, std::FILE* out, std::FILE* err,
                const DriverOptions& options = {});

}  // namespace win32
