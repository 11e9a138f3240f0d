// The scenario runner: runs the sheet headless on the dialog model from a
// script of user actions and prints what a user would see, one event a line.
//
// Script: one action per line; blank lines and lines starting with '#' are
// ignored. Actions: click ID, select ID INDEX, type ID TEXT, tab INDEX, ok,
// cancel, close, dump. When the script ends with the sheet open, Cancel is
// pressed.
//
// Output: box ID stop|warning "TEXT" (answered with OK), dump lines
// "ID KIND enabled=0|1 [checked=N] [current=N items="a","b"] [text="..."]",
// result ok|cancel, and exit N last. Every control with a caption or an
// edit field prints its text, buttons included, so a line names what it
// describes on every platform.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "dialog_model/sheet_model.h"

namespace dm {

struct ScriptStep {
  int line = 0;
  bool dump = false;  // a dump instead of an action
  Action action;
};

struct Script {
  std::vector<ScriptStep> steps;
};

// A line that cannot be run, with its number (1-based).
struct ScriptError {
  int line = 0;
  std::string message;
};

std::variant<Script, ScriptError> ParseScript(std::string_view text);

// What a dump shows of one control, read from whichever platform runs it.
struct ControlView {
  bool enabled = false;
  int check = 0;                   // buttons
  int curSel = -1;                 // combo boxes
  std::vector<std::string> items;  // combo boxes
  std::string text;                // the caption, or a combo's or edit field's text
};

// One dump line, the same on every platform.
std::string DumpLine(const res::ControlTemplate& control, const ControlView& view);

// The dump lines of the active page, in template order.
std::vector<std::string> DumpPage(const PageModel& page);

// The line of a message box: box ID stop|warning|information "TEXT".
std::string BoxLine(const MessageBoxInfo& box);

// Quotes `text` for the output: "…" with \" and \\, and the controls
// escaped as printable::Escape does (\xHH, \uHHHH).
std::string Quote(const std::string& text);

class ScenarioRunner : public UserAgent {
 public:
  ScenarioRunner(const Script& script, std::FILE* out);

  std::optional<Action> NextAction(SheetModel& sheet) override;
  int ShowMessageBox(SheetModel& sheet, const MessageBoxInfo& box) override;
  void SheetClosed(SheetModel& sheet, int result) override;

 private:
  void Print(const std::string& line);

  const Script* m_script;
  std::size_t m_next = 0;
  std::FILE* m_out;
};

// Thrown by the runner when a step cannot be carried out.
struct ScenarioFailure {
  ScriptError error;
};

// Parses `scriptText`, installs a dialog-model platform named `appName`
// whose user is the script, and runs `system` (the application's entry).
// Prints the events and "exit N" on `out`. A script fault is reported on
// `err` with its line, and gives 2.
int RunScenario(std::string_view scriptText, const std::function<int()>& system,
                const std::string& appName, std::FILE* out, std::FILE* err);

}  // namespace dm
