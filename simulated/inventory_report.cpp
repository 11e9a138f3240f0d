#include "simulated/inventory_report.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <string_view>

#include "base/printable_text.h"
#include "res/version.h"
#include "settings/file_system.h"
#include "settings/game_settings.h"
#include "settings/install_directory.h"
#include "settings/profile_file.h"
#include "simulated/glide_config.h"
#include "simulated/profile_writer.h"

using namespace halcyra;

namespace sim {

std::string GuidString(const dx::GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08" PRIX32 "-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                static_cast<unsigned>(guid.Data2), static_cast<unsigned>(guid.Data3),
                static_cast<unsigned>(guid.Data4[0]), static_cast<unsigned>(guid.Data4[1]),
                static_cast<unsigned>(guid.Data4[2]), static_cast<unsigned>(guid.Data4[3]),
                static_cast<unsigned>(guid.Data4[4]), static_cast<unsigned>(guid.Data4[5]),
                static_cast<unsigned>(guid.Data4[6]), static_cast<unsigned>(guid.Data4[7]));
  return text;
}

namespace {

// "   Label: ", right-aligned so that the values line up.
std::string Label(const std::string& label) {
  constexpr std::size_t kWidth = 20;
  std::string text = label.size() < kWidth ? std::string(kWidth - label.size(), ' ') : std::string();
  return text + label + ": ";
}
const std::string kContinued(22, ' ');
const char* const kRule = "------------------\n";

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%" PRIX32, value);
  return text;
}

// A text from the profile, with its controls escaped: a device name that
// holds an escape sequence must not drive the reader's terminal.
std::string Shown(std::string_view text) { return printable::Escape(text); }
std::string Shown(const char* text) { return text != nullptr ? Shown(std::string_view(text)) : std::string(); }

std::string RenderDepthText(std::uint32_t depths) {
  std::string text;
  const std::pair<std::uint32_t, const char*> names[] = {
      {dx::DDBD_8, "8"}, {dx::DDBD_16, "16"}, {dx::DDBD_24, "24"}, {dx::DDBD_32, "32"}};
  for (const auto& [bit, name] : names) {
    if ((depths & bit) != 0) text += std::string(text.empty() ? "" : ", ") + name;
  }
  return (text.empty() ? std::string("none") : text + " bits") + " (DDBD flags " + Hex(depths) + ")";
}

std::string TextureText(const DisplayDriverRecord& record) {
  std::string text;
  auto add = [&](const char* name) { text += std::string(text.empty() ? "" : ", ") + name; };
  if ((record.textureFormats & TEXFMT_8BIT) != 0) add(record.palettedTextures != 0 ? "8-bit palettized" : "8-bit alpha");
  if (record.has565Textures != 0) add("565");
  if ((record.textureFormats & TEXFMT_1555) != 0) add("1555");
  if ((record.textureFormats & TEXFMT_88) != 0) add("88");
  if ((record.textureFormats & TEXFMT_4444) != 0) add("4444");
  if ((record.textureFormats & TEXFMT_8888) != 0) add("8888");
  return text.empty() ? "none found" : text;
}

std::string PalettedText(std::uint32_t state) {
  switch (state) {
    case 0: return "0 = no 8-bit palettized format";
    case 1: return "1 = an 8-bit palettized format";
    case 2: return "2 = an 8-bit palettized format, and 565 with 1555";
    default: return std::to_string(state) + " = not a state the probe sets";
  }
}

std::string ProgressText(const std::vector<std::int32_t>& progress) {
  std::string codes;
  for (std::size_t i = 0; i < progress.size(); ++i) codes += (i == 0 ? "" : " ") + std::to_string(progress[i]);
  return codes + " (200 start, 100 per display driver with DirectDraw 4 and Direct3D 3, 300 3D probe, "
                 "400 fitness judgement, 500 per sound device opened)";
}

