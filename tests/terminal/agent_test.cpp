// The front end as the dialog model's user, on a scripted terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "demo_pages.h"
#include "terminal/agent.h"

namespace {

using term::Key;

constexpr term::Size kTerm{100, 32};
constexpr term::Caps kColour{256, true};

struct SheetRun {
  test::DemoSheet sheet;
  test::ScriptedScreen screen{kTerm, kColour};
  term::TerminalAgent agent;
  int result = 0;

  explicit SheetRun(std::initializer_list<term::Event> events,
                    std::chrono::milliseconds waitFrameDelay = std::chrono::milliseconds(0))
      : agent(screen, waitFrameDelay) {
    screen.events.assign(events);
  }
  void Go() { result = test::RunDemoSheet(agent, sheet); }
  bool AnyFrameShows(const std::string& text) const {
    for (const auto& frame : screen.frames) {
      if (test::Shows(frame, text)) return true;
    }
    return false;
  }
};

// The wait state reaches the screen only when the probes take longer than
// the agent's delay; a wait frame that is shown is gone once they are done.
TEST(Agent, WaitStateIsShownOnlyWhenTheProbesTakeLonger) {
  using std::chrono::milliseconds;
  const struct Case {
    const char* name;
    milliseconds delay;
    bool probeAwaitsAFrame;  // the probe runs until a frame has come
    bool waitShown;
  } cases[] = {
      {"no delay: drawn before the probes", milliseconds(0), false, true},
      {"quick probes: never drawn", std::chrono::hours(1), false, false},
      {"slow probes: drawn by the timer", milliseconds(1), true, true},
  };
  for (const Case& c : cases) {
    SheetRun run({test::KeyEvent(Key::Escape)}, c.delay);
    bool waitShown = false;
    run.sheet.hardware.probe = [&] {
      const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (c.probeAwaitsAFrame && run.agent.FramesDrawn() == 0 &&
             std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(milliseconds(1));
      }
      waitShown = run.agent.FramesDrawn() > 0;
    };
    run.Go();
    EXPECT_EQ(waitShown, c.waitShown) << c.name;
    const bool drawn = test::Shows(run.screen.frames.front(), "Detecting hardware\u2026");
    EXPECT_EQ(drawn, c.waitShown) << c.name;
    EXPECT_FALSE(test::Shows(run.screen.frames.back(), "Detecting hardware")) << c.name;
    EXPECT_EQ(run.result, ui::IDCANCEL) << c.name;
  }
}

TEST(Agent, KeysDriveBothPagesToOk) {
  SheetRun run({test::KeyEvent(Key::Tab), test::KeyEvent(Key::Down),  // device: next entry
           test::KeyEvent(Key::CtrlPageDown),                    // audio page
           test::KeyEvent(Key::Tab), test::CharEvent(U' '),       // EAX off
           test::KeyEvent(Key::Enter)});
  run.Go();
  EXPECT_EQ(run.result, ui::IDOK);
  EXPECT_EQ(run.sheet.hardware.deviceChanges, 1);
  EXPECT_EQ(run.sheet.audio.eax, 0);
  EXPECT_TRUE(run.AnyFrameShows("[ ] EAX"));
}

TEST(Agent, MessageBoxIsShownAndDismissed) {
  SheetRun run({test::KeyEvent(Key::Tab), test::KeyEvent(Key::Tab), test::KeyEvent(Key::Tab),
           test::KeyEvent(Key::Right), test::KeyEvent(Key::Right),  // Off, then High: the box
           test::CharEvent(U'x'), test::KeyEvent(Key::Tab),          // the box ignores these
           test::KeyEvent(Key::Enter),                               // OK on the box
           test::KeyEvent(Key::Escape)});                            // Cancel on the sheet
  run.Go();
  const auto& frames = run.screen.frames;
  std::size_t first = frames.size();
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (test::Shows(frames[i], "The mip-map setting")) {
      first = std::min(first, i);
      EXPECT_TRUE(test::Shows(frames[i], "Warning"));
    }
  }
  ASSERT_LT(first, frames.size());
  EXPECT_EQ(frames.size() - first, 4u);  // the box, two ignored keys, the sheet again
  EXPECT_FALSE(test::Shows(frames.back(), "The mip-map setting"));
  EXPECT_EQ(run.result, ui::IDCANCEL);
}

TEST(Agent, ResizeRedrawsAndTheSmallScreenAsksForMore) {
  const term::Event small{Key::Resize, 0, 70, 20};
  const term::Event large{Key::Resize, 0, 100, 30};
  SheetRun run({small, test::KeyEvent(Key::Enter), large, test::KeyEvent(Key::Escape)});
  run.Go();
  const auto& frames = run.screen.frames;
  ASSERT_GE(frames.size(), 4u);
  const auto& tooSmall = frames[frames.size() - 3];
  EXPECT_EQ(tooSmall.Cols(), 70);
  EXPECT_TRUE(test::Shows(tooSmall, "too small"));
  EXPECT_TRUE(test::Shows(frames[frames.size() - 2], "too small"));  // Enter did nothing
  EXPECT_TRUE(test::Shows(frames.back(), "Halcyra Setup"));
  EXPECT_EQ(frames.back().Rows(), 30);
  EXPECT_EQ(run.result, ui::IDCANCEL);
}

TEST(Agent, AGoneTerminalCancels) {
  // The box is answered and the sheet cancelled when input ends.
  SheetRun run({test::KeyEvent(Key::Tab), test::KeyEvent(Key::Tab), test::KeyEvent(Key::Tab),
           test::KeyEvent(Key::Right), test::KeyEvent(Key::Right)});
  run.Go();
  EXPECT_EQ(run.result, ui::IDCANCEL);
  EXPECT_TRUE(run.AnyFrameShows("The mip-map setting"));
}

}  // namespace
