// DirectSound device enumeration and the EAX 1.0 support test.
#include "hardware/sound_probe.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "hardware/inventory.h"
#include "hardware/record_list.h"

namespace halcyra {

bool HardwareInventory::EnumerateSoundDevices() {
  const OpenRecordList<SoundDeviceRecord> devices(soundDevices);
  const dx::HRESULT result = dx::DirectSoundSlot::Get().DirectSoundEnumerateA(OnSoundDeviceFound, this);
  return !dx::DsFailed(result);
}

dx::BOOL HALCYRA_STDCALL OnSoundDeviceFound(dx::GUID* guid, const char* description, const char*, void* context) {
  auto* inventory = static_cast<HardwareInventory*>(context);
  if (inventory == nullptr) return dx::TRUE;

  dx::IDirectSound* device = nullptr;
  if (dx::DsFailed(dx::DirectSoundSlot::Get().DirectSoundCreate(guid, &device, nullptr)) || device == nullptr) {
    return dx::TRUE;
  }
  inventory->progress(kProgressSound);

  // The default-device entry (no GUID) is opened and reported, never listed.
  if (guid != nullptr) {
    dx::DSCAPS caps{};
    caps.dwSize = sizeof(dx::DSCAPS);
    if (!dx::DsFailed(device->GetCaps(&caps))) {
      auto* record = inventory->Records().Make<SoundDeviceRecord>();
      const char* given = description != nullptr ? description : "";
      char* text = record != nullptr ? inventory->Details().CopyText(given) : nullptr;
      if (text != nullptr) {
        record->description = text;
        record->guid = *guid;
        record->hardware3DBuffers = caps.dwMaxHw3DAllBuffers;
        record->hardwareMemoryBytes = caps.dwTotalHwMemBytes;
        record->eaxSupported = TestEaxSupport(device) ? 1 : 0;
        record->next = nullptr;
        AppendRecord(inventory->soundDevices, record);
        ++inventory->soundDeviceCount;
      }  // else no room for the record or its text: the device is skipped
    }
  }

  device->Release();
  return dx::TRUE;
}

bool TestEaxSupport(dx::IDirectSound* device) {
  bool supported = false;
  dx::IDirectSoundBuffer* buffer = nullptr;
  dx::IDirectSound3DBuffer* buffer3D = nullptr;
  dx::IKsPropertySet* propertySet = nullptr;
  if (device == nullptr) return false;

  dx::WAVEFORMATEX format{};
  format.wFormatTag = dx::WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = 44100;
  format.nAvgBytesPerSec = 176400;
  format.nBlockAlign = 4;
  format.wBitsPerSample = 16;
  format.cbSize = 0;

  dx::DSBUFFERDESC description{};
  description.dwSize = dx::kDSBufferDescSize;
  description.dwFlags = dx::DSBCAPS_STATIC | dx::DSBCAPS_CTRL3D;
  description.dwBufferBytes = 128;
  description.dwReserved = 0;
  description.lpwfxFormat = &format;

  if (!dx::DsFailed(device->CreateSoundBuffer(&description, &buffer, nullptr)) && buffer != nullptr) {
    void* object = nullptr;
    if (!dx::DsFailed(buffer->QueryInterface(dx::IID_IDirectSound3DBuffer, &object)) && object != nullptr) {
      buffer3D = static_cast<dx::IDirectSound3DBuffer*>(object);
      object = nullptr;
      if (!dx::DsFailed(buffer3D->QueryInterface(dx::IID_IKsPropertySet, &object)) && object != nullptr) {
        propertySet = static_cast<dx::IKsPropertySet*>(object);
        dx::ULONG support = 0;
        const dx::HRESULT asked =
            propertySet->QuerySupport(dx::DSPROPSETID_EAX_ReverbProperties, dx::DSPROPERTY_EAX_ALL, &support);
        constexpr dx::ULONG kReadWrite = dx::KSPROPERTY_SUPPORT_GET | dx::KSPROPERTY_SUPPORT_SET;
        supported = !dx::DsFailed(asked) && (support & kReadWrite) == kReadWrite;
      }
    }
  }

  if (propertySet != nullptr) propertySet->Release();
  if (buffer3D != nullptr) buffer3D->Release();
  if (buffer != nullptr) buffer->Release();
  return supported;
}

}  // namespace halcyra