std::string RasterizerText(std::int32_t code) {
  switch (code) {
    case RasterizerUndefined: return "0 = none chosen yet (Halcyra Setup picks one)";
    case RasterizerDirect3D: return "2 = Direct3D";
    case RasterizerGlide: return "3 = 3dfx Glide";
    default: return std::to_string(code) + " = not a renderer (Halcyra Setup picks one)";
  }
}

std::string TextureModeText(std::uint8_t mode) {
  switch (mode) {
    case Textures8Bit: return "0 = 8-bit textures";
    case Textures16Bit: return "1 = 16-bit textures";
    case TexturesCompressed: return "2 = compressed textures";
    default: return std::to_string(mode) + " = unknown";
  }
}

std::string MipMapText(std::uint8_t level) {
  switch (level) {
    case 0: return "0 = off";
    case 1: return "1 = on, high";
    case 2: return "2 = on, medium";
    case 3: return "3 = on, low";
    default: return std::to_string(level) + " = not a level the game knows";
  }
}

std::string BoardTypeText(std::int32_t type) {
  static const char* const names[] = {"Voodoo Graphics", "SST-96 (Voodoo Rush)", "AT3D", "Voodoo2",
                                      "Banshee", "Voodoo3"};
  return std::to_string(type) + " = " + (type >= 0 && type < 6 ? names[type] : "unknown board type");
}

void Choices(std::ostringstream& out, const ProbeRun& run, const std::string& optionsPath) {
  out << "Current choices in options.ini\n" << kRule;
  if (!run.options) {
    out << "options.ini cannot be read at " << Shown(optionsPath)
        << ": Halcyra Setup starts from its defaults. OK creates the file where it is missing and the "
           "folder holds the game, and never writes over a file that stands but cannot be read.\n\n";
    return;
  }
  GameSettings settings;
  settings.ReadFrom(profile::ProfileFile(*run.options));
  out << Label("Renderer") << RasterizerText(settings.rasterizer) << "\n";
  if (settings.rasterizer == RasterizerDirect3D) {
    std::string device = "none of the display devices below";
    const std::int32_t count = run.inventory->GetDisplayDriverCount();
    for (std::int32_t index = 0; index < count; ++index) {
      const DisplayDriverRecord* record = run.inventory->GetDisplayDriver(index);
      if (record != nullptr && record->ddGuidText != nullptr && settings.ddGuid == record->ddGuidText) {
        device = "display device " + std::to_string(index + 1) + ", " + Shown(record->description);
        break;
      }
    }
    out << Label("DDGUID") << (settings.ddGuid.empty() ? "(empty)" : Shown(settings.ddGuid)) << " = " << device << "\n";
    out << Label("D3DGUID") << (settings.d3dGuid.empty() ? "(empty)" : Shown(settings.d3dGuid)) << "\n";
  }
  out << Label("Textures") << TextureModeText(settings.textureMode) << "\n";
  out << Label("Resolution") << settings.screenWidth << " x " << settings.screenHeight << " x "
      << settings.screenDepth << "\n";
  out << Label("Mip-mapping") << MipMapText(settings.mipMapLevel) << "\n";
  out << Label("EAX") << (settings.enableAcoustics != 0 ? "1 = on" : "0 = off") << "\n\n";
}

