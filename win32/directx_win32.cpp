#include "win32/directx_win32.h"

#include <atomic>
#include <cstddef>
#include <cstring>

#include "hardware/directx_types.h"
#include "win32/windows_api.h"

#include <mmsystem.h>
#include <ddraw.h>
#include <d3d.h>
#include <dsound.h>

namespace win32 {

// The probes' structures without pointers have the platform's layout.
static_assert(sizeof(::GUID) == sizeof(dx::GUID));
static_assert(sizeof(::DDPIXELFORMAT) == sizeof(dx::DDPIXELFORMAT));
static_assert(sizeof(::D3DDEVICEDESC) == sizeof(dx::D3DDEVICEDESC));
static_assert(offsetof(::D3DDEVICEDESC, dwDeviceRenderBitDepth) ==
              offsetof(dx::D3DDEVICEDESC, dwDeviceRenderBitDepth));
static_assert(offsetof(::D3DDEVICEDESC, dwTextureOpCaps) == offsetof(dx::D3DDEVICEDESC, dwTextureOpCaps));
static_assert(sizeof(::DSCAPS) == sizeof(dx::DSCAPS));
static_assert(offsetof(::DSCAPS, dwMaxHw3DAllBuffers) == offsetof(dx::DSCAPS, dwMaxHw3DAllBuffers));
static_assert(offsetof(::DSCAPS, dwTotalHwMemBytes) == offsetof(dx::DSCAPS, dwTotalHwMemBytes));
static_assert(sizeof(::WAVEFORMATEX) == sizeof(dx::WAVEFORMATEX));
static_assert(sizeof(::ULONG) == sizeof(dx::ULONG));

namespace {

std::atomic<long> g_live{0};

const ::GUID& Real(const dx::GUID& guid) { return *reinterpret_cast<const ::GUID*>(&guid); }
::GUID* Real(dx::GUID* guid) { return reinterpret_cast<::GUID*>(guid); }
dx::GUID* Probe(::GUID* guid) { return reinterpret_cast<dx::GUID*>(guid); }
::IUnknown* Outer(void* outer) { return static_cast<::IUnknown*>(outer); }

// A probe-side object over one real interface, released with it.
template <class Interface, class RealInterface>
class Wrapper : public Interface {
 public:
  using InterfaceType = Interface;
  explicit Wrapper(RealInterface* real) : m_real(real) { ++g_live; }
  dx::ULONG Release() override {
    const ULONG count = m_real->Release();
    delete this;
    return static_cast<dx::ULONG>(count);
  }

