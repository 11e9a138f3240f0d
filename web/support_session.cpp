#include "web/support_session.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "app/setup_app.h"
#include "dialog_model/scenario.h"
#include "settings/file_system.h"
#include "settings/registry.h"
#include "simulated/inventory_report.h"
#include "simulated/machine_profile.h"
#include "simulated/posix_file_system.h"
#include "simulated/simulated_machine.h"

namespace web {

namespace {

namespace fsys = std::filesystem;

constexpr char kApplicationName[] = "halcyra-setup";
constexpr char kMachineFile[] = "/input/machine.txt";
constexpr char kWorkingFolder[] = "/player";

// Dialog units to pixels in the dialog font (6 x 13 pixels a character, as
// the dialog model measures), rounded as MapDialogRect does.
int HorizontalPixels(int units) { return (units * dm::kCharWidth + 2) / 4; }
int VerticalPixels(int units) { return (units * dm::kCharHeight + 4) / 8; }

const char* KindText(res::ControlKind kind) { return res::KindName(kind); }

// The page's own files (the machine, the game's folder as the player has it)
// go through the same POSIX files as the program's, in the memory file
// system.
bool WriteFile(const std::string& path, const std::string& text) {
  return posixfs::PosixFileSystem().ReplaceFile(path, text).written;
}

std::string ControlJson(int index, const dm::ControlModel& control) {
  const res::ControlTemplate& t = control.Template();
  std::ostringstream out;
  out << "{\"index\":" << index << ",\"id\":" << t.id << ",\"kind\":\"" << KindText(t.kind) << "\""
      << ",\"text\":" << JsonString(control.text) << ",\"x\":" << HorizontalPixels(t.x)
      << ",\"y\":" << VerticalPixels(t.y) << ",\"w\":" << HorizontalPixels(t.cx)
      << ",\"h\":" << VerticalPixels(t.cy) << ",\"enabled\":" << (control.enabled ? "true" : "false")
      << ",\"visible\":" << (control.visible ? "true" : "false") << ",\"check\":" << control.check
      << ",\"curSel\":" << control.curSel << ",\"group\":" << (t.StartsGroup() ? "true" : "false")
      << ",\"tabstop\":" << (t.TabStop() ? "true" : "false") << ",\"bitmap\":" << t.bitmapId
      << ",\"items\":[";
  for (std::size_t i = 0; i < control.items.size(); ++i) out << (i > 0 ? "," : "") << JsonString(control.items[i]);
  out << "]}";
  return out.str();
}

std::string SheetJson(dm::SheetModel& sheet, const dm::MessageBoxInfo* box,
                      const std::optional<std::string>& refused) {
  std::ostringstream out;
  out << "{\"state\":\"sheet\",\"caption\":" << JsonString(sheet.Caption()) << ",\"tabs\":[";
  for (int i = 0; i < sheet.PageCount(); ++i) out << (i > 0 ? "," : "") << JsonString(sheet.TabCaption(i));
  out << "],\"active\":" << sheet.ActivePage() << ",\"cursor\":\""
      << (sheet.CurrentCursor() == ui::Cursor::Wait ? "wait" : "arrow") << "\",\"page\":";
  if (const dm::PageModel* page = sheet.Active()) {
    const res::DialogTemplate& t = page->Template();
    out << "{\"id\":" << t.id << ",\"width\":" << HorizontalPixels(t.cx) << ",\"height\":" << VerticalPixels(t.cy)
        << ",\"controls\":[";
    int index = 0;
    for (const auto& control : page->Controls()) {
      out << (index > 0 ? "," : "") << ControlJson(index, *control);
      ++index;
    }
    out << "]}";
  } else {
    out << "null";
  }
  out << ",\"buttons\":[";
  bool first = true;
  for (const int id : {ui::IDOK, ui::IDCANCEL}) {
    const dm::ControlModel* button = sheet.SheetButton(id);
    if (button == nullptr) continue;
    out << (first ? "" : ",") << "{\"id\":" << id << ",\"text\":" << JsonString(button->text)
        << ",\"enabled\":" << (button->enabled ? "true" : "false")
        << ",\"visible\":" << (button->visible ? "true" : "false") << "}";
    first = false;
  }
  out << "],\"box\":";
  if (box != nullptr) {
    out << "{\"id\":" << box->stringId << ",\"icon\":\""
        << (box->IsStop() ? "stop" : box->IsWarning() ? "warning" : "information") << "\",\"text\":"
        << JsonString(box->text) << ",\"caption\":" << JsonString(box->caption) << "}";
  } else {
    out << "null";
  }
  out << ",\"refused\":" << (refused ? JsonString(*refused) : "null") << "}";
  return out.str();
}

// Plays the session's actions up to the frontier (see support_session.h).
class ReplayAgent : public dm::UserAgent {
 public:
  ReplayAgent(const std::vector<dm::Action>& actions, int boxesAnswered)
      : m_actions(actions), m_boxesAnswered(boxesAnswered) {}