void DisplayDevices(std::ostringstream& out, const HardwareInventory& inventory) {
  out << kRule << "Display Devices\n" << kRule;
  const std::int32_t count = inventory.GetDisplayDriverCount();
  if (count == 0) out << "No hardware Direct3D device found.\n";
  for (std::int32_t index = 0; index < count; ++index) {
    const DisplayDriverRecord* record = inventory.GetDisplayDriver(index);
    if (record == nullptr) break;
    out << "Device " << index + 1 << " of " << count << "\n";
    out << Label("Description") << Shown(record->description) << "\n";
    out << Label("DirectDraw GUID") << GuidString(record->ddGuid) << "\n";
    out << Label("DDGUID") << Shown(record->ddGuidText) << "\n";
    out << Label("Direct3D GUID") << GuidString(record->d3dGuid) << "\n";
    out << Label("D3DGUID") << Shown(record->d3dGuidText) << "\n";
    out << Label("Fit") << (record->fit != 0 ? "yes" : "no") << "\n";
    if (record->fit == 0) out << Label("Unfit because") << UnfitReason(*record) << "\n";
    out << Label("Render depths") << RenderDepthText(record->renderDepths) << "\n";
    out << Label("Texture formats") << TextureText(*record) << "\n";
    out << Label("Paletted textures") << PalettedText(record->palettedTextures) << "\n";
    out << Label("Texture blending") << ((record->textureFormats & TEXFMT_BLENDOPS) != 0 ? "yes" : "no") << "\n";
    out << Label("Display modes") << record->modeCount << "\n";
    for (const DisplayModeRecord* mode = record->modes; mode != nullptr; mode = mode->next) {
      out << kContinued << mode->width << " x " << mode->height << " x " << mode->depth << "\n";
    }
    out << "\n";
  }
}

void SoundDevices(std::ostringstream& out, const HardwareInventory& inventory) {
  out << kRule << "Sound Devices\n" << kRule;
  const std::int32_t sounds = inventory.GetSoundDeviceCount();
  if (sounds == 0) out << "No sound device listed.\n";
  for (std::int32_t index = 0; index < sounds; ++index) {
    const SoundDeviceRecord* record = inventory.GetSoundDevice(index);
    if (record == nullptr) break;
    out << "Device " << index + 1 << " of " << sounds << "\n";
    out << Label("Description") << Shown(record->description) << "\n";
    out << Label("GUID") << GuidString(record->guid) << "\n";
    out << Label("Hardware 3D buffers") << record->hardware3DBuffers << "\n";
    out << Label("Hardware memory") << record->hardwareMemoryBytes << " bytes\n";
    out << Label("EAX") << (record->eaxSupported != 0 ? "supported" : "not supported") << "\n\n";
  }
}

void GlideSection(std::ostringstream& out, const ProbeRun& run) {
  const Glide& seen = run.captured.glide;
  const GlideBoardInfo& glide = *run.glide;
  out << kRule << "3dfx Glide\n" << kRule;
  std::string library = seen.library ? "glide2x.dll loaded" : "glide2x.dll not found";
  if (seen.library && !seen.missingExports.empty()) {
    library += ", lacks";
    for (const std::string& name : seen.missingExports) library += " " + name;
  }
  out << Label("Library") << library << "\n";
  out << Label("Board present") << (glide.HasGlideBoard() ? "yes" : "no") << "\n";
  if (glide.HasGlideBoard()) {
    // What the probe reads: the union member the first board's type fills,
    // frame-buffer memory from it and interleave from a Voodoo's only.
    glide::GrHwConfiguration config{};
    FillGlideBoard(seen, 0, config);
    const auto& board = config.SSTs[0];
    const bool voodoo = board.type == glide::GR_SSTTYPE_VOODOO || board.type == glide::GR_SSTTYPE_Voodoo2;
    const std::int32_t fbRam = voodoo ? board.sstBoard.VoodooConfig.fbRam
                               : board.type == glide::GR_SSTTYPE_AT3D ? 0
                                                                     : board.sstBoard.SST96Config.fbRam;
    const std::int32_t sli = voodoo ? board.sstBoard.VoodooConfig.sliDetect : 0;
    out << Label("Boards") << seen.numSst << "\n";
    out << Label("Board type") << BoardTypeText(seen.boardType) << "\n";
    out << Label("Frame buffer") << fbRam << " MB\n";
    out << Label("SLI") << sli << (sli != 0 ? " = scan-line interleave" : " = none") << "\n";
  }
  out << Label("Glide modes") << glide.modeCount << "\n";
  const GlideModeRecord* mode = glide.modes;
  for (std::int32_t index = 0; index < glide.modeCount && mode != nullptr; ++index, mode = mode->next) {
    out << kContinued << mode->width << " x " << mode->height << " x " << mode->bitsPerPixel << "\n";
  }
  out << "\n";
}

