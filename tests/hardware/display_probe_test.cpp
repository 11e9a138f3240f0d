// The display driver enumeration, device selection, mode filter and texture
// probe, checked on simulated machines.
#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <string>

#include "hardware/display_probe.h"
#include "sim_support.h"
#include "tests/settings/case_file.h"

using namespace halcyra;

namespace {

using test::Bench;
using test::Guid;
using test::HalDevice;
using test::MakeDriver;
using test::Modes;

sim::Machine TwoDrivers() {
  sim::Machine machine;
  machine.drivers.push_back(MakeDriver(Guid(0xA), "Driver A",
                                       {HalDevice(Guid(0xA1), {"pal8"}), HalDevice(Guid(0xA2), {"565", "1555", "4444"})}));
  machine.drivers.push_back(MakeDriver(Guid(0xB), "Driver B", {HalDevice(Guid(0xB1), {"565"})}));
  return machine;
}

TEST(DeviceSelection, NullAndSoftwareDevicesMakeNoRecord) {
  sim::Machine machine;
  sim::Device null_device = HalDevice(dx::IID_IDirect3DNullDevice, {"pal8"});
  machine.drivers.push_back(MakeDriver(
      Guid(1), "Card", {test::SoftwareDevice(dx::IID_IDirect3DRGBDevice), null_device, HalDevice(Guid(0x11), {"pal8"})}));
  Bench bench(machine);
  ASSERT_EQ(bench.Inventory().GetDisplayDriverCount(), 1);
  EXPECT_EQ(bench.Inventory().displayDrivers->d3dGuid, Guid(0x11));

  sim::Machine software_only;
  software_only.drivers.push_back(MakeDriver(std::nullopt, "Primary", {test::SoftwareDevice(dx::IID_IDirect3DRGBDevice)}));
  Bench none(software_only);
  EXPECT_EQ(none.Inventory().GetDisplayDriverCount(), 0);
  EXPECT_EQ(none.Inventory().displayDrivers, nullptr);
}

// A null argument of the device callback ends that driver's device
// enumeration, keeping the records made before it.
TEST(DeviceSelection, NullCallbackArgumentStopsTheDriversEnumeration) {
  for (int which = 0; which < 3; ++which) {
    sim::Device broken = HalDevice(Guid(0x12), {"pal8"});
    broken.nullGuid = which == 0;
    broken.nullHardwareDescription = which == 1;
    broken.nullSoftwareDescription = which == 2;
    sim::Machine machine;
    machine.drivers.push_back(
        MakeDriver(Guid(1), "Card", {HalDevice(Guid(0x11), {"pal8"}), broken, HalDevice(Guid(0x13), {"pal8"})}));
    Bench bench(machine);
    ASSERT_EQ(bench.Inventory().GetDisplayDriverCount(), 1) << which;
    EXPECT_EQ(bench.Inventory().displayDrivers->d3dGuid, Guid(0x11));
  }
  EXPECT_EQ(Direct3DDeviceEnumCallback(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), dx::D3DENUMRET_CANCEL);
}

// The default driver's record has the all-zero GUID and is found by it.
TEST(DeviceSelection, DefaultDriverHasZeroGuidAndItsProbeGetsAPointerToIt) {
  sim::Machine machine;
  machine.drivers.push_back(MakeDriver(std::nullopt, "Primary Display Driver", {HalDevice(dx::IID_IDirect3DHALDevice, {"pal8"})}));
  Bench bench(machine);
  const DisplayDriverRecord* record = bench.Inventory().GetDisplayDriver(0);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->ddGuid, dx::GUID{});
  EXPECT_STREQ(record->ddGuidText, "0,0,0,0,0,0,0,0,0,0,0");
  EXPECT_STREQ(record->d3dGuidText, "2229681632,18090,4559,129,111,0,0,192,32,21,110");
  EXPECT_STREQ(record->description, "Primary Display Driver");
  EXPECT_EQ(record->hardware, 1u);
  EXPECT_EQ(bench.Inventory().FindDisplayDriver(dx::GUID{}), record);
  std::vector<std::string> creates;
  for (const auto& call : bench.Machine().Calls()) {
    if (call.name == "DirectDrawCreate") creates.push_back(call.detail);
  }
  // At the enumeration the default driver comes without GUID; the probe
  // passes the record's all-zero GUID.
  EXPECT_EQ(creates, (std::vector<std::string>{"null", "{00000000-0000-0000-0000-000000000000}"}));
}

