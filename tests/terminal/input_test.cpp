// Keys and clicks to actions: table-driven over the demo sheet.
#include <gtest/gtest.h>

#include "demo_pages.h"
#include "terminal/input.h"

namespace {

using term::Event;
using term::Key;
using term::ViewState;
using Area = ViewState::Area;
using Kind = dm::Action::Kind;

constexpr term::Size kTerm{100, 32};

using test::IndexOf;

// Where the focus is, in a test's terms.
struct Focus {
  Area area = Area::Page;
  int id = 0;  // Page: control id; Button: button id; Tabs: unused
};

ViewState StateAt(const dm::SheetModel& sheet, Focus focus) {
  ViewState state;
  state.page = sheet.ActivePage();
  state.area = focus.area;
  if (focus.area == Area::Page) state.control = IndexOf(sheet, focus.id);
  if (focus.area == Area::Button) state.button = focus.id;
  return state;
}

struct Expect {
  Expect() = default;
  Expect(Kind k, int i = 0, int n = 0, std::string t = {})
      : kind(k), id(i), index(n), text(std::move(t)) {}
  std::optional<Kind> kind;  // nullopt: no action
  int id = 0;
  int index = 0;
  std::string text;
};

std::string Describe(const std::optional<dm::Action>& action) {
  if (!action) return "none";
  return std::to_string(static_cast<int>(action->kind)) + " id=" + std::to_string(action->id) +
         " index=" + std::to_string(action->index) + " text=" + action->text;
}

void ExpectAction(const std::optional<dm::Action>& got, const Expect& want, const std::string& what) {
  if (!want.kind) {
    EXPECT_FALSE(got) << what << ": got " << Describe(got);
    return;
  }
  ASSERT_TRUE(got) << what;
  EXPECT_EQ(got->kind, *want.kind) << what;
  EXPECT_EQ(got->id, want.id) << what;
  EXPECT_EQ(got->index, want.index) << what;
  EXPECT_EQ(got->text, want.text) << what;
}

TEST(Keys, OneKeyFromAFocus) {
  struct Case {
    const char* what;
    int page;
    Focus from;
    Event event;
    Expect action;
    std::optional<Focus> to;  // where the focus ends, when it matters
  };
  const Case cases[] = {
      {"space clicks a radio", 0, {Area::Page, res::IDC_GLIDE}, test::CharEvent(U' '),
       {Kind::Click, res::IDC_GLIDE}, {}},
      {"right moves in the group, skipping disabled", 0, {Area::Page, res::IDC_TEXTURE_16BIT},
       test::KeyEvent(Key::Right), {Kind::Click, res::IDC_TEXTURE_COMPRESSED},
       Focus{Area::Page, res::IDC_TEXTURE_COMPRESSED}},
      {"up wraps round the group", 0, {Area::Page, res::IDC_TEXTURE_16BIT},
       test::KeyEvent(Key::Up), {Kind::Click, res::IDC_TEXTURE_COMPRESSED},
       Focus{Area::Page, res::IDC_TEXTURE_COMPRESSED}},
      {"down in the five mip buttons", 0, {Area::Page, res::IDC_MIP_ON}, test::KeyEvent(Key::Down),
       {Kind::Click, res::IDC_MIP_OFF}, Focus{Area::Page, res::IDC_MIP_OFF}},
      {"enter presses OK", 0, {Area::Page, res::IDC_GLIDE}, test::KeyEvent(Key::Enter), {Kind::Ok}, {}},
      {"enter on Cancel presses it", 0, {Area::Button, ui::IDCANCEL}, test::KeyEvent(Key::Enter),
       {Kind::Cancel}, {}},
      {"space on OK", 0, {Area::Button, ui::IDOK}, test::CharEvent(U' '), {Kind::Ok}, {}},
      {"esc cancels", 0, {Area::Page, res::IDC_DEVICE}, test::KeyEvent(Key::Escape), {Kind::Cancel}, {}},
      {"ctrl-pgdn next page", 0, {Area::Page, res::IDC_GLIDE}, test::KeyEvent(Key::CtrlPageDown),
       {Kind::Tab, 0, 1}, {}},
      {"ctrl-pgup wraps", 0, {Area::Page, res::IDC_GLIDE}, test::KeyEvent(Key::CtrlPageUp),
       {Kind::Tab, 0, 1}, {}},
      {"ctrl-tab", 1, {Area::Page, res::IDC_EAX}, test::KeyEvent(Key::CtrlTab), {Kind::Tab, 0, 0}, {}},
      {"ctrl-shift-tab", 1, {Area::Page, res::IDC_EAX}, test::KeyEvent(Key::CtrlShiftTab),
       {Kind::Tab, 0, 0}, {}},
      {"right on the tab strip", 0, {Area::Tabs, 0}, test::KeyEvent(Key::Right), {Kind::Tab, 0, 1}, {}},
      {"left on the first tab", 0, {Area::Tabs, 0}, test::KeyEvent(Key::Left), {}, {}},
      {"combo down picks the next entry", 0, {Area::Page, res::IDC_DEVICE}, test::KeyEvent(Key::Down),
       {Kind::Select, res::IDC_DEVICE, 1}, {}},
      {"combo up at the first entry", 0, {Area::Page, res::IDC_DEVICE}, test::KeyEvent(Key::Up), {}, {}},
      {"combo end", 0, {Area::Page, res::IDC_RESOLUTION}, test::KeyEvent(Key::End),
       {Kind::Select, res::IDC_RESOLUTION, 11}, {}},
      {"combo home", 0, {Area::Page, res::IDC_RESOLUTION}, test::KeyEvent(Key::Home),
       {Kind::Select, res::IDC_RESOLUTION, 0}, {}},
      {"combo page down", 0, {Area::Page, res::IDC_RESOLUTION}, test::KeyEvent(Key::PageDown),
       {Kind::Select, res::IDC_RESOLUTION, 10}, {}},
      {"typing into a combo's field", 0, {Area::Page, res::IDC_RESOLUTION}, test::CharEvent(U'!'),
       {Kind::Type, res::IDC_RESOLUTION, 0, "800 x 600 x 16!"}, {}},
      {"backspace in a combo's field", 0, {Area::Page, res::IDC_RESOLUTION},
       test::KeyEvent(Key::Backspace), {Kind::Type, res::IDC_RESOLUTION, 0, "800 x 600 x 1"}, {}},
      {"space on the check box", 1, {Area::Page, res::IDC_EAX}, test::CharEvent(U' '),
       {Kind::Click, res::IDC_EAX}, {}},
      {"arrows on a check box do nothing", 1, {Area::Page, res::IDC_EAX}, test::KeyEvent(Key::Down),
       {}, {}},
      {"space on a read-only edit does nothing", 1, {Area::Page, res::IDC_VOICES},
       test::CharEvent(U' '), {}, {}},
  };
  for (const Case& c : cases) {
    test::WithDemoSheet({test::Tab(c.page)}, [&](dm::SheetModel& sheet) {
      ViewState state = StateAt(sheet, c.from);
      const term::SheetLayout layout = term::ComputeLayout(sheet, state, kTerm);
      const auto action = term::HandleEvent(sheet, state, layout, c.event);
      ExpectAction(action, c.action, c.what);
      if (action) {
        EXPECT_EQ(sheet.Check(*action), dm::ActionError::None) << c.what;
      }
      if (c.to) {
        const ViewState want = StateAt(sheet, *c.to);
        EXPECT_EQ(state.area, want.area) << c.what;
        EXPECT_EQ(state.control, want.control) << c.what;
      }
    });
  }
}

TEST(Keys, TabWalksTheStopsBothWays) {
  test::WithDemoSheet({}, [](dm::SheetModel& sheet) {
    // A radio group is one stop, entered at its checked button; disabled
    // buttons never take the focus.
    const std::vector<Focus> cycle = {
        {Area::Page, res::IDC_DIRECT3D}, {Area::Page, res::IDC_DEVICE},
        {Area::Page, res::IDC_TEXTURE_16BIT}, {Area::Page, res::IDC_MIP_ON},
        {Area::Page, res::IDC_RESOLUTION}, {Area::Button, ui::IDOK},
        {Area::Button, ui::IDCANCEL}, {Area::Tabs, 0}, {Area::Page, res::IDC_DIRECT3D}};
    ViewState state;
    term::Normalize(sheet, state);  // the first frame's focus
    const term::SheetLayout layout = term::ComputeLayout(sheet, state, kTerm);
    for (std::size_t i = 0; i < cycle.size(); ++i) {
      const ViewState want = StateAt(sheet, cycle[i]);
      EXPECT_EQ(state.area, want.area) << "stop " << i;
      if (want.area == Area::Page) {
        EXPECT_EQ(state.control, want.control) << "stop " << i;
      }
      if (want.area == Area::Button) {
        EXPECT_EQ(state.button, want.button) << "stop " << i;
      }
      if (i + 1 < cycle.size()) {
        EXPECT_FALSE(term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::Tab)));
      }
    }
    for (std::size_t i = cycle.size(); i-- > 1;) {
      term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::BackTab));
      const ViewState want = StateAt(sheet, cycle[i - 1]);
      EXPECT_EQ(state.area, want.area) << "back to " << i - 1;
      if (want.area == Area::Page) {
        EXPECT_EQ(state.control, want.control) << "back to " << i - 1;
      }
    }
  });
}

