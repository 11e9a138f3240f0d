// Reading a machine profile: TOML through toml++, every key checked for its
// name, type and range so that a mistyped profile is refused rather than
// half-read.
#include "simulated/machine_profile.h"

#include "base/checksum.h"
#include "hardware/glide_library.h"
#include "simulated/input_file.h"
#include "simulated/inventory_report.h"
#include "simulated/toml_text_check.h"

#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string_view>

using namespace halcyra;

namespace sim {
namespace {

struct Failure {
  ProfileError error;
};

bool ParseHex(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  value = 0;
  for (char c : text) {
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    value = value * 16 + static_cast<std::uint64_t>(digit);
  }
  return true;
}

std::optional<dx::GUID> ParseGuidText(std::string_view text) {
  static const std::map<std::string, dx::GUID, std::less<>> named = {
      {"hal", dx::IID_IDirect3DHALDevice}, {"rgb", dx::IID_IDirect3DRGBDevice},
      {"ramp", dx::IID_IDirect3DRampDevice}, {"mmx", dx::IID_IDirect3DMMXDevice},
      {"ref", dx::IID_IDirect3DRefDevice}, {"tnlhal", dx::IID_IDirect3DTnLHalDevice},
      {"null", dx::IID_IDirect3DNullDevice},
  };
  if (auto found = named.find(text); found != named.end()) return found->second;
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
    return std::nullopt;
  }
  std::uint64_t part = 0;
  dx::GUID guid{};
  if (!ParseHex(text.substr(0, 8), part)) return std::nullopt;
  guid.Data1 = static_cast<std::uint32_t>(part);
  if (!ParseHex(text.substr(9, 4), part)) return std::nullopt;
  guid.Data2 = static_cast<std::uint16_t>(part);
  if (!ParseHex(text.substr(14, 4), part)) return std::nullopt;
  guid.Data3 = static_cast<std::uint16_t>(part);
  const std::string_view tail[] = {text.substr(19, 2), text.substr(21, 2), text.substr(24, 2), text.substr(26, 2),
                                   text.substr(28, 2), text.substr(30, 2), text.substr(32, 2), text.substr(34, 2)};
  for (std::size_t i = 0; i < 8; ++i) {
    if (!ParseHex(tail[i], part)) return std::nullopt;
    guid.Data4[i] = static_cast<std::uint8_t>(part);
  }
  return guid;
}

[[noreturn]] void Refuse(const std::string& file, const toml::node& node, const std::string& key,
                         const std::string& message) {
  ProfileError error;
  error.file = file;
  error.line = node.source().begin.line;
  error.key = key;
  error.message = message;
  throw Failure{error};
}

// One TOML table being read: hands out its keys with type and range checks
// and, at the end, refuses any key that was not asked for.
class Section {
 public:
  Section(const toml::table& table, std::string path, const std::string& file)
      : m_table(table), m_path(std::move(path)), m_file(file) {}

  std::string KeyPath(std::string_view key) const {
    return m_path.empty() ? std::string(key) : m_path + "." + std::string(key);
  }

  [[noreturn]] void Fail(const toml::node* node, const std::string& key, const std::string& message) const {
    ProfileError error;
    error.file = m_file;
    const auto& source = node != nullptr ? node->source() : m_table.source();
    error.line = source.begin.line;
    error.key = key;
    error.message = message;
    throw Failure{error};
  }

  const toml::node* Take(std::string_view key) {
    m_used.emplace(key);
    return m_table.get(key);
  }

  void Finish() const {
    for (auto&& [key, node] : m_table) {
      if (m_used.count(std::string(key.str())) == 0) {
        ProfileError error;
        error.file = m_file;
        error.line = key.source().begin.line != 0 ? key.source().begin.line : node.source().begin.line;
        error.key = KeyPath(key.str());
        error.message = "unknown key";
        throw Failure{error};
      }
    }
  }

