#include <gtest/gtest.h>

#include <iostream>

#include "demo_pages.h"
#include "terminal/render.h"

namespace {

TEST(Render, Smoke) {
  test::WithDemoSheet({}, [](dm::SheetModel& sheet) {
    term::ViewState state;
    const term::Grid grid = term::Render(sheet, state, term::Size{100, 32}, term::Caps{256, true});
    std::cout << grid.ToText();
  });
}

}  // namespace