TEST(GuidText, LongestTextFitsExactly) {
  const dx::GUID all_ones{0xFFFFFFFF, 0xFFFF, 0xFFFF, {255, 255, 255, 255, 255, 255, 255, 255}};
  char text[kGuidTextMaxLength + 1];
  EXPECT_EQ(FormatGuidText(all_ones, text), kGuidTextMaxLength);
  EXPECT_STREQ(text, "4294967295,65535,65535,255,255,255,255,255,255,255,255");
  EXPECT_EQ(std::strlen(text), kGuidTextMaxLength);
}

using Row = std::vector<std::string>;
using testing_support::Words;

class ModeFilter : public ::testing::TestWithParam<Row> {};

// One case of mode_filter.tsv.
TEST_P(ModeFilter, KeepsUsableModesInEnumerationOrder) {
  const Row& c = GetParam();
  dx::DWORD depths = 0;
  for (const std::string& depth : Words(c[1])) depths |= 0x1000u >> (std::stoul(depth) / 8);  // DDBD_8 to DDBD_32
  sim::Machine machine;
  machine.drivers.push_back(MakeDriver(Guid(1), "Card", {HalDevice(Guid(0x11), {"pal8"}, depths)}, Modes(Words(c[2]))));
  Bench bench(machine);
  const DisplayDriverRecord* record = bench.Inventory().GetDisplayDriver(0);
  ASSERT_NE(record, nullptr);
  std::vector<std::string> kept;
  for (const DisplayModeRecord* m = record->modes; m != nullptr; m = m->next) {
    kept.push_back(std::to_string(m->width) + "x" + std::to_string(m->height) + "x" + std::to_string(m->depth));
  }
  EXPECT_EQ(kept, Words(c[3]));
  EXPECT_EQ(record->modeCount, static_cast<std::int32_t>(kept.size()));
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeFilter, ::testing::ValuesIn(testing_support::ReadCases("mode_filter.tsv", 4)),
                         [](const auto& p) { return p.param[0]; });

TEST(ModeFilter, FallbackModeIs565) {
  sim::Machine machine;
  machine.drivers.push_back(MakeDriver(Guid(1), "Card", {HalDevice(Guid(0x11), {"pal8"}, dx::DDBD_32)}, Modes({"800x600x16"})));
  Bench bench(machine);
  const DisplayModeRecord* mode = bench.Inventory().GetDisplayDriver(0)->modes;
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(mode->next, nullptr);
  // The simulated machine's own 16-bit mode format is 565 without alpha.
  const dx::DDPIXELFORMAT rgb565 = sim::ModePixelFormat(16);
  EXPECT_EQ(std::memcmp(&mode->pixelFormat, &rgb565, sizeof rgb565), 0);
}

class TextureProbe : public ::testing::TestWithParam<Row> {};

// One case of texture_probe.tsv: the formats a device offers, and what the
// finished record says.
TEST_P(TextureProbe, ClassifiesAndJudges) {
  const Row& c = GetParam();
  sim::Machine machine;
  machine.drivers.push_back(MakeDriver(Guid(1), "Card", {HalDevice(Guid(0x11), Words(c[1]))}));
  Bench bench(machine);
  const DisplayDriverRecord* record = bench.Inventory().GetDisplayDriver(0);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->textureFormats & ~TEXFMT_BLENDOPS, std::stoul(c[2], nullptr, 16));
  EXPECT_EQ(record->has565Textures, std::stoul(c[3]));
  EXPECT_EQ(record->palettedTextures, std::stoul(c[4]));
  EXPECT_EQ(record->fit, std::stoi(c[5]));
}

INSTANTIATE_TEST_SUITE_P(Formats, TextureProbe,
                         ::testing::ValuesIn(testing_support::ReadCases("texture_probe.tsv", 6)),
                         [](const auto& p) { return p.param[0]; });

