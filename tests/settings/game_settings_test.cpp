#include "settings/game_settings.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "settings/install_directory.h"
#include "settings/profile_file.h"
#include "settings/texture_check.h"
#include "tests/settings/memory_file_system.h"
#include "tests/settings/memory_registry.h"

namespace {

using testing_support::MemoryFileSystem;
using testing_support::MemoryRegistry;

constexpr const char* kKey = "Software\\Corvane\\Halcyra\\";
const std::string kDir = "C:\\Games\\Halcyra";
const std::string kIni = kDir + "\\options.ini";
const std::string kD3d = "1,2,3,4,5,6,7,8,9,10,11";
const std::string kDd = "4294967295,0,0,0,0,0,0,0,0,0,1";

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::SetFileSystem(&files_);
    reg::SetRegistry(&registry_);
    registry_.SetValue(kKey, "Install Path", kDir);
  }
  void TearDown() override {
    delete g_pSettings;
    g_pSettings = nullptr;
    InstallDirectory = ".";
    fs::SetFileSystem(nullptr);
    reg::SetRegistry(nullptr);
  }

  // Loads `content` as options.ini (without the console line).
  GameSettings* Loaded(const std::string& content) {
    files_.files[kIni] = content;
    delete g_pSettings;
    testing::internal::CaptureStdout();
    g_pSettings = new GameSettings(kIni);
    testing::internal::GetCapturedStdout();
    return g_pSettings;
  }

  MemoryFileSystem files_;
  MemoryRegistry registry_;
};

TEST_F(SettingsTest, SaveIntoEmptyFileGivesTheThirteenLines) {
  GameSettings* settings = Loaded("");
  settings->rasterizer = RasterizerDirect3D;
  settings->textureMode = Textures16Bit;
  settings->d3dGuid = kD3d;
  settings->ddGuid = kDd;
  settings->enableAcoustics = 1;
  ASSERT_TRUE(settings->Save());
  EXPECT_EQ(files_.files[kIni],
            "[Game]\r\n"
            "Game Rasterizer=2\r\n"
            "D3DGUID=" + kD3d + "\r\n"
            "DDGUID=" + kDd + "\r\n"
            "GameScreenWidth=640\r\n"
            "GameScreenHeight=480\r\n"
            "GameScreenDepth=16\r\n"
            "GameMipMapLevel=0\r\n"
            "[Performance]\r\n"
            "Use16BitTextures=1\r\n"
            "UseCompressedTextures=0\r\n"
            "[Sound]\r\n"
            "EnableAcoustics=1\r\n");
  EXPECT_EQ(files_.replaces, 1);
}

TEST_F(SettingsTest, GlideLeavesTheGuidKeysAsTheyWere) {
  const std::string before =
      "[Game]\r\n"
      "Game Rasterizer=2\r\n"
      "D3DGUID = " + kD3d + "\r\n"
      "ddguid=\"" + kDd + "\"\r\n"
      "GameScreenWidth=640\r\n";
  GameSettings* settings = Loaded(before);
  EXPECT_EQ(settings->d3dGuid, kD3d);
  EXPECT_EQ(settings->ddGuid, kDd);
  settings->rasterizer = RasterizerGlide;
  settings->d3dGuid = "changed";
  settings->ddGuid.clear();
  ASSERT_TRUE(settings->Save());
  const std::string& after = files_.files[kIni];
  EXPECT_NE(after.find("Game Rasterizer=3\r\n"), std::string::npos);
  EXPECT_NE(after.find("D3DGUID = " + kD3d + "\r\n"), std::string::npos);
  EXPECT_NE(after.find("ddguid=\"" + kDd + "\"\r\n"), std::string::npos);
  EXPECT_EQ(after.find("changed"), std::string::npos);
}

TEST_F(SettingsTest, UndefinedRendererLeavesItsKeyAsItWas) {
  for (const char* value : {"UNDEFINED", "7", "1", "-3"}) {
    const std::string line = std::string("Game Rasterizer=") + value + "\r\n";
    GameSettings* settings = Loaded("[Game]\r\n" + line);
    settings->rasterizer = RasterizerUndefined;
    ASSERT_TRUE(settings->Save());
    EXPECT_EQ(files_.files[kIni].substr(0, 8 + line.size()), "[Game]\r\n" + line) << value;
  }
}

