#include "sim_support.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "tests/simulated/temp_directory.h"

using namespace halcyra;

namespace test {
namespace {

std::vector<std::int32_t>* g_progress = nullptr;
void RecordProgress(std::int32_t code) {
  if (g_progress != nullptr) g_progress->push_back(code);
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

namespace {

std::string Text(const char* text) { return text != nullptr ? text : "(none)"; }

template <typename Mode>
std::string ModeList(const Mode* mode) {
  std::string list;
  for (; mode != nullptr; mode = mode->next) {
    list += " " + std::to_string(mode->width) + "x" + std::to_string(mode->height);
    if constexpr (requires { mode->depth; }) list += "x" + std::to_string(mode->depth);
  }
  return list;
}

template <typename Record>
std::int32_t Length(const Record* record) {
  std::int32_t length = 0;
  for (; record != nullptr; record = record->next) ++length;
  return length;
}

// The four fields of a described line, without the blanks around them.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '|');) {
    const std::size_t first = field.find_first_not_of(' ');
    fields.push_back(first == std::string::npos ? "" : field.substr(first, field.find_last_not_of(' ') + 1 - first));
  }
  fields.resize(4);
  return fields;
}

// Whether the words of `part` are the words of `whole` with some left out.
bool FewerModes(const std::string& part, const std::string& whole) {
  std::istringstream partWords(part);
  std::istringstream wholeWords(whole);
  std::string word;
  std::string candidate;
  while (partWords >> word) {
    do {
      if (!(wholeWords >> candidate)) return false;
    } while (candidate != word);
  }
  return true;
}

}  // namespace

std::vector<std::string> Describe(const HardwareInventory& inventory, const GlideBoardInfo* glide) {
  std::vector<std::string> lines;
  char text[128];
  for (const DisplayDriverRecord* r = inventory.displayDrivers; r != nullptr; r = r->next) {
    std::snprintf(text, sizeof text, "pal=%u 565=%u formats=%02x depths=%03x fit=%d", r->palettedTextures,
                  r->has565Textures, r->textureFormats, r->renderDepths, r->fit);
    lines.push_back("d3d " + std::to_string(r->d3dGuid.Data1) + " | " + Text(r->description) + " | " + text + " |" +
                    ModeList(r->modes));
  }
  for (const SoundDeviceRecord* s = inventory.soundDevices; s != nullptr; s = s->next) {
    lines.push_back("sound " + std::to_string(s->guid.Data1) + " | " + Text(s->description) + " | buffers=" +
                    std::to_string(s->hardware3DBuffers) + " eax=" + std::to_string(s->eaxSupported) + " |");
  }
  if (glide != nullptr) {
    lines.push_back("glide | | present=" + std::to_string(glide->present) + " |" + ModeList(glide->modes));
  }
  return lines;
}

std::vector<std::string> Violations(const HardwareInventory& inventory, const GlideBoardInfo* glide,
                                    const std::vector<std::int32_t>& progress, const std::vector<std::string>& clean) {
  std::vector<std::string> problems;
  if (inventory.displayDriverCount != Length(inventory.displayDrivers)) problems.push_back("display count");
  if (inventory.soundDeviceCount != Length(inventory.soundDevices)) problems.push_back("sound count");
  for (const DisplayDriverRecord* r = inventory.displayDrivers; r != nullptr; r = r->next) {
    if (r->modeCount != Length(r->modes)) problems.push_back("mode count");
    if (r->hardware != 1 || r->ddGuidText == nullptr || r->d3dGuidText == nullptr) problems.push_back("record fields");
  }
  if (glide != nullptr && glide->modeCount != Length(glide->modes)) problems.push_back("glide mode count");
  // Progress: 200, the drivers' 100s, 300, 400, then the sound devices' 500s.
  const std::map<std::int32_t, int> stage = {{200, 0}, {100, 1}, {300, 2}, {400, 3}, {500, 4}};
  for (std::size_t i = 0; i < progress.size(); ++i) {
    if (!stage.contains(progress[i]) || (i > 0 && stage.at(progress[i]) < stage.at(progress[i - 1]))) {
      problems.push_back("progress order");
      break;
    }
  }
  // A failure only leaves things out: each record is one of the clean run's,
  // in the same order, with its findings or as none found (unfit, no EAX, no
  // board), and with some of its modes or the fall-back mode of a failed
  // mode enumeration.
  std::size_t next = 0;
  for (const std::string& line : Describe(inventory, glide)) {
    const std::vector<std::string> fields = Fields(line);
    bool found = false;
    while (!found && next < clean.size()) {
      const std::vector<std::string> was = Fields(clean[next++]);
      found = fields[0] == was[0] && fields[1] == was[1] &&
              (fields[2] == was[2] || fields[2].ends_with("fit=0") || fields[2].ends_with("eax=0") ||
               fields[2] == "present=0") &&
              (FewerModes(fields[3], was[3]) || fields[3] == "640x480x16");
    }
    if (!found) problems.push_back("not as in the clean run: " + line);
  }
  return problems;
}

std::string ProfilesDir() { return HALCYRA_PROFILES_DIR; }

std::vector<std::string> ShippedProfiles() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(ProfilesDir())) {
    if (entry.path().extension() == ".toml") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

SimRun RunSim(const std::string& arguments, bool errors) {
  const std::string command = std::string(HALCYRA_SIM_PATH) + " " + arguments + (errors ? " 2>&1" : " 2>/dev/null");
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

std::string Read(const std::filesystem::path& path) { return testing_support::ReadWholeFile(path.string()); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A folder of this test process's own: the default and sanitizer builds (or
// two checkouts) may run the same test at the same time.
std::filesystem::path Scratch(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                    ("halcyra-sim-" + std::to_string(::getpid()) + "-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

ScenarioResult PlayScenario(const std::filesystem::path& dir, const std::string& machine,
                            const std::filesystem::path& game, bool errors) {
  namespace fsys = std::filesystem;
  fsys::remove_all(game);
  fsys::create_directories(game / "static");
  if (fsys::exists(dir / "options.ini")) fsys::copy_file(dir / "options.ini", game / "options.ini");
  std::string install = "--install-dir " + game.string();
  for (const std::string& line : Lines(Read(dir / "setup"))) {
    std::istringstream words(line);
    std::string word, name;
    words >> word >> name;
    if (word == "archive") std::ofstream(game / "static" / name) << "";
    if (word == "readonly") fsys::permissions(game / name, fsys::perms::owner_write, fsys::perm_options::remove);
    if (word == "no-install-dir") install.clear();
  }
  ScenarioResult result;
  result.run = RunSim("--machine " + machine + " " + install + " --script " + (dir / "script.txt").string(), errors);
  if (fsys::exists(game / "options.ini")) {
    result.options = Read(game / "options.ini");
    fsys::permissions(game / "options.ini", fsys::perms::owner_write, fsys::perm_options::add);
  }
  return result;
}

}  // namespace test