  std::optional<std::string> String(std::string_view key) {
    const toml::node* node = Take(key);
    if (node == nullptr) return std::nullopt;
    if (!node->is_string()) Fail(node, KeyPath(key), "expected a string");
    return node->as_string()->get();
  }

  std::string String(std::string_view key, const std::string& fallback) {
    return String(key).value_or(fallback);
  }

  std::optional<bool> Bool(std::string_view key) {
    const toml::node* node = Take(key);
    if (node == nullptr) return std::nullopt;
    if (!node->is_boolean()) Fail(node, KeyPath(key), "expected true or false");
    return node->as_boolean()->get();
  }

  std::int64_t IntegerOf(const toml::node* node, const std::string& key, std::int64_t min, std::int64_t max) const {
    if (!node->is_integer()) Fail(node, key, "expected an integer");
    const std::int64_t value = node->as_integer()->get();
    if (value < min || value > max) {
      std::ostringstream text;
      text << "out of range: " << value << " is not within " << min << " to " << max;
      Fail(node, key, text.str());
    }
    return value;
  }

  std::optional<std::int64_t> Integer(std::string_view key, std::int64_t min, std::int64_t max) {
    const toml::node* node = Take(key);
    if (node == nullptr) return std::nullopt;
    return IntegerOf(node, KeyPath(key), min, max);
  }

  dx::DWORD Dword(std::string_view key, dx::DWORD fallback) {
    return static_cast<dx::DWORD>(Integer(key, 0, 0xFFFFFFFFll).value_or(fallback));
  }

  // A platform result: an integer (negative, or as the unsigned 32-bit
  // code) or one of the names below.
  dx::HRESULT ResultOf(const toml::node* node, const std::string& key) const {
    if (node->is_string()) {
      static const std::map<std::string, dx::HRESULT, std::less<>> names = {
          {"ok", 0},
          {"fail", dx::E_FAIL},
          {"s_false", 1},
          {"nointerface", dx::E_NOINTERFACE},
          {"outofmemory", dx::E_OUTOFMEMORY},
          {"invalidparams", dx::DDERR_INVALIDPARAMS},
          {"unsupported", static_cast<dx::HRESULT>(0x80004001u)},
      };
      const auto found = names.find(node->as_string()->get());
      if (found == names.end()) {
        Fail(node, key, "unknown result name (ok, fail, s_false, nointerface, outofmemory, invalidparams, unsupported)");
      }
      return found->second;
    }
    if (!node->is_integer()) Fail(node, key, "expected a result code (integer or name)");
    const std::int64_t value = IntegerOf(node, key, std::numeric_limits<std::int32_t>::min(), 0xFFFFFFFFll);
    return static_cast<dx::HRESULT>(static_cast<std::uint32_t>(value));
  }

  dx::HRESULT Result(std::string_view key) {
    const toml::node* node = Take(key);
    return node == nullptr ? 0 : ResultOf(node, KeyPath(key));
  }

  std::optional<dx::GUID> Guid(std::string_view key) {
    const toml::node* node = Take(key);
    if (node == nullptr) return std::nullopt;
    if (!node->is_string()) Fail(node, KeyPath(key), "expected a GUID string");
    const auto guid = ParseGuidText(node->as_string()->get());
    if (!guid) {
      Fail(node, KeyPath(key),
           "expected a GUID as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} or one of hal, rgb, ramp, mmx, ref, tnlhal, null");
    }
    return guid;
  }

  // The array of tables under `key` (TOML [[key]]), each handed to `read`
  // with its own section.
  template <typename Read>
  void Tables(std::string_view key, Read read) {
    const toml::node* node = Take(key);
    if (node == nullptr) return;
    const toml::array* array = node->as_array();
    if (array == nullptr) Fail(node, KeyPath(key), "expected an array of tables ([[" + KeyPath(key) + "]])");
    std::size_t index = 0;
    for (const toml::node& element : *array) {
      const std::string path = KeyPath(key) + "[" + std::to_string(index) + "]";
      if (!element.is_table()) Fail(&element, path, "expected a table");
      Section section(*element.as_table(), path, m_file);
      read(section);
      section.Finish();
      ++index;
    }
  }