TEST_F(SettingsTest, KeysInAnotherOrderAreReplacedWhereTheyStand) {
  const std::string before =
      "; written by hand\r\n"
      "[sound]\r\n"
      "enableacoustics = 0\r\n"
      "MusicVolume=80\r\n"
      "\r\n"
      "[PERFORMANCE]\r\n"
      "UseCompressedTextures=0\r\n"
      "; the game ignores this flag on old cards\r\n"
      "Use16BitTextures=0\r\n"
      "\r\n"
      "[Game]\r\n"
      "GameMipMapLevel=2\r\n"
      "GameScreenDepth=16\r\n"
      "PlayerName=Ann\r\n"
      "GameScreenHeight=480\r\n"
      "GameScreenWidth=640\r\n"
      "DDGUID=old-dd\r\n"
      "D3DGUID=old-d3d\r\n"
      "Game Rasterizer=2\r\n"
      "\r\n"
      "[Keys]\r\n"
      "Fire=Ctrl\r\n";
  GameSettings* settings = Loaded(before);
  EXPECT_EQ(settings->enableAcoustics, 0);
  settings->enableAcoustics = 1;
  settings->textureMode = TexturesCompressed;
  settings->screenWidth = 1024;
  settings->screenHeight = 768;
  settings->mipMapLevel = 3;
  settings->d3dGuid = kD3d;
  settings->ddGuid = kDd;
  ASSERT_TRUE(settings->Save());
  EXPECT_EQ(files_.files[kIni],
            "; written by hand\r\n"
            "[sound]\r\n"
            "enableacoustics = 1\r\n"
            "MusicVolume=80\r\n"
            "\r\n"
            "[PERFORMANCE]\r\n"
            "UseCompressedTextures=1\r\n"
            "; the game ignores this flag on old cards\r\n"
            "Use16BitTextures=1\r\n"
            "\r\n"
            "[Game]\r\n"
            "GameMipMapLevel=3\r\n"
            "GameScreenDepth=16\r\n"
            "PlayerName=Ann\r\n"
            "GameScreenHeight=768\r\n"
            "GameScreenWidth=1024\r\n"
            "DDGUID=" + kDd + "\r\n"
            "D3DGUID=" + kD3d + "\r\n"
            "Game Rasterizer=2\r\n"
            "\r\n"
            "[Keys]\r\n"
            "Fire=Ctrl\r\n");
}

TEST_F(SettingsTest, MissingKeysGoToTheEndOfTheirSectionInAnLfFile) {
  GameSettings* settings = Loaded("[Game]\nGameScreenWidth=800\n\n[Keys]\nFire=Ctrl\n");
  settings->rasterizer = RasterizerGlide;
  ASSERT_TRUE(settings->Save());
  EXPECT_EQ(files_.files[kIni],
            "[Game]\nGameScreenWidth=800\nGame Rasterizer=3\nGameScreenHeight=480\n"
            "GameScreenDepth=16\nGameMipMapLevel=0\n\n[Keys]\nFire=Ctrl\n"
            "[Performance]\nUse16BitTextures=0\nUseCompressedTextures=0\n"
            "[Sound]\nEnableAcoustics=1\n");
}

struct LoadCase {
  const char* name;
  friend std::ostream& operator<<(std::ostream& os, const LoadCase& c) { return os << c.name; }
  std::string content;
  std::int32_t rasterizer;
  std::uint8_t textureMode;
  std::int32_t width;
  std::uint8_t mipMapLevel;
  std::uint8_t enableAcoustics;
};

class LoadRulesTest : public SettingsTest, public testing::WithParamInterface<LoadCase> {};