  std::optional<dm::Action> NextAction(dm::SheetModel& sheet) override {
    if (m_frontier) return std::nullopt;
    if (m_next < m_actions.size()) {
      const dm::Action& action = m_actions[m_next];
      const dm::ActionError error = sheet.Check(action);
      if (error == dm::ActionError::None) {
        ++m_next;
        return action;
      }
      // Refused (the page drew no such control, or it is disabled): the
      // user's action and everything after it are dropped.
      refused = std::string(dm::Describe(error)) + ": " + ScriptLine(action);
      dropFrom = m_next;
    }
    Reach(sheet, nullptr);
    return std::nullopt;
  }

  int ShowMessageBox(dm::SheetModel& sheet, const dm::MessageBoxInfo& box) override {
    if (!m_frontier) {
      if (m_boxesSeen < m_boxesAnswered) {
        ++m_boxesSeen;
      } else {
        Reach(sheet, &box);
      }
    }
    return ui::IDOK;
  }

  void SheetClosed(dm::SheetModel& /*sheet*/, int result) override {
    if (!m_frontier) closedWith = result;
  }

  bool Reached() const { return m_frontier; }

  std::string state;
  std::optional<std::string> refused;
  std::optional<std::size_t> dropFrom;
  int closedWith = 0;

 private:
  void Reach(dm::SheetModel& sheet, const dm::MessageBoxInfo* box) {
    m_frontier = true;
    state = SheetJson(sheet, box, refused);
    std::fflush(stdout);
    // Whatever the run prints from here on is not the user's.
    std::printf("\x1f" "frontier\n");
    std::fflush(stdout);
  }