TEST(Keys, DropDownListOpensMovesAndCloses) {
  test::WithDemoSheet({}, [](dm::SheetModel& sheet) {
    const term::SheetLayout layout = term::ComputeLayout(sheet, ViewState{}, kTerm);
    for (const Key opener : {Key::AltDown, Key::F4, Key::AltUp}) {
      ViewState state = StateAt(sheet, {Area::Page, res::IDC_RESOLUTION});
      EXPECT_FALSE(term::HandleEvent(sheet, state, layout, test::KeyEvent(opener)));
      ASSERT_TRUE(state.list);
      EXPECT_EQ(state.list->highlight, 1);  // on the current entry
    }
    ViewState state = StateAt(sheet, {Area::Page, res::IDC_RESOLUTION});
    term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::F4));
    // Moving the bar is no selection yet; Enter takes it.
    EXPECT_FALSE(term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::Down)));
    EXPECT_FALSE(term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::Down)));
    EXPECT_EQ(state.list->highlight, 3);
    ExpectAction(term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::Enter)),
                 {Kind::Select, res::IDC_RESOLUTION, 3}, "enter takes the entry");
    EXPECT_FALSE(state.list);
    // Esc closes unchanged, and does not cancel the sheet.
    term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::F4));
    term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::End));
    EXPECT_EQ(state.list->highlight, 11);
    EXPECT_GT(state.list->top, 0);  // scrolled to keep the bar in sight
    EXPECT_FALSE(term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::Escape)));
    EXPECT_FALSE(state.list);
    // Enter on the current entry is no change.
    term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::F4));
    EXPECT_FALSE(term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::Enter)));
    // Tab closes the list and moves on.
    term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::F4));
    EXPECT_FALSE(term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::Tab)));
    EXPECT_FALSE(state.list);
    EXPECT_EQ(state.area, Area::Button);
  });
}