TEST_P(LoadRulesTest, ReadsFields) {
  const LoadCase& c = GetParam();
  const GameSettings* settings = Loaded(c.content);
  EXPECT_EQ(settings->rasterizer, c.rasterizer);
  EXPECT_EQ(settings->textureMode, c.textureMode);
  EXPECT_EQ(settings->screenWidth, c.width);
  EXPECT_EQ(settings->mipMapLevel, c.mipMapLevel);
  EXPECT_EQ(settings->enableAcoustics, c.enableAcoustics);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LoadRulesTest,
    testing::Values(
        LoadCase{"EmptyFile", "", 0, Textures8Bit, 640, 0, 1},
        LoadCase{"Undefined", "[Game]\nGame Rasterizer=UNDEFINED\n", 0, Textures8Bit, 640, 0, 1},
        LoadCase{"UndefinedMixedCase", "[Game]\nGame Rasterizer=UnDeFiNeD\n", 0, Textures8Bit,
                 640, 0, 1},
        LoadCase{"TrailingLetter", "[Game]\nGame Rasterizer=2x\n", 2, Textures16Bit, 640, 0, 1},
        LoadCase{"EmptyRasterizer", "[Game]\nGame Rasterizer=\n", 0, Textures8Bit, 640, 0, 1},
        LoadCase{"Direct3DDefaults16Bit", "[Game]\nGame Rasterizer=2\n", 2, Textures16Bit, 640, 0,
                 1},
        LoadCase{"GlideDefaults8Bit", "[Game]\nGame Rasterizer=3\n", 3, Textures8Bit, 640, 0, 1},
        LoadCase{"CompressedWins",
                 "[Performance]\nUseCompressedTextures=1\nUse16BitTextures=0\n", 0,
                 TexturesCompressed, 640, 0, 1},
        LoadCase{"AnyNonZeroFlag", "[Performance]\nUse16BitTextures=-4\n", 0, Textures16Bit, 640,
                 0, 1},
        LoadCase{"Mip257", "[Game]\nGameMipMapLevel=257\n", 0, Textures8Bit, 640, 1, 1},
        LoadCase{"MipMinus1", "[Game]\nGameMipMapLevel=-1\n", 0, Textures8Bit, 640, 255, 1},
        LoadCase{"AcousticsZero", "[Sound]\nEnableAcoustics=0\n", 0, Textures8Bit, 640, 0, 0},
        LoadCase{"AcousticsQuotedZero", "[Sound]\nEnableAcoustics=\"0\"\n", 0, Textures8Bit, 640,
                 0, 0},
        LoadCase{"AcousticsDoubleZero", "[Sound]\nEnableAcoustics=00\n", 0, Textures8Bit, 640, 0,
                 1},
        LoadCase{"AcousticsOff", "[Sound]\nEnableAcoustics=off\n", 0, Textures8Bit, 640, 0, 1},
        LoadCase{"AcousticsEmpty", "[Sound]\nEnableAcoustics=\n", 0, Textures8Bit, 640, 0, 1},
        LoadCase{"HugeWidthWraps", "[Game]\nGameScreenWidth=4294967296640\n", 0, Textures8Bit,
                 640, 0, 1},
        LoadCase{"NegativeWidth", "[Game]\nGameScreenWidth=-800\n", 0, Textures8Bit, -800, 0, 1},
        LoadCase{"BinaryFile", std::string("\0\x01[\xFF]\r=\x80\n\0[Game\0]", 17), 0, Textures8Bit,
                 640, 0, 1}),
    [](const testing::TestParamInfo<LoadCase>& param) { return std::string(param.param.name); });

TEST_F(SettingsTest, GuidsAreReadOnlyForDirect3D) {
  const std::string guids = "D3DGUID=" + kD3d + "\nDDGUID=" + kDd + "\n";
  GameSettings* settings = Loaded("[Game]\nGame Rasterizer=3\n" + guids);
  EXPECT_EQ(settings->d3dGuid, "");
  EXPECT_EQ(settings->ddGuid, "");
  settings = Loaded("[Game]\nGame Rasterizer=2\n" + guids);
  EXPECT_EQ(settings->d3dGuid, kD3d);
  EXPECT_EQ(settings->ddGuid, kDd);
  settings = Loaded("[Game]\nGame Rasterizer=2\nD3DGUID=" + std::string(400, '7') + "\n");
  EXPECT_EQ(settings->d3dGuid, std::string(kMaxValueLength, '7'));
}

TEST_F(SettingsTest, LoadAnnouncesThePathOnStandardOutput) {
  files_.files[kIni] = "";
  testing::internal::CaptureStdout();
  GameSettings settings(kIni);
  settings.Load();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "reading config from " + kIni + "\nreading config from " + kIni + "\n");
}

