#include "sim_support.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace test {
namespace {

std::vector<std::int32_t>* g_progress = nullptr;
void RecordProgress(std::int32_t code) {
  if (g_progress != nullptr) g_progress->push_back(code);
}

bool Is(const std::optional<sim::CallRecord>& failed, const char* name) {
  return failed && failed->name == name;
}

// The texture findings of one format, by the classification rules.
void Classify(const dx::DDPIXELFORMAT& f, ExpectedRecord& r) {
  const bool argb = f.dwRGBAlphaBitMask == 0xFF000000u && f.dwRBitMask == 0xFF0000u && f.dwGBitMask == 0xFF00u &&
                    f.dwBBitMask == 0xFFu;
  if (f.dwFlags & dx::DDPF_PALETTEINDEXED8) {
    r.palettedTextures = 1;
    r.textureFormats |= TEXFMT_8BIT;
    return;
  }
  if ((f.dwFlags & (dx::DDPF_ALPHAPIXELS | dx::DDPF_ALPHA)) && f.dwRGBBitCount == 8) {
    r.textureFormats |= TEXFMT_8BIT;
    return;
  }
  if (f.dwRGBBitCount == 16) {
    if (f.dwRBitMask == 0xF800 && f.dwGBitMask == 0x07E0 && f.dwBBitMask == 0x001F) {
      r.has565Textures = 1;
    } else if (f.dwRGBAlphaBitMask == 0x8000 && f.dwRBitMask == 0x7C00 && f.dwGBitMask == 0x03E0 &&
               f.dwBBitMask == 0x001F) {
      r.textureFormats |= TEXFMT_1555;
    } else if (f.dwRGBAlphaBitMask == 0xF000 && f.dwRBitMask == 0x0F00 && f.dwGBitMask == 0x00F0 &&
               f.dwBBitMask == 0x000F) {
      r.textureFormats |= TEXFMT_4444;
    } else if (argb) {
      r.textureFormats |= TEXFMT_8888;
    } else if ((f.dwRBitMask == 0xFF && f.dwRGBAlphaBitMask == 0xFF00) ||
               (f.dwRBitMask == 0xFF00 && f.dwRGBAlphaBitMask == 0xFF)) {
      r.textureFormats |= TEXFMT_88;
    }
    return;
  }
  if (f.dwRGBBitCount == 32 && argb) r.textureFormats |= TEXFMT_8888;
}

bool ModeKept(const sim::DisplayMode& m, std::uint32_t depths) {
  const dx::DWORD d = m.format.dwRGBBitCount;
  const std::pair<dx::DWORD, dx::DWORD> rules[] = {{8, dx::DDBD_8}, {16, dx::DDBD_16}, {24, dx::DDBD_24},
                                                  {32, dx::DDBD_32}};
  for (const auto& [depth, flag] : rules) {
    if (d == depth && (depths & flag) == 0) return false;
  }
  return m.width >= 640 && m.height >= 480 && d >= 16;
}

}  // namespace

dx::GUID Guid(std::uint32_t n) { return dx::GUID{n, 0x1998, 0x2000, {0x80, 0x11, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(n)}}; }

sim::DisplayMode Mode(dx::DWORD width, dx::DWORD height, dx::DWORD depth, bool refused) {
  sim::DisplayMode mode;
  mode.width = width;
  mode.height = height;
  mode.format = sim::ModePixelFormat(depth);
  mode.surfaceRefused = refused;
  return mode;
}

std::vector<sim::DisplayMode> Modes(const std::vector<std::string>& texts) {
  std::vector<sim::DisplayMode> modes;
  for (const std::string& text : texts) {
    unsigned w = 0, h = 0, d = 0;
    if (std::sscanf(text.c_str(), "%ux%ux%u", &w, &h, &d) == 3) modes.push_back(Mode(w, h, d));
  }
  return modes;
}

sim::Device HalDevice(dx::GUID guid, const std::vector<std::string>& formats, dx::DWORD depths) {
  sim::Device device;
  device.guid = guid;
  device.name = "Direct3D HAL";
  device.description = "Hardware";
  device.hardwareFlags = 0x7FF;
  device.renderDepths = depths;
  device.textureOpCaps = dx::D3DTEXOPCAPS_MODULATE;
  for (const std::string& name : formats) {
    if (auto format = sim::NamedTextureFormat(name)) device.textureFormats.push_back(*format);
  }
  return device;
}

