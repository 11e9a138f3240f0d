#include "settings/game_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include <string>

#include "settings/install_directory.h"
#include "settings/profile_file.h"
#include "settings/texture_check.h"
#include "tests/settings/case_file.h"
#include "tests/settings/memory_file_system.h"
#include "tests/settings/memory_registry.h"

using namespace halcyra;

namespace {

using testing_support::MemoryFileSystem;
using testing_support::MemoryRegistry;
using testing_support::ReadFile;

constexpr const char* kKey = "Software\\Corvane\\Halcyra\\";
const std::string kDir = "C:\\Games\\Halcyra";
const std::string kIni = kDir + "\\options.ini";
const std::string kD3d = "1,2,3,4,5,6,7,8,9,10,11";
const std::string kDd = "4294967295,0,0,0,0,0,0,0,0,0,1";

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    filesys::FileSystemSlot::Install(&files_);
    reg::RegistrySlot::Install(&registry_);
    registry_.SetValue(kKey, "Install Path", kDir);
  }
  void TearDown() override {
    delete g_pSettings;
    g_pSettings = nullptr;
    InstallDirectory = ".";
    filesys::FileSystemSlot::Install(nullptr);
    reg::RegistrySlot::Install(nullptr);
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

// The GUIDs are read for Direct3D only, cut to the value length; Glide
// leaves their keys as they were.
TEST_F(SettingsTest, GuidsAreReadForDirect3DAndKeptForGlide) {
  const std::string guids = "D3DGUID=" + kD3d + "\nDDGUID=" + kDd + "\n";
  const GameSettings* glide = Loaded("[Game]\nGame Rasterizer=3\n" + guids);
  EXPECT_EQ(glide->d3dGuid + glide->ddGuid, "");
  EXPECT_EQ(Loaded("[Game]\nGame Rasterizer=2\nD3DGUID=" + std::string(400, '7') + "\n")->d3dGuid,
            std::string(kMaxValueLength, '7'));
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

// Saves compared with stored files: saves/NAME.before is options.ini as
// loaded, saves/NAME.after what the save leaves.
TEST_F(SettingsTest, SavesLeaveTheStoredFiles) {
  const struct {
    std::string name;
    void (*change)(GameSettings&);
  } cases[] = {
      // Keys in another order and case, among comments, are replaced where
      // they stand; every other byte stays.
      {"keys-where-they-stand",
       [](GameSettings& s) {
         s.enableAcoustics = 1;
         s.textureMode = TexturesCompressed;
         s.screenWidth = 1024;
         s.screenHeight = 768;
         s.mipMapLevel = 3;
         s.d3dGuid = kD3d;
         s.ddGuid = kDd;
       }},
      // In an LF file missing keys go to the end of their section, missing
      // sections to the end of the file.
      {"missing-keys-lf", [](GameSettings& s) { s.rasterizer = RasterizerGlide; }},
      // Unknown codes write neither the renderer nor the texture keys.
      {"unknown-codes",
       [](GameSettings& s) {
         s.rasterizer = 1;
         s.textureMode = 3;
       }},
  };
  const std::string dir = std::string(HALCYRA_TEST_DATA_DIR) + "/saves/";
  for (const auto& c : cases) {
    const std::string before = ReadFile(dir + c.name + ".before");
    c.change(*Loaded(before));
    ASSERT_TRUE(g_pSettings->Save()) << c.name;
    EXPECT_EQ(files_.files[kIni], ReadFile(dir + c.name + ".after")) << c.name;
  }
}

class LoadRulesTest : public SettingsTest, public testing::WithParamInterface<std::vector<std::string>> {};

// One case of settings_load.tsv: the file, then the fields as read.
TEST_P(LoadRulesTest, ReadsFields) {
  const std::vector<std::string>& c = GetParam();
  const GameSettings* settings = Loaded(c[1]);
  EXPECT_EQ(settings->rasterizer, std::stoi(c[2]));
  EXPECT_EQ(settings->textureMode, std::stoi(c[3]));
  EXPECT_EQ(settings->screenWidth, std::stoi(c[4]));
  EXPECT_EQ(settings->mipMapLevel, std::stoi(c[5]));
  EXPECT_EQ(settings->enableAcoustics, std::stoi(c[6]));
}

INSTANTIATE_TEST_SUITE_P(Rules, LoadRulesTest, testing::ValuesIn(testing_support::ReadCases("settings_load.tsv", 7)),
                         [](const auto& param) { return param.param[0]; });

TEST_F(SettingsTest, DefaultRecordHasNoFile) {
  testing::internal::CaptureStdout();
  GameSettings settings;
  settings.Load();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  // (Its size and EAX values are the ones the no-options scenarios save.)
  EXPECT_EQ(settings.rasterizer, RasterizerUndefined);
  EXPECT_EQ(settings.textureMode, Textures8Bit);
  EXPECT_FALSE(settings.iniPath.has_value());
  EXPECT_TRUE(settings.Save());
  EXPECT_EQ(files_.replaces, 0);
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

// A failed save leaves the file, says why and keeps the record with the
// player's choices; once the cause is mended the next OK saves them.
TEST_F(SettingsTest, FailedSaveIsReportedKeepsTheRecordAndSavesOnTheNextTry) {
  const std::string before = "[Game]\r\nGameScreenWidth=640\r\n";
  struct {
    const char* name;
    void (*breakIt)(MemoryFileSystem&);
    void (*mend)(MemoryFileSystem&);
    SaveFailure failure;
  } cases[] = {
      {"read-only", [](MemoryFileSystem& f) { f.readOnly.insert(kIni); },
       [](MemoryFileSystem& f) { f.readOnly.clear(); }, SaveFailure::kReadOnlyFile},
      {"replace fails", [](MemoryFileSystem& f) { f.failReplace = true; },
       [](MemoryFileSystem& f) { f.failReplace = false; }, SaveFailure::kOther},
      {"unreadable now", [](MemoryFileSystem& f) { f.unreadable.insert(kIni); },
       [](MemoryFileSystem& f) { f.unreadable.clear(); }, SaveFailure::kUnreadable},
      {"no rights in the folder", [](MemoryFileSystem& f) { f.lockedFolders.insert(kDir); },
       [](MemoryFileSystem& f) { f.lockedFolders.clear(); }, SaveFailure::kNoRights},
      {"folder gone", [](MemoryFileSystem& f) { f.folders = {"C:\\Games"}; },
       [](MemoryFileSystem& f) { f.folders.clear(); }, SaveFailure::kFolderMissing},
  };
  for (const auto& c : cases) {
    GameSettings* settings = Loaded(before);
    settings->screenWidth = 800;
    c.breakIt(files_);
    const CommitResult refused = CommitSettings();
    EXPECT_FALSE(refused) << c.name;
    EXPECT_EQ(refused.failure, c.failure) << c.name;
    EXPECT_EQ(refused.failedPath, kIni) << c.name;
    EXPECT_EQ(g_pSettings, settings) << c.name << ": the record stays";
    EXPECT_EQ(files_.files.count(kIni) ? files_.files[kIni] : before, before) << c.name;
    c.mend(files_);
    EXPECT_TRUE(CommitSettings()) << c.name;
    EXPECT_EQ(g_pSettings, nullptr) << c.name;
    EXPECT_NE(files_.files[kIni].find("GameScreenWidth=800"), std::string::npos) << c.name;
    files_ = MemoryFileSystem();
  }
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

// The folder in the console line has its controls escaped; the line's text
// stays as it is.
TEST_F(SettingsTest, TheConsoleLineEscapesTheFolder) {
  const std::string dir = "C:\\esc\033]0;PWNED\007dir";
  registry_.SetValue(kKey, "Install Path", dir);
  files_.files[dir + "\\options.ini"] = "[Game]\r\nGameScreenWidth=1600\r\n";
  testing::internal::CaptureStdout();
  CreateSettingsAtDialogStart();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "reading config from C:\\esc\\x1b]0;PWNED\\x07dir\\options.ini\n");
  ASSERT_NE(g_pSettings, nullptr);
  EXPECT_EQ(g_pSettings->screenWidth, 1600);
}

// options.ini missing at start, or gone by OK, is created with the record
// when its folder exists; a file that cannot be read is never overwritten.
TEST_F(SettingsTest, OkCreatesAMissingFileAndNeverOverwritesAnUnreadableOne) {
  // Created: the record's whole text (its form is the scenarios' to check).
  const std::string created = "(the record)";
  struct Case {
    const char* name;
    std::optional<std::string> atStart;  // options.ini when the sheet opens
    bool unreadable;
    void (*meanwhile)(MemoryFileSystem&);
    bool saved;
    std::optional<std::string> atEnd;
    bool readFails = false;  // opened at start, but its read failed
  };
  const Case cases[] = {
      {"missing", std::nullopt, false, [](MemoryFileSystem&) {}, true, created},
      {"folder missing", std::nullopt, false, [](MemoryFileSystem& f) { f.folders = {"C:\\Games"}; },
       false, std::nullopt},
      {"deleted while open", "[Sound]\r\nEnableAcoustics=0\r\n[Keys]\r\nFire=Ctrl\r\n", false,
       [](MemoryFileSystem& f) { f.files.erase(kIni); }, true, created},
      {"unreadable", "secret", true, [](MemoryFileSystem&) {}, false, "secret"},
      // Its content was never seen: readable by OK, it is still not written.
      {"unreadable at start, readable at OK", "secret", true, [](MemoryFileSystem& f) { f.unreadable.clear(); },
       false, "secret"},
      // Opened, but its read refused (another program's lock): the same.
      {"opened but not read at start, readable at OK", "secret", false,
       [](MemoryFileSystem& f) { f.readFails.clear(); }, false, "secret", true},
      {"a folder in its place", std::nullopt, false,
       [](MemoryFileSystem& f) { f.folders = {kDir, kIni}; }, false, std::nullopt},
  };
  for (const Case& c : cases) {
    // A record a refused save kept is not the next case's.
    delete g_pSettings;
    g_pSettings = nullptr;
    files_ = MemoryFileSystem();
    if (c.atStart) files_.files[kIni] = *c.atStart;
    if (c.unreadable) files_.unreadable.insert(kIni);
    if (c.readFails) files_.readFails.insert(kIni);
    testing::internal::CaptureStdout();
    CreateSettingsAtDialogStart();
    testing::internal::GetCapturedStdout();
    ASSERT_NE(g_pSettings, nullptr) << c.name;
    EXPECT_EQ(g_pSettings->iniPath, kIni) << c.name;
    if (!c.atStart || c.unreadable) {
      EXPECT_EQ(g_pSettings->enableAcoustics, 0) << c.name << ": the defaults of a record without file";
    }
    g_pSettings->rasterizer = RasterizerDirect3D;
    c.meanwhile(files_);
    const CommitResult commit = CommitSettings();
    EXPECT_EQ(commit.saved, c.saved) << c.name;
    const auto file = files_.files.find(kIni);
    std::optional<std::string> expected = c.atEnd;
    if (expected == created) expected = commit.options;
    EXPECT_EQ(file == files_.files.end() ? std::nullopt : std::optional<std::string>(file->second), expected) << c.name;
    // The archive check judges what the player chose, saved or not.
    EXPECT_TRUE(commit.options.starts_with("[Game]\r\nGame Rasterizer=2\r\n")) << c.name;
    EXPECT_NE(commit.options.find("\r\nEnableAcoustics=0\r\n"), std::string::npos) << c.name;
  }
}

TEST_F(SettingsTest, AfterAFailedSaveTheArchiveCheckJudgesTheRecord) {
  files_.files[kIni] = "[Performance]\r\nUse16BitTextures=1\r\nUseCompressedTextures=0\r\n";
  files_.readOnly.insert(kIni);
  files_.files[kDir + "\\static\\bitmap16.flx"] = "";
  testing::internal::CaptureStdout();
  CreateSettingsAtDialogStart();
  testing::internal::GetCapturedStdout();
  g_pSettings->textureMode = TexturesCompressed;
  const CommitResult commit = CommitSettings();
  EXPECT_FALSE(commit.saved);
  EXPECT_FALSE(TextureSetCheck(commit.options)) << "bitmapc.flx is missing";
  files_.files[kDir + "\\static\\bitmapc.flx"] = "";
  EXPECT_TRUE(TextureSetCheck(commit.options));
}

// Windows' file virtualization: a standard user's VirtualStore copy is the
// file the game reads, and where the game's own write would be virtualized
// the save goes there too.
TEST_F(SettingsTest, VirtualStoreCopyIsLoadedAndSaved) {
  const std::string pfDir = "C:\\Program Files\\Halcyra";
  const std::string pfIni = pfDir + "\\options.ini";
  const std::string store = "C:\\Users\\ann\\AppData\\Local\\VirtualStore";
  const std::string copy = store + "\\Program Files\\Halcyra\\options.ini";
  struct Case {
    const char* name;
    bool elevated;
    bool copyExists;
    bool folderLocked;
    bool saved;
    std::string loadedFrom;
    std::vector<std::string> savedTo;  // empty when nothing was saved
  };
  const Case cases[] = {
      {"copy exists", false, true, true, true, copy, {copy}},
      {"copy exists, folder writable", false, true, false, true, copy, {copy}},
      // "Run as administrator": the copy is what the game started normally
      // reads, the folder's file what it reads started elevated.
      {"elevated: the copy and the folder's own file", true, true, false, true, copy, {pfIni, copy}},
      {"elevated, no copy", true, false, false, true, pfIni, {pfIni}},
      {"no copy, folder writable", false, false, false, true, pfIni, {pfIni}},
      {"no copy, folder locked", false, false, true, true, pfIni, {copy}},
      {"elevated, folder locked", true, false, true, false, pfIni, {}},
      // The folder's file is written first: refused, neither file changes.
      {"elevated with a copy, the folder's file refused", true, true, true, false, copy, {}},
  };
  for (const Case& c : cases) {
    // A record a refused save kept is not the next case's.
    delete g_pSettings;
    g_pSettings = nullptr;
    files_ = MemoryFileSystem();
    registry_.SetValue(kKey, "Install Path", pfDir);
    files_.files[pfIni] = "[Game]\r\nGameScreenWidth=800\r\n[Keys]\r\nFire=Ctrl\r\n";
    if (c.copyExists) files_.files[copy] = "[Game]\r\nGameScreenWidth=1024\r\n";
    if (c.folderLocked) files_.lockedFolders.insert(pfDir);
    files_.virtualStore = store;
    files_.virtualized = "C:\\Program Files";
    files_.elevated = c.elevated;
    testing::internal::CaptureStdout();
    CreateSettingsAtDialogStart();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "reading config from " + c.loadedFrom + "\n") << c.name;
    EXPECT_EQ(g_pSettings->screenWidth, c.loadedFrom == copy ? 1024 : 800) << c.name;
    g_pSettings->screenWidth = 1280;
    const std::string before = files_.files[pfIni];
    EXPECT_EQ(CommitSettings().saved, c.saved) << c.name;
    for (const std::string& path : {pfIni, copy}) {
      const bool changed = files_.files.count(path) != 0 &&
                           files_.files[path].find("GameScreenWidth=1280") != std::string::npos;
      EXPECT_EQ(changed, std::ranges::count(c.savedTo, path) == 1) << c.name << ": " << path;
    }
    // Each file keeps its own other keys.
    if (c.elevated && c.copyExists) {
      EXPECT_NE(files_.files[pfIni].find("Fire=Ctrl"), std::string::npos);
    }
    // A copy made by the save starts from the folder's file, as Windows' own
    // copy would.
    if (!c.copyExists && c.savedTo == std::vector<std::string>{copy}) {
      EXPECT_NE(files_.files[copy].find("Fire=Ctrl"), std::string::npos) << c.name;
      EXPECT_EQ(files_.files[pfIni], before) << c.name;
    }
  }
}

// Without an "Install Path" the game's folder is the current folder when it
// holds the game, else the program's own folder when that does ("static"
// counting before an options.ini alone); when neither does, OK writes
// nothing and names the folder looked in.
TEST_F(SettingsTest, WithoutInstallPathTheFolderThatHoldsTheGame) {
  const std::string program = "D:\\Halcyra";
  struct Case {
    const char* name;
    std::vector<std::string> present;  // files and folders that exist
    std::optional<std::string> folder;  // the game's folder found
  };
  const Case cases[] = {
      {"current folder with options.ini", {".\\options.ini", program + "\\options.ini"}, "."},
      {"current folder with static", {".\\static"}, "."},
      {"program's folder", {program + "\\static", program + "\\options.ini"}, program},
      // An options.ini alone where Setup was started (a shortcut's "Start
      // in" folder) is a stray one when the program's folder holds "static".
      {"stray options.ini here, static in the program's folder", {".\\options.ini", program + "\\static"}, program},
      {"neither", {"C:\\Users\\ann\\static.txt"}, std::nullopt},
  };
  for (const Case& c : cases) {
    files_ = MemoryFileSystem();
    registry_ = MemoryRegistry();
    files_.programFolder = program;
    for (const std::string& path : c.present) {
      if (path.ends_with("static")) files_.folders.insert({path, ParentDirectory(path)});
      else files_.files[path] = "[Game]\r\n";
    }
    EXPECT_EQ(FindGameFolder(), c.folder) << c.name;
    delete g_pSettings;
    g_pSettings = nullptr;
    testing::internal::CaptureStdout();
    CreateSettingsAtDialogStart();
    testing::internal::GetCapturedStdout();
    const auto filesBefore = files_.files;
    const CommitResult commit = CommitSettings();
    if (c.folder) {
      EXPECT_TRUE(commit.saved) << c.name;
      EXPECT_EQ(InstallDirectory, *c.folder) << c.name;
      EXPECT_NE(files_.files[*c.folder + "\\options.ini"].find("GameScreenWidth="), std::string::npos) << c.name;
      for (const auto& [path, text] : filesBefore) {
        if (path != *c.folder + "\\options.ini") {
          EXPECT_EQ(files_.files[path], text) << c.name << ": " << path;
        }
      }
    } else {
      EXPECT_EQ(commit.failure, SaveFailure::kNoGameFolder) << c.name;
      EXPECT_EQ(commit.failedPath, files_.currentFolder) << c.name;
      EXPECT_EQ(files_.files, filesBefore) << c.name << ": nothing written";
      EXPECT_EQ(files_.replaces, 0) << c.name;
    }
  }
}

// Load, save and the archive check use one folder, whole at any length; an
// empty value names no folder.
TEST_F(SettingsTest, OneInstallFolderForLoadSaveAndArchiveCheck) {
  for (const std::size_t length : {std::size_t{0}, std::size_t{244}, std::size_t{255}, std::size_t{400}}) {
    files_ = MemoryFileSystem();
    const std::string dir = length == 0 ? "" : "D:\\" + std::string(length - 3, 'e');
    const std::string used = length == 0 ? "." : dir;
    registry_.SetValue(kKey, "Install Path", dir);
    files_.files[used + "\\options.ini"] = "";
    files_.files[used + "\\static\\bitmapc.flx"] = "";
    testing::internal::CaptureStdout();
    CreateSettingsAtDialogStart();
    testing::internal::GetCapturedStdout();
    ASSERT_NE(g_pSettings, nullptr);
    EXPECT_EQ(g_pSettings->iniPath, used + "\\options.ini") << length;
    EXPECT_EQ(InstallDirectory, used) << length;
    g_pSettings->textureMode = TexturesCompressed;
    // The registry changing meanwhile moves nothing.
    registry_.SetValue(kKey, "Install Path", "C:\\Elsewhere");
    const CommitResult commit = CommitSettings();
    EXPECT_TRUE(commit.saved) << length;
    EXPECT_TRUE(TextureSetCheck(commit.options)) << length;
    EXPECT_NE(files_.files[used + "\\options.ini"].find("UseCompressedTextures=1"), std::string::npos) << length;
    EXPECT_EQ(files_.files.size(), 2u) << length;
  }
}

TEST(ReadInstallDirectoryTest, FitsOrLeavesTheTextAsItWas) {
  struct Case {
    const char* name;
    bool hasValue;
    std::string data;  // bytes stored, terminator included when wanted
    std::string expected;
  };
  const Case cases[] = {
      {"missing", false, "", "."},
      {"plain", true, std::string("C:\\Halcyra\0", 11), "C:\\Halcyra"},
      {"long", true, std::string(300, 'a') + '\0', std::string(300, 'a')},
      {"no terminator stored", true, "C:\\Game", "C:\\Game"},
      {"text ends at first NUL", true, std::string("C:\\A\0junk\0", 10), "C:\\A"},
      {"empty text", true, std::string("\0", 1), "."},
      {"no data at all", true, "", "."},
  };
  for (const Case& c : cases) {
    MemoryRegistry registry;
    if (c.hasValue) registry.SetValue(kKey, "Install Path", c.data, false);
    reg::RegistrySlot::Install(&registry);
    std::string directory = ".";
    ReadInstallDirectory(directory);
    EXPECT_EQ(directory, c.expected) << c.name;
    EXPECT_EQ(registry.lastAccess, reg::KEY_ALL_ACCESS) << c.name;
    EXPECT_EQ(registry.OpenKeys(), 0u) << c.name << ": the key must be closed";
    EXPECT_TRUE(registry.HasKey(kKey)) << c.name;
  }
  MemoryRegistry refusing;
  refusing.failCreate = true;
  reg::RegistrySlot::Install(&refusing);
  std::string directory = "kept";
  ReadInstallDirectory(directory);
  EXPECT_EQ(directory, "kept");
  reg::RegistrySlot::Install(nullptr);
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

// texture_check.tsv: the options, the one archive present and its mark.
TEST_F(SettingsTest, TextureCheckLooksForTheChosenSettingsArchive) {
  const std::string staticDir = kDir + "\\static\\";
  InstallDirectory = kDir;
  for (const auto& c : testing_support::ReadCases("texture_check.tsv", 5)) {
    files_ = MemoryFileSystem();
    files_.files[staticDir + c[2]] = "archive";
    if (c[3] == "read-only") files_.readOnly.insert(staticDir + c[2]);
    if (c[3] == "unreadable") files_.unreadable.insert(staticDir + c[2]);
    EXPECT_EQ(TextureSetCheck(c[1]), c[4] == "1") << c[0];
    EXPECT_EQ(files_.files[staticDir + c[2]], "archive") << c[0];
  }
}

}  // namespace
