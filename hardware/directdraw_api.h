// The DirectDraw and Direct3D 6 operations that the display probe uses, as
// small abstract interfaces. Each method has the arguments, argument order and
// result of the platform call of the same name; callbacks are plain functions
// with the platform's argument lists and are called synchronously from inside
// the enumerating call. A call succeeds only when it returns 0.
//
// The host installs one implementation for the process: the Windows build
// adapts the real DirectX objects, the simulated machine plays a machine
// profile. Objects are released through Release, never deleted by callers.
#pragma once

#include "base/platform_slot.h"
#include "hardware/directx_types.h"

namespace dx {

class IDirectDraw;
class IDirectDraw4;
class IDirect3D3;
class IDirect3DDevice3;
class IDirectDrawSurface4;

// DirectDrawEnumerateExA's callback: driver GUID (null for the default
// driver), description, name, context, monitor. TRUE goes on.
using LPDDENUMCALLBACKEXA = BOOL(HALCYRA_STDCALL*)(GUID* guid, char* description, char* name,
                                                   void* context, HMONITOR monitor);
// IDirectDraw4::EnumDisplayModes's callback: one mode, context.
using LPDDENUMMODESCALLBACK2 = HRESULT(HALCYRA_STDCALL*)(DDSURFACEDESC2* mode, void* context);
// IDirect3D3::EnumDevices's callback: device GUID, description, name,
// hardware description, software description, context.
using LPD3DENUMDEVICESCALLBACK = HRESULT(HALCYRA_STDCALL*)(GUID* guid, char* description, char* name,
                                                          D3DDEVICEDESC* hardware, D3DDEVICEDESC* software,
                                                          void* context);
// IDirect3DDevice3::EnumTextureFormats's callback: one format, context.
using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT(HALCYRA_STDCALL*)(DDPIXELFORMAT* format, void* context);

class IDirectDraw {
 public:
  // Asks for another interface of the object (IID_IDirectDraw4); 0 and the
  // interface in *object on success.
  virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectDraw() = default;
};

class IDirectDraw4 {
 public:
  // IID_IDirect3D3 gives the driver's IDirect3D3.
  virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
  virtual HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC2* match, void* context,
                                   LPDDENUMMODESCALLBACK2 callback) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT CreateSurface(DDSURFACEDESC2* description, IDirectDrawSurface4** surface,
                                void* outer) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectDraw4() = default;
};

class IDirect3D3 {
 public:
  virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) = 0;
  virtual HRESULT CreateDevice(const GUID& device, IDirectDrawSurface4* surface,
                               IDirect3DDevice3** result, void* outer) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirect3D3() = default;
};

class IDirect3DDevice3 {
 public:
  virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirect3DDevice3() = default;
};

class IDirectDrawSurface4 {
 public:
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectDrawSurface4() = default;
};

// The two exported functions of DirectDraw.
class DirectDrawApi {
 public:
  virtual ~DirectDrawApi() = default;
  virtual HRESULT DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, void* context, DWORD flags) = 0;
  virtual HRESULT DirectDrawCreate(GUID* driver, IDirectDraw** result, void* outer) = 0;
};

// The DirectDraw in use. Its empty platform is a machine without DirectDraw:
// the enumeration fails without a callback and nothing can be created.
using DirectDrawSlot = halcyra::PlatformSlot<DirectDrawApi>;
DirectDrawApi& EmptyPlatform(std::type_identity<DirectDrawApi>);

}  // namespace dx