TEST(Keys, OnlyEscWorksInATooSmallTerminal) {
  test::WithDemoSheet({}, [](dm::SheetModel& sheet) {
    ViewState state;
    const term::SheetLayout layout = term::ComputeLayout(sheet, state, term::Size{60, 20});
    for (const Key key : {Key::Enter, Key::Tab, Key::CtrlPageDown, Key::MouseDown}) {
      EXPECT_FALSE(term::HandleEvent(sheet, state, layout, test::KeyEvent(key)));
    }
    ExpectAction(term::HandleEvent(sheet, state, layout, test::KeyEvent(Key::Escape)),
                 {Kind::Cancel}, "esc");
  });
}

TEST(Keys, FocusLeavesAControlThatIsDisabled) {
  test::WithDemoSheet({}, [](dm::SheetModel& sheet) {
    ViewState state = StateAt(sheet, {Area::Page, res::IDC_TEXTURE_8BIT});  // disabled
    term::Normalize(sheet, state);
    EXPECT_EQ(state.control, IndexOf(sheet, res::IDC_TEXTURE_16BIT));
    // A page change puts the focus on the new page's first stop.
    state.page = 1;
    term::Normalize(sheet, state);
    EXPECT_EQ(state.control, IndexOf(sheet, res::IDC_DIRECT3D));
  });
}

// The centre of control `id`'s text, or of its field.
std::pair<int, int> Spot(const dm::SheetModel& sheet, const term::SheetLayout& layout, int id) {
  const term::Rect r = layout.Place(IndexOf(sheet, id))->rect;
  return {r.x + r.w / 2, r.y};
}

