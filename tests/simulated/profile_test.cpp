// Machine profiles: what a profile sets reaches the simulated machine, bad
// profiles are refused with file, line and key, and every shipped profile
// gives an inventory that keeps the rules.
#include <gtest/gtest.h>

#include <ostream>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/hardware/sim_support.h"
#include "simulated/machine_profile.h"
#include "terminal/reference_profile.h"

using namespace halcyra;

namespace {

TEST(Profile, ReadsEverySection) {
  const char* text = R"(
[machine]
name = "Test box"

[directdraw]
enumerate_result = "fail"

[[directdraw.driver]]
description = "Primary"
modes = ["640x480x16", { width = 800, height = 600, depth = 16, refused = true }]

[[directdraw.driver.device]]
guid = "hal"
render_depths = [16, 32]
texture_formats = ["pal8", { flags = 0x41, bits = 16, r_mask = 0x7C00, g_mask = 0x3E0, b_mask = 0x1F, a_mask = 0x8000 }]
create_device_result = 0x88760705

[[directdraw.driver]]
guid = "{12345678-9ABC-DEF0-1122-334455667788}"
description = "Add-on"
probe_create_result = -1

[directsound]
[[directsound.device]]
description = "Primary Sound Driver"
[[directsound.device]]
guid = "{00000001-0002-0003-0405-060708090A0B}"
description = "Card"
eax_support = 3
hw_3d_buffers = 32

[glide]
num_sst = 1
fb_ram = 8
sli = true
board_type = "voodoo2"
missing_exports = ["_grSstSelect@4"]

[registry]
install_path = 'C:\Games\Halcyra'
)";
  const auto result = sim::ParseMachineProfile(text, "test.toml");
  ASSERT_FALSE(result.error) << result.error->ToString();
  const sim::Machine& m = *result.machine;
  EXPECT_EQ(m.name, "Test box");
  EXPECT_EQ(m.ddEnumerateResult, dx::E_FAIL);
  ASSERT_EQ(m.drivers.size(), 2u);
  EXPECT_FALSE(m.drivers[0].guid);
  ASSERT_EQ(m.drivers[0].modes.size(), 2u);
  EXPECT_TRUE(m.drivers[0].modes[1].surfaceRefused);
  EXPECT_EQ(m.drivers[0].modes[1].format.dwRBitMask, 0xF800u);
  const sim::Device& device = m.drivers[0].devices.at(0);
  EXPECT_EQ(device.guid, dx::IID_IDirect3DHALDevice);
  EXPECT_EQ(device.renderDepths, dx::DDBD_16 | dx::DDBD_32);
  ASSERT_EQ(device.textureFormats.size(), 2u);
  EXPECT_EQ(device.textureFormats[1].dwRGBAlphaBitMask, 0x8000u);
  EXPECT_EQ(device.createDeviceResult, static_cast<dx::HRESULT>(0x88760705u));
  EXPECT_EQ(m.drivers[1].guid->Data1, 0x12345678u);
  EXPECT_EQ(m.drivers[1].guid->Data4[7], 0x88);
  EXPECT_EQ(m.drivers[1].probeCreateResult, -1);
  ASSERT_EQ(m.soundDevices.size(), 2u);
  EXPECT_FALSE(m.soundDevices[0].guid);
  EXPECT_EQ(m.soundDevices[1].eaxSupport, 3u);
  EXPECT_EQ(m.soundDevices[1].maxHw3DAllBuffers, 32u);
  EXPECT_TRUE(m.glide.library);
  EXPECT_EQ(m.glide.fbRam, 8);
  EXPECT_TRUE(m.glide.sliDetect);
  EXPECT_EQ(m.glide.boardType, 3);
  EXPECT_EQ(m.glide.missingExports.count("_grSstSelect@4"), 1u);
  EXPECT_EQ(m.installPath, std::optional<std::string>("C:\\Games\\Halcyra"));
}

TEST(Profile, EmptyProfileIsAnEmptyMachine) {
  const auto result = sim::ParseMachineProfile("", "empty.toml");
  ASSERT_TRUE(result.machine);
  EXPECT_TRUE(result.machine->drivers.empty());
  EXPECT_FALSE(result.machine->glide.library);
  EXPECT_FALSE(result.machine->installPath);
}

struct BadProfile {
  const char* name;
  friend std::ostream& operator<<(std::ostream& os, const BadProfile& c) { return os << c.name; }
  const char* text;
  std::uint32_t line;
  const char* key;
  const char* words;  // part of the message
};

class ProfileErrors : public ::testing::TestWithParam<BadProfile> {};