// The classification rules on single formats, with explicit masks.
TEST(TextureFormatCallback, FirstMatchingRuleDecides) {
  struct Case {
    dx::DWORD flags, bits, r, g, b, a;
    std::uint32_t bit;
    std::uint32_t has565;
  } cases[] = {
      {dx::DDPF_RGB | dx::DDPF_ALPHAPIXELS, 16, 0xF800, 0x07E0, 0x001F, 0x8000, 0, 1},  // 565 masks win over 1555
      {dx::DDPF_RGB | dx::DDPF_ALPHAPIXELS, 16, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, TEXFMT_8888, 0},
      {dx::DDPF_LUMINANCE | dx::DDPF_ALPHAPIXELS, 16, 0xFF00, 0, 0, 0x00FF, TEXFMT_88, 0},
      {dx::DDPF_RGB, 16, 0x7C00, 0x03E0, 0x001F, 0, 0, 0},  // 555 without alpha
      {dx::DDPF_RGB | dx::DDPF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, TEXFMT_8888, 0},
      {dx::DDPF_RGB | dx::DDPF_ALPHAPIXELS, 24, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, 0},
      {dx::DDPF_ALPHAPIXELS, 8, 0xF800, 0x07E0, 0x001F, 0, TEXFMT_8BIT, 0},  // 8-bit rule before 16-bit masks
      {dx::DDPF_PALETTEINDEXED8 | dx::DDPF_ALPHAPIXELS, 16, 0xF800, 0x07E0, 0x001F, 0, TEXFMT_8BIT, 0},
  };
  for (const Case& c : cases) {
    DisplayDriverRecord record{};
    dx::DDPIXELFORMAT format{32, c.flags, 0, c.bits, c.r, c.g, c.b, c.a};
    EXPECT_EQ(TextureFormatEnumCallback(&format, &record), dx::D3DENUMRET_OK);
    EXPECT_EQ(record.textureFormats, c.bit) << std::hex << c.flags << " " << c.bits;
    EXPECT_EQ(record.has565Textures, c.has565) << std::hex << c.flags << " " << c.bits;
  }
}

TEST(TextureProbe, BlendOpsBitFromTextureOpCaps) {
  const dx::DWORD caps[] = {0, dx::D3DTEXOPCAPS_SELECTARG2, dx::D3DTEXOPCAPS_MODULATE, 0x2 | 0x10};
  const bool expected[] = {false, true, true, false};
  for (int i = 0; i < 4; ++i) {
    sim::Machine machine;
    sim::Device device = HalDevice(Guid(0x11), {"pal8"});
    device.textureOpCaps = caps[i];
    machine.drivers.push_back(MakeDriver(Guid(1), "Card", {device}));
    Bench bench(machine);
    EXPECT_EQ((bench.Inventory().GetDisplayDriver(0)->textureFormats & TEXFMT_BLENDOPS) != 0, expected[i]) << i;
  }
}

// A failed texture enumeration keeps what its callbacks found and does not
// clear has565Textures; a positive result counts as failure too.
TEST(TextureProbe, EnumerationErrorKeeps565) {
  for (dx::HRESULT result : {dx::E_FAIL, 1}) {
    sim::Machine machine;
    sim::Device device = HalDevice(Guid(0x11), {"565", "4444"});
    device.enumTextureFormatsResult = result;
    machine.drivers.push_back(MakeDriver(Guid(1), "Card", {device}));
    Bench bench(machine);
    const DisplayDriverRecord* record = bench.Inventory().GetDisplayDriver(0);
    EXPECT_EQ(record->has565Textures, 1u);
    EXPECT_EQ(record->textureFormats & ~TEXFMT_BLENDOPS, TEXFMT_4444);
  }
}

TEST(TextureProbe, SurfaceTriedOnEachModeUntilOneIsAccepted) {
  sim::Machine machine;
  std::vector<sim::DisplayMode> modes = {test::Mode(640, 480, 16, true), test::Mode(800, 600, 16, true),
                                         test::Mode(1024, 768, 16)};
  machine.drivers.push_back(MakeDriver(Guid(1), "Card", {HalDevice(Guid(0x11), {"pal8"})}, modes));
  Bench bench(machine);
  std::vector<std::string> attempts;
  for (const auto& call : bench.Machine().Calls()) {
    if (call.name == "IDirectDraw4::CreateSurface") attempts.push_back(call.detail);
  }
  ASSERT_EQ(attempts.size(), 3u);
  EXPECT_EQ(attempts[0], "640x480x16 size 124 flags 0x1 caps 0x2200");
  EXPECT_EQ(attempts[2], "1024x768x16 size 124 flags 0x1 caps 0x2200");
  EXPECT_EQ(bench.Inventory().GetDisplayDriver(0)->palettedTextures, 1u);

  for (auto& mode : machine.drivers[0].modes) mode.surfaceRefused = true;
  Bench refused(machine);
  const DisplayDriverRecord* record = refused.Inventory().GetDisplayDriver(0);
  EXPECT_EQ(refused.CountCalls("IDirect3D3::CreateDevice"), 0u);
  EXPECT_EQ(record->textureFormats & 0x1F, 0u);
  EXPECT_EQ(record->fit, 0);
  EXPECT_TRUE(refused.Machine().ReleaseProblems().empty());
}