  // An optional sub-table.
  template <typename Read>
  void Table(std::string_view key, Read read) {
    const toml::node* node = Take(key);
    if (node == nullptr) return;
    if (!node->is_table()) Fail(node, KeyPath(key), "expected a table");
    Section section(*node->as_table(), KeyPath(key), m_file);
    read(section);
    section.Finish();
  }

  // Each element of the array under `key`, with its path.
  template <typename Read>
  void Elements(std::string_view key, Read read) {
    const toml::node* node = Take(key);
    if (node == nullptr) return;
    const toml::array* array = node->as_array();
    if (array == nullptr) Fail(node, KeyPath(key), "expected an array");
    std::size_t index = 0;
    for (const toml::node& element : *array) {
      read(element, KeyPath(key) + "[" + std::to_string(index));
      ++index;
    }
  }

  const std::string& File() const { return m_file; }

 private:
  const toml::table& m_table;
  std::string m_path;
  const std::string& m_file;
  std::set<std::string, std::less<>> m_used;
};

// A pixel format written out as a table: flags, bits and masks.
dx::DDPIXELFORMAT ExplicitFormat(Section& section) {
  dx::DDPIXELFORMAT format{};
  format.dwSize = sizeof(dx::DDPIXELFORMAT);
  format.dwFlags = section.Dword("flags", 0);
  format.dwFourCC = section.Dword("fourcc", 0);
  format.dwRGBBitCount = section.Dword("bits", 0);
  format.dwRBitMask = section.Dword("r_mask", 0);
  format.dwGBitMask = section.Dword("g_mask", 0);
  format.dwBBitMask = section.Dword("b_mask", 0);
  format.dwRGBAlphaBitMask = section.Dword("a_mask", 0);
  return format;
}

// The sizes and depths a display mode may have: a positive width and
// height, and a depth the game knows.
constexpr std::int64_t kLargestModeSide = 65535;
bool IsModeDepth(std::int64_t depth) { return depth == 8 || depth == 16 || depth == 24 || depth == 32; }
constexpr char kModeRule[] =
    "expected a mode as WIDTHxHEIGHTxDEPTH with a width and height of 1 to 65535 and a depth of 8, 16, "
    "24 or 32";

std::optional<DisplayMode> ParseModeText(std::string_view text) {
  std::int64_t parts[3] = {};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t end = i < 2 ? text.find('x') : text.size();
    if (end == std::string_view::npos || end == 0) return std::nullopt;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + end, parts[i]);
    if (ec != std::errc() || ptr != text.data() + end) return std::nullopt;
    text.remove_prefix(i < 2 ? end + 1 : end);
  }
  if (parts[0] < 1 || parts[0] > kLargestModeSide || parts[1] < 1 || parts[1] > kLargestModeSide ||
      !IsModeDepth(parts[2])) {
    return std::nullopt;
  }
  DisplayMode mode;
  mode.width = static_cast<dx::DWORD>(parts[0]);
  mode.height = static_cast<dx::DWORD>(parts[1]);
  mode.format = ModePixelFormat(static_cast<dx::DWORD>(parts[2]));
  return mode;
}