 protected:
  ~Wrapper() override { --g_live; }
  RealInterface* m_real;
};

// Hands out the platform object `real` wrapped as `Wrapped` when the call
// succeeded. An object that came with a failure result is released here:
// the probes take the call as failed and will never release it.
template <class Wrapped, class Real, class Out>
HRESULT HandOut(HRESULT hr, bool succeeded, Real* real, Out** out) {
  if (succeeded && real != nullptr) {
    *out = static_cast<typename Wrapped::InterfaceType*>(new Wrapped(real));
  } else if (real != nullptr) {
    real->Release();
  }
  return hr;
}

// ---- Structures -----------------------------------------------------------

void CopyKey(const dx::DDCOLORKEY& from, ::DDCOLORKEY& to) {
  to.dwColorSpaceLowValue = from.dwColorSpaceLowValue;
  to.dwColorSpaceHighValue = from.dwColorSpaceHighValue;
}

void CopyKey(const ::DDCOLORKEY& from, dx::DDCOLORKEY& to) {
  to.dwColorSpaceLowValue = from.dwColorSpaceLowValue;
  to.dwColorSpaceHighValue = from.dwColorSpaceHighValue;
}

// Copies every field but the size between our surface description and the
// platform's; the two differ only in layout (pointer sizes on 64-bit).
template <class From, class To>
void CopySurfaceFields(const From& from, To& to) {
  to.dwFlags = from.dwFlags;
  to.dwHeight = from.dwHeight;
  to.dwWidth = from.dwWidth;
  to.dwLinearSize = from.dwLinearSize;
  to.dwBackBufferCount = from.dwBackBufferCount;
  to.dwRefreshRate = from.dwRefreshRate;
  to.dwAlphaBitDepth = from.dwAlphaBitDepth;
  to.dwReserved = from.dwReserved;
  to.lpSurface = from.lpSurface;
  CopyKey(from.ddckCKDestOverlay, to.ddckCKDestOverlay);
  CopyKey(from.ddckCKDestBlt, to.ddckCKDestBlt);
  CopyKey(from.ddckCKSrcOverlay, to.ddckCKSrcOverlay);
  CopyKey(from.ddckCKSrcBlt, to.ddckCKSrcBlt);
  std::memcpy(&to.ddpfPixelFormat, &from.ddpfPixelFormat, sizeof(dx::DDPIXELFORMAT));
  to.ddsCaps.dwCaps = from.ddsCaps.dwCaps;
  to.ddsCaps.dwCaps2 = from.ddsCaps.dwCaps2;
  to.ddsCaps.dwCaps3 = from.ddsCaps.dwCaps3;
  to.ddsCaps.dwCaps4 = from.ddsCaps.dwCaps4;
  to.dwTextureStage = from.dwTextureStage;
}

::DDSURFACEDESC2 ToPlatform(const dx::DDSURFACEDESC2& from) {
  ::DDSURFACEDESC2 to;
  std::memset(&to, 0, sizeof to);
  to.dwSize = sizeof to;
  CopySurfaceFields(from, to);
  return to;
}

dx::DDSURFACEDESC2 ToProbe(const ::DDSURFACEDESC2& from) {
  dx::DDSURFACEDESC2 to;
  std::memset(&to, 0, sizeof to);
  to.dwSize = dx::kDDSurfaceDesc2Size;
  CopySurfaceFields(from, to);
  return to;
}

// ---- Callback thunks ------------------------------------------------------

template <class Callback>
struct Thunk {
  Callback callback;
  void* context;
};

BOOL WINAPI DriverThunk(GUID* guid, LPSTR description, LPSTR name, LPVOID context, HMONITOR monitor) {
  auto* thunk = static_cast<Thunk<dx::LPDDENUMCALLBACKEXA>*>(context);
  return thunk->callback(Probe(guid), description, name, thunk->context, monitor);
}

HRESULT WINAPI ModeThunk(LPDDSURFACEDESC2 mode, LPVOID context) {
  auto* thunk = static_cast<Thunk<dx::LPDDENUMMODESCALLBACK2>*>(context);
  if (mode == nullptr) return thunk->callback(nullptr, thunk->context);
  dx::DDSURFACEDESC2 probe = ToProbe(*mode);
  return thunk->callback(&probe, thunk->context);
}

HRESULT WINAPI DeviceThunk(GUID* guid, LPSTR description, LPSTR name, LPD3DDEVICEDESC hardware,
                           LPD3DDEVICEDESC software, LPVOID context) {
  auto* thunk = static_cast<Thunk<dx::LPD3DENUMDEVICESCALLBACK>*>(context);
  return thunk->callback(Probe(guid), description, name, reinterpret_cast<dx::D3DDEVICEDESC*>(hardware),
                         reinterpret_cast<dx::D3DDEVICEDESC*>(software), thunk->context);
}

HRESULT WINAPI FormatThunk(LPDDPIXELFORMAT format, LPVOID context) {
  auto* thunk = static_cast<Thunk<dx::LPD3DENUMPIXELFORMATSCALLBACK>*>(context);
  return thunk->callback(reinterpret_cast<dx::DDPIXELFORMAT*>(format), thunk->context);
}

BOOL WINAPI SoundThunk(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context) {
  auto* thunk = static_cast<Thunk<dx::LPDSENUMCALLBACKA>*>(context);
  return thunk->callback(Probe(guid), description, module, thunk->context);
}

// ---- DirectDraw and Direct3D ----------------------------------------------

class Surface final : public Wrapper<dx::IDirectDrawSurface4, ::IDirectDrawSurface4> {
 public:
  using Wrapper::Wrapper;
  ::IDirectDrawSurface4* Platform() const { return m_real; }
};

class Device final : public Wrapper<dx::IDirect3DDevice3, ::IDirect3DDevice3> {
 public:
  using Wrapper::Wrapper;
  dx::HRESULT EnumTextureFormats(dx::LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override {
    Thunk<dx::LPD3DENUMPIXELFORMATSCALLBACK> thunk{callback, context};
    return m_real->EnumTextureFormats(&FormatThunk, &thunk);
  }
};

class Direct3D final : public Wrapper<dx::IDirect3D3, ::IDirect3D3> {
 public:
  using Wrapper::Wrapper;
  dx::HRESULT EnumDevices(dx::LPD3DENUMDEVICESCALLBACK callback, void* context) override {
    Thunk<dx::LPD3DENUMDEVICESCALLBACK> thunk{callback, context};
    return m_real->EnumDevices(&DeviceThunk, &thunk);
  }
  dx::HRESULT CreateDevice(const dx::GUID& device, dx::IDirectDrawSurface4* surface,
                           dx::IDirect3DDevice3** result, void* outer) override {
    if (result == nullptr) return DDERR_INVALIDPARAMS;
    *result = nullptr;
    auto* wrapped = dynamic_cast<Surface*>(surface);
    ::IDirect3DDevice3* real = nullptr;
    const HRESULT hr = m_real->CreateDevice(Real(device), wrapped != nullptr ? wrapped->Platform() : nullptr,
                                            &real, Outer(outer));
    return HandOut<Device>(hr, hr == 0, real, result);
  }
};

class DirectDraw4 final : public Wrapper<dx::IDirectDraw4, ::IDirectDraw4> {
 public:
  using Wrapper::Wrapper;
  dx::HRESULT QueryInterface(const dx::GUID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == dx::IID_IDirect3D3)) return E_NOINTERFACE;
    ::IDirect3D3* real = nullptr;
    const HRESULT hr = m_real->QueryInterface(Real(iid), reinterpret_cast<void**>(&real));
    return HandOut<Direct3D>(hr, hr == 0, real, object);
  }
  dx::HRESULT EnumDisplayModes(dx::DWORD flags, dx::DDSURFACEDESC2* match, void* context,
                               dx::LPDDENUMMODESCALLBACK2 callback) override {
    Thunk<dx::LPDDENUMMODESCALLBACK2> thunk{callback, context};
    ::DDSURFACEDESC2 platformMatch;
    if (match != nullptr) platformMatch = ToPlatform(*match);
    return m_real->EnumDisplayModes(flags, match != nullptr ? &platformMatch : nullptr, &thunk, &ModeThunk);
  }
  dx::HRESULT SetCooperativeLevel(dx::HWND window, dx::DWORD flags) override {
    return m_real->SetCooperativeLevel(static_cast<::HWND>(window), flags);
  }
  dx::HRESULT CreateSurface(dx::DDSURFACEDESC2* description, dx::IDirectDrawSurface4** surface,
                            void* outer) override {
    if (description == nullptr || surface == nullptr) return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    ::DDSURFACEDESC2 platform = ToPlatform(*description);
    ::IDirectDrawSurface4* real = nullptr;
    const HRESULT hr = m_real->CreateSurface(&platform, &real, Outer(outer));
    return HandOut<Surface>(hr, hr == 0, real, surface);
  }
};

class DirectDraw final : public Wrapper<dx::IDirectDraw, ::IDirectDraw> {
 public:
  using Wrapper::Wrapper;
  dx::HRESULT QueryInterface(const dx::GUID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == dx::IID_IDirectDraw4)) return E_NOINTERFACE;
    ::IDirectDraw4* real = nullptr;
    const HRESULT hr = m_real->QueryInterface(Real(iid), reinterpret_cast<void**>(&real));
    return HandOut<DirectDraw4>(hr, hr == 0, real, object);
  }
};

