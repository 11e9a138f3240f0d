// Sound device probing and the EAX test.
#pragma once

#include "hardware/directsound_api.h"

namespace halcyra {

// DirectSoundEnumerateA's callback; `context` is the inventory. Opens the
// device, reports progress, lists it with its capabilities and EAX finding
// (the default-device entry, without GUID, is opened but not listed).
// Always TRUE.
dx::BOOL HALCYRA_STDCALL OnSoundDeviceFound(dx::GUID* guid, const char* description, const char* module,
                                            void* context);

// Whether the opened `device` supports EAX 1.0 reverb: a static 3D test
// buffer's property set must report both the get and the set bit. Does not
// release `device`.
bool TestEaxSupport(dx::IDirectSound* device);

}  // namespace halcyra