DisplayMode ReadMode(const toml::node& node, const std::string& path, const std::string& file) {
  if (node.is_string()) {
    const auto mode = ParseModeText(node.as_string()->get());
    if (!mode) Refuse(file, node, path, kModeRule);
    return *mode;
  }
  if (!node.is_table()) Refuse(file, node, path, "expected a mode string or table");
  Section section(*node.as_table(), path, file);
  DisplayMode mode;
  // A table is how a capture writes a mode it cannot write as a string, so
  // it also takes the palette depths below 8 that a driver may enumerate.
  const auto width = section.Integer("width", 1, kLargestModeSide);
  const auto height = section.Integer("height", 1, kLargestModeSide);
  const auto depth = section.Integer("depth", 1, 32);
  if (!width || !height || !depth) section.Fail(&node, path, "missing width, height or depth");
  if (!IsModeDepth(*depth) && *depth != 1 && *depth != 2 && *depth != 4) {
    section.Fail(&node, path + ".depth", "expected a depth of 1, 2, 4, 8, 16, 24 or 32");
  }
  mode.width = static_cast<dx::DWORD>(*width);
  mode.height = static_cast<dx::DWORD>(*height);
  mode.format = ModePixelFormat(static_cast<dx::DWORD>(*depth));
  if (const toml::node* flags = section.Take("flags")) {
    mode.format.dwFlags = static_cast<dx::DWORD>(section.IntegerOf(flags, path + ".flags", 0, 0xFFFFFFFFll));
  }
  mode.format.dwFourCC = section.Dword("fourcc", mode.format.dwFourCC);
  const std::array<std::pair<const char*, dx::DWORD*>, 4> masks = {{{"r_mask", &mode.format.dwRBitMask},
                                                                    {"g_mask", &mode.format.dwGBitMask},
                                                                    {"b_mask", &mode.format.dwBBitMask},
                                                                    {"a_mask", &mode.format.dwRGBAlphaBitMask}}};
  for (const auto& [key, field] : masks) {
    if (const toml::node* value = section.Take(key)) {
      *field = static_cast<dx::DWORD>(section.IntegerOf(value, path + "." + key, 0, 0xFFFFFFFFll));
    }
  }
  // true, or the failure CreateSurface returns.
  if (const toml::node* refused = section.Take("refused")) {
    if (refused->is_boolean()) {
      mode.surfaceRefused = refused->as_boolean()->get();
    } else {
      mode.refusedResult = section.ResultOf(refused, path + ".refused");
      mode.surfaceRefused = mode.refusedResult != 0;
      if (!mode.surfaceRefused) mode.refusedResult = kModeRefused;
    }
  }
  section.Finish();
  return mode;
}

dx::DWORD ReadRenderDepths(Section& section) {
  const toml::node* node = section.Take("render_depths");
  if (node == nullptr) return dx::DDBD_16;
  const std::string key = section.KeyPath("render_depths");
  if (node->is_integer()) return static_cast<dx::DWORD>(section.IntegerOf(node, key, 0, 0xFFFFFFFFll));
  const toml::array* array = node->as_array();
  if (array == nullptr) section.Fail(node, key, "expected a list of depths (8, 16, 24, 32) or DDBD_ flags");
  dx::DWORD flags = 0;
  for (const toml::node& element : *array) {
    switch (section.IntegerOf(&element, key, 8, 32)) {
      case 8: flags |= dx::DDBD_8; break;
      case 16: flags |= dx::DDBD_16; break;
      case 24: flags |= dx::DDBD_24; break;
      case 32: flags |= dx::DDBD_32; break;
      default: section.Fail(&element, key, "expected a depth of 8, 16, 24 or 32");
    }
  }
  return flags;
}

Device ReadDevice(Section& section) {
  Device device;
  const auto guid = section.Guid("guid");
  if (!guid) section.Fail(nullptr, section.KeyPath("guid"), "missing (every Direct3D device has a GUID)");
  device.guid = *guid;
  device.name = section.String("name", "Direct3D HAL");
  device.description = section.String("description", device.name);
  device.hardwareFlags = section.Dword("hardware_flags", 0x7FF);
  device.softwareFlags = section.Dword("software_flags", device.hardwareFlags == 0 ? 0x7FF : 0);
  device.renderDepths = ReadRenderDepths(section);
  device.textureOpCaps = section.Dword("texture_op_caps", dx::D3DTEXOPCAPS_SELECTARG2 | dx::D3DTEXOPCAPS_MODULATE);
  device.createDeviceResult = section.Result("create_device_result");
  device.enumTextureFormatsResult = section.Result("enum_texture_formats_result");
  device.nullGuid = section.Bool("null_guid").value_or(false);
  device.nullHardwareDescription = section.Bool("null_hardware_description").value_or(false);
  device.nullSoftwareDescription = section.Bool("null_software_description").value_or(false);
  const std::string& file = section.File();
  section.Elements("texture_formats", [&](const toml::node& element, const std::string& prefix) {
    const std::string path = prefix + "]";
    if (element.is_string()) {
      const auto format = NamedTextureFormat(element.as_string()->get());
      if (!format) {
        std::string known;
        for (const auto& name : TextureFormatNames()) known += (known.empty() ? "" : ", ") + name;
        Refuse(file, element, path, "unknown texture format (known: " + known + ")");
      }
      device.textureFormats.push_back(*format);
    } else if (element.is_table()) {
      Section format(*element.as_table(), path, file);
      device.textureFormats.push_back(ExplicitFormat(format));
      format.Finish();
    } else {
      Refuse(file, element, path, "expected a format name or a table");
    }
  });
  return device;
}