  const std::vector<dm::Action>& m_actions;
  std::size_t m_next = 0;
  int m_boxesAnswered = 0;
  int m_boxesSeen = 0;
  bool m_frontier = false;
};

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + '"';
}

std::string ScriptLine(const dm::Action& action) {
  switch (action.kind) {
    case dm::Action::Kind::Click: return "click " + std::to_string(action.id);
    case dm::Action::Kind::Select:
      return "select " + std::to_string(action.id) + " " + std::to_string(action.index);
    case dm::Action::Kind::Type: return "type " + std::to_string(action.id) + " " + action.text;
    case dm::Action::Kind::Tab: return "tab " + std::to_string(action.index);
    case dm::Action::Kind::Ok: return "ok";
    case dm::Action::Kind::Cancel: return "cancel";
    case dm::Action::Kind::Close: return "close";
  }
  return "";
}

std::string Session::Start(const SessionInput& input) {
  m_started = false;
  m_actions.clear();
  m_boxesAnswered = 0;
  std::error_code ignored;
  fsys::create_directories("/input", ignored);
  if (!WriteFile(kMachineFile, input.machineText)) return "The file cannot be kept in the page's memory.";
  // Read as halcyra-sim reads --machine: a profile, or a report that
  // carries one.
  sim::ProfileResult profile = sim::LoadMachineProfile(kMachineFile);
  if (profile.error) {
    sim::ProfileError error = *profile.error;
    error.file = "the file";
    return error.ToString();
  }
  m_input = input;
  m_optionsFromReport = false;
  if (!m_input.optionsIni && sim::EmbeddedProfile(input.machineText) != input.machineText) {
    m_input.optionsIni = sim::OptionsFromReport(input.machineText);
    m_optionsFromReport = m_input.optionsIni.has_value();
  }
  m_started = true;
  return "";
}

std::string Session::Replay() {
  if (!m_started) return "{\"state\":\"error\",\"message\":" + JsonString("No machine is loaded.") + "}";
  // The game's folder as the player has it, again for every run, and an
  // empty working folder: without the registry's "Install Path" the program
  // reads and writes options.ini there.
  std::error_code ignored;
  fsys::remove_all(kWorkingFolder, ignored);
  fsys::create_directories(kWorkingFolder, ignored);
  fsys::current_path(kWorkingFolder, ignored);
  fsys::remove_all(kGameFolder, ignored);
  fsys::create_directories(std::string(kGameFolder) + "/static", ignored);
  const std::string options = std::string(kGameFolder) + "/options.ini";
  if (m_input.optionsIni) {
    WriteFile(options, *m_input.optionsIni);
    if (m_input.readOnlyOptions) ::chmod(options.c_str(), 0444);
  }
  for (const std::string& archive : m_input.archives) {
    WriteFile(std::string(kGameFolder) + "/static/" + archive, "archive");
  }

  sim::ProfileResult profile = sim::LoadMachineProfile(kMachineFile);
  if (!profile.machine) return "{\"state\":\"error\",\"message\":" + JsonString("The machine is gone.") + "}";
  halcyra::StartAsNewProcess();
  sim::SimulatedMachine machine(std::move(*profile.machine));
  machine.SetInstallPath(std::string(kGameFolder));
  machine.Install();
  reg::RegistrySlot::Install(&machine);
  posixfs::PosixFileSystem files;
  filesys::FileSystemSlot::Install(&files);
  machine.FailCall(m_input.failCall);

  ReplayAgent agent(m_actions, m_boxesAnswered);
  const int code = dm::RunOnModel(agent, kApplicationName, halcyra::RunHalcyraSetup);
  std::fflush(stdout);

  filesys::FileSystemSlot::Install(nullptr);
  reg::RegistrySlot::Install(nullptr);
  machine.Uninstall();
  halcyra::StartAsNewProcess();

  if (agent.dropFrom) {
    m_actions.resize(*agent.dropFrom);
  }
  if (agent.Reached()) return agent.state;
  const std::optional<std::string> saved = posixfs::PosixFileSystem().ReadFile(options);
  std::ostringstream out;
  out << "{\"state\":\"done\",\"result\":\""
      << (agent.closedWith == ui::IDOK ? "ok" : agent.closedWith == 0 ? "none" : "cancel") << "\",\"exit\":" << code
      << ",\"options\":" << (saved ? JsonString(*saved) : "null")
      << ",\"before\":" << (m_input.optionsIni ? JsonString(*m_input.optionsIni) : "null") << "}";
  return out.str();
}

std::string Session::Act(const dm::Action& action) {
  m_actions.push_back(action);
  return Replay();
}

std::string Session::AnswerBox() {
  ++m_boxesAnswered;
  return Replay();
}

std::string Session::State() { return Replay(); }

std::string Session::Options() const {
  return std::string("{\"options\":") + (m_input.optionsIni ? JsonString(*m_input.optionsIni) : "null") +
         ",\"fromReport\":" + (m_optionsFromReport ? "true" : "false") + "}";
}

std::string Session::Script() const {
  std::string script;
  for (const dm::Action& action : m_actions) script += ScriptLine(action) + "\n";
  return script;
}

}  // namespace web
