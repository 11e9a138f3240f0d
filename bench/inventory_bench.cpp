// Building and tearing down the hardware inventory on generated machines of
// 1x, 4x and 16x size. The time should grow linearly with the machine: 16x
// the machine in at most 17x the time.
//
//   Drivers: the number of drivers and sound entries grows (1x: 8 drivers
//            with 16 hardware devices, 8 sound entries).
//   Modes:   the number of display modes per driver and of texture formats
//            per device grows (long lists within one record; 1x: 30 modes
//            and 10 formats).
//
// The simulated platform's own work (an object per interface, a lookup per
// call) is part of the figures; call logging is off.
#include <benchmark/benchmark.h>

#include <string>

#include "hardware/inventory.h"
#include "simulated/simulated_machine.h"

namespace {

dx::GUID MakeGuid(std::uint32_t kind, std::uint32_t n) {
  return dx::GUID{kind, static_cast<std::uint16_t>(n >> 16), static_cast<std::uint16_t>(n), {0x80, 0x11, 1, 2, 3, 4, 5, 6}};
}

// A machine of `drivers` drivers, each with two software and two hardware
// devices and `modes` display modes; each hardware device offers `formats`
// texture formats; `sounds` sound entries (the first is the default one).
sim::Machine Generate(int drivers, int modes, int formats, int sounds) {
  static const char* const names[] = {"pal8", "565", "1555", "4444", "8888", "x888", "88", "a8", "dxt1", "555"};
  sim::Machine machine;
  for (int d = 0; d < drivers; ++d) {
    sim::Driver driver;
    if (d != 0) driver.guid = MakeGuid(0xD0, static_cast<std::uint32_t>(d));
    driver.description = "Display driver " + std::to_string(d);
    driver.name = "display";
    for (int m = 0; m < modes; ++m) {
      sim::DisplayMode mode;
      mode.width = 640 + 32 * static_cast<dx::DWORD>(m / 3);
      mode.height = 480 + 24 * static_cast<dx::DWORD>(m / 3);
      mode.format = sim::ModePixelFormat(m % 3 == 0 ? 8 : (m % 3 == 1 ? 16 : 32));
      driver.modes.push_back(mode);
    }
    for (int v = 0; v < 4; ++v) {
      sim::Device device;
      device.guid = MakeGuid(0xDE, static_cast<std::uint32_t>(d * 4 + v));
      device.name = "Device";
      device.description = "Device";
      device.hardwareFlags = v < 2 ? 0 : 0x7FF;
      device.softwareFlags = v < 2 ? 0x7FF : 0;
      device.renderDepths = dx::DDBD_16 | dx::DDBD_32;
      device.textureOpCaps = dx::D3DTEXOPCAPS_MODULATE;
      for (int f = 0; f < formats; ++f) device.textureFormats.push_back(*sim::NamedTextureFormat(names[f % 10]));
      driver.devices.push_back(device);
    }
    machine.drivers.push_back(driver);
  }
  for (int s = 0; s < sounds; ++s) {
    sim::SoundDevice sound;
    if (s != 0) sound.guid = MakeGuid(0x50, static_cast<std::uint32_t>(s));
    sound.description = "Sound device " + std::to_string(s);
    sound.eaxSupport = s % 2 == 0 ? 3 : 1;
    machine.soundDevices.push_back(sound);
  }
  return machine;
}

void Run(benchmark::State& state, const sim::Machine& generated) {
  sim::SimulatedMachine machine(generated);
  machine.SetLogging(false);
  machine.Install();
  for (auto _ : state) {
    auto* inventory = new HardwareInventory(nullptr);
    benchmark::DoNotOptimize(inventory->displayDriverCount);
    delete inventory;
    state.PauseTiming();
    machine.Reset();
    state.ResumeTiming();
  }
  machine.Uninstall();
  state.SetComplexityN(state.range(0));
}

void BM_InventoryDrivers(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  Run(state, Generate(8 * size, 30, 10, 8 * size));
}

void BM_InventoryModes(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  Run(state, Generate(4, 30 * size, 10 * size, 4));
}

BENCHMARK(BM_InventoryDrivers)->Arg(1)->Arg(4)->Arg(16)->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InventoryModes)->Arg(1)->Arg(4)->Arg(16)->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
