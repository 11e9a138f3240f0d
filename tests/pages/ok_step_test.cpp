// OK on install folders that a stored case cannot set up: file permissions
// that hold only for a user other than root, a standard user's VirtualStore,
// an archive that is a folder, and a UTF-16 options.ini.
#include <gtest/gtest.h>

#include "harness.h"
#include "res/resource.h"

namespace pages_test {
namespace {

using Lines = std::vector<std::string>;

TEST(OkStep, SavesWhereTheUserMayAndWarnsWhereNot) {
  const std::string before = Ini({"[Game]", "Game Rasterizer=3"});
  const Lines ok = {"result ok", "exit 0"};
  struct Case {
    const char* name;
    Install install;
    Lines events;
    bool saved;     // the folder's options.ini changed; otherwise it stays as it was
    Lines copyHas;  // what the user's VirtualStore copy holds afterwards (empty: not checked)
  };
  const Case cases[] = {
      // A folder in the archive's place fails an open for update, even for root.
      {"archive is a folder", {.archives = {"bitmap16.flx"}, .archiveDirectories = {"bitmapsh.flx"}},
       {kBox102, "result ok", "exit 0"}, true, {}},
      {"writable file in a read-only folder", {.readOnlyFolder = true, .asUnprivilegedUser = true}, ok, true, {}},
      {"read-only archives count as installed", {.readOnlyArchives = true, .asUnprivilegedUser = true}, ok, true, {}},
      // The sheet stays open after box 106; the script's end cancels it.
      {"unreadable file", {.unreadableOptions = true, .asUnprivilegedUser = true},
       {Box106(res::IDS_SAVE_FAILED_UNREADABLE), "result cancel", "exit 0"}, false, {}},
      // Started in the game's folder without "Install Path": the box names
      // that folder in full, not ".".
      {"read-only file in the folder started in",
       {.noInstallPath = true, .startInInstall = true, .readOnlyOptions = true},
       {Box106(res::IDS_SAVE_FAILED_READ_ONLY), "result cancel", "exit 0"}, false, {}},
      // A standard user's VirtualStore copy is the file the game reads: it is
      // loaded (Direct3D) and saved, and the folder's own file stays.
      {"VirtualStore copy",
       {.asUnprivilegedUser = true, .unelevatedUser = true,
        .virtualCopy = Ini({"[Game]", "Game Rasterizer=2", "[Keys]", "Fire=Ctrl"})},
       ok, false, {"Game Rasterizer=2", "Fire=Ctrl", "EnableAcoustics="}},
      // Without a copy, a folder the user may not change gets one.
      {"no copy, the system's folder and file",
       {.asUnprivilegedUser = true, .systemOwnedInstall = true, .unelevatedUser = true}, ok, false,
       {"Game Rasterizer=3", "EnableAcoustics="}},
  };
  for (const Case& c : cases) {
    Install install = c.install;
    install.options = before;
    const Outcome run = RunSetup(Machine("devices-and-board"), install, "ok\n");
    EXPECT_EQ(run.events, c.events) << c.name << run.errors;
    EXPECT_EQ(run.options != before, c.saved) << c.name;
    for (const std::string& line : c.copyHas) {
      EXPECT_NE(run.virtualCopy.value_or("").find(line), std::string::npos) << c.name << ": " << line;
    }
  }
}

// Notepad's "Unicode": a UTF-16LE options.ini stays UTF-16LE, each key once.
TEST(OkStep, AUtf16OptionsFileIsReadAndKeepsItsEncoding) {
  std::string utf16 = "\xFF\xFE";
  for (const char c : Ini({"[Game]", "Game Rasterizer=2", "GameScreenWidth=1024", "GameScreenHeight=768"})) {
    utf16 += c;
    utf16 += '\0';
  }
  Install install;
  install.options = utf16;
  const Outcome run = RunSetup(Machine("devices-and-board"), install, "ok\n");
  ASSERT_TRUE(run.options.has_value());
  ASSERT_TRUE(run.options->starts_with("\xFF\xFE"));
  ASSERT_EQ(run.options->size() % 2, 0u);
  std::string text;
  for (std::size_t i = 2; i < run.options->size(); i += 2) {
    ASSERT_EQ((*run.options)[i + 1], '\0') << "only ASCII was written";
    text += (*run.options)[i];
  }
  for (const char* key : {"Game Rasterizer=", "GameScreenWidth=", "D3DGUID=", "Use16BitTextures=", "EnableAcoustics="}) {
    const std::size_t first = text.find(key);
    EXPECT_NE(first, std::string::npos) << key;
    EXPECT_EQ(text.find(key, first + 1), std::string::npos) << key;
  }
  EXPECT_NE(text.find("GameScreenWidth=1024\r\n"), std::string::npos) << "the stored mode was read";
}

// The choices reach the game whichever way it is started and wherever
// Halcyra Setup is started from: an elevated run with a VirtualStore copy
// (what the game started normally reads) loads the copy and saves both
// files; without "Install Path", the program's own folder is the game's
// when the folder started in does not hold it.
TEST(OkStep, TheChoicesReachTheGameHoweverItIsStarted) {
  const std::string folder = Ini({"[Game]", "Game Rasterizer=2", "GameScreenWidth=640", "GameScreenHeight=480"});
  const std::string copy = Ini({"[Game]", "Game Rasterizer=2", "GameScreenWidth=800", "GameScreenHeight=600"});
  // The page shows the mode loaded; the player then picks 1024 x 768.
  const std::string script = "dump\nselect 1007 2\nok\n";
  struct Case {
    const char* name;
    Install install;
    bool copyGetsIt;
  };
  const Case cases[] = {
      {"elevated with a VirtualStore copy", {.virtualCopy = copy, .elevatedUser = true}, true},
      {"no Install Path, started elsewhere, program in the game's folder",
       {.noInstallPath = true, .programInInstall = true}, false},
  };
  for (const Case& c : cases) {
    Install install = c.install;
    install.options = folder;
    const Outcome run = RunSetup(Machine("devices-and-board"), install, script);
    EXPECT_EQ(run.events, (Lines{"result ok", "exit 0"})) << c.name << run.errors;
    for (const std::optional<std::string>& file : {run.options, c.copyGetsIt ? run.virtualCopy : run.options}) {
      ASSERT_TRUE(file.has_value()) << c.name;
      EXPECT_NE(file->find("GameScreenWidth=1024\r\nGameScreenHeight=768\r\n"), std::string::npos) << c.name;
    }
    EXPECT_FALSE(run.strayOptions.has_value()) << c.name << ": nothing is written in the folder started in";
  }
}

}  // namespace
}  // namespace pages_test
