// The hardware inventory: the system's one picture of the machine's 3D
// display devices and sound devices, built once by its constructor.
#pragma once

#include <cstdint>
#include <vector>

#include "hardware/record_store.h"
#include "hardware/records.h"

namespace halcyra {

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
  // Where the construction stages make the records, and their modes and
  // texts; the teardown releases both whole. The records have a store of
  // their own so that a walk through a list reads memory in one run.
  RecordStore& Records() { return m_records; }
  RecordStore& Details() { return m_details; }

  ProgressCallback progress;
  std::int32_t displayDriverCount;
  DisplayDriverRecord* displayDrivers;
  std::int32_t soundDeviceCount;
  SoundDeviceRecord* soundDevices;

 private:
  // Index access in constant time: the records' addresses in list order,
  // taken from a list on the first lookup after it changed. The lists stay
  // the data; an index whose list head or count no longer match is taken
  // again.
  template <typename Record>
  struct RecordIndex {
    const Record* head = nullptr;
    std::int32_t count = -1;
    std::vector<Record*> records;
    void Forget() { count = -1; }
  };
  template <typename Record>
  static Record* RecordAt(RecordIndex<Record>& index, Record* head, std::int32_t count,
                          std::int32_t position);

  mutable RecordIndex<DisplayDriverRecord> m_displayIndex;
  mutable RecordIndex<SoundDeviceRecord> m_soundIndex;
  RecordStore m_records;
  RecordStore m_details;
};

// The one inventory of the process, created by whichever page needs it
// first and released by the application after the sheet closes.
extern HardwareInventory* g_pInventory;

}  // namespace halcyra
