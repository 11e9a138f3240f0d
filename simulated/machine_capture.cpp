#include "simulated/machine_capture.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "hardware/directdraw_api.h"
#include "hardware/directsound_api.h"
#include "hardware/glide_library.h"
#include "hardware/library_loader.h"
#include "settings/install_directory.h"
#include "settings/registry.h"
#include "simulated/glide_config.h"
#include "simulated/inventory_report.h"

using namespace halcyra;

namespace sim {

namespace {

bool EqualNoCase(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return false;
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  }
  return *a == *b;
}

std::string Hex(std::int64_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08" PRIX32, static_cast<std::uint32_t>(value));
  return text;
}

std::string ModeText(dx::DWORD width, dx::DWORD height, const dx::DDPIXELFORMAT& format) {
  return std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(format.dwRGBBitCount);
}

// Which platform's rule a call's result follows.
enum class Rule { Zero, DirectSound, Handle, GlideBool, Registry };

bool Failed(Rule rule, std::int64_t result) {
  switch (rule) {
    case Rule::Zero: return result != 0;
    case Rule::DirectSound: return result < 0;
    case Rule::Handle:
    case Rule::GlideBool: return result == 0;
    case Rule::Registry: return result != 0;
  }
  return true;
}

}  // namespace

std::string ResultMeaning(const std::string& call, std::int64_t result) {
  if (call == "LoadLibraryA") return result != 0 ? "loaded" : "not found";
  if (call == "GetProcAddress") return result != 0 ? "found" : "missing";
  if (call == "grSstQueryBoards" || call == "grSstQueryHardware") return result != 0 ? "FXTRUE" : "FXFALSE: failed";
  if (call.rfind("Reg", 0) == 0) {
    switch (result) {
      case 0: return "ERROR_SUCCESS";
      case 2: return "ERROR_FILE_NOT_FOUND: no such value";
      case 5: return "ERROR_ACCESS_DENIED: failed";
      case 6: return "ERROR_INVALID_HANDLE: failed";
      case 87: return "ERROR_INVALID_PARAMETER: failed";
      case 234: return "ERROR_MORE_DATA: the value is longer";
      default: return "failed";
    }
  }
  static const struct {
    std::uint32_t code;
    const char* name;
  } names[] = {
      {0x00000000u, "ok"},
      {0x00000001u, "S_FALSE"},
      {0x80004001u, "E_NOTIMPL (DDERR_UNSUPPORTED)"},
      {0x80004002u, "E_NOINTERFACE"},
      {0x80004005u, "E_FAIL"},
      {0x8007000Eu, "E_OUTOFMEMORY"},
      {0x80070057u, "E_INVALIDARG (DDERR_INVALIDPARAMS)"},
      {0x80070490u, "E_PROP_ID_UNSUPPORTED"},
      {0x88760091u, "DDERR_INVALIDPIXELFORMAT"},
      {0x887600D4u, "DDERR_NOCOOPERATIVELEVELSET"},
      {0x887601FFu, "DDERR_NODIRECTDRAWHW"},
      {0x88760231u, "DDERR_INVALIDDIRECTDRAWGUID"},
      {0x88760705u, "D3DERR_INVALID_DEVICE"},
      {0x8878000Au, "DSERR_ALLOCATED"},
      {0x88780078u, "DSERR_NODRIVER"},
  };
  const bool directSound = call.rfind("DirectSound", 0) == 0 || call.rfind("IDirectSound", 0) == 0 ||
                           call.rfind("IKsPropertySet", 0) == 0;
  const bool failed = directSound ? result < 0 : result != 0;
  for (const auto& entry : names) {
    if (static_cast<std::uint32_t>(result) == entry.code) {
      if (entry.code == 0) return "ok";
      return std::string(entry.name) + (failed ? ": failed" : ": succeeded");
    }
  }
  return failed ? "failed" : "succeeded";
}

std::string ObservedCall::ToString() const {
  std::string text = name;
  if (!detail.empty()) text += " (" + detail + ")";
  const bool handle = name == "LoadLibraryA" || name == "GetProcAddress";
  text += " = " + (handle ? std::string(result != 0 ? "handle" : "null") : Hex(result));
  return text + " (" + ResultMeaning(name, result) + ")";
}

// ---------------------------------------------------------------------------

