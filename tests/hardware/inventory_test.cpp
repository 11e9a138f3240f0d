// The inventory object: construction order and progress codes, lookups by
// index and GUID, and the teardown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sim_support.h"

using namespace halcyra;

namespace {

using test::Bench;
using test::Guid;
using test::HalDevice;
using test::MakeDriver;
using test::Sound;

sim::Machine ThreeRecordsTwoSounds() {
  sim::Machine machine;
  machine.drivers.push_back(MakeDriver(Guid(0xA), "Driver A",
                                       {HalDevice(Guid(0xA1), {"pal8"}), HalDevice(Guid(0xA2), {"565", "1555"})}));
  machine.drivers.push_back(MakeDriver(Guid(0xB), "Driver B", {HalDevice(Guid(0xB1), {"565"})}));
  machine.soundDevices.push_back(Sound(std::nullopt, "Primary Sound Driver"));
  machine.soundDevices.push_back(Sound(Guid(0x51), "Card One", 3));
  machine.soundDevices.push_back(Sound(Guid(0x52), "Card Two", 1));
  return machine;
}

// The codes come in stage order, and each stage's calls after its code: the
// first driver call after 200, the probe after 300, sound last.
TEST(Progress, CodesAndStagesInOrder) {
  sim::Machine machine = ThreeRecordsTwoSounds();
  // A driver whose only device is software still reports its 100.
  machine.drivers.push_back(MakeDriver(Guid(0xC), "Driver C", {test::SoftwareDevice(dx::IID_IDirect3DRGBDevice)}));
  Bench bench(machine);
  EXPECT_EQ(bench.Progress(), (std::vector<std::int32_t>{200, 100, 100, 100, 300, 400, 500, 500, 500}));
  const auto names = bench.Machine().CallNames();
  auto first = [&](const std::string& name) {
    return std::find(names.begin(), names.end(), name) - names.begin();
  };
  EXPECT_EQ(first("DirectDrawEnumerateExA"), 0);
  // The drivers are enumerated with all three device flags.
  EXPECT_EQ(bench.Machine().Calls().front().detail, "flags 0x7");
  EXPECT_LT(first("IDirect3DDevice3::EnumTextureFormats"), first("DirectSoundEnumerateA"));
  EXPECT_EQ(names.back(), "IDirectSound::Release");
}

TEST(Progress, NullCallbackGivesTheSameInventory) {
  sim::SimulatedMachine machine(ThreeRecordsTwoSounds());
  machine.Install();
  HardwareInventory quiet(nullptr);
  EXPECT_EQ(quiet.progress, &NoProgress);
  Bench loud(ThreeRecordsTwoSounds());
  EXPECT_EQ(test::Describe(quiet, nullptr), test::Describe(loud.Inventory(), nullptr));
  // Worked out by hand (three_records_two_sounds.txt): Driver B's only
  // device has 565 without 1555, so neither counts; Driver A's paletted
  // device is fit, its 565/1555 one lacks a second format; Card Two reports
  // only one EAX support bit.
  EXPECT_EQ(test::Describe(quiet, nullptr),
            test::Lines(test::Read(std::string(HALCYRA_TEST_DATA_DIR) + "/three_records_two_sounds.txt")));
  machine.Uninstall();
}

TEST(Lookup, ByIndexOnBothLists) {
  Bench bench(ThreeRecordsTwoSounds());
  const HardwareInventory& inventory = bench.Inventory();
  ASSERT_EQ(inventory.GetDisplayDriverCount(), 3);
  ASSERT_EQ(inventory.GetSoundDeviceCount(), 2);
  struct Case {
    std::int32_t index;
    const DisplayDriverRecord* display;
    const SoundDeviceRecord* sound;
  } cases[] = {
      {-5, inventory.displayDrivers, inventory.soundDevices},
      {-1, inventory.displayDrivers, inventory.soundDevices},
      {0, inventory.displayDrivers, inventory.soundDevices},
      {1, inventory.displayDrivers->next, inventory.soundDevices->next},
      {2, inventory.displayDrivers->next->next, nullptr},
      {3, nullptr, nullptr},
      {1000, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(inventory.GetDisplayDriver(c.index), c.display) << c.index;
    EXPECT_EQ(inventory.GetSoundDevice(c.index), c.sound) << c.index;
  }
}

// Lookups after the list changed follow the list as it is now, and a count
// above the records the list holds yields null past its end.
TEST(Lookup, ByIndexFollowsAChangedList) {
  DisplayDriverRecord third{}, second{}, first{};
  first.next = &second;
  second.next = &third;
  sim::SimulatedMachine machine(sim::Machine{});
  machine.Install();
  HardwareInventory inventory(nullptr);
  inventory.displayDrivers = &first;
  inventory.displayDriverCount = 2;
  EXPECT_EQ(inventory.GetDisplayDriver(1), &second);
  EXPECT_EQ(inventory.GetDisplayDriver(2), nullptr);
  inventory.displayDriverCount = 3;
  EXPECT_EQ(inventory.GetDisplayDriver(2), &third);
  inventory.displayDrivers = &second;
  EXPECT_EQ(inventory.GetDisplayDriver(1), &third);
  EXPECT_EQ(inventory.GetDisplayDriver(2), nullptr);
  inventory.displayDrivers = nullptr;
  inventory.displayDriverCount = 0;
  machine.Uninstall();
}

TEST(Lookup, ByGuidFindsTheRecordNearestTheHead) {
  Bench bench(ThreeRecordsTwoSounds());
  const HardwareInventory& inventory = bench.Inventory();
  // Driver A's records are second and third; the second is returned.
  EXPECT_EQ(inventory.FindDisplayDriver(Guid(0xA)), inventory.GetDisplayDriver(1));
  EXPECT_EQ(inventory.FindDisplayDriver(Guid(0xB)), inventory.GetDisplayDriver(0));
  // Only the driver GUID counts, not the device's.
  EXPECT_EQ(inventory.FindDisplayDriver(Guid(0xA2)), nullptr);
  EXPECT_EQ(inventory.FindDisplayDriver(dx::GUID{}), nullptr);

  char* copy = inventory.CopyDisplayDriverDescription(Guid(0xA));
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "Driver A");
  EXPECT_NE(copy, inventory.GetDisplayDriver(1)->description);
  delete[] copy;
  EXPECT_EQ(inventory.CopyDisplayDriverDescription(Guid(0x99)), nullptr);
}

TEST(Judge, RecomputesFitOnEveryRecordWithinTheCount) {
  DisplayDriverRecord second{};
  second.palettedTextures = 1;
  second.has565Textures = 1;
  second.textureFormats = TEXFMT_8BIT;
  DisplayDriverRecord first{};
  first.next = &second;
  first.fit = 1;  // stale: nothing probed
  sim::SimulatedMachine machine(sim::Machine{});
  machine.Install();
  HardwareInventory inventory(nullptr);
  inventory.displayDrivers = &first;
  inventory.displayDriverCount = 2;
  inventory.JudgeDisplayDrivers();
  EXPECT_EQ(first.fit, 0);
  EXPECT_EQ(second.fit, 1);
  EXPECT_EQ(second.palettedTextures, 2u);
  // Only the first displayDriverCount records are judged.
  second.fit = 0;
  inventory.displayDriverCount = 1;
  inventory.JudgeDisplayDrivers();
  EXPECT_EQ(second.fit, 0);
  inventory.displayDrivers = nullptr;
  inventory.displayDriverCount = 0;
  machine.Uninstall();
}

// The store hands out memory that no other piece overlaps, aligned for its
// type and zeroed, across many blocks and for a text larger than a block.
TEST(RecordStore, PiecesAreSeparateAlignedAndZeroed) {
  RecordStore store;
  std::vector<DisplayModeRecord*> modes;
  std::vector<char*> texts;
  const std::string large(300 * 1024, 'L');
  for (int i = 0; i < 20000; ++i) {
    DisplayModeRecord* mode = store.Make<DisplayModeRecord>();
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(mode) % alignof(DisplayModeRecord), 0u);
    EXPECT_EQ(mode->next, nullptr);
    EXPECT_EQ(mode->pixelFormat.dwRGBBitCount, 0u);
    mode->width = static_cast<std::uint32_t>(i);
    modes.push_back(mode);
    texts.push_back(store.CopyText(i == 5000 ? std::string_view(large) : std::to_string(i)));
  }
  for (int i = 0; i < 20000; ++i) {
    EXPECT_EQ(modes[static_cast<std::size_t>(i)]->width, static_cast<std::uint32_t>(i));
    EXPECT_EQ(texts[static_cast<std::size_t>(i)], i == 5000 ? large : std::to_string(i));
  }
}