sim::Device SoftwareDevice(dx::GUID guid) {
  sim::Device device = HalDevice(guid, {"565", "1555", "4444", "pal8"});
  device.name = "RGB Emulation";
  device.hardwareFlags = 0;
  device.softwareFlags = 0x7FF;
  return device;
}

sim::Driver MakeDriver(std::optional<dx::GUID> guid, const std::string& description, std::vector<sim::Device> devices,
                       std::vector<sim::DisplayMode> modes) {
  sim::Driver driver;
  driver.guid = guid;
  driver.description = description;
  driver.name = "display";
  driver.devices = std::move(devices);
  driver.modes = std::move(modes);
  return driver;
}

sim::SoundDevice Sound(std::optional<dx::GUID> guid, const std::string& description, dx::ULONG eaxSupport) {
  sim::SoundDevice device;
  device.guid = guid;
  device.description = description;
  device.module = "sound.vxd";
  device.maxHw3DAllBuffers = 16;
  device.totalHwMemBytes = 1 << 20;
  device.eaxSupport = eaxSupport;
  return device;
}

Bench::Bench(sim::Machine machine, std::uint64_t failAt)
    : m_machine(std::make_unique<sim::SimulatedMachine>(std::move(machine))) {
  m_machine->Install();
  m_machine->FailCall(failAt);
  g_progress = &m_progress;
  m_inventory = new HardwareInventory(RecordProgress);
  g_progress = nullptr;
}

Bench::~Bench() {
  delete m_inventory;
  m_machine->Uninstall();
}

std::unique_ptr<GlideBoardInfo> Bench::ProbeGlide() { return std::make_unique<GlideBoardInfo>(); }

std::size_t Bench::CountCalls(const std::string& name) const {
  std::size_t count = 0;
  for (const auto& call : m_machine->Calls()) count += call.name == name ? 1 : 0;
  return count;
}

std::vector<std::string> Bench::Records() const {
  std::vector<std::string> names;
  for (const DisplayDriverRecord* r = m_inventory->displayDrivers; r != nullptr; r = r->next) {
    names.emplace_back(r->description);
  }
  return names;
}