// ---- DirectSound ----------------------------------------------------------

class PropertySet final : public Wrapper<dx::IKsPropertySet, ::IKsPropertySet> {
 public:
  using Wrapper::Wrapper;
  dx::HRESULT QuerySupport(const dx::GUID& propertySet, dx::ULONG id, dx::ULONG* support) override {
    return m_real->QuerySupport(Real(propertySet), id, reinterpret_cast<::ULONG*>(support));
  }
};

class Buffer3D final : public Wrapper<dx::IDirectSound3DBuffer, ::IDirectSound3DBuffer> {
 public:
  using Wrapper::Wrapper;
  dx::HRESULT QueryInterface(const dx::GUID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == dx::IID_IKsPropertySet)) return E_NOINTERFACE;
    ::IKsPropertySet* real = nullptr;
    const HRESULT hr = m_real->QueryInterface(Real(iid), reinterpret_cast<void**>(&real));
    return HandOut<PropertySet>(hr, hr >= 0, real, object);
  }
};

class Buffer final : public Wrapper<dx::IDirectSoundBuffer, ::IDirectSoundBuffer> {
 public:
  using Wrapper::Wrapper;
  dx::HRESULT QueryInterface(const dx::GUID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == dx::IID_IDirectSound3DBuffer)) return E_NOINTERFACE;
    ::IDirectSound3DBuffer* real = nullptr;
    const HRESULT hr = m_real->QueryInterface(Real(iid), reinterpret_cast<void**>(&real));
    return HandOut<Buffer3D>(hr, hr >= 0, real, object);
  }
};