// Nothing of the platform is held after construction: the records stay
// readable once the machine is gone. Teardown releases every record, mode
// and text with the inventory's store (the asan preset reports anything
// left), also of records whose texts are missing.
TEST(Teardown, InventoryOutlivesThePlatformAndReleasesEverything) {
  HardwareInventory* inventory = nullptr;
  {
    sim::SimulatedMachine machine(ThreeRecordsTwoSounds());
    machine.Install();
    inventory = new HardwareInventory(nullptr);
    EXPECT_TRUE(machine.ReleaseProblems().empty());
    machine.Uninstall();
  }
  EXPECT_STREQ(inventory->GetDisplayDriver(0)->description, "Driver B");
  EXPECT_STREQ(inventory->GetSoundDevice(0)->description, "Card One");
  ASSERT_NE(inventory->GetDisplayDriver(1)->modes, nullptr);
  // The store owns the texts, so the pointers are only cleared: lookups cope.
  DisplayDriverRecord* record = inventory->GetDisplayDriver(1);
  record->ddGuidText = nullptr;
  record->description = nullptr;
  inventory->GetSoundDevice(1)->description = nullptr;
  EXPECT_EQ(inventory->CopyDisplayDriverDescription(Guid(0xA)), nullptr);
  EXPECT_NE(test::Describe(*inventory, nullptr)[1].find("| (none) |"), std::string::npos);
  delete inventory;
}

TEST(Platform, WithoutAnyPlatformTheInventoryIsEmpty) {
  HardwareInventory inventory(nullptr);
  EXPECT_EQ(inventory.GetDisplayDriverCount(), 0);
  EXPECT_EQ(inventory.GetSoundDeviceCount(), 0);
  for (const std::int32_t index : {-1, 0}) {
    EXPECT_EQ(inventory.GetDisplayDriver(index), nullptr) << index;
    EXPECT_EQ(inventory.GetSoundDevice(index), nullptr) << index;
  }
  GlideBoardInfo glide;
  EXPECT_FALSE(glide.HasGlideBoard());
}

}  // namespace