Expected ExpectedInventory(const sim::Machine& machine, const std::optional<sim::CallRecord>& failed) {
  Expected out;
  out.progress.push_back(200);

  // Driver enumeration: each driver's records form a group; the groups end
  // up in reverse driver order.
  std::vector<std::vector<ExpectedRecord>> groups;
  if (!Is(failed, "DirectDrawEnumerateExA")) {
    for (std::size_t i = 0; i < machine.drivers.size(); ++i) {
      const sim::Driver& driver = machine.drivers[i];
      const int di = static_cast<int>(i);
      auto failedHere = [&](const char* name) {
        return Is(failed, name) && failed->duringDriverEnumeration && failed->driver == di;
      };
      if (driver.createResult != 0 || failedHere("DirectDrawCreate")) continue;
      if (driver.queryDirectDraw4Result != 0 || failedHere("IDirectDraw::QueryInterface")) continue;
      if (driver.queryDirect3DResult != 0 || failedHere("IDirectDraw4::QueryInterface")) continue;
      out.progress.push_back(100);
      std::vector<ExpectedRecord> group;
      if (!failedHere("IDirect3D3::EnumDevices")) {
        for (std::size_t j = 0; j < driver.devices.size(); ++j) {
          const sim::Device& device = driver.devices[j];
          if (device.nullGuid || device.nullHardwareDescription || device.nullSoftwareDescription) break;
          if (device.guid == dx::IID_IDirect3DNullDevice || device.hardwareFlags == 0) continue;
          ExpectedRecord record;
          record.description = driver.description;
          record.ddGuid = driver.guid.value_or(dx::GUID{});
          record.d3dGuid = device.guid;
          record.renderDepths = device.renderDepths;
          record.driver = di;
          if (device.textureOpCaps & (dx::D3DTEXOPCAPS_SELECTARG2 | dx::D3DTEXOPCAPS_MODULATE)) {
            record.textureFormats = TEXFMT_BLENDOPS;
          }
          const bool modesFailed =
              failedHere("IDirectDraw4::EnumDisplayModes") && failed->device == static_cast<int>(j);
          if (!modesFailed) {
            for (const sim::DisplayMode& mode : driver.modes) {
              if (ModeKept(mode, record.renderDepths)) {
                record.modes.push_back({mode.width, mode.height, mode.format.dwRGBBitCount, mode.format});
              }
            }
          }
          if (record.modes.empty()) record.modes.push_back({640, 480, 16, sim::ModePixelFormat(16)});
          group.push_back(record);
        }
      }
      groups.push_back(std::move(group));
    }
  }
  for (auto group = groups.rbegin(); group != groups.rend(); ++group) {
    for (auto& record : *group) out.records.push_back(record);
  }

  // The texture probe, record by record.
  out.progress.push_back(300);
  for (std::size_t k = 0; k < out.records.size(); ++k) {
    ExpectedRecord& record = out.records[k];
    const sim::Driver& driver = machine.drivers[static_cast<std::size_t>(record.driver)];
    auto failedHere = [&](const char* name) {
      return Is(failed, name) && failed->probeOrdinal == static_cast<int>(k);
    };
    if (driver.probeCreateResult != 0 || failedHere("DirectDrawCreate")) continue;
    if (driver.queryDirectDraw4Result != 0 || failedHere("IDirectDraw::QueryInterface")) continue;
    if (driver.queryDirect3DResult != 0 || failedHere("IDirectDraw4::QueryInterface")) continue;
    if (driver.cooperativeLevelResult != 0 || failedHere("IDirectDraw4::SetCooperativeLevel")) continue;
    bool surface = false;
    for (std::size_t a = 0; a < record.modes.size() && !surface; ++a) {
      const ExpectedMode& mode = record.modes[a];
      bool refused = failedHere("IDirectDraw4::CreateSurface") && failed->surfaceAttempt == static_cast<int>(a);
      for (const sim::DisplayMode& offered : driver.modes) {
        if (offered.width == mode.width && offered.height == mode.height && sim::SamePixelFormat(offered.format, mode.format)) {
          refused = refused || offered.surfaceRefused;
          break;
        }
      }
      surface = !refused;
    }
    if (!surface) continue;
    const sim::Device* device = nullptr;
    for (const sim::Device& candidate : driver.devices) {
      if (candidate.guid == record.d3dGuid) {
        device = &candidate;
        break;
      }
    }
    if (device == nullptr || device->createDeviceResult != 0 || failedHere("IDirect3D3::CreateDevice")) continue;
    if (failedHere("IDirect3DDevice3::EnumTextureFormats")) continue;
    for (const dx::DDPIXELFORMAT& format : device->textureFormats) Classify(format, record);
    if (device->enumTextureFormatsResult == 0 && (record.textureFormats & TEXFMT_1555) == 0) {
      record.has565Textures = 0;
    }
  }

  out.progress.push_back(400);
  for (ExpectedRecord& record : out.records) {
    const bool second = (record.textureFormats & 0x1D) != 0;
    record.fit = record.palettedTextures != 0 ||
                 (record.has565Textures != 0 && (record.textureFormats & TEXFMT_1555) != 0 && second);
    if (record.palettedTextures != 0 && record.has565Textures != 0) record.palettedTextures = 2;
  }

  // Sound.
  if (!Is(failed, "DirectSoundEnumerateA")) {
    for (std::size_t s = 0; s < machine.soundDevices.size(); ++s) {
      const sim::SoundDevice& device = machine.soundDevices[s];
      auto failedHere = [&](const char* name) { return Is(failed, name) && failed->sound == static_cast<int>(s); };
      if (device.createResult < 0 || failedHere("DirectSoundCreate")) continue;
      out.progress.push_back(500);
      if (!device.guid) continue;
      if (device.capsResult < 0 || failedHere("IDirectSound::GetCaps")) continue;
      ExpectedSound sound;
      sound.description = device.description;
      sound.guid = *device.guid;
      sound.buffers = device.maxHw3DAllBuffers;
      sound.memory = device.totalHwMemBytes;
      sound.eax = device.createBufferResult >= 0 && !failedHere("IDirectSound::CreateSoundBuffer") &&
                  device.query3DBufferResult >= 0 && !failedHere("IDirectSoundBuffer::QueryInterface") &&
                  device.queryPropertySetResult >= 0 && !failedHere("IDirectSound3DBuffer::QueryInterface") &&
                  device.querySupportResult >= 0 && !failedHere("IKsPropertySet::QuerySupport") &&
                  (device.eaxSupport & 3) == 3;
      out.sounds.push_back(sound);
    }
  }

  // Glide.
  const sim::Glide& glide = machine.glide;
  if (glide.library && glide.missingExports.empty() && !Is(failed, "LoadLibraryA") &&
      !Is(failed, "GetProcAddress") && !Is(failed, "grSstQueryBoards") && glide.numSst != 0) {
    out.glidePresent = true;
    const bool queried = !Is(failed, "grSstQueryHardware");
    const int fbRam = queried ? glide.fbRam : 0;
    const bool sli = queried && glide.sliDetect;
    if (fbRam > 4 || sli) out.glideModes.insert(out.glideModes.end(), {1024, 768});
    if (fbRam > 2) out.glideModes.insert(out.glideModes.end(), {800, 600});
    out.glideModes.insert(out.glideModes.end(), {640, 480});
  }
  return out;
}

