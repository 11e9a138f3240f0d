// OK, Cancel and the title-bar close: what reaches options.ini, and the
// texture-archive check after the save.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"
#include "machines.h"

namespace pages_test {
namespace {

using Lines = std::vector<std::string>;

TEST(OkStep, KeepsWhatItDoesNotOwnAndReplacesKeysWhereTheyStand) {
  Install install;
  install.options = Ini({"; written by the game", "[Sound]", "EnableAcoustics=0", "[Game]",
                         "GameScreenWidth=800", "Extra=keep me", "game rasterizer=3", "[Mods]", "Enabled=1"});
  const Outcome run = RunSetup(kDevicesAndBoard, install, "ok\n");
  // Glide stays; 800 x 480 is no Glide mode, so 640 x 480 x 16 is stored.
  EXPECT_EQ(run.options, Ini({"; written by the game", "[Sound]", "EnableAcoustics=0", "[Game]",
                              "GameScreenWidth=640", "Extra=keep me", "game rasterizer=3", "GameScreenHeight=480",
                              "GameScreenDepth=16", "GameMipMapLevel=0", "[Mods]", "Enabled=1", "[Performance]",
                              "Use16BitTextures=0", "UseCompressedTextures=0"}));
}

TEST(OkStep, CancelAndCloseWriteNothing) {
  for (const char* ending : {"cancel\n", "close\n", ""}) {
    Install install;
    install.options = Ini({"[Game]", "Game Rasterizer=3", "GameMipMapLevel=1"});
    const Outcome run = RunSetup(kDevicesAndBoard, install,
                                 std::string("click 1003\nclick 1009\nselect 1007 2\ntab 1\nclick 1015\n") + ending);
    EXPECT_EQ(run.options, install.options) << ending;
    EXPECT_EQ(run.Events(), (Lines{"result cancel", "exit 0"})) << ending;
  }
}

struct ArchiveCase {
  const char* name;
  friend std::ostream& operator<<(std::ostream& os, const ArchiveCase& c) { return os << c.name; }
  std::optional<std::string> options;
  const char* script;
  std::vector<std::string> archives;
  Lines events;
};

class ArchiveCheck : public ::testing::TestWithParam<ArchiveCase> {};

TEST_P(ArchiveCheck, WarnsWhenTheArchiveForTheSavedSettingCannotBeOpened) {
  const ArchiveCase& c = GetParam();
  Install install;
  install.options = c.options;
  install.archives = c.archives;
  std::string script = c.script;
  const Outcome run = RunSetup(kDevicesAndBoard, install, script + "ok\n");
  EXPECT_EQ(run.Events(), c.events);
  ASSERT_TRUE(run.options.has_value()) << "options.ini is created when missing";
  EXPECT_NE(run.options, c.options) << "the settings stay saved";
}

const Lines kOk = {"result ok", "exit 0"};
const Lines kWarned = {kBox102, "result ok", "exit 0"};
const std::string kDirect3D = Ini({"[Game]", "Game Rasterizer=2"});
const std::string kGlide = Ini({"[Game]", "Game Rasterizer=3"});

INSTANTIATE_TEST_SUITE_P(
    OkStep, ArchiveCheck,
    ::testing::Values(
        ArchiveCase{"CompressedPresent", kDirect3D, "click 1015\n", {"bitmapc.flx"}, kOk},
        ArchiveCase{"SixteenBitMissing", kDirect3D, "", {"bitmapsh.flx", "bitmapc.flx"}, kWarned},
        ArchiveCase{"SixteenBitPresent", kDirect3D, "", {"bitmap16.flx"}, kOk},
        ArchiveCase{"EightBitPresent", kGlide, "click 1005\n", {"bitmapsh.flx"}, kOk},
        ArchiveCase{"EightBitMissing", kGlide, "click 1005\n", {"bitmap16.flx"}, kWarned},
        // Without options.ini the file is created, and the check reads it.
        ArchiveCase{"NoOptionsChecksTheChoice", std::nullopt, "click 1015\n", {"bitmapc.flx"}, kOk},
        ArchiveCase{"NoOptionsWarnsWithoutTheChosenArchive", std::nullopt, "click 1015\n",
                    {"bitmapsh.flx", "bitmap16.flx"}, kWarned}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(OkStep, AnArchiveThatCannotBeOpenedForUpdateWarns) {
  // A directory in the archive's place fails an open for update, even for
  // root.
  Install install;
  install.options = kDirect3D;
  install.archives = {"bitmapsh.flx"};
  install.archiveDirectories = {"bitmap16.flx"};
  const Outcome run = RunSetup(kDevicesAndBoard, install, "ok\n");
  EXPECT_EQ(run.Events(), kWarned);
}

TEST(OkStep, AFailedSaveWarnsAndLeavesTheFileAsItWas) {
  Install install;
  install.options = Ini({"[Game]", "Game Rasterizer=3", "[Performance]", "Use16BitTextures=0"});
  install.readOnlyOptions = true;
  install.archives = {"bitmapsh.flx"};
  const Outcome run = RunSetup(kDevicesAndBoard, install, "click 1003\nok\n");
  // The save fails first; the archive check then judges the choice made on
  // the page (16-bit textures), not the old file's.
  EXPECT_EQ(run.Events(), (Lines{kBox106, kBox102, "result ok", "exit 0"}));
  EXPECT_EQ(run.options, install.options);
}

// Notepad's "Unicode": a UTF-16LE options.ini stays UTF-16LE, each key once.
TEST(OkStep, AUtf16OptionsFileIsReadAndKeepsItsEncoding) {
  std::string utf16 = "\xFF\xFE";
  for (const char c : Ini({"[Game]", "Game Rasterizer=2", "GameScreenWidth=1024", "GameScreenHeight=768",
                           "GameScreenDepth=16"})) {
    utf16 += c;
    utf16 += '\0';
  }
  Install install;
  install.options = utf16;
  const Outcome run = RunSetup(kDevicesAndBoard, install, "dump\nok\n");
  ASSERT_EQ(run.dumps.size(), 1u);
  EXPECT_EQ(run.dumps[0].at(res::IDC_RESOLUTION).text, "1024 x 768 x 16");
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
  EXPECT_NE(text.find("GameScreenWidth=1024\r\n"), std::string::npos);
}

// A standard user's VirtualStore copy is the file the game reads: it is
// loaded and saved; without one, a folder the user may not change gets one.
TEST(OkStep, VirtualStoreCopyOfAStandardUser) {
  const std::string before = Ini({"[Game]", "Game Rasterizer=3"});
  struct Case {
    const char* name;
    std::optional<std::string> copy;
    bool systemOwnedInstall;
  };
  const Case cases[] = {
      {"copy exists", Ini({"[Game]", "Game Rasterizer=2", "[Keys]", "Fire=Ctrl"}), false},
      {"no copy, the system's folder and file", std::nullopt, true},
  };
  for (const Case& c : cases) {
    Install install;
    install.options = before;
    install.unelevatedUser = true;
    install.virtualCopy = c.copy;
    install.systemOwnedInstall = c.systemOwnedInstall;
    install.asUnprivilegedUser = true;
    const Outcome run = RunSetup(kDevicesAndBoard, install, "ok\n");
    EXPECT_EQ(run.Events(), kOk) << c.name << run.errors;
    EXPECT_EQ(run.options, before) << c.name << ": the folder's own file stays";
    ASSERT_TRUE(run.virtualCopy.has_value()) << c.name;
    EXPECT_NE(run.virtualCopy->find("EnableAcoustics="), std::string::npos) << c.name;
    if (c.copy) {
      std::string copyPath = run.virtualCopyPath.string();
      std::replace(copyPath.begin(), copyPath.end(), '/', '\\');
      EXPECT_TRUE(run.Has("reading config from " + copyPath)) << c.name;
      EXPECT_NE(run.virtualCopy->find("Fire=Ctrl"), std::string::npos) << c.name;
    } else {
      EXPECT_NE(run.virtualCopy->find("Game Rasterizer=3"), std::string::npos) << c.name;
    }
  }
}

// Permissions hold only for a user other than root.
TEST(OkStep, AsAnUnprivilegedUser) {
  struct Case {
    const char* name;
    bool readOnlyFolder;
    bool unreadableOptions;
    bool readOnlyArchives;
    Lines events;
    bool saved;
  };
  const Case cases[] = {
      {"writable file in a read-only folder", true, false, false, kOk, true},
      {"read-only archives count as installed", false, false, true, kOk, true},
      {"unreadable file", false, true, false, {kBox106, "result ok", "exit 0"}, false},
  };
  for (const Case& c : cases) {
    Install install;
    install.options = Ini({"[Game]", "GameScreenWidth=800", "GameScreenHeight=600", "GameScreenDepth=16"});
    install.asUnprivilegedUser = true;
    install.readOnlyFolder = c.readOnlyFolder;
    install.unreadableOptions = c.unreadableOptions;
    install.readOnlyArchives = c.readOnlyArchives;
    const Outcome run = RunSetup(kDevicesAndBoard, install, "ok\n");
    EXPECT_EQ(run.Events(), c.events) << c.name << run.errors;
    EXPECT_EQ(run.Value("Game", "Game Rasterizer") == "2", c.saved) << c.name;
    if (!c.saved) {
      EXPECT_EQ(run.options, install.options) << c.name;
    }
  }
}

TEST(OkStep, SavesWhenTheAudioPageWasNeverShown) {
  Install install;
  install.options = Ini({"[Sound]", "EnableAcoustics=0"});
  const Outcome run = RunSetup(kDevicesAndBoard, install, "ok\n");
  EXPECT_EQ(run.Value("Sound", "EnableAcoustics"), "0");
  EXPECT_EQ(run.Value("Game", "Game Rasterizer"), "2");
}

}  // namespace
}  // namespace pages_test