TEST_F(SettingsTest, DefaultRecordHasNoFile) {
  testing::internal::CaptureStdout();
  GameSettings settings;
  settings.Load();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(settings.rasterizer, RasterizerUndefined);
  EXPECT_EQ(settings.textureMode, Textures8Bit);
  EXPECT_EQ(settings.screenWidth, 640);
  EXPECT_EQ(settings.screenHeight, 480);
  EXPECT_EQ(settings.screenDepth, 16);
  EXPECT_EQ(settings.mipMapLevel, 0);
  EXPECT_EQ(settings.enableAcoustics, 0);
  EXPECT_FALSE(settings.iniPath.has_value());
  EXPECT_TRUE(settings.Save());
  EXPECT_EQ(files_.replaces, 0);
}

TEST_F(SettingsTest, CompressedWithout16BitFlagSavesBothFlags) {
  GameSettings* settings =
      Loaded("[Performance]\nUseCompressedTextures=1\nUse16BitTextures=0\n");
  ASSERT_TRUE(settings->Save());
  EXPECT_NE(files_.files[kIni].find("Use16BitTextures=1\n"), std::string::npos);
}

TEST_F(SettingsTest, UnknownCodesWriteNeitherRendererNorTextureKeys) {
  GameSettings* settings = Loaded("");
  settings->rasterizer = 1;
  settings->textureMode = 3;
  ASSERT_TRUE(settings->Save());
  EXPECT_EQ(files_.files[kIni],
            "[Game]\r\nGameScreenWidth=640\r\nGameScreenHeight=480\r\nGameScreenDepth=16\r\n"
            "GameMipMapLevel=0\r\n[Sound]\r\nEnableAcoustics=1\r\n");
}

TEST_F(SettingsTest, NumbersOfAnyLengthAreWrittenWhole) {
  GameSettings* settings = Loaded("");
  settings->screenWidth = -2147483647 - 1;
  settings->screenHeight = 123456789;
  settings->mipMapLevel = 255;
  ASSERT_TRUE(settings->Save());
  const std::string& after = files_.files[kIni];
  EXPECT_NE(after.find("GameScreenWidth=-2147483648\r\n"), std::string::npos);
  EXPECT_NE(after.find("GameScreenHeight=123456789\r\n"), std::string::npos);
  EXPECT_NE(after.find("GameMipMapLevel=255\r\n"), std::string::npos);
}

TEST_F(SettingsTest, UnchangedRecordDoesNotRewriteTheFile) {
  GameSettings* settings = Loaded("");
  ASSERT_TRUE(settings->Save());
  ASSERT_EQ(files_.replaces, 1);
  ASSERT_TRUE(settings->Save());
  EXPECT_EQ(files_.replaces, 1);
}

TEST_F(SettingsTest, FailedSaveIsReportedAndLeavesTheFile) {
  const std::string before = "[Game]\r\nGameScreenWidth=640\r\n";
  struct {
    const char* name;
    void (*breakIt)(MemoryFileSystem&);
  } cases[] = {
      {"read-only", [](MemoryFileSystem& f) { f.readOnly.insert(kIni); }},
      {"replace fails", [](MemoryFileSystem& f) { f.failReplace = true; }},
      {"unreadable now", [](MemoryFileSystem& f) { f.unreadable.insert(kIni); }},
      {"removed since start", [](MemoryFileSystem& f) { f.files.erase(kIni); }},
  };
  for (const auto& c : cases) {
    GameSettings* settings = Loaded(before);
    settings->screenWidth = 800;
    c.breakIt(files_);
    EXPECT_FALSE(CommitSettings()) << c.name;
    EXPECT_EQ(g_pSettings, nullptr) << c.name;
    EXPECT_EQ(files_.files.count(kIni) ? files_.files[kIni] : before, before) << c.name;
    files_ = MemoryFileSystem();
  }
}

TEST_F(SettingsTest, CommitSavesReleasesAndClears) {
  EXPECT_TRUE(CommitSettings());  // no record: nothing to do
  GameSettings* settings = Loaded("[Game]\r\nGameScreenWidth=640\r\n");
  settings->screenWidth = 1280;
  EXPECT_TRUE(CommitSettings());
  EXPECT_EQ(g_pSettings, nullptr);
  EXPECT_NE(files_.files[kIni].find("GameScreenWidth=1280\r\n"), std::string::npos);
}