Driver ReadDriver(Section& section) {
  Driver driver;
  driver.guid = section.Guid("guid");
  driver.description = section.String("description", "Display driver");
  driver.name = section.String("name", "display");
  driver.createResult = section.Result("create_result");
  driver.probeCreateResult = section.Result("probe_create_result");
  driver.queryDirectDraw4Result = section.Result("query_directdraw4_result");
  driver.queryDirect3DResult = section.Result("query_direct3d3_result");
  if (section.Take("probe_query_directdraw4_result") != nullptr) {
    driver.probeQueryDirectDraw4Result = section.Result("probe_query_directdraw4_result");
  }
  if (section.Take("probe_query_direct3d3_result") != nullptr) {
    driver.probeQueryDirect3DResult = section.Result("probe_query_direct3d3_result");
  }
  driver.cooperativeLevelResult = section.Result("cooperative_level_result");
  driver.enumDevicesResult = section.Result("enum_devices_result");
  driver.enumModesResult = section.Result("enum_modes_result");
  const std::string& file = section.File();
  section.Elements("modes", [&](const toml::node& element, const std::string& prefix) {
    driver.modes.push_back(ReadMode(element, prefix + "]", file));
  });
  section.Tables("device", [&](Section& device) { driver.devices.push_back(ReadDevice(device)); });
  return driver;
}

SoundDevice ReadSoundDevice(Section& section) {
  SoundDevice device;
  device.guid = section.Guid("guid");
  device.description = section.String("description", "Sound device");
  device.module = section.String("module", "");
  device.createResult = section.Result("create_result");
  device.capsResult = section.Result("caps_result");
  device.createBufferResult = section.Result("create_buffer_result");
  device.query3DBufferResult = section.Result("query_3d_buffer_result");
  device.queryPropertySetResult = section.Result("query_property_set_result");
  device.querySupportResult = section.Result("query_support_result");
  device.maxHw3DAllBuffers = section.Dword("hw_3d_buffers", 0);
  device.totalHwMemBytes = section.Dword("hw_memory_bytes", 0);
  device.eaxSupport = section.Dword("eax_support", 0);
  return device;
}