TEST_P(ProfileErrors, RefusedWithFileLineAndKey) {
  const BadProfile& bad = GetParam();
  const auto result = sim::ParseMachineProfile(bad.text, "bad.toml");
  ASSERT_TRUE(result.error);
  EXPECT_FALSE(result.machine);
  EXPECT_EQ(result.error->file, "bad.toml");
  EXPECT_EQ(result.error->line, bad.line) << result.error->ToString();
  EXPECT_EQ(result.error->key, bad.key) << result.error->ToString();
  EXPECT_NE(result.error->message.find(bad.words), std::string::npos) << result.error->ToString();
  EXPECT_EQ(result.error->ToString().rfind("bad.toml:" + std::to_string(bad.line) + ": ", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileErrors,
    ::testing::Values(
        BadProfile{"Syntax", "[glide]\nfb_ram = = 4\n", 2, "", ""},
        BadProfile{"UnknownTopLevel", "[machine]\nname = \"x\"\n\n[sound]\n", 4, "sound", "unknown key"},
        BadProfile{"UnknownNestedKey", "[[directdraw.driver]]\ndescription = \"x\"\nmodez = []\n", 3,
                   "directdraw.driver[0].modez", "unknown key"},
        BadProfile{"UnknownDeviceKey",
                   "[[directdraw.driver]]\n[[directdraw.driver.device]]\nguid = \"hal\"\nflags = 1\n", 4,
                   "directdraw.driver[0].device[0].flags", "unknown key"},
        BadProfile{"WrongType", "[glide]\nsli = 1\n", 2, "glide.sli", "true or false"},
        BadProfile{"SliOnARush", "[glide]\nboard_type = \"sst96\"\nsli = true\n", 3, "glide.sli", "voodoo2"},
        BadProfile{"WrongTypeString", "[[directsound.device]]\ndescription = 5\n", 2,
                   "directsound.device[0].description", "string"},
        BadProfile{"OutOfRange", "[glide]\nfb_ram = 65\n", 2, "glide.fb_ram", "out of range"},
        BadProfile{"NegativeCount", "[[directsound.device]]\nhw_3d_buffers = -1\n", 2,
                   "directsound.device[0].hw_3d_buffers", "out of range"},
        BadProfile{"ResultTooLarge", "[directdraw]\nenumerate_result = 0x100000000\n", 2,
                   "directdraw.enumerate_result", "out of range"},
        BadProfile{"BadResultName", "[directsound]\nenumerate_result = \"nope\"\n", 2,
                   "directsound.enumerate_result", "unknown result"},
        BadProfile{"BadGuid", "[[directdraw.driver]]\nguid = \"{1234}\"\n", 2, "directdraw.driver[0].guid", "GUID"},
        BadProfile{"DeviceWithoutGuid", "[[directdraw.driver]]\n[[directdraw.driver.device]]\nname = \"x\"\n", 2,
                   "directdraw.driver[0].device[0].guid", "missing"},
        BadProfile{"BadMode", "[[directdraw.driver]]\nmodes = [\"640x480\"]\n", 2, "directdraw.driver[0].modes[0]",
                   "WIDTHxHEIGHTxDEPTH"},
        BadProfile{"ZeroSizedMode", "[[directdraw.driver]]\nmodes = [\"0x0x16\"]\n", 2,
                   "directdraw.driver[0].modes[0]", "width and height of 1 to 65535"},
        BadProfile{"NegativeModeWidth", "[[directdraw.driver]]\nmodes = [\"-640x480x16\"]\n", 2,
                   "directdraw.driver[0].modes[0]", "WIDTHxHEIGHTxDEPTH"},
        BadProfile{"ModeTableDepth", "[[directdraw.driver]]\nmodes = [{ width = 640, height = 480, depth = 15 }]\n",
                   2, "directdraw.driver[0].modes[0].depth", "8, 16, 24 or 32"},
        BadProfile{"ModeTableWithoutHeight", "[[directdraw.driver]]\nmodes = [{ width = 640, depth = 16 }]\n", 2,
                   "directdraw.driver[0].modes[0]", "missing"},
        BadProfile{"BadModeDepth", "[[directdraw.driver]]\nmodes = [\"640x480x15\"]\n", 2,
                   "directdraw.driver[0].modes[0]", "depth"},
        BadProfile{"UnknownTextureFormat",
                   "[[directdraw.driver]]\n[[directdraw.driver.device]]\nguid = \"hal\"\ntexture_formats = "
                   "[\"565\", \"dxt9\"]\n",
                   4, "directdraw.driver[0].device[0].texture_formats[1]", "unknown texture format"},
        BadProfile{"BadRenderDepth",
                   "[[directdraw.driver]]\n[[directdraw.driver.device]]\nguid = \"hal\"\nrender_depths = [15]\n", 4,
                   "directdraw.driver[0].device[0].render_depths", "depth"},
        BadProfile{"UnknownExport", "[glide]\nmissing_exports = [\"grSstSelect\"]\n", 2, "glide.missing_exports[0]",
                   "_grSstSelect@4"},
        BadProfile{"TwoDefaultDrivers", "[[directdraw.driver]]\n[[directdraw.driver]]\n", 2,
                   "directdraw.driver[1].guid", "without GUID"},
        BadProfile{"DuplicateSoundGuid",
                   "[[directsound.device]]\nguid = \"{00000001-0002-0003-0405-060708090A0B}\"\n"
                   "[[directsound.device]]\nguid = \"{00000001-0002-0003-0405-060708090A0B}\"\n",
                   3, "directsound.device[1].guid", "already used"},
        BadProfile{"DriverNotATable", "[directdraw]\ndriver = 3\n", 2, "directdraw.driver", "array of tables"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Profile, MissingFileIsRefused) {
  const auto result = sim::LoadMachineProfile("/nonexistent/machine.toml");
  ASSERT_TRUE(result.error);
  EXPECT_EQ(result.error->file, "/nonexistent/machine.toml");
}

// Inventories worked out by hand from the profiles: software and null
// devices make no record, the later driver comes first, modes below
// 640 x 480, under 16 bits or at a depth the device cannot render are left
// out, a device needs a second texture format to be fit, EAX needs both
// support bits, and Glide gets 800 x 600 above 2 MB and 1024 x 768 above
// 4 MB or with SLI (modes are listed last-found first).
TEST(ShippedProfiles, InventoriesAsWorkedOutFromTheProfiles) {
  const std::string hal = "d3d " + std::to_string(dx::IID_IDirect3DHALDevice.Data1) + " | ";
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"reference.toml",
       {hal + "3dfx Voodoo2 SLI 3D Accelerator | pal=0 565=1 formats=22 depths=400 fit=0 | 640x480x16 800x600x16 "
              "1024x768x16",
        hal + "Primary Display Driver | pal=2 565=1 formats=3b depths=500 fit=1 | 640x480x16 640x480x32 800x600x16 "
              "800x600x32 1024x768x16 1024x768x32 1280x1024x16",
        "sound 3785618116 | SB Live! Wave Device | buffers=32 eax=1 |",
        "sound 2101058080 | Aureal Vortex AU8820 | buffers=8 eax=0 |",
        "glide | | present=1 | 1024x768 800x600 640x480"}},
      {"i740_voodoo2_vortex.toml",
       {hal + "3Dfx Interactive Voodoo2 | pal=2 565=1 formats=2f depths=400 fit=1 | 640x480x16 800x600x16",
        hal + "Primary Display Driver | pal=2 565=1 formats=2b depths=400 fit=1 | 640x480x16 800x600x16 1024x768x16 "
              "1152x864x16 1280x1024x16 1600x1200x16",
        "sound 2101058080 | Aureal Vortex AU8820 | buffers=8 eax=0 |", "glide | | present=1 | 800x600 640x480"}},
      {"wine.toml",
       {hal + "Wine display adapter | pal=0 565=1 formats=3a depths=700 fit=1 | 640x480x16 640x480x32 800x600x16 "
              "800x600x32 1024x768x16 1024x768x32 1280x1024x16 1280x1024x32 1920x1080x16 1920x1080x32",
        hal + "DirectDraw HAL | pal=0 565=1 formats=3a depths=700 fit=1 | 640x480x16 640x480x32 800x600x16 800x600x32 "
              "1024x768x16 1024x768x32 1280x1024x16 1280x1024x32 1600x1200x16 1600x1200x32 1920x1080x16 1920x1080x32",
        "sound 3178092314 | Speakers (Built-in Audio Analog Stereo) | buffers=0 eax=0 |", "glide | | present=0 |"}}};
  for (const auto& [name, expected] : cases) {
    const auto profile = sim::LoadMachineProfile(test::ProfilesDir() + "/" + name);
    ASSERT_TRUE(profile.machine) << name;
    test::Bench bench(*profile.machine);
    auto glide = bench.ProbeGlide();
    EXPECT_EQ(test::Describe(bench.Inventory(), glide.get()), expected) << name;
  }
}

// halcyra-setup carries the reference machine as code made at build time:
// it is the machine the profile describes, field for field.
TEST(ShippedProfiles, BuiltInReferenceMachineIsTheProfile) {
  const auto profile = sim::LoadMachineProfile(test::ProfilesDir() + "/reference.toml");
  ASSERT_TRUE(profile.machine);
  EXPECT_TRUE(term::ReferenceMachine() == *profile.machine);
}

}  // namespace

namespace {

// The complete example in the format's documentation stays a valid profile.
TEST(ProfileDocumentation, CompleteExampleIsAccepted) {
  std::ifstream doc(std::string(HALCYRA_DOCS_DIR) + "/machine-profiles.md");
  ASSERT_TRUE(doc) << "docs/machine-profiles.md not found";
  const std::string text((std::istreambuf_iterator<char>(doc)), std::istreambuf_iterator<char>());
  const std::size_t start = text.find("```toml\n");
  ASSERT_NE(start, std::string::npos);
  const std::size_t end = text.find("```", start + 8);
  ASSERT_NE(end, std::string::npos);
  const auto result = sim::ParseMachineProfile(text.substr(start + 8, end - start - 8), "machine-profiles.md");
  ASSERT_FALSE(result.error) << result.error->ToString();
  EXPECT_EQ(result.machine->drivers.size(), 2u);
  EXPECT_EQ(result.machine->soundDevices.size(), 2u);
  EXPECT_TRUE(result.machine->glide.library);
}

}  // namespace
