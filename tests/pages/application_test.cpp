// The application shell in one process: the sheet's result, what stays of
// the process-wide objects after OK and after Cancel, and OK again after a
// refused save, with files changed between the two.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

#include "app/setup_app.h"
#include "res/resource.h"
#include "res/strings.h"
#include "tests/simulated/temp_directory.h"
#include "dialog_model/scenario.h"
#include "hardware/glide.h"
#include "hardware/inventory.h"
#include "harness.h"
#include "settings/game_settings.h"
#include "simulated/machine_profile.h"
#include "simulated/posix_file_system.h"
#include "simulated/simulated_machine.h"

using namespace halcyra;

namespace pages_test {
namespace {

namespace stdfs = std::filesystem;

TEST(Application, ReleasesTheInventoryAfterCancelAndOkAndReturnsZero) {
  sim::ProfileResult profile = sim::ParseMachineProfile(Machine("devices-and-board"), "devices-and-board");
  ASSERT_FALSE(profile.error);
  const stdfs::path dir = stdfs::temp_directory_path() / "halcyra-application-test";
  stdfs::create_directories(dir);
  std::ofstream(dir / "options.ini") << "[Game]\r\n";

  sim::SimulatedMachine machine(std::move(*profile.machine));
  machine.SetInstallPath(dir.string());
  machine.Install();
  reg::RegistrySlot::Install(&machine);
  posixfs::PosixFileSystem files;
  filesys::FileSystemSlot::Install(&files);
  std::FILE* out = std::tmpfile();

  // Cancel: the inventory goes, the unsaved record stays until the process ends.
  EXPECT_EQ(dm::RunScenario("tab 1\ncancel\n", RunHalcyraSetup, "application_test", out, stderr), 0);
  EXPECT_EQ(g_pInventory, nullptr);
  ASSERT_NE(g_pSettings, nullptr);
  const GlideBoardInfo* glide = g_pGlide;
  EXPECT_NE(glide, nullptr);

  // A second run in the same process keeps the record and the Glide finding
  // and makes a new inventory; OK then releases the inventory and the record.
  EXPECT_EQ(dm::RunScenario("ok\n", RunHalcyraSetup, "application_test", out, stderr), 0);
  EXPECT_EQ(g_pInventory, nullptr);
  EXPECT_EQ(g_pSettings, nullptr) << "the record is released by the save";
  EXPECT_EQ(g_pGlide, glide) << "the Glide finding is made once per process";

  std::fclose(out);
  filesys::FileSystemSlot::Install(nullptr);
  reg::RegistrySlot::Install(nullptr);
  machine.Uninstall();
  stdfs::remove_all(dir);
}

// options.ini held by another program (a sharing violation) while `held`.
class HeldFiles : public posixfs::PosixFileSystem {
 public:
  bool held = false;
  bool CanOpenForReading(const std::string& path) override {
    return !(held && path.ends_with("options.ini")) && PosixFileSystem::CanOpenForReading(path);
  }
  std::optional<std::string> ReadFile(const std::string& path) override {
    if (held && path.ends_with("options.ini")) return std::nullopt;
    return PosixFileSystem::ReadFile(path);
  }
};

// A player who does something (mends a file) before the n-th OK.
class Player : public dm::ScenarioRunner {
 public:
  Player(const dm::Script& script, std::FILE* out, std::function<void(int)> beforeOk)
      : ScenarioRunner(script, out), m_beforeOk(std::move(beforeOk)) {}
  std::optional<dm::Action> NextAction(dm::SheetModel& sheet) override {
    std::optional<dm::Action> action = ScenarioRunner::NextAction(sheet);
    if (action && action->kind == dm::Action::Kind::Ok) m_beforeOk(m_oks++);
    return action;
  }