void ReadGlide(Section& section, Glide& glide) {
  glide.library = section.Bool("library").value_or(true);
  section.Elements("missing_exports", [&](const toml::node& element, const std::string& prefix) {
    const std::string path = prefix + "]";
    static const std::set<std::string, std::less<>> exports = {
        "_grSstQueryHardware@4", "_grSstQueryBoards@4", "_grGlideInit@0", "_grGlideShutdown@0", "_grSstSelect@4"};
    if (!element.is_string() || exports.count(element.as_string()->get()) == 0) {
      Refuse(section.File(), element, path,
             "expected one of _grSstQueryHardware@4, _grSstQueryBoards@4, _grGlideInit@0, _grGlideShutdown@0, "
                 "_grSstSelect@4");
    }
    glide.missingExports.insert(element.as_string()->get());
  });
  glide.numSst = static_cast<std::int32_t>(section.Integer("num_sst", 0, 4).value_or(1));
  if (const toml::node* type = section.Take("board_type")) {
    static const std::map<std::string, std::int32_t, std::less<>> types = {
        {"voodoo", 0}, {"sst96", 1}, {"at3d", 2}, {"voodoo2", 3}, {"banshee", 4}, {"voodoo3", 5}};
    const std::string key = section.KeyPath("board_type");
    if (type->is_integer()) {
      glide.boardType = static_cast<std::int32_t>(section.IntegerOf(type, key, 0, 7));
    } else if (type->is_string() && types.count(type->as_string()->get()) != 0) {
      glide.boardType = types.find(type->as_string()->get())->second;
    } else {
      section.Fail(type, key, "expected voodoo, sst96, at3d, voodoo2, banshee, voodoo3 or 0 to 7");
    }
  }
  glide.fbRam = static_cast<std::int32_t>(section.Integer("fb_ram", 0, 64).value_or(4));
  glide.tmuRam = static_cast<std::int32_t>(section.Integer("tmu_ram", 0, 64).value_or(0));
  glide.nTexelfx = static_cast<std::int32_t>(section.Integer("texelfx", 0, 3).value_or(1));
  glide.sliDetect = section.Bool("sli").value_or(false);
  if (glide.sliDetect && glide.boardType != glide::GR_SSTTYPE_VOODOO && glide.boardType != glide::GR_SSTTYPE_Voodoo2) {
    // Only the Voodoo configuration has an interleave flag.
    section.Fail(section.Take("sli"), section.KeyPath("sli"), "only a voodoo or voodoo2 board reports sli");
  }
  std::array<std::int32_t, kGlideConfigWords> words{};
  std::size_t count = 0;
  section.Elements("config", [&](const toml::node& element, const std::string& prefix) {
    const std::string path = prefix + "]";
    if (count == words.size()) Refuse(section.File(), element, path, "expected eight words");
    words[count++] = static_cast<std::int32_t>(static_cast<std::uint32_t>(
        section.IntegerOf(&element, path, std::numeric_limits<std::int32_t>::min(), 0xFFFFFFFFll)));
  });
  if (count != 0 && count != words.size()) {
    section.Fail(nullptr, section.KeyPath("config"), "expected eight words");
  }
  if (count == words.size()) glide.config = words;
}

void ReadCapture(Section& section, CaptureInfo& capture) {
  capture.program = section.String("program", "");
  capture.version = section.String("version", "");
  capture.date = section.String("date", "");
  capture.system = section.String("system", "");
  auto strings = [&](const char* key, std::vector<std::string>& into) {
    section.Elements(key, [&](const toml::node& element, const std::string& prefix) {
      if (!element.is_string()) Refuse(section.File(), element, prefix + "]", "expected a string");
      into.push_back(element.as_string()->get());
    });
  };
  capture.byteStrings = section.Bool("byte_strings").value_or(false);
  strings("failed_calls", capture.failedCalls);
  strings("notes", capture.notes);
}

// The characters U+0000 to U+00FF of UTF-8 `text` as single bytes; any
// other character stays as it is.
void ToBytes(std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
      bytes += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
      ++i;
    } else {
      bytes += text[i];
    }
  }
  text = bytes;
}

void StringsToBytes(Machine& machine) {
  ToBytes(machine.name);
  ToBytes(machine.description);
  if (machine.installPath) ToBytes(*machine.installPath);
  for (Driver& driver : machine.drivers) {
    ToBytes(driver.description);
    ToBytes(driver.name);
    for (Device& device : driver.devices) {
      ToBytes(device.name);
      ToBytes(device.description);
    }
  }
  for (SoundDevice& device : machine.soundDevices) {
    ToBytes(device.description);
    ToBytes(device.module);
  }
}

