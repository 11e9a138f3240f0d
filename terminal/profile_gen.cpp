// Build-time tool: reads a machine profile and writes the C++ source of a
// function that builds the same machine, so that halcyra-setup starts
// without parsing its built-in profile (and without the TOML library).
// A profile that does not read stops the build with the reader's message.
//
//   halcyra_profile_gen PROFILE.toml OUTPUT.cpp
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "simulated/machine_profile.h"

namespace {

// A C++ string literal of `text`, every byte outside printable ASCII (and
// the quote and backslash) as an octal escape.
std::string Literal(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') {
      out += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\%03o", c);
      out += escape;
    }
  }
  return out + "\"";
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08Xu", value);
  return text;
}

std::string Result(dx::HRESULT value) {
  return "static_cast<dx::HRESULT>(" + Hex(static_cast<std::uint32_t>(value)) + ")";
}

std::string Guid(const dx::GUID& guid) {
  std::ostringstream out;
  out << "dx::GUID{" << Hex(guid.Data1) << ", " << guid.Data2 << ", " << guid.Data3 << ", {";
  for (int i = 0; i < 8; ++i) out << (i == 0 ? "" : ", ") << static_cast<unsigned>(guid.Data4[i]);
  out << "}}";
  return out.str();
}

std::string Format(const dx::DDPIXELFORMAT& f) {
  return "dx::DDPIXELFORMAT{" + Hex(f.dwSize) + ", " + Hex(f.dwFlags) + ", " + Hex(f.dwFourCC) + ", " +
         Hex(f.dwRGBBitCount) + ", " + Hex(f.dwRBitMask) + ", " + Hex(f.dwGBitMask) + ", " +
         Hex(f.dwBBitMask) + ", " + Hex(f.dwRGBAlphaBitMask) + "}";
}

const char* Bool(bool value) { return value ? "true" : "false"; }