TEST(Mouse, ClicksDoWhatTheyDoOnWindows) {
  test::WithDemoSheet({}, [](dm::SheetModel& sheet) {
    ViewState state = StateAt(sheet, {Area::Page, res::IDC_DIRECT3D});
    const term::SheetLayout layout = term::ComputeLayout(sheet, state, kTerm);
    auto click = [&](std::pair<int, int> at) {
      return term::HandleEvent(sheet, state, layout, test::ClickAt(at.first, at.second));
    };
    ExpectAction(click(Spot(sheet, layout, res::IDC_GLIDE)), {Kind::Click, res::IDC_GLIDE}, "radio");
    EXPECT_EQ(state.control, IndexOf(sheet, res::IDC_GLIDE));
    EXPECT_FALSE(click(Spot(sheet, layout, res::IDC_TEXTURE_8BIT)));  // disabled
    EXPECT_EQ(state.control, IndexOf(sheet, res::IDC_GLIDE));
    const term::Rect tab = layout.tabs[1];
    ExpectAction(click({tab.x + 2, tab.y + 1}), {Kind::Tab, 0, 1}, "tab");
    EXPECT_EQ(state.area, Area::Tabs);
    // OK, Cancel and the close mark act when the button is let go on them
    // after going down there; let go elsewhere, they do nothing.
    auto release = [&](std::pair<int, int> at) {
      return term::HandleEvent(sheet, state, layout, test::ReleaseAt(at.first, at.second));
    };
    const std::pair<int, int> ok{layout.buttons[0].rect.x + 3, layout.buttons[0].rect.y};
    const std::pair<int, int> cancel{layout.buttons[1].rect.x + 3, layout.buttons[1].rect.y};
    const std::pair<int, int> close{layout.closeBox.x + 1, layout.closeBox.y};
    const struct {
      std::pair<int, int> down, up;
      Expect action;
      const char* what;
    } pushes[] = {
        {ok, ok, {Kind::Ok}, "OK"},
        {cancel, cancel, {Kind::Cancel}, "Cancel"},
        {close, close, {Kind::Close}, "close"},
        {ok, cancel, {}, "OK, dragged to Cancel"},
        {cancel, {cancel.first, cancel.second - 1}, {}, "Cancel, dragged off"},
        {close, ok, {}, "close, dragged to OK"},
    };
    for (const auto& push : pushes) {
      EXPECT_FALSE(click(push.down)) << push.what;  // nothing yet
      ExpectAction(release(push.up), push.action, push.what);
      EXPECT_FALSE(release(push.up)) << push.what;  // one press, one action
    }
    // Down on a radio button (which acts at once), up on OK: OK does nothing.
    ExpectAction(click(Spot(sheet, layout, res::IDC_GLIDE)), {Kind::Click, res::IDC_GLIDE}, "radio");
    EXPECT_FALSE(release(ok));
    EXPECT_FALSE(click({layout.page.x + 1, layout.page.y + 1}));  // nothing there

    // A click on a combo opens its list; a click on an entry takes it.
    EXPECT_FALSE(click(Spot(sheet, layout, res::IDC_DEVICE)));
    ASSERT_TRUE(state.list);
    const term::SheetLayout open = term::ComputeLayout(sheet, state, kTerm);
    const term::Rect frame = open.list->frame;
    ExpectAction(term::HandleEvent(sheet, state, open, test::ClickAt(frame.x + 3, frame.y + 2)),
                 {Kind::Select, res::IDC_DEVICE, 1}, "entry");
    EXPECT_FALSE(state.list);
    // A click elsewhere only closes the list.
    click(Spot(sheet, layout, res::IDC_DEVICE));
    EXPECT_FALSE(term::HandleEvent(sheet, state, open, test::ClickAt(layout.buttons[0].rect.x + 3,
                                                                      layout.buttons[0].rect.y)));
    EXPECT_FALSE(state.list);
  });
}

TEST(Mouse, MessageBoxTakesOnlyItsOwnAnswers) {
  test::WithDemoSheet(
      {test::Click(res::IDC_MIP_HIGH)},
      [](dm::SheetModel& sheet) {
        const term::SheetLayout layout = term::ComputeLayout(sheet, ViewState{}, kTerm);
        ASSERT_TRUE(layout.box);
        bool pressed = false;
        EXPECT_TRUE(term::DismissesBox(layout, test::KeyEvent(Key::Enter), pressed));
        EXPECT_TRUE(term::DismissesBox(layout, test::KeyEvent(Key::Escape), pressed));
        EXPECT_TRUE(term::DismissesBox(layout, test::CharEvent(U' '), pressed));
        EXPECT_FALSE(term::DismissesBox(layout, test::CharEvent(U'x'), pressed));
        EXPECT_FALSE(term::DismissesBox(layout, test::KeyEvent(Key::Tab), pressed));
        const int okX = layout.box->ok.x + 4, okY = layout.box->ok.y;
        const int offX = layout.box->frame.x + 1, offY = layout.box->frame.y + 1;
        EXPECT_FALSE(term::DismissesBox(layout, test::ClickAt(okX, okY), pressed));
        EXPECT_TRUE(term::DismissesBox(layout, test::ReleaseAt(okX, okY), pressed));
        // Down on OK, up off it; down off it, up on OK: no answer.
        EXPECT_FALSE(term::DismissesBox(layout, test::ClickAt(okX, okY), pressed));
        EXPECT_FALSE(term::DismissesBox(layout, test::ReleaseAt(offX, offY), pressed));
        EXPECT_FALSE(term::DismissesBox(layout, test::ClickAt(offX, offY), pressed));
        EXPECT_FALSE(term::DismissesBox(layout, test::ReleaseAt(okX, okY), pressed));
      },
      /*inBox=*/true);
}

}  // namespace
