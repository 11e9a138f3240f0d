// The simulated machine's platform calls and objects.
#include "simulated/simulated_machine.h"

#include "settings/install_directory.h"
#include "simulated/glide_config.h"
#include "simulated/inventory_report.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

using namespace halcyra;

namespace sim {
namespace {

constexpr dx::HRESULT kInjected = dx::E_FAIL;
constexpr dx::HRESULT DDERR_INVALIDDIRECTDRAWGUID = static_cast<dx::HRESULT>(0x88760231u);
constexpr dx::HRESULT D3DERR_INVALID_DEVICE = static_cast<dx::HRESULT>(0x88760705u);
constexpr dx::HRESULT DSERR_INVALIDPARAM = static_cast<dx::HRESULT>(0x80070057u);
constexpr dx::HRESULT E_PROP_ID_UNSUPPORTED = static_cast<dx::HRESULT>(0x80070490u);
constexpr long ERROR_ACCESS_DENIED = 5;
constexpr long ERROR_INVALID_HANDLE = 6;

// DirectDraw and Direct3D succeed only on 0; DirectSound fails on negative.
bool DdSucceeded(dx::HRESULT result) { return result == 0; }
bool DsSucceeded(dx::HRESULT result) { return result >= 0; }

std::array<unsigned char, 16> GuidKey(const dx::GUID& guid) {
  std::array<unsigned char, 16> key{};
  std::memcpy(key.data(), &guid, sizeof guid);
  return key;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string KeyPath(std::string path) {
  path = Lower(std::move(path));
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

std::string Hex(std::int64_t value) {
  std::ostringstream text;
  text << "0x" << std::hex << std::uppercase << static_cast<std::uint32_t>(value);
  return text.str();
}

std::string GuidOrNull(const dx::GUID* guid) { return guid == nullptr ? "null" : GuidString(*guid); }

// The machine whose "glide2x.dll" is loaded: the exports are plain
// functions and find it here.
SimulatedMachine* g_glideMachine = nullptr;

glide::FxBool HALCYRA_STDCALL SimGrSstQueryHardware(glide::GrHwConfiguration* config) {
  return g_glideMachine != nullptr ? g_glideMachine->GlideQueryHardware(config) : 0;
}
glide::FxBool HALCYRA_STDCALL SimGrSstQueryBoards(glide::GrHwConfiguration* config) {
  return g_glideMachine != nullptr ? g_glideMachine->GlideQueryBoards(config) : 0;
}
void HALCYRA_STDCALL SimGrGlideInit() {
  if (g_glideMachine != nullptr) g_glideMachine->GlideInit();
}
void HALCYRA_STDCALL SimGrGlideShutdown() {
  if (g_glideMachine != nullptr) g_glideMachine->GlideShutdown();
}
void HALCYRA_STDCALL SimGrSstSelect(int board) {
  if (g_glideMachine != nullptr) g_glideMachine->GlideSelect(board);
}

template <typename Proc>
dll::ProcAddress AsProc(Proc proc) {
  return reinterpret_cast<dll::ProcAddress>(proc);
}

// ---- DirectDraw objects ---------------------------------------------------

class SimSurface final : public SimObject, public dx::IDirectDrawSurface4 {
 public:
  SimSurface(SimulatedMachine& machine, int driver) : SimObject(machine, "IDirectDrawSurface4", "IDirectDrawSurface4::Release", driver, -1, -1) {}
  dx::ULONG Release() override { return DoRelease(); }
  int DriverIndex() const { return m_driver; }
  bool IsReleased() const { return Released(); }
};

class SimDevice3 final : public SimObject, public dx::IDirect3DDevice3 {
 public:
  SimDevice3(SimulatedMachine& machine, int driver, int device)
      : SimObject(machine, "IDirect3DDevice3", "IDirect3DDevice3::Release", driver, device, -1) {}

  dx::HRESULT EnumTextureFormats(dx::LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override {
    auto call = m_machine.Begin("IDirect3DDevice3::EnumTextureFormats", "", true, this);
    m_machine.Record(call).driver = m_driver;
    m_machine.Record(call).device = m_device;
    dx::HRESULT result = kInjected;
    if (!call.fail) {
      const Device& device = m_machine.DriverAt(m_driver).devices[static_cast<std::size_t>(m_device)];
      for (const dx::DDPIXELFORMAT& format : device.textureFormats) {
        dx::DDPIXELFORMAT copy = format;
        if (callback(&copy, context) == dx::D3DENUMRET_CANCEL) break;
      }
      result = device.enumTextureFormatsResult;
    }
    m_machine.Record(call).result = result;
    return result;
  }
  dx::ULONG Release() override { return DoRelease(); }
};

class SimDirect3D final : public SimObject, public dx::IDirect3D3 {
 public:
  SimDirect3D(SimulatedMachine& machine, int driver) : SimObject(machine, "IDirect3D3", "IDirect3D3::Release", driver, -1, -1) {}

  dx::HRESULT EnumDevices(dx::LPD3DENUMDEVICESCALLBACK callback, void* context) override {
    auto call = m_machine.Begin("IDirect3D3::EnumDevices", "", true, this);
    m_machine.Record(call).driver = m_driver;
    dx::HRESULT result = kInjected;
    if (!call.fail) {
      const Driver& driver = m_machine.DriverAt(m_driver);
      const int outer = m_machine.CurrentDevice();
      for (std::size_t index = 0; index < driver.devices.size(); ++index) {
        const Device& device = driver.devices[index];
        dx::GUID guid = device.guid;
        std::string description = device.description;
        std::string name = device.name;
        dx::D3DDEVICEDESC hardware{};
        hardware.dwSize = sizeof(dx::D3DDEVICEDESC);
        hardware.dwFlags = device.hardwareFlags;
        if (device.hardwareFlags != 0) {
          hardware.dwDeviceRenderBitDepth = device.renderDepths;
          hardware.dwDeviceZBufferBitDepth = dx::DDBD_16;
          hardware.dwTextureOpCaps = device.textureOpCaps;
          hardware.dwMaxTextureWidth = 2048;
          hardware.dwMaxTextureHeight = 2048;
        }
        dx::D3DDEVICEDESC software{};
        software.dwSize = sizeof(dx::D3DDEVICEDESC);
        software.dwFlags = device.softwareFlags;
        if (device.softwareFlags != 0) {
          software.dwDeviceRenderBitDepth = device.renderDepths;
          software.dwTextureOpCaps = device.textureOpCaps;
        }
        m_machine.SetCurrentDevice(static_cast<int>(index));
        const dx::HRESULT go_on =
            callback(device.nullGuid ? nullptr : &guid, description.data(), name.data(),
                     device.nullHardwareDescription ? nullptr : &hardware,
                     device.nullSoftwareDescription ? nullptr : &software, context);
        m_machine.SetCurrentDevice(outer);
        if (go_on == dx::D3DENUMRET_CANCEL) break;
      }
      result = driver.enumDevicesResult;
    }
    m_machine.Record(call).result = result;
    return result;
  }

  dx::HRESULT CreateDevice(const dx::GUID& guid, dx::IDirectDrawSurface4* surface, dx::IDirect3DDevice3** result,
                           void*) override;

  dx::ULONG Release() override { return DoRelease(); }
};

class SimDirectDraw4 final : public SimObject, public dx::IDirectDraw4 {
 public:
  // `probe`: made after the driver enumeration, for the texture probe.
  SimDirectDraw4(SimulatedMachine& machine, int driver, bool probe)
      : SimObject(machine, "IDirectDraw4", "IDirectDraw4::Release", driver, -1, -1), m_probe(probe) {}

  dx::HRESULT QueryInterface(const dx::GUID& iid, void** object) override {
    auto call = m_machine.Begin("IDirectDraw4::QueryInterface", m_machine.Detail([&] { return GuidString(iid); }), true, this);
    m_machine.Record(call).driver = m_driver;
    dx::HRESULT result = dx::E_NOINTERFACE;
    if (call.fail) {
      result = kInjected;
    } else if (iid == dx::IID_IDirect3D3) {
      const Driver& driver = m_machine.DriverAt(m_driver);
      result = m_probe ? driver.probeQueryDirect3DResult.value_or(driver.queryDirect3DResult)
                       : driver.queryDirect3DResult;
    }
    if (object != nullptr) {
      *object = DdSucceeded(result) ? static_cast<dx::IDirect3D3*>(m_machine.Make<SimDirect3D>(m_driver)) : nullptr;
    }
    m_machine.Record(call).result = result;
    return result;
  }

  dx::HRESULT EnumDisplayModes(dx::DWORD flags, dx::DDSURFACEDESC2*, void* context,
                               dx::LPDDENUMMODESCALLBACK2 callback) override {
    auto call = m_machine.Begin("IDirectDraw4::EnumDisplayModes", m_machine.Detail([&] { return "flags " + Hex(flags); }),
                                true, this);
    m_machine.Record(call).driver = m_driver;
    m_machine.Record(call).device = m_machine.CurrentDevice();
    dx::HRESULT result = kInjected;
    if (!call.fail) {
      const Driver& driver = m_machine.DriverAt(m_driver);
      for (const DisplayMode& mode : driver.modes) {
        dx::DDSURFACEDESC2 description{};
        description.dwSize = dx::kDDSurfaceDesc2Size;
        description.dwFlags = 0x2 | 0x4 | 0x8 | 0x1000 | 0x40000;  // height, width, pitch, pixel format, refresh
        description.dwWidth = mode.width;
        description.dwHeight = mode.height;
        description.dwLinearSize = mode.width * ((mode.format.dwRGBBitCount + 7) / 8);
        description.dwRefreshRate = 60;
        description.ddpfPixelFormat = mode.format;
        if (callback(&description, context) == dx::DDENUMRET_CANCEL) break;
      }
      result = driver.enumModesResult;
    }
    m_machine.Record(call).result = result;
    return result;
  }

  dx::HRESULT SetCooperativeLevel(dx::HWND window, dx::DWORD flags) override {
    auto call = m_machine.Begin("IDirectDraw4::SetCooperativeLevel", m_machine.Detail([&] {
                                  return std::string(window == nullptr ? "no window" : "window") + ", flags " +
                                         Hex(flags);
                                }),
                                true, this);
    m_machine.Record(call).driver = m_driver;
    const dx::HRESULT result = call.fail ? kInjected : m_machine.DriverAt(m_driver).cooperativeLevelResult;
    m_machine.Record(call).result = result;
    return result;
  }

  dx::HRESULT CreateSurface(dx::DDSURFACEDESC2* description, dx::IDirectDrawSurface4** surface, void*) override {
    std::string detail = "null";
    if (description != nullptr && m_machine.Logging()) {
      detail = std::to_string(description->dwWidth) + "x" + std::to_string(description->dwHeight) + "x" +
               std::to_string(description->ddpfPixelFormat.dwRGBBitCount) + " size " +
               std::to_string(description->dwSize) + " flags " + Hex(description->dwFlags) + " caps " +
               Hex(description->ddsCaps.dwCaps);
    }
    m_machine.NextSurfaceAttempt();
    auto call = m_machine.Begin("IDirectDraw4::CreateSurface", detail, true, this);
    m_machine.Record(call).driver = m_driver;
    dx::HRESULT result = kInjected;
    if (!call.fail) {
      result = dx::DD_OK;
      if (description == nullptr || description->dwSize != dx::kDDSurfaceDesc2Size ||
          (description->dwFlags & dx::DDSD_CAPS) == 0) {
        result = dx::DDERR_INVALIDPARAMS;
      } else {
        const Driver& driver = m_machine.DriverAt(m_driver);
        for (std::size_t index = 0; index < driver.modes.size(); ++index) {
          const DisplayMode& mode = driver.modes[index];
          if (mode.width == description->dwWidth && mode.height == description->dwHeight &&
              SamePixelFormat(mode.format, description->ddpfPixelFormat)) {
            m_machine.Record(call).mode = static_cast<int>(index);
            if (mode.surfaceRefused) result = mode.refusedResult;
            break;
          }
        }
      }
    }
    if (surface != nullptr) *surface = DdSucceeded(result) ? m_machine.Make<SimSurface>(m_driver) : nullptr;
    m_machine.Record(call).result = result;
    return result;
  }

  dx::ULONG Release() override { return DoRelease(); }

 private:
  bool m_probe;
};

class SimDirectDraw final : public SimObject, public dx::IDirectDraw {
 public:
  SimDirectDraw(SimulatedMachine& machine, int driver, bool probe)
      : SimObject(machine, "IDirectDraw", "IDirectDraw::Release", driver, -1, -1), m_probe(probe) {}

  dx::HRESULT QueryInterface(const dx::GUID& iid, void** object) override {
    auto call = m_machine.Begin("IDirectDraw::QueryInterface", m_machine.Detail([&] { return GuidString(iid); }), true, this);
    m_machine.Record(call).driver = m_driver;
    dx::HRESULT result = dx::E_NOINTERFACE;
    if (call.fail) {
      result = kInjected;
    } else if (iid == dx::IID_IDirectDraw4) {
      const Driver& driver = m_machine.DriverAt(m_driver);
      result = m_probe ? driver.probeQueryDirectDraw4Result.value_or(driver.queryDirectDraw4Result)
                       : driver.queryDirectDraw4Result;
    }
    if (object != nullptr) {
      *object =
          DdSucceeded(result) ? static_cast<dx::IDirectDraw4*>(m_machine.Make<SimDirectDraw4>(m_driver, m_probe)) : nullptr;
    }
    m_machine.Record(call).result = result;
    return result;
  }

  dx::ULONG Release() override { return DoRelease(); }

 private:
  bool m_probe;
};

dx::HRESULT SimDirect3D::CreateDevice(const dx::GUID& guid, dx::IDirectDrawSurface4* surface,
                                      dx::IDirect3DDevice3** result, void*) {
  auto call = m_machine.Begin("IDirect3D3::CreateDevice", m_machine.Detail([&] { return GuidString(guid); }), true, this);
  m_machine.Record(call).driver = m_driver;
  dx::HRESULT code = kInjected;
  int found = -1;
  if (!call.fail) {
    const Driver& driver = m_machine.DriverAt(m_driver);
    for (std::size_t index = 0; index < driver.devices.size() && found < 0; ++index) {
      if (driver.devices[index].guid == guid) found = static_cast<int>(index);
    }
    m_machine.Record(call).device = found;
    auto* simSurface = dynamic_cast<SimSurface*>(surface);
    if (simSurface == nullptr || simSurface->DriverIndex() != m_driver || simSurface->IsReleased()) {
      m_machine.Violation("IDirect3D3::CreateDevice given a surface that is not a live surface of driver " +
                          std::to_string(m_driver));
      code = dx::DDERR_INVALIDPARAMS;
    } else if (found < 0) {
      code = D3DERR_INVALID_DEVICE;
    } else {
      code = driver.devices[static_cast<std::size_t>(found)].createDeviceResult;
    }
  }
  if (result != nullptr) *result = DdSucceeded(code) ? m_machine.Make<SimDevice3>(m_driver, found) : nullptr;
  m_machine.Record(call).result = code;
  return code;
}

// ---- DirectSound objects --------------------------------------------------

class SimPropertySet final : public SimObject, public dx::IKsPropertySet {
 public:
  SimPropertySet(SimulatedMachine& machine, int sound) : SimObject(machine, "IKsPropertySet", "IKsPropertySet::Release", -1, -1, sound) {}

  dx::HRESULT QuerySupport(const dx::GUID& set, dx::ULONG id, dx::ULONG* support) override {
    auto call = m_machine.Begin("IKsPropertySet::QuerySupport",
                                m_machine.Detail([&] { return GuidString(set) + " id " + std::to_string(id); }), true,
                                this);
    m_machine.Record(call).sound = m_sound;
    dx::HRESULT result = kInjected;
    if (!call.fail) {
      const SoundDevice& device = m_machine.SoundAt(m_sound);
      if (set == dx::DSPROPSETID_EAX_ReverbProperties && id == dx::DSPROPERTY_EAX_ALL) {
        result = device.querySupportResult;
        if (DsSucceeded(result) && support != nullptr) *support = device.eaxSupport;
      } else {
        result = E_PROP_ID_UNSUPPORTED;
      }
    }
    m_machine.Record(call).result = result;
    return result;
  }
  dx::ULONG Release() override { return DoRelease(); }
};

class SimSound3DBuffer final : public SimObject, public dx::IDirectSound3DBuffer {
 public:
  SimSound3DBuffer(SimulatedMachine& machine, int sound) : SimObject(machine, "IDirectSound3DBuffer", "IDirectSound3DBuffer::Release", -1, -1, sound) {}

  dx::HRESULT QueryInterface(const dx::GUID& iid, void** object) override {
    auto call = m_machine.Begin("IDirectSound3DBuffer::QueryInterface", m_machine.Detail([&] { return GuidString(iid); }), true, this);
    m_machine.Record(call).sound = m_sound;
    dx::HRESULT result = dx::E_NOINTERFACE;
    if (call.fail) {
      result = kInjected;
    } else if (iid == dx::IID_IKsPropertySet) {
      result = m_machine.SoundAt(m_sound).queryPropertySetResult;
    }
    if (object != nullptr) {
      *object = DsSucceeded(result) ? static_cast<dx::IKsPropertySet*>(m_machine.Make<SimPropertySet>(m_sound))
                                    : nullptr;
    }
    m_machine.Record(call).result = result;
    return result;
  }
  dx::ULONG Release() override { return DoRelease(); }
};

class SimSoundBuffer final : public SimObject, public dx::IDirectSoundBuffer {
 public:
  SimSoundBuffer(SimulatedMachine& machine, int sound, bool has3D)
      : SimObject(machine, "IDirectSoundBuffer", "IDirectSoundBuffer::Release", -1, -1, sound), m_has3D(has3D) {}

  dx::HRESULT QueryInterface(const dx::GUID& iid, void** object) override {
    auto call = m_machine.Begin("IDirectSoundBuffer::QueryInterface", m_machine.Detail([&] { return GuidString(iid); }), true, this);
    m_machine.Record(call).sound = m_sound;
    dx::HRESULT result = dx::E_NOINTERFACE;
    if (call.fail) {
      result = kInjected;
    } else if (iid == dx::IID_IDirectSound3DBuffer && m_has3D) {
      result = m_machine.SoundAt(m_sound).query3DBufferResult;
    }
    if (object != nullptr) {
      *object = DsSucceeded(result)
                    ? static_cast<dx::IDirectSound3DBuffer*>(m_machine.Make<SimSound3DBuffer>(m_sound))
                    : nullptr;
    }
    m_machine.Record(call).result = result;
    return result;
  }
  dx::ULONG Release() override { return DoRelease(); }

 private:
  bool m_has3D;
};

class SimDirectSound final : public SimObject, public dx::IDirectSound {
 public:
  SimDirectSound(SimulatedMachine& machine, int sound) : SimObject(machine, "IDirectSound", "IDirectSound::Release", -1, -1, sound) {}

  dx::HRESULT GetCaps(dx::DSCAPS* caps) override {
    auto call = m_machine.Begin(
        "IDirectSound::GetCaps",
        m_machine.Detail([&] { return caps == nullptr ? std::string("null") : "size " + std::to_string(caps->dwSize); }),
        true, this);
    m_machine.Record(call).sound = m_sound;
    dx::HRESULT result = kInjected;
    if (!call.fail) {
      const SoundDevice& device = m_machine.SoundAt(m_sound);
      if (caps == nullptr || caps->dwSize != sizeof(dx::DSCAPS)) {
        result = DSERR_INVALIDPARAM;
      } else {
        result = device.capsResult;
        if (DsSucceeded(result)) {
          caps->dwFlags = 0x1F;  // primary mono/stereo, 8/16 bit, continuous rate
          caps->dwMinSecondarySampleRate = 4000;
          caps->dwMaxSecondarySampleRate = 48000;
          caps->dwPrimaryBuffers = 1;
          caps->dwMaxHw3DAllBuffers = device.maxHw3DAllBuffers;
          caps->dwMaxHw3DStaticBuffers = device.maxHw3DAllBuffers;
          caps->dwMaxHw3DStreamingBuffers = device.maxHw3DAllBuffers;
          caps->dwFreeHw3DAllBuffers = device.maxHw3DAllBuffers;
          caps->dwTotalHwMemBytes = device.totalHwMemBytes;
          caps->dwFreeHwMemBytes = device.totalHwMemBytes;
          caps->dwMaxContigFreeHwMemBytes = device.totalHwMemBytes;
        }
      }
    }
    m_machine.Record(call).result = result;
    return result;
  }

  dx::HRESULT CreateSoundBuffer(const dx::DSBUFFERDESC* description, dx::IDirectSoundBuffer** buffer,
                                void*) override {
    std::string detail = "null";
    if (description != nullptr && m_machine.Logging()) {
      detail = "size " + std::to_string(description->dwSize) + " flags " + Hex(description->dwFlags) + " bytes " +
               std::to_string(description->dwBufferBytes);
      if (description->lpwfxFormat != nullptr) {
        const dx::WAVEFORMATEX& format = *description->lpwfxFormat;
        detail += " format " + std::to_string(format.wFormatTag) + "/" + std::to_string(format.nChannels) + "/" +
                  std::to_string(format.nSamplesPerSec) + "/" + std::to_string(format.nAvgBytesPerSec) + "/" +
                  std::to_string(format.nBlockAlign) + "/" + std::to_string(format.wBitsPerSample);
      }
    }
    auto call = m_machine.Begin("IDirectSound::CreateSoundBuffer", detail, true, this);
    m_machine.Record(call).sound = m_sound;
    dx::HRESULT result = kInjected;
    if (!call.fail) {
      if (description == nullptr || (description->dwSize != dx::kDSBufferDescSize && description->dwSize != 20) ||
          description->lpwfxFormat == nullptr) {
        result = DSERR_INVALIDPARAM;
      } else {
        result = m_machine.SoundAt(m_sound).createBufferResult;
      }
    }
    if (buffer != nullptr) {
      const bool has3D = description != nullptr && (description->dwFlags & dx::DSBCAPS_CTRL3D) != 0;
      *buffer = DsSucceeded(result) ? m_machine.Make<SimSoundBuffer>(m_sound, has3D) : nullptr;
    }
    m_machine.Record(call).result = result;
    return result;
  }

  dx::ULONG Release() override { return DoRelease(); }
};

class SimModule final : public SimObject {
 public:
  explicit SimModule(SimulatedMachine& machine) : SimObject(machine, "glide2x.dll", "FreeLibrary", -1, -1, -1) {}
  void Free() { DoRelease(); }
};

}  // namespace

// ---- SimObject --------------------------------------------------------------

SimObject::SimObject(SimulatedMachine& machine, const char* kind, const char* releaseName, int driver, int device,
                     int sound)
    : m_machine(machine),
      m_kind(kind),
      m_releaseName(releaseName),
      m_driver(driver),
      m_device(device),
      m_sound(sound),
      m_id(static_cast<int>(machine.m_objects.size()) + 1) {}

std::string SimObject::Label() const {
  std::string label = std::string(m_kind) + " #" + std::to_string(m_id);
  if (m_driver >= 0) label += " driver " + std::to_string(m_driver);
  if (m_device >= 0) label += " device " + std::to_string(m_device);
  if (m_sound >= 0) label += " sound device " + std::to_string(m_sound);
  return label;
}

dx::ULONG SimObject::DoRelease() {
  auto call = m_machine.Begin(m_releaseName, m_machine.Detail([&] { return Label(); }), false, nullptr);
  ++m_releases;
  if (m_releases > 1) m_machine.Violation(Label() + " released again");
  m_machine.Record(call).driver = m_driver;
  m_machine.Record(call).device = m_device;
  m_machine.Record(call).sound = m_sound;
  return 0;
}

std::string CallRecord::ToString() const {
  std::string text = name;
  if (!detail.empty()) text += " (" + detail + ")";
  text += " = " + Hex(result);
  if (injected) text += " [injected]";
  return text;
}

// ---- SimulatedMachine -----------------------------------------------------

std::size_t SimulatedMachine::GuidHash::operator()(const std::array<unsigned char, 16>& key) const {
  // FNV-1a over 64 bits, whatever the width of std::size_t (32 bits in the
  // i686 Windows build).
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char byte : key) hash = (hash ^ byte) * 1099511628211ull;
  return static_cast<std::size_t>(hash);
}

SimulatedMachine::SimulatedMachine(Machine machine) : m_machine(std::move(machine)) {
  for (std::size_t index = 0; index < m_machine.drivers.size(); ++index) {
    if (m_machine.drivers[index].guid) {
      m_driverByGuid.emplace(GuidKey(*m_machine.drivers[index].guid), static_cast<int>(index));
    }
  }
  for (std::size_t index = 0; index < m_machine.soundDevices.size(); ++index) {
    if (m_machine.soundDevices[index].guid) {
      m_soundByGuid.emplace(GuidKey(*m_machine.soundDevices[index].guid), static_cast<int>(index));
    }
  }
  SetInstallPath(m_machine.installPath);
}

SimulatedMachine::~SimulatedMachine() {
  if (m_installed) Uninstall();
  if (g_glideMachine == this) g_glideMachine = nullptr;
}

void SimulatedMachine::Install() {
  dx::DirectDrawSlot::Install(this);
  dx::DirectSoundSlot::Install(this);
  dll::LibraryLoaderSlot::Install(this);
  m_installed = true;
}

void SimulatedMachine::Uninstall() {
  if (&dx::DirectDrawSlot::Get() == this) dx::DirectDrawSlot::Install(nullptr);
  if (&dx::DirectSoundSlot::Get() == this) dx::DirectSoundSlot::Install(nullptr);
  if (&dll::LibraryLoaderSlot::Get() == this) dll::LibraryLoaderSlot::Install(nullptr);
  m_installed = false;
}

void SimulatedMachine::SetInstallPath(std::optional<std::string> path) {
  m_machine.installPath = path;
  auto& values = m_keys[KeyPath(kGameRegistryKey)];
  if (path) {
    values[Lower(kInstallPathValue)] = *path;
  } else {
    values.erase(Lower(kInstallPathValue));
  }
}

void SimulatedMachine::FailCall(std::uint64_t n) {
  m_failAt = n;
  m_fallibleCalls = 0;
  m_injected.reset();
  m_injectedIndex = std::string::npos;
}

void SimulatedMachine::Reset() {
  m_objects.clear();
  m_calls.clear();
  m_violations.clear();
  m_fallibleCalls = 0;
  m_injected.reset();
  m_injectedIndex = std::string::npos;
  m_inDriverEnumeration = false;
  m_driverEnumerationDone = false;
  m_probeOrdinal = -1;
  m_surfaceAttempt = -1;
  m_currentDevice = -1;
  m_currentDriver = -1;
  m_glideInits = 0;
}

std::optional<CallRecord> SimulatedMachine::InjectedCall() const {
  if (m_injectedIndex != std::string::npos) return m_calls[m_injectedIndex];
  return m_injected;
}

SimulatedMachine::Call SimulatedMachine::Begin(const char* name, std::string detail, bool fallible,
                                               const SimObject* self) {
  if (self != nullptr && self->Released()) Violation(std::string(name) + " called on released " + self->Label());
  Call call{std::string::npos, false};
  if (fallible) {
    ++m_fallibleCalls;
    call.fail = m_failAt != 0 && m_fallibleCalls == m_failAt;
  }
  if (!m_logging && !call.fail) {
    // Only the fields the callers fill are kept, in a scratch record.
    m_scratch.driver = m_scratch.device = m_scratch.mode = m_scratch.sound = -1;
    return call;
  }
  CallRecord record;
  record.name = name;
  record.detail = std::move(detail);
  record.fallible = fallible;
  record.injected = call.fail;
  record.duringDriverEnumeration = m_inDriverEnumeration;
  record.probeOrdinal = m_driverEnumerationDone && !m_inDriverEnumeration ? m_probeOrdinal : -1;
  record.surfaceAttempt = m_surfaceAttempt;
  if (m_logging) {
    call.index = m_calls.size();
    if (call.fail) m_injectedIndex = call.index;
    m_calls.push_back(std::move(record));
  } else if (call.fail) {
    m_injected = std::move(record);
  } else {
    m_scratch = std::move(record);
  }
  return call;
}

CallRecord& SimulatedMachine::Record(const Call& call) {
  if (call.index != std::string::npos) return m_calls[call.index];
  return call.fail ? *m_injected : m_scratch;
}

std::vector<std::string> SimulatedMachine::CallNames() const {
  std::vector<std::string> names;
  names.reserve(m_calls.size());
  for (const CallRecord& record : m_calls) names.push_back(record.name);
  return names;
}

std::vector<std::string> SimulatedMachine::ReleaseProblems() const {
  std::vector<std::string> problems = m_violations;
  for (const auto& object : m_objects) {
    if (object->Releases() != 1) {
      problems.push_back(object->Label() + " released " + std::to_string(object->Releases()) + " times");
    }
  }
  if (m_glideInits != 0) problems.push_back("grGlideInit without grGlideShutdown");
  return problems;
}

int SimulatedMachine::FindDriver(const dx::GUID* guid) const {
  static const dx::GUID zero{};
  if (guid == nullptr || *guid == zero) {
    for (std::size_t index = 0; index < m_machine.drivers.size(); ++index) {
      if (!m_machine.drivers[index].guid) return static_cast<int>(index);
    }
    if (guid == nullptr && !m_machine.drivers.empty()) return 0;  // the primary display
    if (guid == nullptr) return -1;
  }
  const auto found = m_driverByGuid.find(GuidKey(*guid));
  return found == m_driverByGuid.end() ? -1 : found->second;
}

int SimulatedMachine::FindSoundDevice(const dx::GUID* guid) const {
  if (guid == nullptr) {
    for (std::size_t index = 0; index < m_machine.soundDevices.size(); ++index) {
      if (!m_machine.soundDevices[index].guid) return static_cast<int>(index);
    }
    return m_machine.soundDevices.empty() ? -1 : 0;
  }
  const auto found = m_soundByGuid.find(GuidKey(*guid));
  return found == m_soundByGuid.end() ? -1 : found->second;
}

dx::HRESULT SimulatedMachine::DirectDrawEnumerateExA(dx::LPDDENUMCALLBACKEXA callback, void* context,
                                                     dx::DWORD flags) {
  auto call = Begin("DirectDrawEnumerateExA", Detail([&] { return "flags " + Hex(flags); }), true, nullptr);
  dx::HRESULT result = kInjected;
  if (!call.fail) {
    const bool outer = m_inDriverEnumeration;
    m_inDriverEnumeration = true;
    for (std::size_t index = 0; index < m_machine.drivers.size(); ++index) {
      const Driver& driver = m_machine.drivers[index];
      dx::GUID guid = driver.guid.value_or(dx::GUID{});
      std::string description = driver.description;
      std::string name = driver.name;
      m_currentDriver = static_cast<int>(index);
      const dx::BOOL go_on =
          callback(driver.guid ? &guid : nullptr, description.data(), name.data(), context, nullptr);
      m_currentDriver = -1;
      if (go_on == dx::FALSE) break;
    }
    m_inDriverEnumeration = outer;
    result = m_machine.ddEnumerateResult;
  }
  m_driverEnumerationDone = true;
  Record(call).result = result;
  return result;
}

dx::HRESULT SimulatedMachine::DirectDrawCreate(dx::GUID* guid, dx::IDirectDraw** result, void*) {
  if (!m_inDriverEnumeration && m_driverEnumerationDone) {
    ++m_probeOrdinal;
    m_surfaceAttempt = -1;
  }
  auto call = Begin("DirectDrawCreate", Detail([&] { return GuidOrNull(guid); }), true, nullptr);
  const int driver = FindDriver(guid);
  Record(call).driver = driver;
  dx::HRESULT code = kInjected;
  if (!call.fail) {
    if (driver < 0) {
      code = DDERR_INVALIDDIRECTDRAWGUID;
    } else {
      code = m_inDriverEnumeration ? DriverAt(driver).createResult : DriverAt(driver).probeCreateResult;
    }
  }
  if (result != nullptr) *result = DdSucceeded(code) ? Make<SimDirectDraw>(driver, !m_inDriverEnumeration) : nullptr;
  Record(call).result = code;
  return code;
}

dx::HRESULT SimulatedMachine::DirectSoundEnumerateA(dx::LPDSENUMCALLBACKA callback, void* context) {
  auto call = Begin("DirectSoundEnumerateA", "", true, nullptr);
  dx::HRESULT result = kInjected;
  if (!call.fail) {
    for (const SoundDevice& device : m_machine.soundDevices) {
      dx::GUID guid = device.guid.value_or(dx::GUID{});
      if (callback(device.guid ? &guid : nullptr, device.description.c_str(), device.module.c_str(), context) ==
          dx::FALSE) {
        break;
      }
    }
    result = m_machine.dsEnumerateResult;
  }
  Record(call).result = result;
  return result;
}

dx::HRESULT SimulatedMachine::DirectSoundCreate(const dx::GUID* guid, dx::IDirectSound** result, void*) {
  auto call = Begin("DirectSoundCreate", Detail([&] { return GuidOrNull(guid); }), true, nullptr);
  const int device = FindSoundDevice(guid);
  Record(call).sound = device;
  dx::HRESULT code = kInjected;
  if (!call.fail) code = device < 0 ? dx::DSERR_NODRIVER : SoundAt(device).createResult;
  if (result != nullptr) *result = DsSucceeded(code) ? Make<SimDirectSound>(device) : nullptr;
  Record(call).result = code;
  return code;
}

// ---- Library loader and Glide -------------------------------------------

dll::ModuleHandle SimulatedMachine::LoadLibraryA(const char* name) {
  auto call = Begin("LoadLibraryA", name == nullptr ? "null" : name, true, nullptr);
  dll::ModuleHandle module = nullptr;
  if (!call.fail && name != nullptr && Lower(name) == "glide2x.dll" && m_machine.glide.library) {
    module = Make<SimModule>();
    g_glideMachine = this;
  }
  Record(call).result = module != nullptr ? 1 : 0;
  return module;
}

dll::ProcAddress SimulatedMachine::GetProcAddress(dll::ModuleHandle module, const char* name) {
  auto call = Begin("GetProcAddress", name == nullptr ? "null" : name, true, nullptr);
  dll::ProcAddress address = nullptr;
  const auto owned = std::find_if(m_objects.begin(), m_objects.end(),
                                  [&](const auto& object) { return object.get() == module; });
  if (owned == m_objects.end() || (*owned)->Released()) {
    Violation("GetProcAddress on a module that is not loaded");
  } else if (!call.fail && name != nullptr && m_machine.glide.missingExports.count(name) == 0) {
    const std::string export_name = name;
    if (export_name == glide::kQueryHardwareExport) address = AsProc(&SimGrSstQueryHardware);
    if (export_name == glide::kQueryBoardsExport) address = AsProc(&SimGrSstQueryBoards);
    if (export_name == glide::kGlideInitExport) address = AsProc(&SimGrGlideInit);
    if (export_name == glide::kGlideShutdownExport) address = AsProc(&SimGrGlideShutdown);
    if (export_name == glide::kSstSelectExport) address = AsProc(&SimGrSstSelect);
  }
  Record(call).result = address != nullptr ? 1 : 0;
  return address;
}

bool SimulatedMachine::FreeLibrary(dll::ModuleHandle module) {
  const auto owned = std::find_if(m_objects.begin(), m_objects.end(),
                                  [&](const auto& object) { return object.get() == module; });
  auto* simModule = owned == m_objects.end() ? nullptr : dynamic_cast<SimModule*>(owned->get());
  if (simModule == nullptr) {
    auto call = Begin("FreeLibrary", "unknown module", false, nullptr);
    Violation("FreeLibrary of a module that was never loaded");
    Record(call).result = 0;
    return false;
  }
  simModule->Free();
  return true;
}

glide::FxBool SimulatedMachine::GlideQueryBoards(glide::GrHwConfiguration* config) {
  auto call = Begin("grSstQueryBoards", "", true, nullptr);
  glide::FxBool result = 0;
  if (!call.fail && config != nullptr) {
    config->num_sst = m_machine.glide.numSst;
    result = 1;
  }
  Record(call).result = result;
  return result;
}

glide::FxBool SimulatedMachine::GlideQueryHardware(glide::GrHwConfiguration* config) {
  auto call = Begin("grSstQueryHardware", "", true, nullptr);
  glide::FxBool result = 0;
  if (!call.fail && config != nullptr) {
    const Glide& board = m_machine.glide;
    config->num_sst = board.numSst;
    for (int index = 0; index < board.numSst && index < glide::MAX_NUM_SST; ++index) {
      FillGlideBoard(board, index, *config);
    }
    result = 1;
  }
  Record(call).result = result;
  return result;
}

void SimulatedMachine::GlideInit() {
  auto call = Begin("grGlideInit", "", false, nullptr);
  if (m_glideInits != 0) Violation("grGlideInit twice");
  ++m_glideInits;
  Record(call).result = 0;
}

void SimulatedMachine::GlideShutdown() {
  auto call = Begin("grGlideShutdown", "", false, nullptr);
  if (m_glideInits == 0) Violation("grGlideShutdown without grGlideInit");
  if (m_glideInits > 0) --m_glideInits;
  Record(call).result = 0;
}

void SimulatedMachine::GlideSelect(int board) {
  auto call = Begin("grSstSelect", std::to_string(board), false, nullptr);
  Record(call).result = 0;
}

// ---- Registry -------------------------------------------------------------

long SimulatedMachine::CreateKeyEx(reg::HKEY root, const std::string& subKey, std::uint32_t access,
                                   reg::HKEY* result) {
  auto call = Begin("RegCreateKeyExA", subKey + " access " + Hex(access), true, nullptr);
  long code = ERROR_ACCESS_DENIED;
  if (!call.fail) {
    if (root != reg::HKEY_CURRENT_USER || result == nullptr) {
      code = ERROR_INVALID_HANDLE;
    } else {
      const std::string path = KeyPath(subKey);
      m_keys[path];  // created, empty, when missing
      *result = m_nextKey++;
      m_openKeys.emplace(*result, path);
      code = reg::ERROR_SUCCESS;
    }
  }
  Record(call).result = code;
  return code;
}

long SimulatedMachine::QueryValueEx(reg::HKEY key, const std::string& name, std::uint32_t* type, char* data,
                                    std::uint32_t* size) {
  auto call = Begin("RegQueryValueExA", name, true, nullptr);
  long code = ERROR_ACCESS_DENIED;
  if (!call.fail) {
    const auto open = m_openKeys.find(key);
    if (open == m_openKeys.end()) {
      code = ERROR_INVALID_HANDLE;
    } else {
      const auto& values = m_keys[open->second];
      const auto value = values.find(Lower(name));
      if (value == values.end()) {
        code = reg::ERROR_FILE_NOT_FOUND;
      } else {
        const auto needed = static_cast<std::uint32_t>(value->second.size() + 1);
        if (type != nullptr) *type = reg::REG_SZ;
        if (size == nullptr) {
          code = data == nullptr ? reg::ERROR_SUCCESS : 87;  // ERROR_INVALID_PARAMETER
        } else if (data == nullptr) {
          *size = needed;
          code = reg::ERROR_SUCCESS;
        } else if (*size < needed) {
          *size = needed;
          code = reg::ERROR_MORE_DATA;
        } else {
          std::memcpy(data, value->second.c_str(), needed);
          *size = needed;
          code = reg::ERROR_SUCCESS;
        }
      }
    }
  }
  Record(call).result = code;
  return code;
}

long SimulatedMachine::CloseKey(reg::HKEY key) {
  auto call = Begin("RegCloseKey", "", false, nullptr);
  const long code = m_openKeys.erase(key) == 1 ? reg::ERROR_SUCCESS : ERROR_INVALID_HANDLE;
  Record(call).result = code;
  return code;
}

}  // namespace sim
