// The DirectSound operations that the sound probe and its EAX test use, as
// small abstract interfaces with the arguments, argument order and results of
// the platform calls of the same names. A DirectSound call fails when its
// result is negative. Callbacks are plain functions with the platform's
// argument lists, called synchronously from inside the enumerating call.
//
// The host installs one implementation for the process (the real DirectSound
// on Windows, the simulated machine elsewhere).
#pragma once

#include "base/platform_slot.h"
#include "hardware/directx_types.h"

namespace dx {

class IDirectSound;
class IDirectSoundBuffer;
class IDirectSound3DBuffer;
class IKsPropertySet;

// DirectSoundEnumerateA's callback: device GUID (null for the default-device
// entry), description, module, context. TRUE goes on.
using LPDSENUMCALLBACKA = BOOL(HALCYRA_STDCALL*)(GUID* guid, const char* description,
                                                 const char* module, void* context);

class IDirectSound {
 public:
  virtual HRESULT GetCaps(DSCAPS* caps) = 0;
  virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer,
                                    void* outer) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectSound() = default;
};

class IDirectSoundBuffer {
 public:
  // IID_IDirectSound3DBuffer gives the buffer's 3D interface.
  virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectSoundBuffer() = default;
};

class IDirectSound3DBuffer {
 public:
  // IID_IKsPropertySet gives the buffer's property set.
  virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectSound3DBuffer() = default;
};

class IKsPropertySet {
 public:
  // The support bits (KSPROPERTY_SUPPORT_GET, _SET) of property `id` of
  // `propertySet` in *support.
  virtual HRESULT QuerySupport(const GUID& propertySet, ULONG id, ULONG* support) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IKsPropertySet() = default;
};

// The two exported functions of DirectSound.
class DirectSoundApi {
 public:
  virtual ~DirectSoundApi() = default;
  virtual HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context) = 0;
  virtual HRESULT DirectSoundCreate(const GUID* device, IDirectSound** result, void* outer) = 0;
};

// The DirectSound in use. Its empty platform is a machine without
// DirectSound: the enumeration fails without a callback and nothing can be
// opened.
using DirectSoundSlot = halcyra::PlatformSlot<DirectSoundApi>;
DirectSoundApi& EmptyPlatform(std::type_identity<DirectSoundApi>);

}  // namespace dx
