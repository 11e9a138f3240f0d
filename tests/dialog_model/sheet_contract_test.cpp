// The property-sheet contract: start page and initialisation order, page
// activation, OK and Cancel, the sheet's buttons, message boxes, the
// application object and the framework's entry.
#include <gtest/gtest.h>

#include "app/message_text.h"
#include "res/strings.h"
#include "test_pages.h"

using namespace halcyra;

namespace {

using Log = std::vector<std::string>;

struct RunResult {
  Log log;
  std::intptr_t result = 0;
  bool helpVisible = true;
  bool applyVisible = true;
  int activeBeforeLastAction = -1;
};

RunResult RunSheet(std::vector<dm::Action> actions, int refusals = 0) {
  RunResult run;
  test::ListUser user;
  user.actions = std::move(actions);
  user.beforeAction = [&](dm::SheetModel& sheet, std::size_t) {
    run.helpVisible = sheet.HelpButtonVisible();
    run.applyVisible = sheet.ApplyButtonVisible();
    run.activeBeforeLastAction = sheet.ActivePage();
  };
  dm::ModelPlatform platform(user, "framework_tests");
  ui::UiPlatformSlot::Install(&platform);
  {
    test::RecordingSheet sheet(run.log);
    sheet.first.refusals = refusals;
    run.result = sheet.DoModal();
    EXPECT_EQ(sheet.first.GetSafeHwnd(), nullptr) << "page windows end with the sheet";
  }
  ui::UiPlatformSlot::Install(nullptr);
  return run;
}

TEST(Sheet, OpensOnTheFirstPageInitialisingItInsideTheSheetInitialisation) {
  const RunResult run = RunSheet({test::Cancel()});
  EXPECT_EQ(run.log, (Log{"sheet.init", "hw.init", "hw.active", "sheet.init.done"}));
  EXPECT_EQ(run.result, ui::IDCANCEL);
  // Help and Apply are there by default; the recording sheet clears them.
  EXPECT_FALSE(run.helpVisible);
  EXPECT_FALSE(run.applyVisible);
  ui::CPropertySheet plain("x", nullptr, 0);
  EXPECT_NE(plain.m_psh.dwFlags & ui::PSH_HASHELP, 0u);
  EXPECT_EQ(plain.m_psh.dwFlags & ui::PSH_NOAPPLYNOW, 0u);
}

TEST(Sheet, InitialisesAPageWhenFirstShownAndActivatesItEachTime) {
  const RunResult run = RunSheet({test::Tab(1), test::Tab(0), test::Tab(0), test::Tab(1)});
  EXPECT_EQ(run.log, (Log{"sheet.init", "hw.init", "hw.active", "sheet.init.done", "audio.init",
                          "audio.active", "hw.active", "audio.active"}));
}

TEST(Sheet, OkRunsOnOkOfEveryPageWithAWindowInPageOrder) {
  EXPECT_EQ(RunSheet({test::Ok()}).log.back(), "hw.ok");
  const RunResult both = RunSheet({test::Tab(1), test::Ok()});
  EXPECT_EQ(both.result, ui::IDOK);
  EXPECT_EQ(std::vector<std::string>(both.log.end() - 2, both.log.end()), (Log{"hw.ok", "audio.ok"}));
}

// A page that refuses OK keeps the sheet open on the page shown; the pages
// after it are not asked. The next OK runs every page's OnOK and closes it;
// Cancel after a refusal gives Cancel.
TEST(Sheet, APageThatRefusesOkKeepsTheSheetOpen) {
  const RunResult again = RunSheet({test::Tab(1), test::Ok(), test::Ok()}, 1);
  EXPECT_EQ(again.result, ui::IDOK);
  EXPECT_EQ(std::vector<std::string>(again.log.end() - 4, again.log.end()),
            (Log{"audio.active", "hw.refuse", "hw.ok", "audio.ok"}));
  EXPECT_EQ(again.activeBeforeLastAction, 1) << "the page shown stays";
  const RunResult cancelled = RunSheet({test::Tab(1), test::Ok(), test::Cancel()}, 1);
  EXPECT_EQ(cancelled.result, ui::IDCANCEL);
  EXPECT_EQ(std::vector<std::string>(cancelled.log.end() - 2, cancelled.log.end()),
            (Log{"audio.active", "hw.refuse"}));
  EXPECT_EQ(cancelled.activeBeforeLastAction, 1);
}

class BoxPage : public ui::CPropertyPage {
 public:
  BoxPage() : ui::CPropertyPage(res::IDD_AUDIO) {}
  ui::BOOL OnInitDialog() override {
    ShowWarningBox(*this, res::IDS_MIPMAP_NOT_RECOMMENDED, ui::MB_ICONEXCLAMATION);
    ShowWarningBox(*this, res::IDS_NO_3D_HARDWARE, ui::MB_ICONHAND);
    ui::UiPlatformSlot::Get().ExitProcess(-1);
    return ui::TRUE;
  }
};

TEST(MessageBoxes, CarryTheApplicationNameTheIconAndTheStringId) {
  test::ListUser user;
  dm::ModelPlatform platform(user, "halcyra-setup");
  ui::UiPlatformSlot::Install(&platform);
  BoxPage page;
  ui::CPropertySheet sheet("Halcyra Setup", nullptr, 0);
  sheet.AddPage(&page);
  int code = 0;
  try {
    sheet.DoModal();
  } catch (const ui::ProcessExit& exit) {
    code = exit.code;
  }
  ui::UiPlatformSlot::Install(nullptr);
  EXPECT_EQ(code, -1);
  ASSERT_EQ(user.boxes.size(), 2u);
  EXPECT_EQ(user.boxes[0].caption, "halcyra-setup");
  EXPECT_TRUE(user.boxes[0].IsWarning());
  EXPECT_EQ(user.boxes[0].stringId, res::IDS_MIPMAP_NOT_RECOMMENDED);
  EXPECT_EQ(user.boxes[0].text, res::FindString(res::IDS_MIPMAP_NOT_RECOMMENDED));
  EXPECT_TRUE(user.boxes[1].IsStop());
  EXPECT_EQ(user.boxes[1].type, ui::MB_OK | ui::MB_ICONHAND);
}

TEST(MessageText, IsANewCopyOfExactlyTheStringAndEmptyForAMissingId) {
  test::ListUser user;
  dm::ModelPlatform platform(user, "x");
  ui::UiPlatformSlot::Install(&platform);
  for (const auto& entry : res::StringTable()) {
    char* text = LoadMessageText(entry.id);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, entry.text);
    delete[] text;
  }
  char* missing = LoadMessageText(4711);
  ASSERT_NE(missing, nullptr);
  EXPECT_STREQ(missing, "");
  delete[] missing;
  // The platform copies at most size - 1 characters.
  char small[8];
  EXPECT_EQ(platform.LoadString(res::IDS_NO_3D_HARDWARE, small, sizeof small), 7);
  EXPECT_STREQ(small, "No comp");
  ui::UiPlatformSlot::Install(nullptr);
}

class CountingApp : public ui::CWinApp {
 public:
  ui::BOOL InitInstance() override {
    ++runs;
    return ui::FALSE;
  }
  int runs = 0;
};

TEST(Application, TheEntryRunsInitInstanceOnceAndEndsWithoutAMessageLoop) {
  CountingApp app;
  ASSERT_EQ(ui::AfxGetApp(), &app);
  EXPECT_EQ(ui::AfxWinMain(), 0);
  EXPECT_EQ(app.runs, 1);
}

}  // namespace
