#include "simulated/inventory_report.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "app/printable_text.h"
#include "res/version.h"
#include "simulated/machine_profile.h"

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
  return text.empty() ? "none" : text;
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

std::string InventoryReport(const Machine& machine, const HardwareInventory& inventory, const GlideBoardInfo& glide,
                            const std::vector<std::int32_t>& progress) {
  std::ostringstream out;
  const char* rule = "------------------\n";
  out << rule << "Halcyra Setup " << res::kVersion << " hardware report\n" << rule;
  out << Label("Machine") << (machine.name.empty() ? "(unnamed)" : Shown(machine.name)) << "\n";
  if (!machine.description.empty()) out << Label("Description") << Shown(machine.description) << "\n";
  out << Label("Install Path") << (machine.installPath ? Shown(*machine.installPath) : std::string("(not set)")) << "\n";
  out << Label("Progress");
  for (std::size_t i = 0; i < progress.size(); ++i) out << (i == 0 ? "" : " ") << progress[i];
  out << "\n\n";

  out << rule << "Display Devices\n" << rule;
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
    out << Label("Paletted textures") << record->palettedTextures << "\n";
    out << Label("Texture blending") << ((record->textureFormats & TEXFMT_BLENDOPS) != 0 ? "yes" : "no") << "\n";
    out << Label("Display modes") << record->modeCount << "\n";
    for (const DisplayModeRecord* mode = record->modes; mode != nullptr; mode = mode->next) {
      out << std::string(22, ' ') << mode->width << " x " << mode->height << " x " << mode->depth << "\n";
    }
    out << "\n";
  }

  out << rule << "Sound Devices\n" << rule;
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

  out << rule << "3dfx Glide\n" << rule;
  out << Label("Board present") << (glide.HasGlideBoard() ? "yes" : "no") << "\n";
  out << Label("Glide modes") << glide.modeCount << "\n";
  const GlideModeRecord* mode = glide.modes;
  for (std::int32_t index = 0; index < glide.modeCount && mode != nullptr; ++index, mode = mode->next) {
    out << std::string(22, ' ') << mode->width << " x " << mode->height << " x " << mode->bitsPerPixel << "\n";
  }
  return out.str();
}

}  // namespace sim