void WriteMachine(std::ostream& out, const sim::Machine& m) {
  out << "  sim::Machine m;\n";
  out << "  m.name = " << Literal(m.name) << ";\n";
  out << "  m.description = " << Literal(m.description) << ";\n";
  out << "  m.ddEnumerateResult = " << Result(m.ddEnumerateResult) << ";\n";
  out << "  m.dsEnumerateResult = " << Result(m.dsEnumerateResult) << ";\n";
  for (const sim::Driver& d : m.drivers) {
    out << "  {\n    sim::Driver d;\n";
    if (d.guid) out << "    d.guid = " << Guid(*d.guid) << ";\n";
    out << "    d.description = " << Literal(d.description) << ";\n";
    out << "    d.name = " << Literal(d.name) << ";\n";
    out << "    d.createResult = " << Result(d.createResult) << ";\n";
    out << "    d.probeCreateResult = " << Result(d.probeCreateResult) << ";\n";
    out << "    d.queryDirectDraw4Result = " << Result(d.queryDirectDraw4Result) << ";\n";
    out << "    d.queryDirect3DResult = " << Result(d.queryDirect3DResult) << ";\n";
    if (d.probeQueryDirectDraw4Result) {
      out << "    d.probeQueryDirectDraw4Result = " << Result(*d.probeQueryDirectDraw4Result) << ";\n";
    }
    if (d.probeQueryDirect3DResult) {
      out << "    d.probeQueryDirect3DResult = " << Result(*d.probeQueryDirect3DResult) << ";\n";
    }
    out << "    d.cooperativeLevelResult = " << Result(d.cooperativeLevelResult) << ";\n";
    out << "    d.enumDevicesResult = " << Result(d.enumDevicesResult) << ";\n";
    out << "    d.enumModesResult = " << Result(d.enumModesResult) << ";\n";
    for (const sim::DisplayMode& mode : d.modes) {
      out << "    d.modes.push_back(sim::DisplayMode{" << mode.width << "u, " << mode.height << "u, "
          << Format(mode.format) << ", " << Bool(mode.surfaceRefused) << ", " << Result(mode.refusedResult)
          << "});\n";
    }
    for (const sim::Device& v : d.devices) {
      out << "    {\n      sim::Device v;\n";
      out << "      v.guid = " << Guid(v.guid) << ";\n";
      out << "      v.name = " << Literal(v.name) << ";\n";
      out << "      v.description = " << Literal(v.description) << ";\n";
      out << "      v.hardwareFlags = " << Hex(v.hardwareFlags) << ";\n";
      out << "      v.softwareFlags = " << Hex(v.softwareFlags) << ";\n";
      out << "      v.renderDepths = " << Hex(v.renderDepths) << ";\n";
      out << "      v.textureOpCaps = " << Hex(v.textureOpCaps) << ";\n";
      out << "      v.createDeviceResult = " << Result(v.createDeviceResult) << ";\n";
      for (const dx::DDPIXELFORMAT& f : v.textureFormats) {
        out << "      v.textureFormats.push_back(" << Format(f) << ");\n";
      }
      out << "      v.enumTextureFormatsResult = " << Result(v.enumTextureFormatsResult) << ";\n";
      out << "      v.nullGuid = " << Bool(v.nullGuid) << ";\n";
      out << "      v.nullHardwareDescription = " << Bool(v.nullHardwareDescription) << ";\n";
      out << "      v.nullSoftwareDescription = " << Bool(v.nullSoftwareDescription) << ";\n";
      out << "      d.devices.push_back(std::move(v));\n    }\n";
    }
    out << "    m.drivers.push_back(std::move(d));\n  }\n";
  }
  for (const sim::SoundDevice& s : m.soundDevices) {
    out << "  {\n    sim::SoundDevice s;\n";
    if (s.guid) out << "    s.guid = " << Guid(*s.guid) << ";\n";
    out << "    s.description = " << Literal(s.description) << ";\n";
    out << "    s.module = " << Literal(s.module) << ";\n";
    out << "    s.createResult = " << Result(s.createResult) << ";\n";
    out << "    s.capsResult = " << Result(s.capsResult) << ";\n";
    out << "    s.createBufferResult = " << Result(s.createBufferResult) << ";\n";
    out << "    s.query3DBufferResult = " << Result(s.query3DBufferResult) << ";\n";
    out << "    s.queryPropertySetResult = " << Result(s.queryPropertySetResult) << ";\n";
    out << "    s.querySupportResult = " << Result(s.querySupportResult) << ";\n";
    out << "    s.maxHw3DAllBuffers = " << Hex(s.maxHw3DAllBuffers) << ";\n";
    out << "    s.totalHwMemBytes = " << Hex(s.totalHwMemBytes) << ";\n";
    out << "    s.eaxSupport = " << Hex(s.eaxSupport) << ";\n";
    out << "    m.soundDevices.push_back(std::move(s));\n  }\n";
  }
  const sim::Glide& g = m.glide;
  out << "  m.glide.library = " << Bool(g.library) << ";\n";
  for (const std::string& name : g.missingExports) {
    out << "  m.glide.missingExports.insert(" << Literal(name) << ");\n";
  }
  out << "  m.glide.numSst = " << g.numSst << ";\n";
  out << "  m.glide.boardType = " << g.boardType << ";\n";
  out << "  m.glide.fbRam = " << g.fbRam << ";\n";
  out << "  m.glide.tmuRam = " << g.tmuRam << ";\n";
  out << "  m.glide.nTexelfx = " << g.nTexelfx << ";\n";
  out << "  m.glide.sliDetect = " << Bool(g.sliDetect) << ";\n";
  if (g.config) {
    out << "  m.glide.config = std::array<std::int32_t, sim::kGlideConfigWords>{";
    for (std::size_t i = 0; i < g.config->size(); ++i) {
      out << (i == 0 ? "" : ", ") << "static_cast<std::int32_t>("
          << Hex(static_cast<std::uint32_t>((*g.config)[i])) << ")";
    }
    out << "};\n";
  }
  if (m.installPath) out << "  m.installPath = std::string(" << Literal(*m.installPath) << ");\n";
  out << "  m.elevated = " << Bool(m.elevated) << ";\n";
  if (m.virtualStore) out << "  m.virtualStore = std::string(" << Literal(*m.virtualStore) << ");\n";
  if (m.programFiles) out << "  m.programFiles = std::string(" << Literal(*m.programFiles) << ");\n";
  if (m.capture) {
    const sim::CaptureInfo& c = *m.capture;
    out << "  m.capture.emplace();\n";
    out << "  m.capture->program = " << Literal(c.program) << ";\n";
    out << "  m.capture->version = " << Literal(c.version) << ";\n";
    out << "  m.capture->date = " << Literal(c.date) << ";\n";
    out << "  m.capture->system = " << Literal(c.system) << ";\n";
    for (const std::string& call : c.failedCalls) out << "  m.capture->failedCalls.push_back(" << Literal(call) << ");\n";
    for (const std::string& note : c.notes) out << "  m.capture->notes.push_back(" << Literal(note) << ");\n";
    out << "  m.capture->byteStrings = " << Bool(c.byteStrings) << ";\n";
  }
  out << "  return m;\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: halcyra_profile_gen PROFILE.toml OUTPUT.cpp\n");
    return 2;
  }
  const sim::ProfileResult profile = sim::LoadMachineProfile(argv[1]);
  if (profile.error) {
    std::fprintf(stderr, "halcyra_profile_gen: %s\n", profile.error->ToString().c_str());
    return 1;
  }
  std::ostringstream out;
  out << "// Generated by halcyra_profile_gen from " << argv[1] << " at build time; do not edit.\n"
      << "#include <array>\n#include <cstdint>\n#include <string>\n#include <utility>\n\n#include \"terminal/reference_profile.h\"\n\n"
      << "namespace term {\n\nsim::Machine ReferenceMachine() {\n";
  WriteMachine(out, *profile.machine);
  out << "}\n\n}  // namespace term\n";
  std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
  file << out.str();
  return file ? 0 : 1;
}
