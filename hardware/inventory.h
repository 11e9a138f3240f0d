// The hardware inventory: the system's one picture of the machine's 3D
// display devices and sound devices, built once by its constructor.
#pragma once

#include <cstdint>

#include "hardware/records.h"

using ProgressCallback = void (*)(std::int32_t code);
void NoProgress(std::int32_t code);

// Progress codes, in the order they can occur.
constexpr std::int32_t kProgressStart = 200;
constexpr std::int32_t kProgressDriver = 100;
constexpr std::int32_t kProgressProbe = 300;
constexpr std::int32_t kProgressJudge = 400;
constexpr std::int32_t kProgressSound = 500;

class HardwareInventory {
 public:
  explicit HardwareInventory(ProgressCallback progress);
  ~HardwareInventory();
  HardwareInventory(const HardwareInventory&) = delete;
  HardwareInventory& operator=(const HardwareInventory&) = delete;

  std::int32_t GetDisplayDriverCount() const { return displayDriverCount; }
  DisplayDriverRecord* GetDisplayDriver(std::int32_t index) const;
  std::int32_t GetSoundDeviceCount() const { return soundDeviceCount; }
  SoundDeviceRecord* GetSoundDevice(std::int32_t index) const;
  DisplayDriverRecord* FindDisplayDriver(const dx::GUID& ddGuid) const;
  // A new copy (release with delete[]) of the description of the first
  // record of driver `ddGuid`, or null.
  char* CopyDisplayDriverDescription(const dx::GUID& ddGuid) const;
  void JudgeDisplayDrivers();

  // Construction stages (also reached by the platform callbacks).
  bool EnumerateDisplayDrivers();
  bool ProbeDisplayDrivers();
  bool EnumerateSoundDevices();

  ProgressCallback progress;
  std::int32_t displayDriverCount;
  DisplayDriverRecord* displayDrivers;
  std::int32_t soundDeviceCount;
  SoundDeviceRecord* soundDevices;
};

// The one inventory of the process, created by whichever page needs it
// first and released by the application after the sheet closes.
extern HardwareInventory* g_pInventory;
