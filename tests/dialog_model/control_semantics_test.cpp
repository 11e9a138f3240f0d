// Control behaviour of the dialog model that the pages rely on: combo-box
// search, insertion, selection and typing, automatic radio groups, and that
// only the user's own actions notify.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "test_pages.h"

namespace {

using test::Click;
using test::Select;

// Runs the recording sheet, hands the first page to `body` before the first
// action, then performs `actions`.
struct Fixture {
  std::vector<std::string> log;
  test::ListUser user;
  dm::ModelPlatform platform{user, "framework_tests"};

  void Run(std::vector<dm::Action> actions, const std::function<void(dm::SheetModel&)>& before,
           const std::function<void(dm::SheetModel&)>& after = nullptr) {
    user.actions = std::move(actions);
    user.beforeAction = [&](dm::SheetModel& sheet, std::size_t step) {
      if (step == 0 && before) before(sheet);
      if (step == user.actions.size() && after) after(sheet);
    };
    ui::UiPlatformSlot::Install(&platform);
    test::RecordingSheet sheet(log);
    sheet.DoModal();
    ui::UiPlatformSlot::Install(nullptr);
  }
};

ui::CComboBox ComboOf(dm::SheetModel& sheet, int id) {
  return ui::CComboBox(sheet.Active()->GetDlgItem(id));
}

struct SelectCase {
  std::vector<std::string> items;
  int current;           // current entry before the search
  const char* wanted;
  int expectedResult;
  int expectedCurrent;
};

class SelectStringTest : public ::testing::TestWithParam<SelectCase> {};

TEST_P(SelectStringTest, SearchesAfterTheFirstEntryThenWrapsAndMatchesPrefixWithoutCase) {
  const SelectCase& c = GetParam();
  Fixture f;
  f.Run({}, [&](dm::SheetModel& sheet) {
    ui::CComboBox combo = ComboOf(sheet, res::IDC_RESOLUTION);
    combo.ResetContent();
    for (std::size_t i = 0; i < c.items.size(); ++i) combo.InsertString(static_cast<int>(i), c.items[i]);
    combo.SetCurSel(c.current);
    EXPECT_EQ(combo.SelectString(0, c.wanted), c.expectedResult);
    EXPECT_EQ(combo.GetCurSel(), c.expectedCurrent);
    if (c.expectedCurrent >= 0) {
      EXPECT_EQ(sheet.Active()->Find(res::IDC_RESOLUTION)->text,
                c.items[static_cast<std::size_t>(c.expectedCurrent)]);
    }
  });
}

INSTANTIATE_TEST_SUITE_P(
    ComboBox, SelectStringTest,
    ::testing::Values(
        // The entry after the start wins over an equal match at index 0.
        SelectCase{{"640 x 480 x 16", "640 x 480 x 16"}, 0, "640 x 480 x 16", 1, 1},
        // Index 0 is searched last.
        SelectCase{{"640 x 480 x 16", "800 x 600 x 16"}, -1, "640 x 480 x 16", 0, 0},
        // A prefix matches: "640 x 480 x 1" finds "640 x 480 x 16" before "... x 8".
        SelectCase{{"800 x 600 x 16", "640 x 480 x 16", "640 x 480 x 8"}, 0, "640 x 480 x 1", 1, 1},
        // "640 x 480 x 16" is not found by searching for "640 x 480 x 8" and vice versa.
        SelectCase{{"640 x 480 x 16", "1024 x 768 x 16"}, 1, "640 x 480 x 8", -1, 1},
        // Case does not matter.
        SelectCase{{"Alpha", "hello there"}, 0, "HELLO", 1, 1},
        // No entries: fails.
        SelectCase{{}, -1, "640", -1, -1},
        // A longer text than the entry does not match.
        SelectCase{{"    TNT2"}, 0, "    TNT2 Ultra", -1, 0}));

TEST(ComboBox, InsertsAtTheGivenIndexNeverSortsAndSelectsOnlyInRange) {
  Fixture f;
  f.Run({test::Tab(1)}, nullptr, [&](dm::SheetModel& sheet) {
    const dm::ControlModel* control = sheet.Active()->Find(res::IDC_SOUND_DEVICE);
    ASSERT_NE(control->Template().style & res::CBS_SORT, 0u);
    ui::CComboBox combo = ComboOf(sheet, res::IDC_SOUND_DEVICE);
    EXPECT_EQ(combo.InsertString(0, "Zeta"), 0);
    EXPECT_EQ(combo.InsertString(1, "Alpha"), 1);
    EXPECT_EQ(combo.InsertString(-1, "Beta"), 2);
    EXPECT_EQ(combo.InsertString(9, "Out of range"), ui::CB_ERR);
    EXPECT_EQ(combo.SetCurSel(1), 1);
    EXPECT_EQ(combo.InsertString(0, "Gamma"), 0);  // before the selection: it moves along
    EXPECT_EQ(combo.GetCurSel(), 2);
    EXPECT_EQ(control->items, (std::vector<std::string>{"Gamma", "Zeta", "Alpha", "Beta"}));
    EXPECT_EQ(combo.GetLBText(1), "Zeta");
    EXPECT_EQ(combo.GetLBTextLen(7), ui::CB_ERR);
    EXPECT_EQ(combo.GetLBText(7), "");
    EXPECT_EQ(combo.SetCurSel(7), ui::CB_ERR);  // out of range: no current entry
    EXPECT_EQ(combo.GetCurSel(), ui::CB_ERR);
    EXPECT_EQ(combo.SetCurSel(2), 2);
    combo.ResetContent();
    EXPECT_EQ(combo.GetCount(), 0);
    EXPECT_EQ(combo.GetCurSel(), ui::CB_ERR);
    EXPECT_EQ(control->text, "");
  });
}

// Only the user's own selection notifies: not the code's own selection or
// check, and not typing, which keeps the text and leaves no current entry.
TEST(ComboBox, OnlyTheUsersOwnSelectionNotifies) {
  const struct {
    dm::Action action;
    int current;
    const char* text;
    long notified;
  } cases[] = {{Select(res::IDC_DEVICE, 1), 1, "second", 1},
               {{dm::Action::Kind::Type, res::IDC_DEVICE, 0, "sec"}, -1, "sec", 0}};
  for (const auto& c : cases) {
    Fixture f;
    int current = 0;
    std::string text;
    f.Run({c.action},
          [&](dm::SheetModel& sheet) {
            ui::CComboBox combo = ComboOf(sheet, res::IDC_DEVICE);
            combo.InsertString(0, "first");
            combo.InsertString(1, "second");
            combo.SelectString(0, "sec");
            combo.SetCurSel(0);
            ui::CButton(sheet.Active()->GetDlgItem(res::IDC_GLIDE)).SetCheck(1);
          },
          [&](dm::SheetModel& sheet) {
            current = ComboOf(sheet, res::IDC_DEVICE).GetCurSel();
            text = sheet.Active()->Find(res::IDC_DEVICE)->text;
          });
    EXPECT_EQ(current, c.current) << c.text;
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(std::count(f.log.begin(), f.log.end(), "hw.device"), c.notified) << c.text;
    EXPECT_EQ(std::count(f.log.begin(), f.log.end(), "hw.glide"), 0) << c.text;
  }
}

// The edit fields do not scroll: a typed character that does not fit in the
// field's width is refused, as the real edit field refuses it.
TEST(ComboBox, TypingKeepsWhatFitsInTheEditField) {
  const struct {
    int id;
    std::size_t kept;  // of 60 characters: (width - button - edges - margins) / 6
  } cases[] = {{res::IDC_DEVICE, 40}, {res::IDC_RESOLUTION, 20}};
  for (const auto& c : cases) {
    Fixture f;
    std::string text;
    f.Run({{dm::Action::Kind::Type, c.id, 0, std::string(60, 'x')}}, nullptr,
          [&](dm::SheetModel& sheet) { text = sheet.Active()->Find(c.id)->text; });
    EXPECT_EQ(text, std::string(c.kept, 'x')) << c.id;
  }
}

TEST(RadioButtons, AClickChecksTheButtonAndClearsOnlyItsOwnGroupBeforeTheHandlerRuns) {
  Fixture f;
  std::map<int, int> checks;
  f.Run({Click(res::IDC_DIRECT3D), Click(res::IDC_MIP_HIGH)},
        [&](dm::SheetModel& sheet) {
          for (int id : {res::IDC_GLIDE, res::IDC_TEXTURE_8BIT, res::IDC_MIP_ON, res::IDC_MIP_LOW}) {
            sheet.Active()->Find(id)->check = 1;
          }
        },
        [&](dm::SheetModel& sheet) {
          for (const auto& control : sheet.Active()->Controls()) {
            if (control->Kind() == res::ControlKind::RadioButton) checks[control->Id()] = control->check;
          }
        });
  // Renderer group: Direct 3D replaces Glide. Texture group untouched.
  EXPECT_EQ(checks[res::IDC_GLIDE], 0);
  EXPECT_EQ(checks[res::IDC_DIRECT3D], 1);
  EXPECT_EQ(checks[res::IDC_TEXTURE_8BIT], 1);
  // The five mip-mapping buttons are one group: High clears On and Low.
  EXPECT_EQ(checks[res::IDC_MIP_ON], 0);
  EXPECT_EQ(checks[res::IDC_MIP_LOW], 0);
  EXPECT_EQ(checks[res::IDC_MIP_HIGH], 1);
  EXPECT_EQ(f.log, (std::vector<std::string>{"sheet.init", "hw.init", "hw.active", "sheet.init.done",
                                             "hw.direct3d", "hw.high"}));
}

TEST(Controls, DisabledControlsTakeNoUserAction) {
  Fixture f;
  dm::ActionError clickError{}, selectError{}, unknown{}, notCombo{}, noEntry{}, noPage{};
  f.Run({}, [&](dm::SheetModel& sheet) {
    sheet.Active()->Find(res::IDC_GLIDE)->enabled = false;
    clickError = sheet.Check(Click(res::IDC_GLIDE));
    sheet.Active()->Find(res::IDC_DEVICE)->enabled = false;
    selectError = sheet.Check(Select(res::IDC_DEVICE, 0));
    unknown = sheet.Check(Click(4242));
    notCombo = sheet.Check(Select(res::IDC_DIRECT3D, 0));
    noEntry = sheet.Check(Select(res::IDC_RESOLUTION, 0));
    noPage = sheet.Check(test::Tab(2));
  });
  EXPECT_EQ(clickError, dm::ActionError::Disabled);
  EXPECT_EQ(selectError, dm::ActionError::Disabled);
  EXPECT_EQ(unknown, dm::ActionError::NoSuchControl);
  EXPECT_EQ(notCombo, dm::ActionError::NotACombo);
  EXPECT_EQ(noEntry, dm::ActionError::NoSuchEntry);
  EXPECT_EQ(noPage, dm::ActionError::NoSuchPage);
}

}  // namespace
