#include "simulated/profile_writer.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "simulated/inventory_report.h"

using namespace halcyra;

namespace sim {

namespace {

// A TOML basic string; bytes above 0x7F and control characters as \u00XX.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%" PRIX32, value);
  return text;
}

std::string Result(dx::HRESULT result) {
  if (result == 0) return "\"ok\"";
  if (result < 0) return Hex(static_cast<std::uint32_t>(result));
  return std::to_string(result);
}

class Writer {
 public:
  void Line(const std::string& text) { m_out << m_indent << text << "\n"; }
  void Key(const char* key, const std::string& value) { Line(std::string(key) + " = " + value); }
  // A result key, left out when it is "ok" (the default).
  void ResultKey(const char* key, dx::HRESULT result) {
    if (result != 0) Key(key, Result(result));
  }
  void Blank() { m_out << "\n"; }
  void Indent(bool on) { m_indent = on ? "  " : ""; }
  std::string Text() const { return m_out.str(); }

 private:
  std::ostringstream m_out;
  std::string m_indent;
};

std::string FormatTable(const dx::DDPIXELFORMAT& f) {
  return "{ flags = " + Hex(f.dwFlags) + ", fourcc = " + Hex(f.dwFourCC) + ", bits = " +
         std::to_string(f.dwRGBBitCount) + ", r_mask = " + Hex(f.dwRBitMask) + ", g_mask = " + Hex(f.dwGBitMask) +
         ", b_mask = " + Hex(f.dwBBitMask) + ", a_mask = " + Hex(f.dwRGBAlphaBitMask) + " }";
}

std::string ModeValue(const DisplayMode& mode) {
  const dx::DWORD depth = mode.format.dwRGBBitCount;
  const bool plainDepth = depth == 8 || depth == 16 || depth == 24 || depth == 32;
  const bool usualFormat = SamePixelFormat(ModePixelFormat(depth), mode.format);
  const std::string size = std::to_string(mode.width) + "x" + std::to_string(mode.height) + "x" + std::to_string(depth);
  if (plainDepth && usualFormat && !mode.surfaceRefused) return "\"" + size + "\"";
  std::string table = "{ width = " + std::to_string(mode.width) + ", height = " + std::to_string(mode.height) +
                      ", depth = " + std::to_string(depth);
  if (!usualFormat) {
    table += ", flags = " + Hex(mode.format.dwFlags) + ", fourcc = " + Hex(mode.format.dwFourCC) +
             ", r_mask = " + Hex(mode.format.dwRBitMask) + ", g_mask = " + Hex(mode.format.dwGBitMask) +
             ", b_mask = " + Hex(mode.format.dwBBitMask) + ", a_mask = " + Hex(mode.format.dwRGBAlphaBitMask);
  }
  if (mode.surfaceRefused) {
    table += ", refused = " + (mode.refusedResult == kModeRefused ? std::string("true") : Result(mode.refusedResult));
  }
  return table + " }";
}

// An array, its items packed onto lines of about 100 characters.
template <typename Item, typename Show>
std::string Array(const std::vector<Item>& items, Show show, const std::string& indent) {
  if (items.empty()) return "[]";
  constexpr std::size_t kWidth = 100;
  std::string text = "[";
  std::string line;
  for (const Item& item : items) {
    const std::string shown = show(item) + ",";
    if (!line.empty() && line.size() + 1 + shown.size() > kWidth) {
      text += "\n" + line;
      line.clear();
    }
    line += (line.empty() ? indent + "  " : " ") + shown;
  }
  return text + "\n" + line + "\n" + indent + "]";
}

const char* BoardTypeName(std::int32_t type) {
  static const char* const names[] = {"voodoo", "sst96", "at3d", "voodoo2", "banshee", "voodoo3"};
  return type >= 0 && type < 6 ? names[type] : nullptr;
}

}  // namespace

