// Sound device probing with the EAX test, and Glide board detection.
#include <gtest/gtest.h>

#include <ostream>

#include "hardware/glide_library.h"
#include "hardware/sound_probe.h"
#include "sim_support.h"
#include "tests/settings/case_file.h"

using namespace halcyra;

namespace {

using test::Bench;
using test::Guid;
using test::Sound;

// The default entry is opened but not listed and its caps are not asked
// for; a listed device keeps its caps. (Order, buffers and EAX findings are
// the worked-out inventory's of inventory_test.cpp.)
TEST(SoundProbe, DefaultEntryUnlistedAndCapsKept) {
  sim::Machine machine;
  machine.soundDevices.push_back(Sound(std::nullopt, "Primary Sound Driver", 3));
  machine.soundDevices.push_back(Sound(Guid(0x51), "Card A", 3));
  machine.soundDevices[1].totalHwMemBytes = 2 << 20;
  Bench bench(machine);
  ASSERT_EQ(bench.Inventory().GetSoundDeviceCount(), 1);
  EXPECT_EQ(bench.CountCalls("DirectSoundCreate"), 2u);
  EXPECT_EQ(bench.CountCalls("IDirectSound::GetCaps"), 1u);
  EXPECT_TRUE(bench.Machine().ReleaseProblems().empty());
  EXPECT_EQ(bench.Inventory().GetSoundDevice(0)->hardwareMemoryBytes, 2u << 20);
}

// What the EAX property set reports, and the EAX finding.
TEST(SoundProbe, EaxNeedsBothSupportBits) {
  const struct {
    dx::ULONG support;
    bool eax;
  } cases[] = {{0, false}, {1, false}, {2, false}, {3, true}, {7, true}, {5, false}, {0xFFFFFFFF, true}};
  for (const auto& c : cases) {
    sim::Machine machine;
    machine.soundDevices.push_back(Sound(Guid(0x51), "Card", c.support));
    Bench bench(machine);
    ASSERT_EQ(bench.Inventory().GetSoundDeviceCount(), 1);
    EXPECT_EQ(bench.Inventory().soundDevices->eaxSupported != 0, c.eax) << c.support;
  }
}

// Each failing step of the EAX test gives "no EAX" but keeps the device;
// a positive DirectSound result is a success.
TEST(SoundProbe, EaxStepFailuresKeepTheRecord) {
  using Setter = void (*)(sim::SoundDevice&);
  const struct {
    Setter set;
    bool eax;
  } cases[] = {
      {[](sim::SoundDevice& d) { d.createBufferResult = dx::E_FAIL; }, false},
      {[](sim::SoundDevice& d) { d.query3DBufferResult = dx::E_NOINTERFACE; }, false},
      {[](sim::SoundDevice& d) { d.queryPropertySetResult = dx::E_NOINTERFACE; }, false},
      {[](sim::SoundDevice& d) { d.querySupportResult = dx::E_FAIL; }, false},
      {[](sim::SoundDevice& d) { d.createBufferResult = 1; }, true},
      {[](sim::SoundDevice& d) { d.querySupportResult = 1; }, true},
  };
  for (const auto& c : cases) {
    sim::Machine machine;
    machine.soundDevices.push_back(Sound(Guid(0x51), "Card", 3));
    c.set(machine.soundDevices[0]);
    Bench bench(machine);
    ASSERT_EQ(bench.Inventory().GetSoundDeviceCount(), 1);
    EXPECT_EQ(bench.Inventory().soundDevices->eaxSupported != 0, c.eax);
    EXPECT_TRUE(bench.Machine().ReleaseProblems().empty());
  }
}

TEST(SoundProbe, DevicesThatCannotBeOpenedOrQueriedAreSkipped) {
  sim::Machine machine;
  machine.soundDevices.push_back(Sound(Guid(0x51), "Will not open"));
  machine.soundDevices.push_back(Sound(Guid(0x52), "No caps"));
  machine.soundDevices.push_back(Sound(Guid(0x53), "Fine"));
  machine.soundDevices[0].createResult = dx::E_FAIL;
  machine.soundDevices[1].capsResult = dx::E_FAIL;
  Bench bench(machine);
  ASSERT_EQ(bench.Inventory().GetSoundDeviceCount(), 1);
  EXPECT_STREQ(bench.Inventory().soundDevices->description, "Fine");
  // Opened devices report, whether listed or not.
  EXPECT_EQ(bench.Progress(), (std::vector<std::int32_t>{200, 300, 400, 500, 500}));
}

TEST(SoundProbe, TestBufferIsAStatic3DBufferOf44kStereo) {
  sim::Machine machine;
  machine.soundDevices.push_back(Sound(Guid(0x51), "Card", 3));
  Bench bench(machine);
  std::vector<std::string> eax;
  for (const auto& call : bench.Machine().Calls()) {
    if (call.sound == 0 && call.name != "DirectSoundCreate") eax.push_back(call.name + " " + call.detail);
  }
  ASSERT_EQ(eax.size(), 9u);
  EXPECT_EQ(eax[0], "IDirectSound::GetCaps size 96");
  EXPECT_EQ(eax[1], "IDirectSound::CreateSoundBuffer size 36 flags 0x12 bytes 128 format 1/2/44100/176400/4/16");
  EXPECT_EQ(eax[2], "IDirectSoundBuffer::QueryInterface {279AFA86-4981-11CE-A521-0020AF0BE560}");
  EXPECT_EQ(eax[3], "IDirectSound3DBuffer::QueryInterface {31EFAC30-515C-11D0-A9AA-00AA0061BE93}");
  EXPECT_EQ(eax[4], "IKsPropertySet::QuerySupport {4A4E6FC1-C341-11D1-B73A-444553540000} id 0");
  // Released in the order property set, 3D buffer, buffer, then the device.
  EXPECT_EQ(eax[5].rfind("IKsPropertySet::Release", 0), 0u);
  EXPECT_EQ(eax[6].rfind("IDirectSound3DBuffer::Release", 0), 0u);
  EXPECT_EQ(eax[7].rfind("IDirectSoundBuffer::Release", 0), 0u);
  EXPECT_EQ(eax[8].rfind("IDirectSound::Release", 0), 0u);
}

TEST(SoundProbe, EnumerationFailureKeepsWhatWasFound) {
  sim::Machine machine;
  machine.soundDevices.push_back(Sound(Guid(0x51), "Card", 3));
  machine.dsEnumerateResult = dx::E_FAIL;
  Bench bench(machine);
  EXPECT_EQ(bench.Inventory().GetSoundDeviceCount(), 1);
  EXPECT_FALSE(bench.Inventory().EnumerateSoundDevices());
  // A second run appends at the tail.
  EXPECT_EQ(bench.Inventory().GetSoundDeviceCount(), 2);
  EXPECT_STREQ(bench.Inventory().GetSoundDevice(1)->description, "Card");
}

TEST(SoundProbe, DescriptionIsACopy) {
  sim::Machine machine;
  machine.soundDevices.push_back(Sound(Guid(0x51), "Card", 3));
  sim::SimulatedMachine platform(machine);
  platform.Install();
  HardwareInventory inventory(nullptr);
  char description[] = "Temporary";
  dx::GUID guid = Guid(0x51);
  OnSoundDeviceFound(&guid, description, "mod", &inventory);
  description[0] = 'X';
  EXPECT_STREQ(inventory.GetSoundDevice(1)->description, "Temporary");
  platform.Uninstall();
}

// ---- Glide ----------------------------------------------------------------

sim::Machine GlideMachine(std::int32_t fbRam, bool sli, std::int32_t boards = 1,
                          glide::GrSstType type = glide::GR_SSTTYPE_Voodoo2, std::int32_t tmuRam = 4) {
  sim::Machine machine;
  machine.glide.library = true;
  machine.glide.numSst = boards;
  machine.glide.fbRam = fbRam;
  machine.glide.sliDetect = sli;
  machine.glide.boardType = type;
  machine.glide.tmuRam = tmuRam;
  return machine;
}

std::vector<std::string> GlideModes(const GlideBoardInfo& info) {
  std::vector<std::string> modes;
  for (const GlideModeRecord* m = info.modes; m != nullptr; m = m->next) {
    modes.push_back(std::to_string(m->width) + "x" + std::to_string(m->height) + "x" + std::to_string(m->bitsPerPixel));
  }
  return modes;
}

class GlideModesTest : public ::testing::TestWithParam<std::vector<std::string>> {};

// One case of glide_modes.tsv.
TEST_P(GlideModesTest, ModesFromFrameBufferAndSli) {
  const std::vector<std::string>& c = GetParam();
  Bench bench(GlideMachine(std::stoi(c[1]), c[2] == "1", std::stoi(c[5]), std::stoi(c[3]), std::stoi(c[4])));
  auto info = bench.ProbeGlide();
  EXPECT_TRUE(info->HasGlideBoard());
  EXPECT_EQ(GlideModes(*info), testing_support::Words(c[6]));
  EXPECT_EQ(info->modeCount, static_cast<std::int32_t>(GlideModes(*info).size()));
  EXPECT_EQ(bench.CountCalls("grGlideInit"), 1u);
  EXPECT_EQ(bench.CountCalls("grGlideShutdown"), 1u);
  EXPECT_EQ(bench.CountCalls("grSstSelect"), 0u);
  EXPECT_EQ(bench.CountCalls("FreeLibrary"), 1u);
  EXPECT_TRUE(bench.Machine().ReleaseProblems().empty());
}

INSTANTIATE_TEST_SUITE_P(Boards, GlideModesTest, ::testing::ValuesIn(testing_support::ReadCases("glide_modes.tsv", 7)),
                         [](const auto& p) { return p.param[0]; });

// The Glide probe's calls in order (calls/glide_probe.txt).
TEST(GlideProbe, CallOrder) {
  Bench bench(GlideMachine(4, false));
  bench.Machine().ClearCalls();
  auto info = bench.ProbeGlide();
  EXPECT_EQ(bench.Machine().CallNames(),
            test::Lines(test::Read(std::string(HALCYRA_TEST_DATA_DIR) + "/calls/glide_probe.txt")));
  EXPECT_EQ(bench.Machine().Calls()[0].detail, "glide2x.dll");
}

// Without a usable library or board there is no board, no mode, and Glide is
// never initialised; a loaded library is still freed, and a missing export
// stops the lookups.
TEST(GlideProbe, NoBoardCases) {
  using Setter = void (*)(sim::Machine&);
  const struct {
    const char* name;
    Setter set;
    std::size_t freed;
    std::size_t lookups;
  } cases[] = {
      {"no library", [](sim::Machine& m) { m.glide.library = false; }, 0, 0},
      {"missing _grSstQueryHardware@4",
       [](sim::Machine& m) { m.glide.missingExports = {"_grSstQueryHardware@4"}; }, 1, 1},
      {"missing _grSstQueryBoards@4",
       [](sim::Machine& m) { m.glide.missingExports = {"_grSstQueryBoards@4"}; }, 1, 2},
      {"missing _grSstSelect@4",
       [](sim::Machine& m) { m.glide.missingExports = {"_grSstSelect@4"}; }, 1, 5},
      {"no board", [](sim::Machine& m) { m.glide.numSst = 0; }, 1, 5},
  };
  for (const auto& c : cases) {
    sim::Machine machine = GlideMachine(8, true);
    c.set(machine);
    Bench bench(machine);
    auto info = bench.ProbeGlide();
    EXPECT_FALSE(info->HasGlideBoard()) << c.name;
    EXPECT_EQ(info->modeCount, 0) << c.name;
    EXPECT_EQ(info->modes, nullptr) << c.name;
    EXPECT_EQ(bench.CountCalls("grGlideInit"), 0u) << c.name;
    EXPECT_EQ(bench.CountCalls("grGlideShutdown"), 0u) << c.name;
    EXPECT_EQ(bench.CountCalls("FreeLibrary"), c.freed) << c.name;
    EXPECT_EQ(bench.CountCalls("GetProcAddress"), c.lookups) << c.name;
    EXPECT_TRUE(bench.Machine().ReleaseProblems().empty()) << c.name;
  }
}

TEST(GlideLibrary, LoadAgainKeepsTheFirstAnswer) {
  sim::Machine machine = GlideMachine(4, false);
  machine.glide.missingExports = {"_grSstSelect@4"};
  sim::SimulatedMachine platform(machine);
  platform.Install();
  {
    GlideLibrary library;
    EXPECT_EQ(library.loaded, 0);
    EXPECT_NE(library.module, nullptr);
    EXPECT_NE(library.grGlideShutdown, nullptr);
    EXPECT_EQ(library.grSstSelect, nullptr);
    // The module is held, but an entry point is missing: still not loaded.
    EXPECT_FALSE(library.Load());
    library.Unload();
    EXPECT_EQ(library.module, nullptr);
    EXPECT_EQ(library.grSstQueryHardware, nullptr);
    library.Unload();
  }
  EXPECT_TRUE(platform.ReleaseProblems().empty());
  platform.Uninstall();
}

}  // namespace