class Sound final : public Wrapper<dx::IDirectSound, ::IDirectSound> {
 public:
  using Wrapper::Wrapper;
  dx::HRESULT GetCaps(dx::DSCAPS* caps) override {
    return m_real->GetCaps(reinterpret_cast<::DSCAPS*>(caps));
  }
  dx::HRESULT CreateSoundBuffer(const dx::DSBUFFERDESC* description, dx::IDirectSoundBuffer** buffer,
                                void* outer) override {
    if (description == nullptr || buffer == nullptr) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    ::DSBUFFERDESC platform;
    std::memset(&platform, 0, sizeof platform);
    // The probe gives the published 36-byte form, which includes the 3D
    // algorithm; the platform's structure is larger on 64-bit Windows.
    platform.dwSize = description->dwSize >= dx::kDSBufferDescSize ? sizeof platform : sizeof(::DSBUFFERDESC1);
    platform.dwFlags = description->dwFlags;
    platform.dwBufferBytes = description->dwBufferBytes;
    platform.dwReserved = description->dwReserved;
    platform.lpwfxFormat = reinterpret_cast<::WAVEFORMATEX*>(description->lpwfxFormat);
    if (description->dwSize >= dx::kDSBufferDescSize) platform.guid3DAlgorithm = Real(description->guid3DAlgorithm);
    ::IDirectSoundBuffer* real = nullptr;
    const HRESULT hr = m_real->CreateSoundBuffer(&platform, &real, Outer(outer));
    return HandOut<Buffer>(hr, hr >= 0, real, buffer);
  }
};

}  // namespace

// ---------------------------------------------------------------------------

dx::HRESULT Win32DirectDraw::DirectDrawEnumerateExA(dx::LPDDENUMCALLBACKEXA callback, void* context,
                                                    dx::DWORD flags) {
  Thunk<dx::LPDDENUMCALLBACKEXA> thunk{callback, context};
  return ::DirectDrawEnumerateExA(&DriverThunk, &thunk, flags);
}

dx::HRESULT Win32DirectDraw::DirectDrawCreate(dx::GUID* driver, dx::IDirectDraw** result, void* outer) {
  if (result == nullptr) return DDERR_INVALIDPARAMS;
  *result = nullptr;
  ::IDirectDraw* real = nullptr;
  const HRESULT hr = ::DirectDrawCreate(Real(driver), &real, Outer(outer));
  return HandOut<DirectDraw>(hr, hr == 0, real, result);
}

dx::HRESULT Win32DirectSound::DirectSoundEnumerateA(dx::LPDSENUMCALLBACKA callback, void* context) {
  Thunk<dx::LPDSENUMCALLBACKA> thunk{callback, context};
  return ::DirectSoundEnumerateA(&SoundThunk, &thunk);
}

dx::HRESULT Win32DirectSound::DirectSoundCreate(const dx::GUID* device, dx::IDirectSound** result,
                                                void* outer) {
  if (result == nullptr) return DSERR_INVALIDPARAM;
  *result = nullptr;
  ::IDirectSound* real = nullptr;
  const HRESULT hr = ::DirectSoundCreate(reinterpret_cast<const ::GUID*>(device), &real, Outer(outer));
  return HandOut<Sound>(hr, hr >= 0, real, result);
}

dll::ModuleHandle Win32LibraryLoader::LoadLibraryA(const char* name) {
  return static_cast<dll::ModuleHandle>(::LoadLibraryA(name));
}

dll::ProcAddress Win32LibraryLoader::GetProcAddress(dll::ModuleHandle module, const char* name) {
  return reinterpret_cast<dll::ProcAddress>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

bool Win32LibraryLoader::FreeLibrary(dll::ModuleHandle module) {
  return ::FreeLibrary(static_cast<HMODULE>(module)) != FALSE;
}

long LiveInterfaces() { return g_live.load(); }

}  // namespace win32