// The probe's calls for one record and the order in which it releases
// (calls/texture_probe.txt).
TEST(TextureProbe, CallSequenceAndReleaseOrder) {
  sim::Machine machine;
  machine.drivers.push_back(MakeDriver(Guid(1), "Card", {HalDevice(Guid(0x11), {"pal8"})}, Modes({"640x480x16"})));
  Bench bench(machine);
  std::vector<std::string> probe;
  for (const auto& call : bench.Machine().Calls()) {
    if (call.probeOrdinal == 0) probe.push_back(call.name);
  }
  EXPECT_EQ(probe, test::Lines(test::Read(std::string(HALCYRA_TEST_DATA_DIR) + "/calls/texture_probe.txt")));
}

// Each failing step of the probe leaves the record in the list, unfit, with
// every interface released.
TEST(TextureProbe, FailedStepsLeaveAnUnfitRecord) {
  using Setter = void (*)(sim::Driver&);
  const Setter setters[] = {
      [](sim::Driver& d) { d.probeCreateResult = dx::E_FAIL; },
      [](sim::Driver& d) { d.cooperativeLevelResult = 1; },
      [](sim::Driver& d) { d.devices[0].createDeviceResult = dx::E_FAIL; },
  };
  for (const Setter set : setters) {
    sim::Machine machine;
    machine.drivers.push_back(MakeDriver(Guid(1), "Card", {HalDevice(Guid(0x11), {"pal8", "565", "1555"})}));
    set(machine.drivers[0]);
    Bench bench(machine);
    ASSERT_EQ(bench.Inventory().GetDisplayDriverCount(), 1);
    const DisplayDriverRecord* record = bench.Inventory().GetDisplayDriver(0);
    EXPECT_EQ(record->textureFormats & 0x1F, 0u);
    EXPECT_EQ(record->palettedTextures, 0u);
    EXPECT_EQ(record->has565Textures, 0u);
    EXPECT_EQ(record->fit, 0);
    EXPECT_TRUE(bench.Machine().ReleaseProblems().empty());
  }
}

// Failures while enumerating a driver pass it over without a record and
// without its progress code; a positive code is a failure as well.
TEST(DriverEnumeration, DriversThatCannotBeOpenedArePassedOver) {
  using Setter = void (*)(sim::Driver&);
  const Setter setters[] = {
      [](sim::Driver& d) { d.createResult = dx::E_FAIL; },
      [](sim::Driver& d) { d.queryDirectDraw4Result = 1; },
      [](sim::Driver& d) { d.queryDirect3DResult = dx::E_NOINTERFACE; },
  };
  for (const Setter set : setters) {
    sim::Machine machine = TwoDrivers();
    set(machine.drivers[1]);
    Bench bench(machine);
    EXPECT_EQ((std::vector<std::string>{"Driver A", "Driver A"}), bench.Records());
    EXPECT_EQ(bench.Progress(), (std::vector<std::int32_t>{200, 100, 300, 400}));
    EXPECT_TRUE(bench.Machine().ReleaseProblems().empty());
  }
}

TEST(DriverEnumeration, EnumerationResultIsIgnored) {
  sim::Machine machine = TwoDrivers();
  machine.ddEnumerateResult = dx::E_FAIL;
  machine.drivers[0].enumDevicesResult = dx::E_FAIL;
  machine.drivers[0].enumModesResult = dx::E_FAIL;
  Bench bench(machine);
  EXPECT_EQ(bench.Inventory().GetDisplayDriverCount(), 3);
}

}  // namespace
