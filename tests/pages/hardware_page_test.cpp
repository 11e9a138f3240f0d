// The "3D Hardware" page: the renderer, device, texture, mip-mapping and
// resolution rules, run through halcyra-sim on machines made for each rule.
#include <gtest/gtest.h>

#include "harness.h"
#include "machines.h"

namespace pages_test {
namespace {

using Lines = std::vector<std::string>;

std::vector<std::string> Items(std::initializer_list<const char*> items) { return {items.begin(), items.end()}; }

const Lines kGlideModes4MB = Items({"800 x 600 x 16", "640 x 480 x 16"});
const Lines kPrimaryModes = Items({"640 x 480 x 16", "800 x 600 x 16", "1024 x 768 x 16", "640 x 480 x 32"});

// ---------------------------------------------------------------------------
// The renderer restored at start.

struct RestoreCase {
  const char* name;
  friend std::ostream& operator<<(std::ostream& os, const RestoreCase& c) { return os << c.name; }
  const char* machine;
  const char* stored;  // "Game Rasterizer" line, or "" for none
  int glideChecked, glideEnabled, d3dChecked, d3dEnabled, deviceEnabled;
  Lines resolutions;
  const char* savedRasterizer;
  const char* savedDepth;
};

class RendererRestore : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(RendererRestore, ChecksEnablesAndSavesTheRenderer) {
  const RestoreCase& c = GetParam();
  Install install;
  install.options = *c.stored ? Ini({"[Game]", c.stored}) : std::string();
  const Outcome run = RunSetup(c.machine, install, "dump\nok\n");
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.dumps.size(), 1u);
  const Dump& page = run.dumps[0];
  EXPECT_EQ(page.at(res::IDC_GLIDE).checked, c.glideChecked);
  EXPECT_EQ(page.at(res::IDC_GLIDE).enabled, c.glideEnabled != 0);
  EXPECT_EQ(page.at(res::IDC_DIRECT3D).checked, c.d3dChecked);
  EXPECT_EQ(page.at(res::IDC_DIRECT3D).enabled, c.d3dEnabled != 0);
  EXPECT_EQ(page.at(res::IDC_DEVICE).enabled, c.deviceEnabled != 0);
  // Direct3D offers no 8-bit textures, Glide no compressed ones.
  EXPECT_EQ(page.at(res::IDC_TEXTURE_8BIT).enabled, c.d3dChecked == 0);
  EXPECT_EQ(page.at(res::IDC_TEXTURE_COMPRESSED).enabled, c.d3dChecked == 1);
  EXPECT_EQ(page.at(res::IDC_RESOLUTION).items, c.resolutions);
  EXPECT_EQ(run.Value("Game", "Game Rasterizer"), c.savedRasterizer);
  EXPECT_EQ(run.Value("Game", "GameScreenDepth"), c.savedDepth);
  EXPECT_EQ(run.Boxes(), Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    HardwarePage, RendererRestore,
    ::testing::Values(
        RestoreCase{"NeverChosenWithDevicesIsDirect3D", kDevicesAndBoard, "", 0, 1, 1, 1, 1, kPrimaryModes, "2", "16"},
        RestoreCase{"StoredGlideWithBoard", kDevicesAndBoard, "Game Rasterizer=3", 1, 1, 0, 1, 0, kGlideModes4MB, "3", "16"},
        // Glide without a board cannot start the game: Direct3D takes its place.
        RestoreCase{"StoredGlideWithoutBoard", kDevicesNoBoard, "Game Rasterizer=3", 0, 0, 1, 1, 1, kPrimaryModes, "2", "16"},
        RestoreCase{"StoredDirect3DWithoutDevices", kBoardNoDevices, "Game Rasterizer=2", 1, 1, 0, 0, 0,
                    Items({"1024 x 768 x 16", "800 x 600 x 16", "640 x 480 x 16"}), "3", "16"},
        RestoreCase{"OtherValueWithoutDevices", kBoardNoDevices, "Game Rasterizer=7", 1, 1, 0, 0, 0,
                    Items({"1024 x 768 x 16", "800 x 600 x 16", "640 x 480 x 16"}), "3", "16"},
        RestoreCase{"OtherValueWithDevices", kDevicesAndBoard, "Game Rasterizer=7", 0, 1, 1, 1, 1, kPrimaryModes, "2", "16"},
        RestoreCase{"UndefinedWithDevicesNoBoard", kDevicesNoBoard, "Game Rasterizer=undefined", 0, 0, 1, 1, 1,
                    kPrimaryModes, "2", "16"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(HardwarePage, NoDeviceAndNoBoardEndsWithBox103AndSavesNothing) {
  Install install;
  install.options = Ini({"[Game]", "Game Rasterizer=2", "; the player's own note"});
  const Outcome run = RunSetup(kNothing, install, "ok\n");
  EXPECT_EQ(run.Events(), (Lines{kBox103, "exit -1"}));
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.options, install.options);
}

// ---------------------------------------------------------------------------
// Textures and mip-mapping.

struct TextureCase {
  const char* name;
  friend std::ostream& operator<<(std::ostream& os, const TextureCase& c) { return os << c.name; }
  const char* machine;
  std::string options;
  const char* script;
  int checked8, checked16, checkedCompressed;
  int on, off, high, medium, low;
  Lines boxes;
  const char* use16;
  const char* compressed;
  const char* mip;
};

class TextureRules : public ::testing::TestWithParam<TextureCase> {};

TEST_P(TextureRules, KeepTexturesAndMipMappingCoupled) {
  const TextureCase& c = GetParam();
  Install install;
  install.options = c.options;
  const Outcome run = RunSetup(c.machine, install, std::string(c.script) + "dump\nok\n");
  ASSERT_EQ(run.status, 0) << run.errors;
  const Dump& page = run.dumps.back();
  EXPECT_EQ(page.at(res::IDC_TEXTURE_8BIT).checked, c.checked8);
  EXPECT_EQ(page.at(res::IDC_TEXTURE_16BIT).checked, c.checked16);
  EXPECT_EQ(page.at(res::IDC_TEXTURE_COMPRESSED).checked, c.checkedCompressed);
  EXPECT_EQ(page.at(res::IDC_MIP_ON).checked, c.on);
  EXPECT_EQ(page.at(res::IDC_MIP_OFF).checked, c.off);
  EXPECT_EQ(page.at(res::IDC_MIP_HIGH).checked, c.high);
  EXPECT_EQ(page.at(res::IDC_MIP_MEDIUM).checked, c.medium);
  EXPECT_EQ(page.at(res::IDC_MIP_LOW).checked, c.low);
  EXPECT_EQ(run.Boxes(), c.boxes);
  EXPECT_EQ(run.Value("Performance", "Use16BitTextures"), c.use16);
  EXPECT_EQ(run.Value("Performance", "UseCompressedTextures"), c.compressed);
  EXPECT_EQ(run.Value("Game", "GameMipMapLevel"), c.mip);
}

const std::string kDirect3D8BitHigh =
    Ini({"[Game]", "Game Rasterizer=2", "GameMipMapLevel=1", "[Performance]", "Use16BitTextures=0"});
const std::string kDirect3DCompressedOff =
    Ini({"[Game]", "Game Rasterizer=2", "GameMipMapLevel=0", "[Performance]", "UseCompressedTextures=1"});
const std::string kDirect3D16BitOff =
    Ini({"[Game]", "Game Rasterizer=2", "GameMipMapLevel=0", "[Performance]", "Use16BitTextures=1"});
const std::string kGlide8BitHigh =
    Ini({"[Game]", "Game Rasterizer=3", "GameMipMapLevel=1", "[Performance]", "Use16BitTextures=0"});
const std::string kGlideCompressed =
    Ini({"[Game]", "Game Rasterizer=3", "GameMipMapLevel=3", "[Performance]", "UseCompressedTextures=1"});

INSTANTIATE_TEST_SUITE_P(
    HardwarePage, TextureRules,
    ::testing::Values(
        // Stored Direct3D with 8-bit textures shows 16-bit; mip-mapping stays high, no box.
        TextureCase{"Direct3DReplaces8Bit", kDevicesAndBoard, kDirect3D8BitHigh, "", 0, 1, 0, 1, 0, 1, 0, 0, {}, "1", "0", "1"},
        // Stored Glide with compressed textures shows 8-bit.
        TextureCase{"GlideReplacesCompressed", kDevicesAndBoard, kGlideCompressed, "", 1, 0, 0, 1, 0, 0, 0, 1, {}, "0", "0", "3"},
        // Without a board the page starts on Direct3D, which keeps compressed textures.
        TextureCase{"GlideWithoutBoardKeepsCompressed", kDevicesNoBoard, kGlideCompressed, "", 0, 0, 1, 1, 0, 0, 0, 1, {}, "1", "1", "3"},
        // Glide 8-bit high to Direct3D: 16-bit, still high, no box 105.
        TextureCase{"SwitchToDirect3D", kDevicesAndBoard, kGlide8BitHigh, "click 1003\n", 0, 1, 0, 1, 0, 1, 0, 0, {}, "1", "0", "1"},
        // Direct3D compressed to Glide: 8-bit.
        TextureCase{"SwitchToGlide", kDevicesAndBoard, kDirect3DCompressedOff, "click 1002\n", 1, 0, 0, 0, 1, 0, 0, 0, {}, "0", "0", "0"},
        // 16-bit textures turn mip-mapping on at medium.
        TextureCase{"SixteenBitForcesMedium", kDevicesAndBoard, kDirect3DCompressedOff, "click 1006\n", 0, 1, 0, 1, 0, 0, 1, 0, {}, "1", "0", "2"},
        // "On" picks medium with 16-bit textures, high otherwise.
        TextureCase{"OnWith16BitIsMedium", kDevicesAndBoard, kDirect3D16BitOff, "click 1008\n", 0, 1, 0, 1, 0, 0, 1, 0, {}, "1", "0", "2"},
        TextureCase{"OnWithCompressedIsHigh", kDevicesAndBoard, kDirect3DCompressedOff, "click 1008\n", 0, 0, 1, 1, 0, 1, 0, 0, {}, "1", "1", "1"},
        TextureCase{"OnWith8BitIsHigh", kDevicesAndBoard, kGlideCompressed, "click 1009\nclick 1008\n", 1, 0, 0, 1, 0, 1, 0, 0, {}, "0", "0", "1"},
        // "High" warns with 16-bit textures only; the choice stays.
        TextureCase{"HighWith16BitWarns", kDevicesAndBoard, kDirect3D16BitOff, "click 1010\n", 0, 1, 0, 1, 0, 1, 0, 0, {kBox105}, "1", "0", "1"},
        TextureCase{"HighWithCompressedDoesNotWarn", kDevicesAndBoard, kDirect3DCompressedOff, "click 1010\n", 0, 0, 1, 1, 0, 1, 0, 0, {}, "1", "1", "1"},
        TextureCase{"Low", kDevicesAndBoard, kDirect3D16BitOff, "click 1012\n", 0, 1, 0, 1, 0, 0, 0, 1, {}, "1", "0", "3"},
        TextureCase{"LowThenOff", kDevicesAndBoard, kDirect3D16BitOff, "click 1012\ndump\nclick 1009\n", 0, 1, 0, 0, 1, 0, 0, 0, {}, "1", "0", "0"},
        TextureCase{"MediumAfterOff", kDevicesAndBoard, kDirect3DCompressedOff, "click 1011\n", 0, 0, 1, 1, 0, 0, 1, 0, {}, "1", "1", "2"},
        // A level the page does not know checks no button and is kept.
        TextureCase{"UnknownLevelKept", kDevicesAndBoard,
                    Ini({"[Game]", "Game Rasterizer=2", "GameMipMapLevel=9", "[Performance]", "Use16BitTextures=1"}), "",
                    0, 1, 0, 0, 0, 0, 0, 0, {}, "1", "0", "9"}),
    [](const auto& test) { return std::string(test.param.name); });

// ---------------------------------------------------------------------------
// Resolutions.

struct ResolutionCase {
  const char* name;
  friend std::ostream& operator<<(std::ostream& os, const ResolutionCase& c) { return os << c.name; }
  const char* stored;  // width, height, depth lines
  const char* script;
  const char* shown;
  const char* width;
  const char* height;
  const char* depth;
};

class ResolutionRules : public ::testing::TestWithParam<ResolutionCase> {};

TEST_P(ResolutionRules, SelectTheStoredModeOrFallBack) {
  const ResolutionCase& c = GetParam();
  Install install;
  install.options = "[Game]\r\nGame Rasterizer=2\r\n" + std::string(c.stored);
  const Outcome run = RunSetup(kFitAndUnfit, install, std::string(c.script) + "dump\nok\n");
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.dumps.back().at(res::IDC_RESOLUTION).text, c.shown);
  EXPECT_EQ(run.Value("Game", "GameScreenWidth"), c.width);
  EXPECT_EQ(run.Value("Game", "GameScreenHeight"), c.height);
  EXPECT_EQ(run.Value("Game", "GameScreenDepth"), c.depth);
}

// The machine's fit device (entry 1) lists 640x480x16, 800x600x16,
// 1024x768x16 and 640x480x32; the unfit one (entry 0) only 800x600x16 and
// 1024x768x16.
constexpr char kOnFitDevice[] = "DDGUID=0,0,0,0,0,0,0,0,0,0,0\r\n";
constexpr char kOnUnfitDevice[] = "DDGUID=1,2,3,4,5,6,7,8,9,10,11\r\n";

INSTANTIATE_TEST_SUITE_P(
    HardwarePage, ResolutionRules,
    ::testing::Values(
        ResolutionCase{"StoredModeListed", "DDGUID=0,0,0,0,0,0,0,0,0,0,0\r\nGameScreenWidth=800\r\nGameScreenHeight=600\r\n", "",
                       "800 x 600 x 16", "800", "600", "16"},
        ResolutionCase{"StoredModeMissingFallsBackTo16", "DDGUID=0,0,0,0,0,0,0,0,0,0,0\r\nGameScreenWidth=1280\r\nGameScreenHeight=1024\r\n",
                       "", "640 x 480 x 16", "640", "480", "16"},
        // Neither the stored mode nor 640 x 480 x 16: entry 0 shows and is stored.
        ResolutionCase{"NeitherStoresEntryZero", "DDGUID=1,2,3,4,5,6,7,8,9,10,11\r\nGameScreenWidth=1280\r\n",
                       "", "800 x 600 x 16", "800", "600", "16"},
        // A depth that only begins a listed entry's text stores that entry.
        ResolutionCase{"PartialDepthStoresTheEntryShown",
                       "DDGUID=0,0,0,0,0,0,0,0,0,0,0\r\nGameScreenWidth=800\r\nGameScreenHeight=600\r\nGameScreenDepth=1\r\n",
                       "", "800 x 600 x 16", "800", "600", "16"},
        ResolutionCase{"PickedEntryStoresItsNumbers", kOnFitDevice, "select 1007 3\n", "640 x 480 x 32", "640", "480", "32"},
        // A device change resets to 640 x 480 x 16 ...
        ResolutionCase{"DeviceChangeResets", "DDGUID=0,0,0,0,0,0,0,0,0,0,0\r\nGameScreenWidth=1024\r\nGameScreenHeight=768\r\n",
                       "select 1004 1\n", "640 x 480 x 16", "640", "480", "16"},
        // ... or to its first entry when the device lacks it.
        ResolutionCase{"DeviceChangeWithout16", kOnFitDevice, "select 1004 0\n", "800 x 600 x 16", "800", "600", "16"},
        // A click on the renderer already chosen resets too.
        ResolutionCase{"Direct3DClickResets", "DDGUID=0,0,0,0,0,0,0,0,0,0,0\r\nGameScreenWidth=800\r\nGameScreenHeight=600\r\n",
                       "click 1003\n", "640 x 480 x 16", "640", "480", "16"},
        ResolutionCase{"GlideClickResets", kOnUnfitDevice, "click 1002\nselect 1007 0\nclick 1002\n", "640 x 480 x 16", "640", "480", "16"}),
    [](const auto& test) { return std::string(test.param.name); });

// ---------------------------------------------------------------------------
// Devices.

TEST(HardwarePage, ListsUnfitDevicesMarkedAndSelectsTheSavedDriver) {
  Install install;
  install.options = Ini({"[Game]", "Game Rasterizer=2", "DDGUID=0,0,0,0,0,0,0,0,0,0,0"});
  const Outcome run = RunSetup(kFitAndUnfit, install, "dump\nok\n");
  const Control& devices = run.dumps.at(0).at(res::IDC_DEVICE);
  EXPECT_EQ(devices.items, Items({"(?) Add-on 3D", "    Primary Display"}));
  EXPECT_EQ(devices.current, 1);
  EXPECT_EQ(run.Boxes(), Lines{});
  EXPECT_EQ(run.Value("Game", "D3DGUID"), kHalGuid);
}

TEST(HardwarePage, WarnsAboutAnUnfitDeviceAtStartAndOnEachChangeToIt) {
  Install install;
  install.options = Ini({"[Game]", "Game Rasterizer=2", "DDGUID=1,2,3,4,5,6,7,8,9,10,11"});
  const Outcome run = RunSetup(kFitAndUnfit, install, "select 1004 1\nselect 1004 0\nclick 1003\nok\n");
  // At start, on the change back to it, and on the click of "Direct 3D".
  EXPECT_EQ(run.Events(), (Lines{kBox104, kBox104, kBox104, "result ok", "exit 0"}));
  EXPECT_EQ(run.Value("Game", "DDGUID"), kAddOnDriverGuid);
}

// With no saved device, or one no longer there, the first fit entry is
// shown and taken: no warning before the player has chosen anything.
TEST(HardwarePage, WithoutTheSavedDeviceTheFirstFitEntryIsTaken) {
  const std::string reference = Profile("reference.toml");
  const struct {
    const char* name;
    const char* machine;
    const char* saved;
    int entry;
    const char* text;
  } cases[] = {
      {"new player", kFitAndUnfit, "", 1, "    Primary Display"},
      {"device gone", kFitAndUnfit, "DDGUID=9,9,9\r\nD3DGUID=9,9,9\r\n", 1, "    Primary Display"},
      {"reference machine", reference.c_str(), "", 1, "    Primary Display Driver"},
      {"only device", kDevicesAndBoard, "DDGUID=9,9,9\r\n", 0, "    Primary Display"},
  };
  for (const auto& c : cases) {
    Install install;
    install.options = std::string("[Game]\r\n") + c.saved;
    const Outcome run = RunSetup(c.machine, install, "dump\nok\n");
    const Control& devices = run.dumps.at(0).at(res::IDC_DEVICE);
    EXPECT_EQ(devices.current, c.entry) << c.name;
    EXPECT_EQ(devices.text, c.text) << c.name;
    EXPECT_EQ(run.Boxes(), Lines{}) << c.name;
    EXPECT_EQ(run.Value("Game", "DDGUID"), kDefaultDriverGuid) << c.name;
    EXPECT_EQ(run.Value("Game", "D3DGUID"), kHalGuid) << c.name;
  }
}

// The saved driver's name begins another driver's name.
constexpr char kPrefixNames[] =
    "[[directdraw.driver]]\n"
    "description = \"Voodoo 3D Plus\"\n"
    "modes = [\"640x480x16\", \"800x600x16\"]\n"
    "  [[directdraw.driver.device]]\n"
    "  guid = \"hal\"\n"
    "  texture_formats = [\"pal8\", \"565\", \"1555\", \"4444\"]\n"
    "[[directdraw.driver]]\n"
    "guid = \"{00000001-0002-0003-0405-060708090A0B}\"\n"
    "description = \"Voodoo 3D\"\n"
    "modes = [\"640x480x16\", \"1024x768x16\"]\n"
    "  [[directdraw.driver.device]]\n"
    "  guid = \"hal\"\n"
    "  texture_formats = [\"pal8\", \"565\", \"1555\", \"4444\"]\n"
    "[glide]\n"
    "fb_ram = 4\n";

TEST(HardwarePage, TheSavedDeviceIsNotReplacedByOneWhoseNameBeginsWithIt) {
  Install install;
  install.options = Ini({"[Game]", "Game Rasterizer=2", "DDGUID=1,2,3,4,5,6,7,8,9,10,11", "GameScreenWidth=1024",
                         "GameScreenHeight=768", "GameScreenDepth=16"});
  const Outcome run = RunSetup(kPrefixNames, install, "dump\nok\n");
  EXPECT_EQ(run.dumps.at(0).at(res::IDC_DEVICE).items, Items({"    Voodoo 3D", "    Voodoo 3D Plus"}));
  EXPECT_EQ(run.dumps.at(0).at(res::IDC_DEVICE).text, "    Voodoo 3D");
  EXPECT_EQ(run.Value("Game", "DDGUID"), kAddOnDriverGuid);
  EXPECT_EQ(run.Value("Game", "GameScreenWidth"), "1024");
  EXPECT_EQ(run.Value("Game", "GameScreenHeight"), "768");
}

// One driver with two hardware devices.
std::string TwoDevicesOfOneDriver(const char* secondFormats) {
  return std::string(
             "[[directdraw.driver]]\n"
             "guid = \"{00000001-0002-0003-0405-060708090A0B}\"\n"
             "description = \"Twin\"\n"
             "modes = [\"640x480x16\", \"800x600x16\"]\n"
             "  [[directdraw.driver.device]]\n"
             "  guid = \"hal\"\n"
             "  texture_formats = [\"pal8\"]\n"
             "  [[directdraw.driver.device]]\n"
             "  guid = \"{0000000A-000B-000C-0D0E-0F1011121314}\"\n"
             "  texture_formats = ") +
         secondFormats + "\n";
}

constexpr char kSecondTwinGuid[] = "10,11,12,13,14,15,16,17,18,19,20";

// Entries stand for records by position, so entries that read alike still
// save their own device, and a saved device comes back as itself.
TEST(HardwarePage, EveryDeviceEntrySavesItsOwnRecord) {
  const std::string geforce = Profile("geforce256_sblive.toml");
  const std::string twins = TwoDevicesOfOneDriver("[\"pal8\"]");
  for (const std::string* machine : {&geforce, &twins}) {
    std::vector<std::string> saved;
    for (const char* script : {"select 1004 0\ndump\nok\n", "select 1004 1\ndump\nok\n"}) {
      Install install;
      install.options = Ini({"[Game]", "Game Rasterizer=2"});
      const Outcome run = RunSetup(*machine, install, script);
      const Control& devices = run.dumps.at(0).at(res::IDC_DEVICE);
      ASSERT_EQ(devices.items.size(), 2u);
      EXPECT_EQ(devices.items[0], devices.items[1]);
      EXPECT_EQ(devices.current, static_cast<int>(saved.size()));
      saved.push_back(run.Value("Game", "D3DGUID"));
      // Started again on the saved device, the page shows that same entry.
      Install again;
      again.options = run.options;
      EXPECT_EQ(RunSetup(*machine, again, "dump\n").dumps.at(0).at(res::IDC_DEVICE).current, devices.current);
    }
    EXPECT_NE(saved[0], saved[1]);
    EXPECT_FALSE(saved[0].empty());
  }
}

// A saved driver without its device takes the driver's first fit device;
// the shown entry is always the device kept.
TEST(HardwarePage, SavedDriverWithAFitAndAnUnfitDevice) {
  const std::string machine = TwoDevicesOfOneDriver("[\"565\"]");
  const struct {
    const char* name;
    const char* d3dGuid;
    int entry;
    Lines boxes;
    const char* kept;
  } cases[] = {
      {"driver alone", "", 0, {}, kHalGuid},
      {"the unfit device", kSecondTwinGuid, 1, {kBox104}, kSecondTwinGuid},
  };
  for (const auto& c : cases) {
    Install install;
    install.options = Ini({"[Game]", "Game Rasterizer=2", "DDGUID=1,2,3,4,5,6,7,8,9,10,11"}) + "D3DGUID=" + c.d3dGuid + "\r\n";
    const Outcome run = RunSetup(machine, install, "dump\nok\n");
    const Control& devices = run.dumps.at(0).at(res::IDC_DEVICE);
    EXPECT_EQ(devices.items, Items({"    Twin", "(?) Twin"})) << c.name;
    EXPECT_EQ(devices.current, c.entry) << c.name;
    EXPECT_EQ(run.Boxes(), c.boxes) << c.name;
    EXPECT_EQ(run.Value("Game", "D3DGUID"), c.kept) << c.name;
  }
}

// Typed text never becomes the choice: the entry shown before comes back at
// once, and that entry is what OK saves.
TEST(HardwarePage, TypingIntoAComboPutsTheShownEntryBack) {
  const struct {
    const char* script;
    const char* resolution;
  } cases[] = {
      {"type 1004 (?) Add-on 3D\ntype 1007 1024\n", "800 x 600 x 16"},
      {"type 1004 Prim\nclick 1003\ntype 1007 1024 x 768 x 16\n", "640 x 480 x 16"},
  };
  for (const auto& c : cases) {
    Install install;
    install.options = Ini({"[Game]", "Game Rasterizer=2", "DDGUID=0,0,0,0,0,0,0,0,0,0,0", "GameScreenWidth=800",
                           "GameScreenHeight=600", "GameScreenDepth=16"});
    const Outcome run = RunSetup(kFitAndUnfit, install, std::string(c.script) + "dump\nok\n");
    const Dump& page = run.dumps.at(0);
    EXPECT_EQ(page.at(res::IDC_DEVICE).current, 1) << c.script;
    EXPECT_EQ(page.at(res::IDC_DEVICE).text, "    Primary Display") << c.script;
    EXPECT_EQ(page.at(res::IDC_RESOLUTION).text, c.resolution) << c.script;
    EXPECT_EQ(run.Boxes(), Lines{}) << c.script;
    EXPECT_EQ(run.Value("Game", "DDGUID"), kDefaultDriverGuid) << c.script;
    EXPECT_EQ(run.Value("Game", "D3DGUID"), kHalGuid) << c.script;
  }
}

}  // namespace
}  // namespace pages_test