std::string WriteMachineProfile(const Machine& machine) {
  Writer w;
  w.Line("# A machine profile (docs/machine-profiles.md): halcyra-sim --machine THIS-FILE");
  w.Blank();
  w.Line("[machine]");
  w.Key("name", Quoted(machine.name));
  w.Key("description", Quoted(machine.description));
  w.Blank();

  w.Line("[capture]");
  const CaptureInfo info = machine.capture.value_or(CaptureInfo{});
  w.Key("program", Quoted(info.program));
  w.Key("version", Quoted(info.version));
  w.Key("date", Quoted(info.date));
  w.Key("system", Quoted(info.system));
  w.Key("byte_strings", "true");
  w.Key("failed_calls", Array(info.failedCalls, Quoted, ""));
  w.Key("notes", Array(info.notes, Quoted, ""));
  w.Blank();

  if (machine.installPath) {
    w.Line("[registry]");
    w.Key("install_path", Quoted(*machine.installPath));
    w.Blank();
  }

  if (!machine.elevated || machine.virtualStore || machine.programFiles || machine.programFolder) {
    w.Line("[user]");
    w.Key("elevated", machine.elevated ? "true" : "false");
    if (machine.virtualStore) w.Key("virtual_store", Quoted(*machine.virtualStore));
    if (machine.programFiles) w.Key("program_files", Quoted(*machine.programFiles));
    if (machine.programFolder) w.Key("program_folder", Quoted(*machine.programFolder));
    w.Blank();
  }

  w.Line("[directdraw]");
  w.Key("enumerate_result", Result(machine.ddEnumerateResult));
  for (const Driver& driver : machine.drivers) {
    w.Blank();
    w.Line("[[directdraw.driver]]");
    if (driver.guid) w.Key("guid", Quoted(GuidString(*driver.guid)));
    w.Key("description", Quoted(driver.description));
    w.Key("name", Quoted(driver.name));
    static const std::pair<const char*, dx::HRESULT Driver::*> results[] = {
        {"create_result", &Driver::createResult},
        {"probe_create_result", &Driver::probeCreateResult},
        {"query_directdraw4_result", &Driver::queryDirectDraw4Result},
        {"query_direct3d3_result", &Driver::queryDirect3DResult},
        {"cooperative_level_result", &Driver::cooperativeLevelResult},
        {"enum_devices_result", &Driver::enumDevicesResult},
        {"enum_modes_result", &Driver::enumModesResult},
    };
    for (const auto& [key, field] : results) w.ResultKey(key, driver.*field);
    if (driver.probeQueryDirectDraw4Result && *driver.probeQueryDirectDraw4Result != driver.queryDirectDraw4Result) {
      w.Key("probe_query_directdraw4_result", Result(*driver.probeQueryDirectDraw4Result));
    }
    if (driver.probeQueryDirect3DResult && *driver.probeQueryDirect3DResult != driver.queryDirect3DResult) {
      w.Key("probe_query_direct3d3_result", Result(*driver.probeQueryDirect3DResult));
    }
    w.Key("modes", Array(driver.modes, ModeValue, ""));
    w.Indent(true);
    for (const Device& device : driver.devices) {
      w.Blank();
      w.Line("[[directdraw.driver.device]]");
      w.Key("guid", Quoted(GuidString(device.guid)));
      w.Key("name", Quoted(device.name));
      w.Key("description", Quoted(device.description));
      w.Key("hardware_flags", Hex(device.hardwareFlags));
      w.Key("software_flags", Hex(device.softwareFlags));
      w.Key("render_depths", Hex(device.renderDepths));
      w.Key("texture_op_caps", Hex(device.textureOpCaps));
      w.Key("texture_formats", Array(device.textureFormats, [](const dx::DDPIXELFORMAT& f) {
              const std::string name = TextureFormatName(f);
              return name.empty() ? FormatTable(f) : "\"" + name + "\"";
            }, "  "));
      w.ResultKey("create_device_result", device.createDeviceResult);
      w.ResultKey("enum_texture_formats_result", device.enumTextureFormatsResult);
      if (device.nullGuid) w.Key("null_guid", "true");
      if (device.nullHardwareDescription) w.Key("null_hardware_description", "true");
      if (device.nullSoftwareDescription) w.Key("null_software_description", "true");
    }
    w.Indent(false);
  }
  w.Blank();

  w.Line("[directsound]");
  w.Key("enumerate_result", Result(machine.dsEnumerateResult));
  for (const SoundDevice& device : machine.soundDevices) {
    w.Blank();
    w.Line("[[directsound.device]]");
    if (device.guid) w.Key("guid", Quoted(GuidString(*device.guid)));
    w.Key("description", Quoted(device.description));
    w.Key("module", Quoted(device.module));
    static const std::pair<const char*, dx::HRESULT SoundDevice::*> results[] = {
        {"create_result", &SoundDevice::createResult},
        {"caps_result", &SoundDevice::capsResult},
        {"create_buffer_result", &SoundDevice::createBufferResult},
        {"query_3d_buffer_result", &SoundDevice::query3DBufferResult},
        {"query_property_set_result", &SoundDevice::queryPropertySetResult},
        {"query_support_result", &SoundDevice::querySupportResult},
    };
    for (const auto& [key, field] : results) w.ResultKey(key, device.*field);
    w.Key("hw_3d_buffers", std::to_string(device.maxHw3DAllBuffers));
    w.Key("hw_memory_bytes", std::to_string(device.totalHwMemBytes));
    w.Key("eax_support", std::to_string(device.eaxSupport));
  }

  if (machine.glide.library || !machine.glide.missingExports.empty()) {
    const Glide& glide = machine.glide;
    w.Blank();
    w.Line("[glide]");
    w.Key("library", glide.library ? "true" : "false");
    std::vector<std::string> missing(glide.missingExports.begin(), glide.missingExports.end());
    w.Key("missing_exports", Array(missing, Quoted, ""));
    // The board count decides whether there is a board at all: any other
    // count than 0 counts as one found.
    const std::int32_t count = glide.numSst < 0 || glide.numSst > 4 ? 4 : glide.numSst;
    w.Key("num_sst", std::to_string(count));
    const char* type = BoardTypeName(glide.boardType);
    w.Key("board_type", type != nullptr ? Quoted(type) : std::to_string(glide.boardType));
    w.Key("fb_ram", std::to_string(glide.fbRam));
    w.Key("tmu_ram", std::to_string(glide.tmuRam));
    w.Key("texelfx", std::to_string(glide.nTexelfx));
    w.Key("sli", glide.sliDetect ? "true" : "false");
    if (glide.config) {
      std::vector<std::int32_t> words(glide.config->begin(), glide.config->end());
      w.Key("config", Array(words, [](std::int32_t word) { return std::to_string(word); }, ""));
    }
  }
  return w.Text();
}

}  // namespace sim