// A driver or sound device is found again by its GUID, and the entry without
// GUID stands for the default one: so GUIDs must be unique within their list,
// and only one entry may go without.
void CheckIdentities(const toml::table& root, const Machine& machine, const std::string& file) {
  auto refuse = [&](const char* list, std::size_t index, const std::string& message) {
    ProfileError error;
    error.file = file;
    const toml::node* node = root.at_path(std::string(list) + "[" + std::to_string(index) + "]").node();
    error.line = node != nullptr ? node->source().begin.line : 0;
    error.key = std::string(list) + "[" + std::to_string(index) + "].guid";
    error.message = message;
    throw Failure{error};
  };
  auto check = [&](const char* list, const auto& entries) {
    std::set<std::string> seen;
    bool defaultSeen = false;
    for (std::size_t index = 0; index < entries.size(); ++index) {
      const auto& guid = entries[index].guid;
      if (!guid) {
        if (defaultSeen) refuse(list, index, "a second entry without GUID (only the default one goes without)");
        defaultSeen = true;
      } else if (!seen.insert(GuidString(*guid)).second) {
        refuse(list, index, "GUID already used by an earlier entry");
      }
    }
  };
  check("directdraw.driver", machine.drivers);
  check("directsound.device", machine.soundDevices);
}

Machine ReadMachine(const toml::table& root, const std::string& file) {
  Machine machine;
  Section top(root, "", file);
  top.Table("machine", [&](Section& section) {
    machine.name = section.String("name", "");
    machine.description = section.String("description", "");
  });
  top.Table("directdraw", [&](Section& section) {
    machine.ddEnumerateResult = section.Result("enumerate_result");
    section.Tables("driver", [&](Section& driver) { machine.drivers.push_back(ReadDriver(driver)); });
  });
  top.Table("directsound", [&](Section& section) {
    machine.dsEnumerateResult = section.Result("enumerate_result");
    section.Tables("device", [&](Section& device) { machine.soundDevices.push_back(ReadSoundDevice(device)); });
  });
  top.Table("glide", [&](Section& section) { ReadGlide(section, machine.glide); });
  top.Table("registry", [&](Section& section) { machine.installPath = section.String("install_path"); });
  top.Table("capture", [&](Section& section) { ReadCapture(section, machine.capture.emplace()); });
  top.Table("user", [&](Section& section) {
    machine.elevated = section.Bool("elevated").value_or(true);
    machine.virtualStore = section.String("virtual_store");
    machine.programFiles = section.String("program_files");
    machine.programFolder = section.String("program_folder");
  });
  top.Finish();
  if (machine.capture && machine.capture->byteStrings) StringsToBytes(machine);
  CheckIdentities(root, machine, file);
  return machine;
}

ProfileResult Parse(const toml::parse_result& parsed, const std::string& file) {
  ProfileResult result;
#if TOML_EXCEPTIONS
  const toml::table& root = parsed;
#else
  if (!parsed) {
    ProfileError error;
    error.file = file;
    error.line = parsed.error().source().begin.line;
    error.message = std::string(parsed.error().description());
    result.error = error;
    return result;
  }
  const toml::table& root = parsed.table();
#endif
  try {
    result.machine = ReadMachine(root, file);
  } catch (const Failure& failure) {
    result.error = failure.error;
  }
  return result;
}

ProfileResult SyntaxError(const toml::parse_error& error, const std::string& file) {
  ProfileResult result;
  ProfileError refused;
  refused.file = file;
  refused.line = error.source().begin.line;
  refused.message = std::string(error.description());
  result.error = refused;
  return result;
}

}  // namespace

std::string ProfileError::ToString() const {
  // Line 0: the file as a whole (it could not be read).
  std::string text = line == 0 ? file + ": " : file + ":" + std::to_string(line) + ": ";
  if (!key.empty()) text += key + ": ";
  return text + message;
}

ProfileResult LoadMachineProfile(const std::string& path) {
  std::string problem;
  const std::optional<std::string> text = cli::ReadRegularFile(path, cli::kProfileLimit, problem);
  if (!text) {
    ProfileResult result;
    result.error = ProfileError{path, 0, "", problem};
    return result;
  }
  return ParseMachineProfile(*text, path);
}