std::vector<std::string> Compare(const Expected& expected, const HardwareInventory& inventory,
                                 const std::vector<std::int32_t>& progress, const GlideBoardInfo* glide) {
  std::vector<std::string> diffs;
  auto differ = [&](const std::string& what) { diffs.push_back(what); };
  if (progress != expected.progress) differ("progress codes differ");
  if (inventory.displayDriverCount != static_cast<std::int32_t>(expected.records.size())) {
    differ("displayDriverCount " + std::to_string(inventory.displayDriverCount) + ", expected " +
           std::to_string(expected.records.size()));
  }
  const DisplayDriverRecord* r = inventory.displayDrivers;
  for (std::size_t k = 0; k < expected.records.size(); ++k, r = r != nullptr ? r->next : nullptr) {
    const ExpectedRecord& e = expected.records[k];
    const std::string at = "record " + std::to_string(k) + ": ";
    if (r == nullptr) {
      differ(at + "missing");
      break;
    }
    if (r->description == nullptr || e.description != r->description) differ(at + "description");
    if (!(r->ddGuid == e.ddGuid) || !(r->d3dGuid == e.d3dGuid)) differ(at + "GUIDs");
    if (r->palettedTextures != e.palettedTextures) differ(at + "palettedTextures");
    if (r->has565Textures != e.has565Textures) differ(at + "has565Textures");
    if (r->textureFormats != e.textureFormats) differ(at + "textureFormats");
    if (r->renderDepths != e.renderDepths) differ(at + "renderDepths");
    if (r->hardware != 1) differ(at + "hardware");
    if ((r->fit != 0) != e.fit) differ(at + "fit");
    if (r->modeCount != static_cast<std::int32_t>(e.modes.size())) differ(at + "modeCount");
    const DisplayModeRecord* m = r->modes;
    for (const ExpectedMode& mode : e.modes) {
      if (m == nullptr || m->width != mode.width || m->height != mode.height || m->depth != mode.depth ||
          !sim::SamePixelFormat(m->pixelFormat, mode.format)) {
        differ(at + "modes");
        break;
      }
      m = m->next;
    }
    if (m != nullptr && diffs.empty()) differ(at + "extra modes");
  }
  if (r != nullptr) differ("extra display records");
  if (inventory.soundDeviceCount != static_cast<std::int32_t>(expected.sounds.size())) differ("soundDeviceCount");
  const SoundDeviceRecord* s = inventory.soundDevices;
  for (std::size_t k = 0; k < expected.sounds.size(); ++k, s = s != nullptr ? s->next : nullptr) {
    const ExpectedSound& e = expected.sounds[k];
    const std::string at = "sound " + std::to_string(k) + ": ";
    if (s == nullptr) {
      differ(at + "missing");
      break;
    }
    if (s->description == nullptr || e.description != s->description) differ(at + "description");
    if (!(s->guid == e.guid)) differ(at + "guid");
    if (s->hardware3DBuffers != e.buffers || s->hardwareMemoryBytes != e.memory) differ(at + "caps");
    if ((s->eaxSupported != 0) != e.eax) differ(at + "eax");
  }
  if (s != nullptr) differ("extra sound records");
  if (glide != nullptr) {
    if ((glide->present != 0) != expected.glidePresent) differ("glide present");
    std::vector<std::int32_t> modes;
    for (const GlideModeRecord* g = glide->modes; g != nullptr; g = g->next) {
      modes.push_back(g->width);
      modes.push_back(g->height);
      if (g->bitsPerPixel != 16) differ("glide depth");
    }
    if (modes != expected.glideModes) differ("glide modes");
    if (glide->modeCount != static_cast<std::int32_t>(expected.glideModes.size() / 2)) differ("glide modeCount");
  }
  return diffs;
}

std::string ProfilesDir() { return HALCYRA_PROFILES_DIR; }

SimRun RunSim(const std::string& arguments) {
  const std::string command = std::string(HALCYRA_SIM_PATH) + " " + arguments + " 2>&1";
  SimRun run;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), got);
  const int status = pclose(pipe);
  run.status = status >= 0 && (status & 0x7F) == 0 ? (status >> 8) & 0xFF : -1;
  return run;
}

}  // namespace test
