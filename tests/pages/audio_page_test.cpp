// The "Audio Selections" page: the device list, the EAX box and the voice
// counts, through halcyra-sim.
#include <gtest/gtest.h>

#include "harness.h"
#include "machines.h"

namespace pages_test {
namespace {

using Lines = std::vector<std::string>;

std::string SoundDevice(const char* guid, const char* description, int buffers, int eaxSupport) {
  return std::string("[[directsound.device]]\nguid = \"") + guid + "\"\ndescription = \"" + description +
         "\"\nhw_3d_buffers = " + std::to_string(buffers) + "\neax_support = " + std::to_string(eaxSupport) + "\n";
}

const std::string kDefaultEntry = "[[directsound.device]]\ndescription = \"Primary Sound Driver\"\n";
const std::string kLive = SoundDevice("{00000021-0000-0000-0000-000000000001}", "SB Live! Wave Device", 32, 3);
const std::string kVortex = SoundDevice("{00000022-0000-0000-0000-000000000002}", "Aureal Vortex", 16, 1);

std::string Machine(const std::string& sound) { return std::string(HALCYRA_FIT_DRIVER) + sound; }

struct EaxCase {
  const char* name;
  friend std::ostream& operator<<(std::ostream& os, const EaxCase& c) { return os << c.name; }
  std::string sound;
  const char* stored;  // EnableAcoustics line or ""
  const char* script;  // after "tab 1"
  int checked;
  bool enabled;
  const char* voices;
  const char* saved;
};

class EaxBox : public ::testing::TestWithParam<EaxCase> {};

TEST_P(EaxBox, ShowsTheDevicesSupportAndKeepsTheFlag) {
  const EaxCase& c = GetParam();
  Install install;
  install.options = *c.stored ? Ini({"[Sound]", c.stored}) : std::string();
  const Outcome run = RunSetup(Machine(c.sound), install, std::string("tab 1\n") + c.script + "dump\nok\n");
  ASSERT_EQ(run.status, 0) << run.errors;
  const Dump& page = run.dumps.back();
  EXPECT_EQ(page.at(res::IDC_EAX).checked, c.checked);
  EXPECT_EQ(page.at(res::IDC_EAX).enabled, c.enabled);
  EXPECT_EQ(page.at(res::IDC_VOICES).text, c.voices);
  EXPECT_EQ(page.at(res::IDC_3D_VOICES).text, c.voices);
  EXPECT_EQ(run.Value("Sound", "EnableAcoustics"), c.saved);
}

INSTANTIATE_TEST_SUITE_P(
    AudioPage, EaxBox,
    ::testing::Values(
        EaxCase{"EaxDeviceFlagSet", kDefaultEntry + kLive, "", "", 1, true, "32", "1"},
        EaxCase{"EaxDeviceFlagClear", kLive, "EnableAcoustics=0", "", 0, true, "32", "0"},
        // Without EAX the box is cleared and disabled, and the flag is saved as it was.
        EaxCase{"NoEaxFlagSet", kVortex, "EnableAcoustics=1", "", 0, false, "16", "1"},
        EaxCase{"ClickClears", kLive, "", "click 1015\n", 0, true, "32", "0"},
        EaxCase{"ClickSets", kLive, "EnableAcoustics=0", "click 1015\n", 1, true, "32", "1"},
        EaxCase{"TwoClicks", kLive, "EnableAcoustics=0", "click 1015\nclick 1015\n", 0, true, "32", "0"},
        // Choosing another device changes nothing on the page.
        EaxCase{"OtherDeviceChangesNothing", kVortex + kLive, "", "select 1014 1\ntype 1014 x\n", 0, false, "16", "1"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(AudioPage, ListsDevicesInEnumerationOrderWithoutTheDefaultEntry) {
  const std::string sound = kDefaultEntry + SoundDevice("{00000031-0000-0000-0000-000000000001}", "Zeta", 4, 0) +
                            SoundDevice("{00000032-0000-0000-0000-000000000002}", "Alpha", 8, 3);
  const Outcome run = RunSetup(Machine(sound), Install{}, "tab 1\ndump\n");
  const Dump& page = run.dumps.at(0);
  EXPECT_EQ(page.at(res::IDC_SOUND_DEVICE).items, (Lines{"Zeta", "Alpha"}));
  EXPECT_EQ(page.at(res::IDC_SOUND_DEVICE).current, 0);
  EXPECT_EQ(page.at(res::IDC_SOUND_DEVICE).text, "Zeta");
  EXPECT_EQ(page.at(res::IDC_VOICES).text, "4");
  EXPECT_FALSE(page.at(res::IDC_EAX).enabled);
}

TEST(AudioPage, ThePreferredNameInAnyCaseIsSelectedAndShown) {
  const std::string sound = SoundDevice("{00000041-0000-0000-0000-000000000001}", "First", 1, 0) +
                            SoundDevice("{00000042-0000-0000-0000-000000000002}", "Second", 2, 0) +
                            SoundDevice("{00000043-0000-0000-0000-000000000003}", "hELLo", 24, 3);
  const Outcome run = RunSetup(Machine(sound), Install{}, "tab 1\ndump\n");
  const Dump& page = run.dumps.at(0);
  EXPECT_EQ(page.at(res::IDC_SOUND_DEVICE).current, 2);
  EXPECT_EQ(page.at(res::IDC_SOUND_DEVICE).text, "hELLo");
  EXPECT_EQ(page.at(res::IDC_VOICES).text, "24");
  EXPECT_EQ(page.at(res::IDC_EAX).checked, 1);
}

TEST(AudioPage, NoSoundDevicesLeavesThePageAsTheTemplateHasIt) {
  Install install;
  install.options = Ini({"[Sound]", "EnableAcoustics=0"});
  const Outcome run = RunSetup(Machine(kDefaultEntry), install, "tab 1\ndump\nclick 1015\nok\n");
  const Dump& page = run.dumps.at(0);
  EXPECT_EQ(page.at(res::IDC_SOUND_DEVICE).items, Lines{});
  EXPECT_EQ(page.at(res::IDC_SOUND_DEVICE).current, -1);
  EXPECT_TRUE(page.at(res::IDC_EAX).enabled);
  EXPECT_EQ(page.at(res::IDC_EAX).checked, 0);
  EXPECT_EQ(page.at(res::IDC_VOICES).text, "");
  EXPECT_EQ(page.at(res::IDC_3D_VOICES).text, "");
  // The box still works on the flag.
  EXPECT_EQ(run.Value("Sound", "EnableAcoustics"), "1");
}

TEST(AudioPage, ComingBackNeitherRefillsNorResets) {
  const Outcome run = RunSetup(Machine(kLive + kVortex), Install{}, "tab 1\nclick 1015\ntab 0\ntab 1\ndump\n");
  const Dump& page = run.dumps.at(0);
  EXPECT_EQ(page.at(res::IDC_SOUND_DEVICE).items, (Lines{"SB Live! Wave Device", "Aureal Vortex"}));
  EXPECT_EQ(page.at(res::IDC_EAX).checked, 0);
}

}  // namespace
}  // namespace pages_test