void Calls(std::ostringstream& out, const std::vector<ObservedCall>& calls) {
  out << kRule << "Platform calls\n" << kRule;
  out << "Numbered as halcyra-sim --fail-call N counts them.\n";
  for (const ObservedCall& call : calls) {
    if (call.number == 0) continue;
    char number[32];
    std::snprintf(number, sizeof number, "%4" PRIu64 " ", call.number);
    out << number << Shown(call.ToString()) << "\n";
  }
}

std::vector<std::int32_t>* g_progress = nullptr;
void RecordProgress(std::int32_t code) {
  if (g_progress != nullptr) g_progress->push_back(code);
}

}  // namespace

std::string UnfitReason(const DisplayDriverRecord& record) {
  if (record.fit != 0) return "";
  if (record.palettedTextures == 0 && record.has565Textures == 0 && (record.textureFormats & 0x1F) == 0) {
    return "no texture format found (the device could not be probed, or offers none the game uses)";
  }
  std::string reason = "no 8-bit palettized texture format, and";
  std::string missing;
  auto add = [&](const char* what) { missing += std::string(missing.empty() ? " " : "; ") + what; };
  if (record.has565Textures == 0) add("no 565 format alongside 1555");
  if ((record.textureFormats & TEXFMT_1555) == 0) add("no 1555 format");
  if ((record.textureFormats & (TEXFMT_8BIT | TEXFMT_88 | TEXFMT_4444 | TEXFMT_8888)) == 0) {
    add("none of 8-bit alpha, 88, 4444 or 8888");
  }
  return reason + missing;
}

ProbeRun::ProbeRun() = default;
ProbeRun::~ProbeRun() = default;
ProbeRun::ProbeRun(ProbeRun&&) noexcept = default;
ProbeRun& ProbeRun::operator=(ProbeRun&&) noexcept = default;

ProbeRun RunProbes() {
  ProbeRun run;
  MachineCapture capture;
  // The folder Halcyra Setup would use: "Install Path", else the folder that
  // holds the game (this one or the program's).
  run.installFolder = FindGameFolder().value_or(".");
  run.options = filesys::FileSystemSlot::Get().ReadFile(JoinPath(run.installFolder, kOptionsFileName));
  g_progress = &run.progress;
  run.inventory = std::make_unique<HardwareInventory>(RecordProgress);
  g_progress = nullptr;
  run.glide = std::make_unique<GlideBoardInfo>();
  run.captured = capture.Captured();
  run.calls = capture.Calls();
  return run;
}

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

std::string SupportReport(const ReportHeader& header, const ProbeRun& run) {
  std::ostringstream out;
  out << kRule << "Halcyra Setup hardware report\n" << kRule;
  out << Label("Program") << Shown(header.program) << ", Halcyra Setup " << res::kVersion << "\n";
  out << Label("Date") << Shown(header.date) << "\n";
  out << Label("Windows") << Shown(header.windows) << "\n";
  out << Label("Install folder") << Shown(run.installFolder)
      << (run.captured.installPath ? " (registry value \"Install Path\")"
                                   : " (no registry value \"Install Path\": the folder it is started in)")
      << "\n";
  const std::string optionsPath = JoinPath(run.installFolder, kOptionsFileName);
  out << Label(kOptionsFileName) << Shown(optionsPath) << "\n\n";
  Choices(out, run, optionsPath);

  out << kRule << "Machine\n" << kRule;
  out << Label("Machine") << (run.captured.name.empty() ? "(unnamed)" : Shown(run.captured.name)) << "\n";
  if (!run.captured.description.empty()) out << Label("Description") << Shown(run.captured.description) << "\n";
  out << Label("Progress") << ProgressText(run.progress) << "\n\n";

  DisplayDevices(out, *run.inventory);
  SoundDevices(out, *run.inventory);
  GlideSection(out, run);
  Calls(out, run.calls);
  return out.str();
}

