// The hardware inventory: construction stages, lookups, the fitness
// judgement and the teardown.
#include "hardware/inventory.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace halcyra {

HardwareInventory* g_pInventory = nullptr;

void NoProgress(std::int32_t) {}

HardwareInventory::HardwareInventory(ProgressCallback callback)
    : progress(callback != nullptr ? callback : NoProgress),
      displayDriverCount(0),
      displayDrivers(nullptr),
      soundDeviceCount(0),
      soundDevices(nullptr) {
  // Every stage runs whatever the one before it found; their success flags
  // are of no consequence here.
  progress(kProgressStart);
  EnumerateDisplayDrivers();
  progress(kProgressProbe);
  ProbeDisplayDrivers();
  progress(kProgressJudge);
  JudgeDisplayDrivers();
  EnumerateSoundDevices();
}

HardwareInventory::~HardwareInventory() {
  // Every record, mode and text of both lists was made in the two stores:
  // releasing them releases it all, without a walk through the lists.
  displayDrivers = nullptr;
  displayDriverCount = 0;
  soundDevices = nullptr;
  soundDeviceCount = 0;
  m_records.Release();
  m_details.Release();
  m_displayIndex.Forget();
  m_soundIndex.Forget();
}

// Index rule shared by both lists: at or past the count, null; at 0 or
// below, the head; else `position` steps from the head. The steps are taken
// once, when the index of the list is made; an index that cannot be
// allocated leaves the lookup to walk the list.
template <typename Record>
Record* HardwareInventory::RecordAt(RecordIndex<Record>& index, Record* head, std::int32_t count,
                                    std::int32_t position) {
  if (position >= count) return nullptr;
  if (position <= 0 || head == nullptr) return head;
  if (index.head != head || index.count != count) {
    index.Forget();
    try {
      index.records.clear();
      index.records.reserve(static_cast<std::size_t>(count));
      for (Record* record = head; record != nullptr && index.records.size() < static_cast<std::size_t>(count);
           record = record->next) {
        index.records.push_back(record);
      }
      index.head = head;
      index.count = count;
    } catch (const std::bad_alloc&) {
      Record* record = head;
      for (std::int32_t step = 0; step < position && record != nullptr; ++step) record = record->next;
      return record;
    }
  }
  const auto at = static_cast<std::size_t>(position);
  return at < index.records.size() ? index.records[at] : nullptr;
}

DisplayDriverRecord* HardwareInventory::GetDisplayDriver(std::int32_t index) const {
  return RecordAt(m_displayIndex, displayDrivers, displayDriverCount, index);
}

SoundDeviceRecord* HardwareInventory::GetSoundDevice(std::int32_t index) const {
  return RecordAt(m_soundIndex, soundDevices, soundDeviceCount, index);
}

DisplayDriverRecord* HardwareInventory::FindDisplayDriver(const dx::GUID& ddGuid) const {
  for (DisplayDriverRecord* record = displayDrivers; record != nullptr; record = record->next) {
    if (record->ddGuid == ddGuid) return record;
  }
  return nullptr;
}

char* HardwareInventory::CopyDisplayDriverDescription(const dx::GUID& ddGuid) const {
  const DisplayDriverRecord* record = FindDisplayDriver(ddGuid);
  if (record == nullptr || record->description == nullptr) return nullptr;
  const std::size_t size = std::strlen(record->description) + 1;
  char* copy = new (std::nothrow) char[size];
  if (copy != nullptr) std::memcpy(copy, record->description, size);
  return copy;
}

void HardwareInventory::JudgeDisplayDrivers() {
  constexpr std::uint32_t kSecondFormats = TEXFMT_8BIT | TEXFMT_88 | TEXFMT_4444 | TEXFMT_8888;  // 0x1D
  DisplayDriverRecord* record = displayDrivers;
  for (std::int32_t index = 0; index < displayDriverCount && record != nullptr; ++index, record = record->next) {
    record->fit = 1;
    if (record->palettedTextures == 0 && (record->textureFormats & TEXFMT_1555) == 0) record->fit = 0;
    if ((record->textureFormats & kSecondFormats) == 0) record->fit = 0;
    if (record->palettedTextures == 0 && record->has565Textures == 0) record->fit = 0;
    if (record->palettedTextures != 0 && record->has565Textures != 0) record->palettedTextures = 2;
  }
}

}  // namespace halcyra