TEST_F(SettingsTest, DialogStartLoadsOptionsFromTheInstallDirectory) {
  files_.files[kIni] = "[Game]\r\nGameScreenWidth=1600\r\n";
  testing::internal::CaptureStdout();
  CreateSettingsAtDialogStart();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "reading config from " + kIni + "\n");
  ASSERT_NE(g_pSettings, nullptr);
  EXPECT_EQ(g_pSettings->iniPath, kIni);
  EXPECT_EQ(g_pSettings->screenWidth, 1600);
  EXPECT_EQ(g_pSettings->enableAcoustics, 1);

  // A second initialisation keeps the record and does not read the file.
  GameSettings* first = g_pSettings;
  first->screenWidth = 1024;
  files_.files[kIni] = "[Game]\r\nGameScreenWidth=320\r\n";
  testing::internal::CaptureStdout();
  CreateSettingsAtDialogStart();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(g_pSettings, first);
  EXPECT_EQ(g_pSettings->screenWidth, 1024);
}

TEST_F(SettingsTest, DialogStartWithoutOptionsMakesADefaultRecordAndNoFile) {
  CreateSettingsAtDialogStart();
  ASSERT_NE(g_pSettings, nullptr);
  EXPECT_FALSE(g_pSettings->iniPath.has_value());
  EXPECT_EQ(g_pSettings->enableAcoustics, 0);
  g_pSettings->rasterizer = RasterizerDirect3D;
  EXPECT_TRUE(CommitSettings());
  EXPECT_TRUE(files_.files.empty());
  EXPECT_EQ(files_.replaces, 0);
}

TEST_F(SettingsTest, DialogStartUsesTheCurrentDirectoryWithoutRegistryValue) {
  registry_ = MemoryRegistry();
  files_.files[".\\options.ini"] = "";
  testing::internal::CaptureStdout();
  CreateSettingsAtDialogStart();
  testing::internal::GetCapturedStdout();
  ASSERT_NE(g_pSettings, nullptr);
  EXPECT_EQ(g_pSettings->iniPath, ".\\options.ini");
  EXPECT_TRUE(registry_.HasKey(kKey));  // the key is created, empty
}

TEST_F(SettingsTest, LongInstallDirectoriesGiveWholePaths) {
  // 255 characters fit the dialog start's 256 bytes; the path is longer than
  // any fixed buffer would hold.
  const std::string longDir = "D:\\" + std::string(252, 'd');
  registry_.SetValue(kKey, "Install Path", longDir);
  files_.files[longDir + "\\options.ini"] = "[Performance]\r\nUse16BitTextures=1\r\n";
  files_.files[longDir + "\\static\\bitmap16.flx"] = "";
  testing::internal::CaptureStdout();
  CreateSettingsAtDialogStart();
  testing::internal::GetCapturedStdout();
  ASSERT_NE(g_pSettings, nullptr);
  EXPECT_EQ(g_pSettings->iniPath, longDir + "\\options.ini");
  EXPECT_TRUE(CommitSettings());
  EXPECT_TRUE(TextureSetCheck());
  EXPECT_EQ(InstallDirectory, longDir);
}

TEST_F(SettingsTest, InstallPathTooLongForTheDialogStartIsIgnoredThere) {
  const std::string dir(256, 'e');  // 257 bytes with the terminator
  registry_.SetValue(kKey, "Install Path", dir);
  files_.files[".\\options.ini"] = "";
  files_.files[dir + "\\options.ini"] = "";
  testing::internal::CaptureStdout();
  CreateSettingsAtDialogStart();
  testing::internal::GetCapturedStdout();
  ASSERT_NE(g_pSettings, nullptr);
  EXPECT_EQ(g_pSettings->iniPath, ".\\options.ini");
  // The OK step reads into 260 bytes, where it fits.
  TextureSetCheck();
  EXPECT_EQ(InstallDirectory, dir);
}

