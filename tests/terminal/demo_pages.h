// Pages on the real templates with made-up content, for the terminal front
// end's tests: the 3D page fills its combos and radio buttons behind a wait
// cursor, warns on "High", and the audio page fills itself when shown.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/framework.h"
#include "dialog_model/sheet_model.h"
#include "res/resource.h"
#include "terminal/input.h"
#include "terminal/screen.h"
#include "test_pages.h"

namespace test {

class DemoHardwarePage : public ui::CPropertyPage {
 public:
  DemoHardwarePage() : ui::CPropertyPage(res::IDD_HARDWARE) {}
  ui::BOOL OnInitDialog() override;
  void OnMipHigh();
  void OnDevice() { ++deviceChanges; }

  // Runs while the wait cursor shows, in place of the hardware probes.
  std::function<void()> probe;
  int deviceChanges = 0;

  DECLARE_MESSAGE_MAP()
};

class DemoAudioPage : public ui::CPropertyPage {
 public:
  DemoAudioPage() : ui::CPropertyPage(res::IDD_AUDIO) {}
  ui::BOOL OnSetActive() override;
  void OnEax() { eax = GetButton(res::IDC_EAX)->GetCheck(); }

  int eax = -1;
  bool filled = false;

  DECLARE_MESSAGE_MAP()
};

class DemoSheet : public ui::CPropertySheet {
 public:
  DemoSheet();
  ui::BOOL OnInitDialog() override;

  DemoHardwarePage hardware;
  DemoAudioPage audio;
};

// Runs the demo sheet on the dialog model with `agent` as its user;
// returns the sheet's result.
int RunDemoSheet(dm::UserAgent& agent, DemoSheet& sheet);

// A user that carries out `actions` and then calls `inspect` with the
// running sheet (and, when `inBox`, from inside the first message box).
class InspectingUser : public dm::UserAgent {
 public:
  std::vector<dm::Action> actions;
  std::function<void(dm::SheetModel&)> inspect;
  bool inBox = false;

  std::optional<dm::Action> NextAction(dm::SheetModel& sheet) override;
  int ShowMessageBox(dm::SheetModel& sheet, const dm::MessageBoxInfo& box) override;

 private:
  std::size_t m_next = 0;
  bool m_done = false;
};

// Calls `inspect` with the demo sheet after `actions`.
void WithDemoSheet(const std::vector<dm::Action>& actions,
                   const std::function<void(dm::SheetModel&)>& inspect, bool inBox = false);

// A terminal that plays a list of events and keeps every frame shown.
class ScriptedScreen : public term::Screen {
 public:
  ScriptedScreen(term::Size startSize, term::Caps abilities) : size(startSize), caps(abilities) {}
  term::Size GetSize() override { return size; }
  term::Caps GetCaps() override { return caps; }
  void Show(const term::Grid& grid) override { frames.push_back(grid); }
  // The next event; a hang-up once the list is used up.
  term::Event NextEvent() override;

  term::Size size;
  term::Caps caps;
  std::deque<term::Event> events;
  std::vector<term::Grid> frames;
};

inline term::Event KeyEvent(term::Key key) { return {key}; }
inline term::Event CharEvent(char32_t ch) { return {term::Key::Char, ch}; }
inline term::Event ClickAt(int x, int y) { return {term::Key::MouseDown, 0, x, y}; }
inline term::Event ReleaseAt(int x, int y) { return {term::Key::MouseUp, 0, x, y}; }

// The index of control `id` on the active page, or -1.
int IndexOf(const dm::SheetModel& sheet, int id);

// Whether any row of `grid` contains `text` (UTF-8).
bool Shows(const term::Grid& grid, const std::string& text);
// The first cell where `text` starts on screen, or {-1, -1}.
std::pair<int, int> Find(const term::Grid& grid, const std::string& text);

}  // namespace test