namespace {

// Where the marker line of a report file lies: its start, where the text
// after the marker begins, and the start of the next line.
struct MarkerLine {
  std::size_t begin = 0;
  std::size_t afterMarker = 0;
  std::size_t next = 0;
};

std::optional<MarkerLine> FindMarkerLine(const std::string& text) {
  const std::string_view marker = kEmbeddedProfileMarker;
  std::size_t at = 0;
  while ((at = text.find(marker, at)) != std::string::npos) {
    const std::size_t end = at + marker.size();
    // The marker must begin a line, and stand alone on it or be followed by
    // a blank and the seal.
    if ((at == 0 || text[at - 1] == '\n') &&
        (end == text.size() || text[end] == '\n' || text[end] == '\r' || text[end] == ' ')) {
      const std::size_t lineEnd = text.find('\n', end);
      return MarkerLine{at, end, lineEnd == std::string::npos ? text.size() : lineEnd + 1};
    }
    at = end;
  }
  return std::nullopt;
}

std::string WithLfLineEnds(std::string_view text) {
  std::string lf;
  lf.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lf += text[i];
  }
  return lf;
}

constexpr std::string_view kSealBytes = " bytes, CRC-32 ";

}  // namespace

std::string EmbeddedProfileMarkerLine(const std::string& profile) {
  const std::string lf = WithLfLineEnds(profile);
  return std::string(kEmbeddedProfileMarker) + " " + std::to_string(lf.size()) + std::string(kSealBytes) +
         checksum::Hex32(checksum::Crc32(lf));
}

std::string EmbeddedProfile(const std::string& text) {
  const std::optional<MarkerLine> marker = FindMarkerLine(text);
  if (!marker) return text;
  // Everything up to the marker becomes empty lines, so that the profile's
  // line numbers are the file's.
  const auto lines = std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(marker->next), '\n');
  return std::string(static_cast<std::size_t>(lines), '\n') + text.substr(marker->next);
}

ProfileResult ParseMachineProfile(const std::string& text, const std::string& sourceName) {
  const std::optional<MarkerLine> marker = FindMarkerLine(text);
  std::string warning;
  if (marker) {
    std::string_view seal(text.data() + marker->afterMarker, marker->next - marker->afterMarker);
    while (!seal.empty() && (seal.back() == '\n' || seal.back() == '\r')) seal.remove_suffix(1);
    const auto line = static_cast<std::uint32_t>(
        std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(marker->begin), '\n') + 1);
    if (seal.empty()) {
      warning = sourceName + ":" + std::to_string(line) +
                ": an older report: its machine profile carries no length and checksum, so a cut or "
                "altered profile cannot be told";
    } else {
      const std::string body = WithLfLineEnds(std::string_view(text).substr(marker->next));
      const std::string expected = EmbeddedProfileMarkerLine(body).substr(std::strlen(kEmbeddedProfileMarker));
      if (std::string_view(expected) != seal) {
        ProfileResult refused;
        refused.error = ProfileError{
            sourceName, line, "",
            "the report's machine profile is cut short or altered: its marker line gives" + std::string(seal) +
                ", the file holds" + expected + " after it; ask the player for the whole file as "
                "halcyra-report.exe wrote it"};
        return refused;
      }
    }
  }
  const std::string profile = marker ? EmbeddedProfile(text) : text;
  ProfileResult result;
  if (const std::optional<TextProblem> problem = CheckTomlText(profile)) {
    result.error = ProfileError{sourceName, problem->line, "", problem->message};
    return result;
  }
#if TOML_EXCEPTIONS
  try {
    result = Parse(toml::parse(profile, sourceName), sourceName);
  } catch (const toml::parse_error& error) {
    result = SyntaxError(error, sourceName);
  }
#else
  result = Parse(toml::parse(profile, sourceName), sourceName);
#endif
  if (result.machine) result.warning = warning;
  return result;
}

}  // namespace sim
