// The wait state while the hardware is probed.
#include <gtest/gtest.h>

#include <thread>

#include "sheet_run.h"

namespace {

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
    test::SheetRun run({}, {100, 32}, {}, c.delay);
    run.probe = [&] {
      const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (c.probeAwaitsAFrame && run.agent.FramesDrawn() == 0 && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(milliseconds(1));
      }
      if (run.notes == "-") run.notes = run.agent.FramesDrawn() > 0 ? "shown" : "unseen";
    };
    run.Go();
    EXPECT_EQ(run.notes, c.waitShown ? "shown" : "unseen") << c.name;
    EXPECT_EQ(test::Shows(run.screen.frames.front(), "Detecting hardware\u2026"), c.waitShown) << c.name;
    EXPECT_FALSE(test::Shows(run.screen.frames.back(), "Detecting hardware")) << c.name;
  }
}

}  // namespace
