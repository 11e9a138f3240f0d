// Halcyra Setup itself, on the reference machine and an empty install folder,
// with the terminal front end as its user on a scripted terminal.
#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "terminal/agent.h"
#include "terminal/screen.h"

namespace test {

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

struct SheetRun {
  explicit SheetRun(std::vector<term::Event> events, term::Size size = {100, 32}, term::Caps caps = {},
                    std::chrono::milliseconds waitFrameDelay = std::chrono::milliseconds(0));
  ~SheetRun();
  // Runs the program until it ends (at the latest when the events run out),
  // in a process of its own; `screen.frames` and `notes` are its.
  void Go();
  bool Saved() const { return std::filesystem::exists(install / "options.ini"); }

  // A machine profile to run on instead of the reference machine.
  std::string profile;

  ScriptedScreen screen;
  term::TerminalAgent agent;
  // Runs when the display probe starts, while the wait cursor shows; what
  // it sees goes into `notes` (one word).
  std::function<void()> probe;
  std::string notes = "-";
  std::filesystem::path install;

 private:
  void RunHere();
};

// Whether any row of `grid` contains `text` (UTF-8).
bool Shows(const term::Grid& grid, const std::string& text);

}  // namespace test
