// The hardware probes' platform interfaces on the real Windows APIs:
// DirectDraw and Direct3D 6 (ddraw.dll), DirectSound with the EAX property
// set (dsound.dll), and LoadLibraryA/GetProcAddress/FreeLibrary for Glide.
//
// Each probe-side object wraps one real COM interface and releases it in its
// own Release; callbacks are passed through thunks that turn the platform's
// structures into the probes' published layouts (the same bytes on 32-bit
// Windows; on 64-bit Windows the structures that hold a pointer are larger,
// and dwSize is set to the platform's own size).
#pragma once

#include "hardware/directdraw_api.h"
#include "hardware/directsound_api.h"
#include "hardware/library_loader.h"

namespace win32 {

class Win32DirectDraw : public dx::DirectDrawApi {
 public:
  dx::HRESULT DirectDrawEnumerateExA(dx::LPDDENUMCALLBACKEXA callback, void* context,
                                     dx::DWORD flags) override;
  dx::HRESULT DirectDrawCreate(dx::GUID* driver, dx::IDirectDraw** result, void* outer) override;
};

class Win32DirectSound : public dx::DirectSoundApi {
 public:
  dx::HRESULT DirectSoundEnumerateA(dx::LPDSENUMCALLBACKA callback, void* context) override;
  dx::HRESULT DirectSoundCreate(const dx::GUID* device, dx::IDirectSound** result, void* outer) override;
};

class Win32LibraryLoader : public dll::LibraryLoader {
 public:
  dll::ModuleHandle LoadLibraryA(const char* name) override;
  dll::ProcAddress GetProcAddress(dll::ModuleHandle module, const char* name) override;
  bool FreeLibrary(dll::ModuleHandle module) override;
};

// The number of probe-side wrappers alive (each holds one real interface);
// 0 when every interface obtained has been released. For the tests.
long LiveInterfaces();

}  // namespace win32
