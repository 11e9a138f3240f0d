#include "dialog_model/scenario.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <sstream>

#include "base/printable_text.h"

namespace dm {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// Splits off the next blank-separated word of `rest`.
std::string_view NextWord(std::string_view& rest) {
  rest = Trim(rest);
  std::size_t end = 0;
  while (end < rest.size() && rest[end] != ' ' && rest[end] != '\t') ++end;
  std::string_view word = rest.substr(0, end);
  rest.remove_prefix(end);
  return word;
}

bool ParseInt(std::string_view word, int& value) {
  if (word.empty()) return false;
  const char* first = word.data();
  const char* last = word.data() + word.size();
  auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last;
}

}  // namespace

std::variant<Script, ScriptError> ParseScript(std::string_view text) {
  Script script;
  int lineNo = 0;
  while (!text.empty()) {
    ++lineNo;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

    std::string_view rest = Trim(line);
    if (rest.empty() || rest.front() == '#') continue;
    const std::string_view verb = NextWord(rest);
    ScriptStep step;
    step.line = lineNo;
    auto fail = [&](const std::string& why) {
      return ScriptError{lineNo, why + ": " + std::string(Trim(line))};
    };
    auto needId = [&](int& id) { return ParseInt(NextWord(rest), id); };

    if (verb == "click") {
      step.action.kind = Action::Kind::Click;
      if (!needId(step.action.id)) return fail("click needs a control id");
    } else if (verb == "select") {
      step.action.kind = Action::Kind::Select;
      if (!needId(step.action.id) || !ParseInt(NextWord(rest), step.action.index)) {
        return fail("select needs a control id and an entry index");
      }
    } else if (verb == "type") {
      step.action.kind = Action::Kind::Type;
      if (!needId(step.action.id)) return fail("type needs a control id and a text");
      // The text is the rest of the line after the blank that separates it.
      std::string_view typed = rest;
      if (!typed.empty() && (typed.front() == ' ' || typed.front() == '\t')) typed.remove_prefix(1);
      while (!typed.empty() && typed.back() == '\r') typed.remove_suffix(1);
      // What a user types is text: a control character is a keystroke with
      // a meaning of its own (Tab moves on, Backspace deletes, Ctrl+V
      // pastes), which the format does not describe.
      for (const char c : typed) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return fail("type takes printable text only");
      }
      step.action.text = std::string(typed);
      rest = {};
    } else if (verb == "tab") {
      step.action.kind = Action::Kind::Tab;
      if (!ParseInt(NextWord(rest), step.action.index)) return fail("tab needs a page index");
    } else if (verb == "ok") {
      step.action.kind = Action::Kind::Ok;
    } else if (verb == "cancel") {
      step.action.kind = Action::Kind::Cancel;
    } else if (verb == "close") {
      step.action.kind = Action::Kind::Close;
    } else if (verb == "dump") {
      step.dump = true;
    } else {
      return fail("unknown action");
    }
    if (!Trim(rest).empty()) return fail("unexpected words after the action");
    script.steps.push_back(std::move(step));
  }
  return script;
}

std::string Quote(const std::string& text) { return '"' + printable::Escape(text, true) + '"'; }

std::string DumpLine(const res::ControlTemplate& control, const ControlView& view) {
  std::ostringstream line;
  line << control.id << ' ' << res::KindName(control.kind) << " enabled=" << (view.enabled ? 1 : 0);
  switch (control.kind) {
    case res::ControlKind::RadioButton:
    case res::ControlKind::CheckBox:
      line << " checked=" << view.check << " text=" << Quote(view.text);
      break;
    case res::ControlKind::ComboBox:
      line << " current=" << view.curSel << " items=";
      for (std::size_t i = 0; i < view.items.size(); ++i) {
        if (i > 0) line << ',';
        line << Quote(view.items[i]);
      }
      line << " text=" << Quote(view.text);
      break;
    case res::ControlKind::Edit:
    case res::ControlKind::Static:
    case res::ControlKind::GroupBox:
      line << " text=" << Quote(view.text);
      break;
    case res::ControlKind::Picture:
      break;
  }
  return line.str();
}

std::vector<std::string> DumpPage(const PageModel& page) {
  std::vector<std::string> lines;
  for (const auto& control : page.Controls()) {
    lines.push_back(DumpLine(control->Template(),
                             ControlView{control->enabled, control->check, control->curSel, control->items,
                                         control->text}));
  }
  return lines;
}

ScenarioRunner::ScenarioRunner(const Script& script, std::FILE* out)
    : m_script(&script), m_out(out) {}

void ScenarioRunner::Print(const std::string& line) {
  std::fputs(line.c_str(), m_out);
  std::fputc('\n', m_out);
  std::fflush(m_out);
}

std::optional<Action> ScenarioRunner::NextAction(SheetModel& sheet) {
  while (m_next < m_script->steps.size()) {
    const ScriptStep& step = m_script->steps[m_next++];
    if (step.dump) {
      if (PageModel* page = sheet.Active()) {
        for (const auto& line : DumpPage(*page)) Print(line);
      }
      continue;
    }
    const ActionError error = sheet.Check(step.action);
    if (error != ActionError::None) {
      throw ScenarioFailure{ScriptError{step.line, Describe(error)}};
    }
    return step.action;
  }
  return std::nullopt;
}

std::string BoxLine(const MessageBoxInfo& box) {
  const char* icon = box.IsStop() ? "stop" : box.IsWarning() ? "warning" : "information";
  return "box " + std::to_string(box.stringId) + ' ' + icon + ' ' + Quote(box.text);
}

int ScenarioRunner::ShowMessageBox(SheetModel& /*sheet*/, const MessageBoxInfo& box) {
  Print(BoxLine(box));
  return ui::IDOK;
}

void ScenarioRunner::SheetClosed(SheetModel& /*sheet*/, int result) {
  Print(result == ui::IDOK ? "result ok" : "result cancel");
}

int RunScenario(std::string_view scriptText, const std::function<int()>& system,
                const std::string& appName, std::FILE* out, std::FILE* err) {
  auto parsed = ParseScript(scriptText);
  if (auto* error = std::get_if<ScriptError>(&parsed)) {
    std::fprintf(err, "script line %d: %s\n", error->line, printable::Escape(error->message).c_str());
    return 2;
  }
  const Script& script = std::get<Script>(parsed);
  ScenarioRunner runner(script, out);
  int code = 0;
  try {
    code = RunOnModel(runner, appName, system);
  } catch (const ScenarioFailure& failure) {
    std::fflush(out);
    std::fprintf(err, "script line %d: %s\n", failure.error.line,
                 printable::Escape(failure.error.message).c_str());
    return 2;
  }
  std::fprintf(out, "exit %d\n", code);
  std::fflush(out);
  return code;
}

}  // namespace dm