TEST(ReadInstallDirectoryTest, FitsOrLeavesTheTextAsItWas) {
  struct Case {
    const char* name;
    bool hasValue;
    std::string data;  // bytes stored, terminator included when wanted
    std::size_t bufferSize;
    std::string expected;
  };
  const Case cases[] = {
      {"missing", false, "", 256, "."},
      {"plain", true, std::string("C:\\Halcyra\0", 11), 256, "C:\\Halcyra"},
      {"exactly fits", true, std::string(255, 'a') + '\0', 256, std::string(255, 'a')},
      {"one too long", true, std::string(256, 'a') + '\0', 256, "."},
      {"fits the larger buffer", true, std::string(259, 'a') + '\0', 260, std::string(259, 'a')},
      {"no terminator stored", true, "C:\\Game", 256, "C:\\Game"},
      {"no terminator, no room for one", true, std::string(256, 'b'), 256, "."},
      {"text ends at first NUL", true, std::string("C:\\A\0junk\0", 10), 256, "C:\\A"},
      {"empty text", true, std::string("\0", 1), 256, ""},
      {"no data at all", true, "", 256, "."},
  };
  for (const Case& c : cases) {
    MemoryRegistry registry;
    if (c.hasValue) registry.SetValue(kKey, "Install Path", c.data, false);
    reg::SetRegistry(&registry);
    std::string directory = ".";
    ReadInstallDirectory(directory, c.bufferSize);
    EXPECT_EQ(directory, c.expected) << c.name;
    EXPECT_EQ(registry.lastAccess, reg::KEY_ALL_ACCESS) << c.name;
    EXPECT_EQ(registry.OpenKeys(), 0u) << c.name << ": the key must be closed";
    EXPECT_TRUE(registry.HasKey(kKey)) << c.name;
  }
  MemoryRegistry refusing;
  refusing.failCreate = true;
  reg::SetRegistry(&refusing);
  std::string directory = "kept";
  ReadInstallDirectory(directory, 256);
  EXPECT_EQ(directory, "kept");
  reg::SetRegistry(nullptr);
}

TEST(JoinPathTest, OneBackslashBetween) {
  EXPECT_EQ(JoinPath(".", "options.ini"), ".\\options.ini");
  EXPECT_EQ(JoinPath(JoinPath("C:\\G", "static"), "bitmapsh.flx"), "C:\\G\\static\\bitmapsh.flx");
}

TEST(TextureArchiveNameTest, OnlyOneCountsAsSet) {
  const struct {
    int compressed;
    int use16;
    const char* archive;
  } cases[] = {{1, 0, "bitmapc.flx"},  {1, 1, "bitmapc.flx"},  {1, 7, "bitmapc.flx"},
               {0, 1, "bitmap16.flx"}, {2, 1, "bitmap16.flx"}, {-1, 1, "bitmap16.flx"},
               {0, 0, "bitmapsh.flx"}, {2, 2, "bitmapsh.flx"}, {0, -1, "bitmapsh.flx"}};
  for (const auto& c : cases) {
    EXPECT_STREQ(TextureArchiveName(c.compressed, c.use16), c.archive)
        << c.compressed << "," << c.use16;
  }
}

TEST_F(SettingsTest, TextureCheckLooksForTheSavedSettingsArchive) {
  const std::string staticDir = kDir + "\\static\\";
  struct Case {
    const char* name;
    std::optional<std::string> options;  // nullopt: no options.ini
    const char* present;                 // the one archive present
    bool readOnly;
    bool expected;
  };
  const Case cases[] = {
      {"compressed present", "[Performance]\nUseCompressedTextures=1\nUse16BitTextures=1\n",
       "bitmapc.flx", false, true},
      {"16-bit, only 8-bit present", "[Performance]\nUse16BitTextures=1\n", "bitmapsh.flx",
       false, false},
      {"8-bit present read-only", "[Performance]\nUse16BitTextures=0\n", "bitmapsh.flx", true,
       false},
      {"flag 2 is not set", "[performance]\nUseCompressedTextures=2\nUse16BitTextures=1\n",
       "bitmap16.flx", false, true},
      {"no options file", std::nullopt, "bitmapsh.flx", false, true},
  };
  for (const Case& c : cases) {
    files_ = MemoryFileSystem();
    if (c.options) files_.files[kIni] = *c.options;
    files_.files[staticDir + c.present] = "archive";
    if (c.readOnly) files_.readOnly.insert(staticDir + c.present);
    EXPECT_EQ(TextureSetCheck(), c.expected) << c.name;
    EXPECT_EQ(InstallDirectory, kDir) << c.name;
    EXPECT_EQ(files_.files[staticDir + c.present], "archive") << c.name;
  }
}

}  // namespace