std::string CapturedProfile(const ReportHeader& header, const ProbeRun& run) {
  Machine machine = run.captured;
  CaptureInfo& info = machine.capture ? *machine.capture : machine.capture.emplace();
  info.program = header.program;
  info.version = res::kVersion;
  info.date = header.date;
  info.system = header.windows;
  return WriteMachineProfile(machine);
}

std::string SupportFile(const ReportHeader& header, const ProbeRun& run) {
  const std::string profile = CapturedProfile(header, run);
  return SupportReport(header, run) + "\n" + EmbeddedProfileMarkerLine(profile) + "\n" + profile;
}

}  // namespace sim

namespace sim {

std::optional<std::string> OptionsFromReport(std::string_view report) {
  const std::string_view heading = "Current choices in options.ini\n";
  std::size_t at = report.find(heading);
  if (at == std::string_view::npos) return std::nullopt;
  at += heading.size();
  if (report.substr(at, std::strlen(kRule)) == kRule) at += std::strlen(kRule);
  GameSettings settings;
  const auto number = [](std::string_view value, std::int32_t& out) {
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), out);
    return error == std::errc() && end != value.data();
  };
  bool any = false;
  // One "Label: value" a line, up to the blank line that ends the block.
  while (at < report.size()) {
    const std::size_t end = std::min(report.find('\n', at), report.size());
    std::string_view line = report.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    if (line.starts_with("options.ini cannot be read")) return std::nullopt;
    const std::size_t colon = line.find(": ");
    if (colon == std::string_view::npos) continue;
    std::string_view label = line.substr(0, colon);
    while (!label.empty() && label.front() == ' ') label.remove_prefix(1);
    const std::string_view value = line.substr(colon + 2);
    // A GUID as the report shows it, up to " = " and its meaning.
    const std::string_view text = value.substr(0, value.find(" = "));
    std::int32_t n = 0;
    if (label == "Renderer" && number(value, n)) {
      settings.rasterizer = n;
    } else if (label == "DDGUID") {
      settings.ddGuid = text == "(empty)" ? "" : std::string(text);
    } else if (label == "D3DGUID") {
      settings.d3dGuid = text == "(empty)" ? "" : std::string(text);
    } else if (label == "Textures" && number(value, n)) {
      settings.textureMode = static_cast<std::uint8_t>(n);
    } else if (label == "Resolution") {
      std::int32_t width = 0, height = 0, depth = 0;
      const std::size_t x1 = value.find(" x "), x2 = value.find(" x ", x1 == std::string_view::npos ? 0 : x1 + 3);
      if (x1 == std::string_view::npos || x2 == std::string_view::npos || !number(value.substr(0, x1), width) ||
          !number(value.substr(x1 + 3), height) || !number(value.substr(x2 + 3), depth)) {
        continue;
      }
      settings.screenWidth = width;
      settings.screenHeight = height;
      settings.screenDepth = depth;
    } else if (label == "Mip-mapping" && number(value, n)) {
      settings.mipMapLevel = static_cast<std::uint8_t>(n);
    } else if (label == "EAX" && number(value, n)) {
      settings.enableAcoustics = static_cast<std::uint8_t>(n);
    } else {
      continue;
    }
    any = true;
  }
  if (!any) return std::nullopt;
  // The renderer's line first, as the report shows it: a save writes it only
  // for a renderer the game knows, but the player's file may hold any.
  profile::ProfileFile file("[Game]\r\nGame Rasterizer=" + std::to_string(settings.rasterizer) + "\r\n");
  settings.WriteTo(file);
  return file.Content();
}

}  // namespace sim
