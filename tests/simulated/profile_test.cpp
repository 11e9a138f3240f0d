// Machine profiles: what a profile sets reaches the simulated machine, bad
// profiles are refused with file, line and key, and every shipped profile
// gives an inventory that keeps the rules.
#include <gtest/gtest.h>

#include <ostream>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/hardware/sim_support.h"
#include "tests/settings/case_file.h"
#include "simulated/machine_profile.h"
#include "simulated/profile_writer.h"
#include "terminal/reference_profile.h"

using namespace halcyra;

namespace {

TEST(Profile, ReadsEverySection) {
  const auto result = sim::LoadMachineProfile(std::string(HALCYRA_TEST_DATA_DIR) + "/every_section.toml");
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
  EXPECT_TRUE(m.elevated);
  EXPECT_EQ(m.virtualStore, std::optional<std::string>("/home/ann/VirtualStore"));
  EXPECT_EQ(m.programFolder, std::optional<std::string>("/opt/Program Files/Halcyra"));
  // Written back, the user reads the same.
  const auto again = sim::ParseMachineProfile(sim::WriteMachineProfile(m), "again.toml");
  ASSERT_TRUE(again.machine);
  EXPECT_EQ(again.machine->elevated, m.elevated);
  EXPECT_EQ(again.machine->virtualStore, m.virtualStore);
  EXPECT_EQ(again.machine->programFiles, m.programFiles);
  EXPECT_EQ(again.machine->programFolder, m.programFolder);
}

// Text outside ASCII stands where TOML allows it: in comments and quoted
// strings of every kind, after a byte-order mark; brackets inside strings
// and arrays of arrays that open a line are no table headers.
TEST(Profile, TextOutsideAsciiInStringsAndComments) {
  const std::string text =
      "\xEF\xBB\xBF# Caf\xC3\xA9 machine [\n"
      "[machine]\n"
      "name = \"Caf\xC3\xA9 \\\" [\"\n"
      "description = '''\n"
      "[\n"
      "\xC3\xA9 '' '''\n"
      "[[directsound.device]]  # \xC3\xA9\n"
      "description = \"\"\"\xE2\x84\xA2\"\"\"\"\"\n";
  const auto result = sim::ParseMachineProfile(text, "accented.toml");
  ASSERT_TRUE(result.machine) << result.error->ToString();
  EXPECT_EQ(result.machine->name, "Caf\xC3\xA9 \" [");
  EXPECT_EQ(result.machine->description, "[\n\xC3\xA9 '' ");
  ASSERT_EQ(result.machine->soundDevices.size(), 1u);
  EXPECT_EQ(result.machine->soundDevices[0].description, "\xE2\x84\xA2\"\"");
}

TEST(Profile, EmptyProfileIsAnEmptyMachine) {
  const auto result = sim::ParseMachineProfile("", "empty.toml");
  ASSERT_TRUE(result.machine);
  EXPECT_TRUE(result.machine->drivers.empty());
  EXPECT_FALSE(result.machine->glide.library);
  EXPECT_FALSE(result.machine->installPath);
}

class ProfileErrors : public ::testing::TestWithParam<std::vector<std::string>> {};

// One case of bad_profiles.tsv: the profile, then the line, key and words of
// its refusal.
TEST_P(ProfileErrors, RefusedWithFileLineAndKey) {
  const std::vector<std::string>& bad = GetParam();
  const auto result = sim::ParseMachineProfile(bad[1], "bad.toml");
  ASSERT_TRUE(result.error);
  EXPECT_FALSE(result.machine);
  EXPECT_EQ(result.error->file, "bad.toml");
  EXPECT_EQ(result.error->line, static_cast<std::uint32_t>(std::stoul(bad[2]))) << result.error->ToString();
  EXPECT_EQ(result.error->key, bad[3]) << result.error->ToString();
  EXPECT_NE(result.error->message.find(bad[4]), std::string::npos) << result.error->ToString();
  EXPECT_EQ(result.error->ToString().rfind("bad.toml:" + bad[2] + ": ", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileErrors, ::testing::ValuesIn(testing_support::ReadCases("bad_profiles.tsv", 5)),
                         [](const auto& p) { return p.param[0]; });

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
// (inventories/NAME.txt, one line a record, for profiles/NAME.toml.)
TEST(ShippedProfiles, InventoriesAsWorkedOutFromTheProfiles) {
  std::size_t checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(HALCYRA_TEST_DATA_DIR) + "/inventories")) {
    const std::string name = entry.path().stem().string() + ".toml";
    const auto profile = sim::LoadMachineProfile(test::ProfilesDir() + "/" + name);
    ASSERT_TRUE(profile.machine) << name;
    test::Bench bench(*profile.machine);
    auto glide = bench.ProbeGlide();
    EXPECT_EQ(test::Describe(bench.Inventory(), glide.get()), test::Lines(test::Read(entry.path()))) << name;
    ++checked;
  }
  EXPECT_EQ(checked, 3u);
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