class MachineCapture::Recorder final : public dx::DirectDrawApi,
                                       public dx::DirectSoundApi,
                                       public dll::LibraryLoader,
                                       public reg::Registry {
 public:
  Recorder()
      : m_directDraw(dx::DirectDrawSlot::Get()),
        m_directSound(dx::DirectSoundSlot::Get()),
        m_loader(dll::LibraryLoaderSlot::Get()),
        m_registry(reg::RegistrySlot::Get()) {
    dx::DirectDrawSlot::Install(this);
    dx::DirectSoundSlot::Install(this);
    dll::LibraryLoaderSlot::Install(this);
    reg::RegistrySlot::Install(this);
    s_active = this;
  }

  ~Recorder() override {
    dx::DirectDrawSlot::Install(&m_directDraw);
    dx::DirectSoundSlot::Install(&m_directSound);
    dll::LibraryLoaderSlot::Install(&m_loader);
    reg::RegistrySlot::Install(&m_registry);
    if (s_active == this) s_active = nullptr;
  }

  // ---- What was seen ------------------------------------------------------

  // A value the profile holds once, though the platform may be asked more
  // than once: the first answer is kept, a different later one is noted.
  template <typename T>
  void Once(std::optional<T>& seen, T& field, const T& value, const std::string& what) {
    if (!seen) {
      seen = value;
      field = value;
    } else if (!(*seen == value)) {
      Note(what + " answered differently when asked again; the profile keeps the first answer");
    }
  }
  void Note(const std::string& text) {
    for (const std::string& note : m_notes) {
      if (note == text) return;
    }
    m_notes.push_back(text);
  }

  struct DeviceSeen {
    std::optional<dx::HRESULT> createDevice;
    std::optional<dx::HRESULT> enumTextures;
    bool texturesRecorded = false;
  };
  struct DriverSeen {
    std::optional<dx::HRESULT> create, probeCreate, queryDD4, queryD3D, probeQueryDD4, probeQueryD3D, cooperative,
        enumDevices, enumModes;
    bool devicesRecorded = false;
    bool modesRecorded = false;
    std::vector<std::optional<bool>> modeRefused;
    std::vector<DeviceSeen> devices;
  };

  Machine m_machine;
  std::vector<DriverSeen> m_drivers;
  std::vector<ObservedCall> m_calls;
  std::vector<std::string> m_notes;
  std::uint64_t m_fallible = 0;
  bool m_inDriverEnumeration = false;
  int m_enumeratingDriver = -1;
  int m_enumeratingSound = -1;
  bool m_glideHardwareQueried = false;

  std::string DriverLabel(int driver) const {
    if (driver < 0) return "unknown driver";
    return "driver \"" + m_machine.drivers[static_cast<std::size_t>(driver)].description + "\"";
  }
  std::string DeviceLabel(int driver, int device) const {
    if (driver < 0 || device < 0) return DriverLabel(driver) + ", unknown device";
    const Device& d = m_machine.drivers[static_cast<std::size_t>(driver)].devices[static_cast<std::size_t>(device)];
    return DriverLabel(driver) + ", device \"" + d.description + "\"";
  }
  std::string SoundLabel(int sound) const {
    if (sound < 0) return "unknown sound device";
    return "sound device \"" + m_machine.soundDevices[static_cast<std::size_t>(sound)].description + "\"";
  }

  std::size_t Begin(const char* name, std::string detail, bool fallible) {
    ObservedCall call;
    call.number = fallible ? ++m_fallible : 0;
    call.name = name;
    call.detail = std::move(detail);
    m_calls.push_back(std::move(call));
    return m_calls.size() - 1;
  }
  template <typename Result>
  Result End(std::size_t index, Rule rule, Result result) {
    ObservedCall& call = m_calls[index];
    call.result = static_cast<std::int64_t>(result);
    call.failed = Failed(rule, call.result);
    return result;
  }

  int FindDriver(const dx::GUID* guid) const {
    static const dx::GUID zero{};
    auto& drivers = m_machine.drivers;
    if (guid == nullptr || *guid == zero) {
      for (std::size_t index = 0; index < drivers.size(); ++index) {
        if (!drivers[index].guid) return static_cast<int>(index);
      }
      if (guid == nullptr) return -1;
    }
    for (std::size_t index = 0; index < drivers.size(); ++index) {
      if (drivers[index].guid && *drivers[index].guid == *guid) return static_cast<int>(index);
    }
    return -1;
  }
  int FindDevice(int driver, const dx::GUID& guid) const {
    if (driver < 0) return -1;
    const auto& devices = m_machine.drivers[static_cast<std::size_t>(driver)].devices;
    for (std::size_t index = 0; index < devices.size(); ++index) {
      if (!devices[index].nullGuid && devices[index].guid == guid) return static_cast<int>(index);
    }
    return -1;
  }
  int FindSound(const dx::GUID* guid) const {
    auto& sounds = m_machine.soundDevices;
    for (std::size_t index = 0; index < sounds.size(); ++index) {
      if (guid == nullptr ? !sounds[index].guid : (sounds[index].guid && *sounds[index].guid == *guid)) {
        return static_cast<int>(index);
      }
    }
    return -1;
  }

  // Objects handed out, kept until the capture ends.
  template <typename Object, typename... Args>
  Object* Keep(Args&&... args) {
    auto object = std::make_unique<Object>(*this, std::forward<Args>(args)...);
    Object* raw = object.get();
    m_objects.push_back(std::move(object));
    return raw;
  }
  struct Held {
    virtual ~Held() = default;
  };
  std::vector<std::unique_ptr<Held>> m_objects;

  // ---- Interface wrappers -------------------------------------------------

  // A release (or other call that cannot fail) passed through and logged.
  template <typename Call>
  static dx::ULONG Pass(Recorder& recorder, const char* name, Call call) {
    const std::size_t index = recorder.Begin(name, "", false);
    const dx::ULONG result = call();
    recorder.m_calls[index].result = static_cast<std::int64_t>(result);
    return result;
  }

  struct Surface final : Held, dx::IDirectDrawSurface4 {
    Surface(Recorder& r, dx::IDirectDrawSurface4* wrapped) : recorder(r), inner(wrapped) {}
    dx::ULONG Release() override { return Pass(recorder, "IDirectDrawSurface4::Release", [&] { return inner->Release(); }); }
    Recorder& recorder;
    dx::IDirectDrawSurface4* inner;
  };

  struct Device3 final : Held, dx::IDirect3DDevice3 {
    Device3(Recorder& r, dx::IDirect3DDevice3* wrapped, int driverIndex, int deviceIndex)
        : recorder(r), inner(wrapped), driver(driverIndex), device(deviceIndex) {}
    struct Context {
      Device3* self;
      dx::LPD3DENUMPIXELFORMATSCALLBACK callback;
      void* context;
      bool record;
    };
    static dx::HRESULT HALCYRA_STDCALL Format(dx::DDPIXELFORMAT* format, void* context) {
      auto* c = static_cast<Context*>(context);
      if (c->record && format != nullptr) c->self->Formats().push_back(*format);
      return c->callback(format, c->context);
    }
    std::vector<dx::DDPIXELFORMAT>& Formats() {
      return recorder.m_machine.drivers[static_cast<std::size_t>(driver)]
          .devices[static_cast<std::size_t>(device)]
          .textureFormats;
    }
    dx::HRESULT EnumTextureFormats(dx::LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override {
      const std::size_t index =
          recorder.Begin("IDirect3DDevice3::EnumTextureFormats", recorder.DeviceLabel(driver, device), true);
      DeviceSeen* seen = device >= 0 ? &recorder.m_drivers[static_cast<std::size_t>(driver)]
                                            .devices[static_cast<std::size_t>(device)]
                                     : nullptr;
      Context c{this, callback, context, seen != nullptr && !seen->texturesRecorded};
      const dx::HRESULT result = inner->EnumTextureFormats(callback == nullptr ? nullptr : Format, &c);
      if (seen != nullptr) {
        seen->texturesRecorded = true;
        recorder.Once(seen->enumTextures, Device().enumTextureFormatsResult, result,
                      "EnumTextureFormats of " + recorder.DeviceLabel(driver, device));
      }
      return recorder.End(index, Rule::Zero, result);
    }
    sim::Device& Device() {
      return recorder.m_machine.drivers[static_cast<std::size_t>(driver)].devices[static_cast<std::size_t>(device)];
    }
    dx::ULONG Release() override { return Pass(recorder, "IDirect3DDevice3::Release", [&] { return inner->Release(); }); }
    Recorder& recorder;
    dx::IDirect3DDevice3* inner;
    int driver;
    int device;
  };

  struct Direct3D final : Held, dx::IDirect3D3 {
    Direct3D(Recorder& r, dx::IDirect3D3* wrapped, int driverIndex) : recorder(r), inner(wrapped), driver(driverIndex) {}
    struct Context {
      Direct3D* self;
      dx::LPD3DENUMDEVICESCALLBACK callback;
      void* context;
      bool record;
    };
    static dx::HRESULT HALCYRA_STDCALL OneDevice(dx::GUID* guid, char* description, char* name,
                                                 dx::D3DDEVICEDESC* hardware, dx::D3DDEVICEDESC* software,
                                                 void* context) {
      auto* c = static_cast<Context*>(context);
      if (c->record) c->self->Record(guid, description, name, hardware, software);
      return c->callback(guid, description, name, hardware, software, c->context);
    }
    void Record(const dx::GUID* guid, const char* description, const char* name, const dx::D3DDEVICEDESC* hardware,
                const dx::D3DDEVICEDESC* software) {
      sim::Device device;
      device.nullGuid = guid == nullptr;
      if (guid != nullptr) device.guid = *guid;
      device.description = description != nullptr ? description : "";
      device.name = name != nullptr ? name : "";
      device.nullHardwareDescription = hardware == nullptr;
      device.nullSoftwareDescription = software == nullptr;
      device.hardwareFlags = hardware != nullptr ? hardware->dwFlags : 0;
      device.softwareFlags = software != nullptr ? software->dwFlags : 0;
      const dx::D3DDEVICEDESC* described = device.hardwareFlags != 0 ? hardware : software;
      if (described != nullptr) {
        device.renderDepths = described->dwDeviceRenderBitDepth;
        device.textureOpCaps = described->dwTextureOpCaps;
      }
      recorder.m_machine.drivers[static_cast<std::size_t>(driver)].devices.push_back(device);
      recorder.m_drivers[static_cast<std::size_t>(driver)].devices.emplace_back();
    }
    dx::HRESULT EnumDevices(dx::LPD3DENUMDEVICESCALLBACK callback, void* context) override {
      const std::size_t index = recorder.Begin("IDirect3D3::EnumDevices", recorder.DriverLabel(driver), true);
      DriverSeen* seen = driver >= 0 ? &recorder.m_drivers[static_cast<std::size_t>(driver)] : nullptr;
      Context c{this, callback, context, seen != nullptr && !seen->devicesRecorded};
      const dx::HRESULT result = inner->EnumDevices(callback == nullptr ? nullptr : OneDevice, &c);
      if (seen != nullptr) {
        seen->devicesRecorded = true;
        recorder.Once(seen->enumDevices, recorder.DriverAt(driver).enumDevicesResult, result,
                      "EnumDevices of " + recorder.DriverLabel(driver));
      }
      return recorder.End(index, Rule::Zero, result);
    }
    dx::HRESULT CreateDevice(const dx::GUID& guid, dx::IDirectDrawSurface4* surface, dx::IDirect3DDevice3** result,
                             void* outer) override {
      const int device = recorder.FindDevice(driver, guid);
      const std::size_t index =
          recorder.Begin("IDirect3D3::CreateDevice", recorder.DeviceLabel(driver, device), true);
      auto* ours = dynamic_cast<Surface*>(surface);
      dx::IDirect3DDevice3* created = nullptr;
      const dx::HRESULT code = inner->CreateDevice(guid, ours != nullptr ? ours->inner : surface, &created, outer);
      if (device >= 0) {
        recorder.Once(recorder.m_drivers[static_cast<std::size_t>(driver)].devices[static_cast<std::size_t>(device)]
                          .createDevice,
                      recorder.DriverAt(driver).devices[static_cast<std::size_t>(device)].createDeviceResult, code,
                      "CreateDevice of " + recorder.DeviceLabel(driver, device));
      }
      if (result != nullptr) {
        *result = created != nullptr && device >= 0 ? recorder.Keep<Device3>(created, driver, device) : created;
      }
      return recorder.End(index, Rule::Zero, code);
    }
    dx::ULONG Release() override { return Pass(recorder, "IDirect3D3::Release", [&] { return inner->Release(); }); }
    Recorder& recorder;
    dx::IDirect3D3* inner;
    int driver;
  };

  struct DirectDraw4 final : Held, dx::IDirectDraw4 {
    DirectDraw4(Recorder& r, dx::IDirectDraw4* wrapped, int driverIndex, bool probing)
        : recorder(r), inner(wrapped), driver(driverIndex), probe(probing) {}
    DriverSeen& Seen() { return recorder.m_drivers[static_cast<std::size_t>(driver)]; }
    Driver& Profile() { return recorder.DriverAt(driver); }

    dx::HRESULT QueryInterface(const dx::GUID& iid, void** object) override {
      const std::size_t index = recorder.Begin("IDirectDraw4::QueryInterface",
                                               recorder.DriverLabel(driver) + ", " + GuidString(iid), true);
      void* got = nullptr;
      const dx::HRESULT result = inner->QueryInterface(iid, &got);
      if (iid == dx::IID_IDirect3D3 && driver >= 0) {
        if (probe) {
          dx::HRESULT unused = 0;
          recorder.Once(Seen().probeQueryD3D, unused, result,
                        "QueryInterface(IID_IDirect3D3) of " + recorder.DriverLabel(driver));
          Profile().probeQueryDirect3DResult = *Seen().probeQueryD3D;
        } else {
          recorder.Once(Seen().queryD3D, Profile().queryDirect3DResult, result,
                        "QueryInterface(IID_IDirect3D3) of " + recorder.DriverLabel(driver));
        }
        if (got != nullptr) got = static_cast<dx::IDirect3D3*>(recorder.Keep<Direct3D>(static_cast<dx::IDirect3D3*>(got), driver));
      }
      if (object != nullptr) *object = got;
      return recorder.End(index, Rule::Zero, result);
    }

    struct ModeContext {
      dx::LPDDENUMMODESCALLBACK2 callback;
      void* context;
      std::vector<DisplayMode> modes;
    };
    static dx::HRESULT HALCYRA_STDCALL OneMode(dx::DDSURFACEDESC2* mode, void* context) {
      auto* c = static_cast<ModeContext*>(context);
      if (mode != nullptr) {
        DisplayMode kept;
        kept.width = mode->dwWidth;
        kept.height = mode->dwHeight;
        kept.format = mode->ddpfPixelFormat;
        c->modes.push_back(kept);
      }
      return c->callback(mode, c->context);
    }
    static bool SameModes(const std::vector<DisplayMode>& a, const std::vector<DisplayMode>& b) {
      return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const DisplayMode& x, const DisplayMode& y) {
        return x.width == y.width && x.height == y.height && SamePixelFormat(x.format, y.format);
      });
    }
    dx::HRESULT EnumDisplayModes(dx::DWORD flags, dx::DDSURFACEDESC2* match, void* context,
                                 dx::LPDDENUMMODESCALLBACK2 callback) override {
      const std::size_t index =
          recorder.Begin("IDirectDraw4::EnumDisplayModes", recorder.DriverLabel(driver), true);
      ModeContext c{callback, context, {}};
      const dx::HRESULT result = inner->EnumDisplayModes(flags, match, &c, callback == nullptr ? nullptr : OneMode);
      if (driver >= 0) {
        // The driver's modes are asked for once per device; the profile
        // holds one list.
        if (!Seen().modesRecorded) {
          Profile().modes = c.modes;
          Seen().modeRefused.assign(c.modes.size(), std::nullopt);
        } else if (!SameModes(Profile().modes, c.modes)) {
          recorder.Note("EnumDisplayModes of " + recorder.DriverLabel(driver) +
                        " listed other modes when asked again; the profile keeps the first list");
        }
        Seen().modesRecorded = true;
        recorder.Once(Seen().enumModes, Profile().enumModesResult, result,
                      "EnumDisplayModes of " + recorder.DriverLabel(driver));
      }
      return recorder.End(index, Rule::Zero, result);
    }

    dx::HRESULT SetCooperativeLevel(dx::HWND window, dx::DWORD flags) override {
      const std::size_t index =
          recorder.Begin("IDirectDraw4::SetCooperativeLevel", recorder.DriverLabel(driver), true);
      const dx::HRESULT result = inner->SetCooperativeLevel(window, flags);
      if (driver >= 0) {
        recorder.Once(Seen().cooperative, Profile().cooperativeLevelResult, result,
                      "SetCooperativeLevel of " + recorder.DriverLabel(driver));
      }
      return recorder.End(index, Rule::Zero, result);
    }

    dx::HRESULT CreateSurface(dx::DDSURFACEDESC2* description, dx::IDirectDrawSurface4** surface,
                              void* outer) override {
      int mode = -1;
      std::string detail = recorder.DriverLabel(driver);
      if (description != nullptr) {
        detail += ", " + ModeText(description->dwWidth, description->dwHeight, description->ddpfPixelFormat);
        const auto& modes = driver >= 0 ? Profile().modes : std::vector<DisplayMode>();
        for (std::size_t i = 0; i < modes.size() && mode < 0; ++i) {
          if (modes[i].width == description->dwWidth && modes[i].height == description->dwHeight &&
              SamePixelFormat(modes[i].format, description->ddpfPixelFormat)) {
            mode = static_cast<int>(i);
          }
        }
      }
      const std::size_t index = recorder.Begin("IDirectDraw4::CreateSurface", detail, true);
      dx::IDirectDrawSurface4* created = nullptr;
      const dx::HRESULT result = inner->CreateSurface(description, &created, outer);
      if (mode >= 0) {
        bool refused = false;
        recorder.Once(Seen().modeRefused[static_cast<std::size_t>(mode)], refused, result != dx::DD_OK,
                      "CreateSurface of " + detail);
        DisplayMode& kept = Profile().modes[static_cast<std::size_t>(mode)];
        kept.surfaceRefused = *Seen().modeRefused[static_cast<std::size_t>(mode)];
        if (kept.surfaceRefused && result != dx::DD_OK) kept.refusedResult = result;
      } else if (result != dx::DD_OK && driver >= 0) {
        recorder.Note("CreateSurface of " + detail +
                      ", a mode the driver does not list, failed; the profile cannot say so, and its replay "
                      "accepts the mode");
      }
      if (surface != nullptr) *surface = created != nullptr ? recorder.Keep<Surface>(created) : nullptr;
      return recorder.End(index, Rule::Zero, result);
    }

    dx::ULONG Release() override { return Pass(recorder, "IDirectDraw4::Release", [&] { return inner->Release(); }); }
    Recorder& recorder;
    dx::IDirectDraw4* inner;
    int driver;
    bool probe;
  };

  struct DirectDraw final : Held, dx::IDirectDraw {
    DirectDraw(Recorder& r, dx::IDirectDraw* wrapped, int driverIndex, bool probing)
        : recorder(r), inner(wrapped), driver(driverIndex), probe(probing) {}
    dx::HRESULT QueryInterface(const dx::GUID& iid, void** object) override {
      const std::size_t index = recorder.Begin("IDirectDraw::QueryInterface",
                                               recorder.DriverLabel(driver) + ", " + GuidString(iid), true);
      void* got = nullptr;
      const dx::HRESULT result = inner->QueryInterface(iid, &got);
      if (iid == dx::IID_IDirectDraw4 && driver >= 0) {
        DriverSeen& seen = recorder.m_drivers[static_cast<std::size_t>(driver)];
        Driver& profile = recorder.DriverAt(driver);
        const std::string what = "QueryInterface(IID_IDirectDraw4) of " + recorder.DriverLabel(driver);
        if (probe) {
          dx::HRESULT unused = 0;
          recorder.Once(seen.probeQueryDD4, unused, result, what);
          profile.probeQueryDirectDraw4Result = *seen.probeQueryDD4;
        } else {
          recorder.Once(seen.queryDD4, profile.queryDirectDraw4Result, result, what);
        }
        if (got != nullptr) {
          got = static_cast<dx::IDirectDraw4*>(
              recorder.Keep<DirectDraw4>(static_cast<dx::IDirectDraw4*>(got), driver, probe));
        }
      }
      if (object != nullptr) *object = got;
      return recorder.End(index, Rule::Zero, result);
    }
    dx::ULONG Release() override { return Pass(recorder, "IDirectDraw::Release", [&] { return inner->Release(); }); }
    Recorder& recorder;
    dx::IDirectDraw* inner;
    int driver;
    bool probe;
  };

  Driver& DriverAt(int driver) { return m_machine.drivers[static_cast<std::size_t>(driver)]; }

  // ---- DirectDraw ---------------------------------------------------------

  struct DriverContext {
    Recorder* self;
    dx::LPDDENUMCALLBACKEXA callback;
    void* context;
  };
  static dx::BOOL HALCYRA_STDCALL OneDriver(dx::GUID* guid, char* description, char* name, void* context,
                                            dx::HMONITOR monitor) {
    auto* c = static_cast<DriverContext*>(context);
    Recorder& self = *c->self;
    Driver driver;
    if (guid != nullptr) driver.guid = *guid;
    driver.description = description != nullptr ? description : "";
    driver.name = name != nullptr ? name : "";
    self.m_machine.drivers.push_back(driver);
    self.m_drivers.emplace_back();
    const int outer = self.m_enumeratingDriver;
    self.m_enumeratingDriver = static_cast<int>(self.m_machine.drivers.size()) - 1;
    const dx::BOOL result = c->callback(guid, description, name, c->context, monitor);
    self.m_enumeratingDriver = outer;
    return result;
  }

  dx::HRESULT DirectDrawEnumerateExA(dx::LPDDENUMCALLBACKEXA callback, void* context, dx::DWORD flags) override {
    const std::size_t index = Begin("DirectDrawEnumerateExA", "", true);
    DriverContext c{this, callback, context};
    const bool outer = m_inDriverEnumeration;
    m_inDriverEnumeration = true;
    const dx::HRESULT result = m_directDraw.DirectDrawEnumerateExA(callback == nullptr ? nullptr : OneDriver, &c, flags);
    m_inDriverEnumeration = outer;
    m_machine.ddEnumerateResult = result;
    return End(index, Rule::Zero, result);
  }

  dx::HRESULT DirectDrawCreate(dx::GUID* guid, dx::IDirectDraw** result, void* outer) override {
    const bool probe = !m_inDriverEnumeration;
    const int driver = probe ? FindDriver(guid) : m_enumeratingDriver;
    const std::size_t index = Begin("DirectDrawCreate", DriverLabel(driver), true);
    dx::IDirectDraw* created = nullptr;
    const dx::HRESULT code = m_directDraw.DirectDrawCreate(guid, &created, outer);
    if (driver >= 0) {
      DriverSeen& seen = m_drivers[static_cast<std::size_t>(driver)];
      Once(probe ? seen.probeCreate : seen.create, probe ? DriverAt(driver).probeCreateResult : DriverAt(driver).createResult,
           code, "DirectDrawCreate of " + DriverLabel(driver));
    }
    if (result != nullptr) *result = created != nullptr ? Keep<DirectDraw>(created, driver, probe) : nullptr;
    return End(index, Rule::Zero, code);
  }

  // ---- DirectSound --------------------------------------------------------

  struct PropertySet final : Held, dx::IKsPropertySet {
    PropertySet(Recorder& r, dx::IKsPropertySet* wrapped, int soundIndex) : recorder(r), inner(wrapped), sound(soundIndex) {}
    dx::HRESULT QuerySupport(const dx::GUID& set, dx::ULONG id, dx::ULONG* support) override {
      const std::size_t index = recorder.Begin("IKsPropertySet::QuerySupport",
                                               recorder.SoundLabel(sound) + ", EAX reverb", true);
      const dx::HRESULT result = inner->QuerySupport(set, id, support);
      if (sound >= 0 && set == dx::DSPROPSETID_EAX_ReverbProperties && id == dx::DSPROPERTY_EAX_ALL) {
        SoundDevice& device = recorder.SoundAt(sound);
        device.querySupportResult = result;
        if (!dx::DsFailed(result) && support != nullptr) device.eaxSupport = *support;
      }
      return recorder.End(index, Rule::DirectSound, result);
    }
    dx::ULONG Release() override { return Pass(recorder, "IKsPropertySet::Release", [&] { return inner->Release(); }); }
    Recorder& recorder;
    dx::IKsPropertySet* inner;
    int sound;
  };

  struct Sound3DBuffer final : Held, dx::IDirectSound3DBuffer {
    Sound3DBuffer(Recorder& r, dx::IDirectSound3DBuffer* wrapped, int soundIndex) : recorder(r), inner(wrapped), sound(soundIndex) {}
    dx::HRESULT QueryInterface(const dx::GUID& iid, void** object) override {
      return recorder.AskSound<PropertySet, dx::IKsPropertySet>("IDirectSound3DBuffer::QueryInterface", sound, *inner,
                                                                iid, dx::IID_IKsPropertySet,
                                                                &SoundDevice::queryPropertySetResult, object);
    }
    dx::ULONG Release() override {
      return Pass(recorder, "IDirectSound3DBuffer::Release", [&] { return inner->Release(); });
    }
    Recorder& recorder;
    dx::IDirectSound3DBuffer* inner;
    int sound;
  };

  struct SoundBuffer final : Held, dx::IDirectSoundBuffer {
    SoundBuffer(Recorder& r, dx::IDirectSoundBuffer* wrapped, int soundIndex) : recorder(r), inner(wrapped), sound(soundIndex) {}
    dx::HRESULT QueryInterface(const dx::GUID& iid, void** object) override {
      return recorder.AskSound<Sound3DBuffer, dx::IDirectSound3DBuffer>(
          "IDirectSoundBuffer::QueryInterface", sound, *inner, iid, dx::IID_IDirectSound3DBuffer,
          &SoundDevice::query3DBufferResult, object);
    }
    dx::ULONG Release() override {
      return Pass(recorder, "IDirectSoundBuffer::Release", [&] { return inner->Release(); });
    }
    Recorder& recorder;
    dx::IDirectSoundBuffer* inner;
    int sound;
  };

  struct DirectSound final : Held, dx::IDirectSound {
    DirectSound(Recorder& r, dx::IDirectSound* wrapped, int soundIndex) : recorder(r), inner(wrapped), sound(soundIndex) {}
    dx::HRESULT GetCaps(dx::DSCAPS* caps) override {
      const std::size_t index = recorder.Begin("IDirectSound::GetCaps", recorder.SoundLabel(sound), true);
      const dx::HRESULT result = inner->GetCaps(caps);
      if (sound >= 0) {
        SoundDevice& device = recorder.SoundAt(sound);
        device.capsResult = result;
        if (!dx::DsFailed(result) && caps != nullptr) {
          device.maxHw3DAllBuffers = caps->dwMaxHw3DAllBuffers;
          device.totalHwMemBytes = caps->dwTotalHwMemBytes;
        }
      }
      return recorder.End(index, Rule::DirectSound, result);
    }
    dx::HRESULT CreateSoundBuffer(const dx::DSBUFFERDESC* description, dx::IDirectSoundBuffer** buffer,
                                  void* outer) override {
      const std::size_t index =
          recorder.Begin("IDirectSound::CreateSoundBuffer", recorder.SoundLabel(sound) + ", EAX test buffer", true);
      dx::IDirectSoundBuffer* created = nullptr;
      const dx::HRESULT result = inner->CreateSoundBuffer(description, &created, outer);
      if (sound >= 0) recorder.SoundAt(sound).createBufferResult = result;
      if (buffer != nullptr) {
        *buffer = created != nullptr && sound >= 0 ? recorder.Keep<SoundBuffer>(created, sound) : created;
      }
      return recorder.End(index, Rule::DirectSound, result);
    }
    dx::ULONG Release() override { return Pass(recorder, "IDirectSound::Release", [&] { return inner->Release(); }); }
    Recorder& recorder;
    dx::IDirectSound* inner;
    int sound;
  };

  SoundDevice& SoundAt(int sound) { return m_machine.soundDevices[static_cast<std::size_t>(sound)]; }

  // A QueryInterface on a sound object of device `sound`, passed through:
  // the answer to `wanted` goes into `field` of the device, and that
  // interface is handed out wrapped.
  template <typename Wrapper, typename Interface, typename Inner>
  dx::HRESULT AskSound(const char* name, int sound, Inner& inner, const dx::GUID& iid, const dx::GUID& wanted,
                       dx::HRESULT SoundDevice::*field, void** object) {
    const std::size_t index = Begin(name, SoundLabel(sound) + ", " + GuidString(iid), true);
    void* got = nullptr;
    const dx::HRESULT result = inner.QueryInterface(iid, &got);
    if (iid == wanted && sound >= 0) {
      SoundAt(sound).*field = result;
      if (got != nullptr) got = static_cast<Interface*>(Keep<Wrapper>(static_cast<Interface*>(got), sound));
    }
    if (object != nullptr) *object = got;
    return End(index, Rule::DirectSound, result);
  }

  struct SoundContext {
    Recorder* self;
    dx::LPDSENUMCALLBACKA callback;
    void* context;
  };
  static dx::BOOL HALCYRA_STDCALL OneSound(dx::GUID* guid, const char* description, const char* module,
                                           void* context) {
    auto* c = static_cast<SoundContext*>(context);
    Recorder& self = *c->self;
    SoundDevice device;
    if (guid != nullptr) device.guid = *guid;
    device.description = description != nullptr ? description : "";
    device.module = module != nullptr ? module : "";
    self.m_machine.soundDevices.push_back(device);
    const int outer = self.m_enumeratingSound;
    self.m_enumeratingSound = static_cast<int>(self.m_machine.soundDevices.size()) - 1;
    const dx::BOOL result = c->callback(guid, description, module, c->context);
    self.m_enumeratingSound = outer;
    return result;
  }

  dx::HRESULT DirectSoundEnumerateA(dx::LPDSENUMCALLBACKA callback, void* context) override {
    const std::size_t index = Begin("DirectSoundEnumerateA", "", true);
    SoundContext c{this, callback, context};
    const dx::HRESULT result = m_directSound.DirectSoundEnumerateA(callback == nullptr ? nullptr : OneSound, &c);
    m_machine.dsEnumerateResult = result;
    return End(index, Rule::DirectSound, result);
  }

  dx::HRESULT DirectSoundCreate(const dx::GUID* guid, dx::IDirectSound** result, void* outer) override {
    const int sound = m_enumeratingSound >= 0 ? m_enumeratingSound : FindSound(guid);
    const std::size_t index = Begin("DirectSoundCreate", SoundLabel(sound), true);
    dx::IDirectSound* created = nullptr;
    const dx::HRESULT code = m_directSound.DirectSoundCreate(guid, &created, outer);
    if (sound >= 0) SoundAt(sound).createResult = code;
    if (result != nullptr) *result = created != nullptr && sound >= 0 ? Keep<DirectSound>(created, sound) : created;
    return End(index, Rule::DirectSound, code);
  }

  // ---- Library loader and Glide -------------------------------------------

  static Recorder* s_active;
  dll::ModuleHandle m_glideModule = nullptr;
  glide::GrSstQueryHardwareProc m_queryHardware = nullptr;
  glide::GrSstQueryBoardsProc m_queryBoards = nullptr;
  glide::GrGlideInitProc m_init = nullptr;
  glide::GrGlideShutdownProc m_shutdown = nullptr;
  glide::GrSstSelectProc m_select = nullptr;

  static glide::FxBool HALCYRA_STDCALL QueryBoards(glide::GrHwConfiguration* config) {
    Recorder& self = *s_active;
    const std::size_t index = self.Begin("grSstQueryBoards", "", true);
    const glide::FxBool result = self.m_queryBoards(config);
    if (config != nullptr) self.m_machine.glide.numSst = config->num_sst;
    return self.End(index, Rule::GlideBool, result);
  }
  static glide::FxBool HALCYRA_STDCALL QueryHardware(glide::GrHwConfiguration* config) {
    Recorder& self = *s_active;
    const std::size_t index = self.Begin("grSstQueryHardware", "", true);
    const glide::FxBool result = self.m_queryHardware(config);
    if (config != nullptr) {
      DecodeGlideBoard(*config, self.m_machine.glide);
      self.m_glideHardwareQueried = true;
    }
    return self.End(index, Rule::GlideBool, result);
  }
  static void HALCYRA_STDCALL Init() {
    Recorder& self = *s_active;
    self.Begin("grGlideInit", "", false);
    self.m_init();
  }
  static void HALCYRA_STDCALL Shutdown() {
    Recorder& self = *s_active;
    self.Begin("grGlideShutdown", "", false);
    self.m_shutdown();
  }
  static void HALCYRA_STDCALL Select(int board) {
    Recorder& self = *s_active;
    self.Begin("grSstSelect", std::to_string(board), false);
    self.m_select(board);
  }

  dll::ModuleHandle LoadLibraryA(const char* name) override {
    const std::size_t index = Begin("LoadLibraryA", name != nullptr ? name : "null", true);
    dll::ModuleHandle module = m_loader.LoadLibraryA(name);
    if (EqualNoCase(name, glide::kLibraryName)) {
      m_glideSeen = true;
      m_machine.glide.library = module != nullptr;
      if (module != nullptr) m_glideModule = module;
    }
    End(index, Rule::Handle, module != nullptr ? 1 : 0);
    return module;
  }

  template <typename Proc>
  dll::ProcAddress Thunk(dll::ProcAddress real, Proc& slot, Proc thunk) {
    slot = reinterpret_cast<Proc>(real);
    return reinterpret_cast<dll::ProcAddress>(thunk);
  }

  dll::ProcAddress GetProcAddress(dll::ModuleHandle module, const char* name) override {
    const std::size_t index = Begin("GetProcAddress", name != nullptr ? name : "null", true);
    dll::ProcAddress address = m_loader.GetProcAddress(module, name);
    if (module != nullptr && module == m_glideModule && name != nullptr) {
      const std::string export_name = name;
      if (address == nullptr) {
        m_machine.glide.missingExports.insert(export_name);
      } else if (export_name == glide::kQueryHardwareExport) {
        address = Thunk(address, m_queryHardware, &QueryHardware);
      } else if (export_name == glide::kQueryBoardsExport) {
        address = Thunk(address, m_queryBoards, &QueryBoards);
      } else if (export_name == glide::kGlideInitExport) {
        address = Thunk(address, m_init, &Init);
      } else if (export_name == glide::kGlideShutdownExport) {
        address = Thunk(address, m_shutdown, &Shutdown);
      } else if (export_name == glide::kSstSelectExport) {
        address = Thunk(address, m_select, &Select);
      }
    }
    End(index, Rule::Handle, address != nullptr ? 1 : 0);
    return address;
  }

  bool FreeLibrary(dll::ModuleHandle module) override {
    const std::size_t index = Begin("FreeLibrary", "", false);
    const bool freed = m_loader.FreeLibrary(module);
    if (module == m_glideModule) m_glideModule = nullptr;
    m_calls[index].result = freed ? 1 : 0;
    return freed;
  }

  bool m_glideSeen = false;

  // ---- Registry -----------------------------------------------------------

  long CreateKeyEx(reg::HKEY root, const std::string& subKey, std::uint32_t access, reg::HKEY* result) override {
    const std::size_t index = Begin("RegCreateKeyExA", "HKEY_CURRENT_USER\\" + subKey, true);
    const long code = m_registry.CreateKeyEx(root, subKey, access, result);
    if (code != 0) Note("RegCreateKeyExA failed; the profile cannot say so, and its replay opens the key");
    return End(index, Rule::Registry, code);
  }

  long QueryValueEx(reg::HKEY key, const std::string& name, std::uint32_t* type, char* data,
                    std::uint32_t* size) override {
    const std::size_t index = Begin("RegQueryValueExA", "\"" + name + "\"", true);
    const long code = m_registry.QueryValueEx(key, name, type, data, size);
    if (EqualNoCase(name.c_str(), kInstallPathValue)) {
      if (code == reg::ERROR_FILE_NOT_FOUND) {
        m_machine.installPath.reset();
      } else if (code == reg::ERROR_SUCCESS && data != nullptr && size != nullptr) {
        std::size_t length = 0;
        while (length < *size && data[length] != '\0') ++length;
        m_machine.installPath = std::string(data, length);
      } else if (code != reg::ERROR_SUCCESS && code != reg::ERROR_MORE_DATA) {
        Note("RegQueryValueExA(\"Install Path\") failed; the profile cannot say so");
      }
    }
    return End(index, Rule::Registry, code);
  }

  long CloseKey(reg::HKEY key) override {
    const std::size_t index = Begin("RegCloseKey", "", false);
    const long code = m_registry.CloseKey(key);
    m_calls[index].result = code;
    return code;
  }

 private:
  dx::DirectDrawApi& m_directDraw;
  dx::DirectSoundApi& m_directSound;
  dll::LibraryLoader& m_loader;
  reg::Registry& m_registry;
};

MachineCapture::Recorder* MachineCapture::Recorder::s_active = nullptr;

MachineCapture::MachineCapture() : m_recorder(std::make_unique<Recorder>()) {}

MachineCapture::~MachineCapture() = default;

Machine MachineCapture::Captured() const {
  Machine machine = m_recorder->m_machine;
  if (!m_recorder->m_glideSeen) machine.glide = Glide{};
  CaptureInfo info;
  for (const ObservedCall& call : m_recorder->m_calls) {
    if (call.number != 0 && call.failed) info.failedCalls.push_back("#" + std::to_string(call.number) + " " + call.ToString());
  }
  info.notes = m_recorder->m_notes;
  machine.capture = info;
  return machine;
}

const std::vector<ObservedCall>& MachineCapture::Calls() const { return m_recorder->m_calls; }

bool MachineCapture::GlideHardwareQueried() const { return m_recorder->m_glideHardwareQueried; }

}  // namespace sim