 private:
  std::function<void(int)> m_beforeOk;
  int m_oks = 0;
};

// A save that fails keeps the sheet open with the choices; OK after the
// cause is mended saves them. A file that could not be read when the sheet
// opened is never written, even when it can be read by OK.
TEST(Application, OkAfterARefusedSaveSavesOnlyWhatMayBeSaved) {
  sim::ProfileResult profile = sim::ParseMachineProfile(Machine("devices-and-board"), "devices-and-board");
  ASSERT_FALSE(profile.error);
  const stdfs::path dir = stdfs::temp_directory_path() / ("halcyra-retry-test-" + std::to_string(::getpid()));
  sim::SimulatedMachine machine(std::move(*profile.machine));
  machine.SetInstallPath(dir.string());
  machine.Install();
  reg::RegistrySlot::Install(&machine);
  HeldFiles files;
  filesys::FileSystemSlot::Install(&files);
  const std::string before = "[Game]\r\nGame Rasterizer=2\r\nGameScreenWidth=640\r\n[Keys]\r\nFire=Ctrl\r\n";
  const stdfs::path ini = dir / "options.ini";

  struct Case {
    const char* name;
    bool heldAtStart;
    bool readOnly;
    std::function<void(int)> beforeOk;
    const char* cause;    // in box 106
    bool savedAtTheEnd;
  };
  const Case cases[] = {
      {"unreadable at start, readable at OK", true, false, [&files](int) { files.held = false; },
       res::FindString(res::IDS_SAVE_FAILED_UNREADABLE), false},
      {"read-only, then mended", false, true,
       [&ini](int n) {
         if (n == 1) stdfs::permissions(ini, stdfs::perms::owner_write, stdfs::perm_options::add);
       },
       res::FindString(res::IDS_SAVE_FAILED_READ_ONLY), true},
  };
  for (const Case& c : cases) {
    stdfs::remove_all(dir);
    stdfs::create_directories(dir / "static");
    std::ofstream(ini, std::ios::binary) << before;
    if (c.readOnly) stdfs::permissions(ini, stdfs::perms::all, stdfs::perm_options::remove);
    if (c.readOnly) stdfs::permissions(ini, stdfs::perms::owner_read, stdfs::perm_options::add);
    files.held = c.heldAtStart;
    delete g_pSettings;
    g_pSettings = nullptr;
    auto parsed = dm::ParseScript("select 1007 2\nok\ndump\nok\n");
    const dm::Script& script = std::get<dm::Script>(parsed);
    std::FILE* out = std::tmpfile();
    Player player(script, out, c.beforeOk);
    dm::RunOnModel(player, "application_test", RunHalcyraSetup);
    std::rewind(out);
    std::string output;
    for (int ch = std::fgetc(out); ch != EOF; ch = std::fgetc(out)) output += static_cast<char>(ch);
    std::fclose(out);

    EXPECT_NE(output.find("box 106 warning"), std::string::npos) << c.name << output;
    EXPECT_NE(output.find(dm::Quote(c.cause).substr(1)), std::string::npos) << c.name << output;
    // After box 106 the sheet is open with the player's choice.
    EXPECT_NE(output.find("1007 combo enabled=1 current=2 "), std::string::npos) << c.name << output;
    EXPECT_NE(output.find(c.savedAtTheEnd ? "result ok" : "result cancel"), std::string::npos) << c.name << output;
    const std::string after = testing_support::ReadWholeFile(ini.string());
    if (c.savedAtTheEnd) {
      EXPECT_NE(after.find("GameScreenWidth=1024"), std::string::npos) << c.name;
      EXPECT_NE(after.find("Fire=Ctrl"), std::string::npos) << c.name;
    } else {
      EXPECT_EQ(after, before) << c.name << ": the bytes stay";
    }
  }
  delete g_pSettings;
  g_pSettings = nullptr;
  filesys::FileSystemSlot::Install(nullptr);
  reg::RegistrySlot::Install(nullptr);
  machine.Uninstall();
  stdfs::permissions(ini, stdfs::perms::owner_write, stdfs::perm_options::add);
  stdfs::remove_all(dir);
}

}  // namespace
}  // namespace pages_test
