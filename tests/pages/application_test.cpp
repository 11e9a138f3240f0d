// The application shell in one process: the sheet's result, and what stays
// of the process-wide objects after OK and after Cancel.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/setup_app.h"
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

}  // namespace
}  // namespace pages_test
