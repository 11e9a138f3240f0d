// A simulated machine's hardware, as read from a machine profile (a TOML
// file, described in docs/machine-profiles.md): DirectDraw drivers with their
// Direct3D devices, display modes and texture formats, DirectSound devices,
// the Glide library and board, and the registry's install path. Every result
// that the probes look at can be set; each defaults to success.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hardware/directx_types.h"

namespace sim {

// What CreateSurface returns for a refused mode unless the profile says.
constexpr dx::HRESULT kModeRefused = static_cast<dx::HRESULT>(0x88760091u);  // DDERR_INVALIDPIXELFORMAT

// One display mode offered by a driver.
struct DisplayMode {
  dx::DWORD width = 0;
  dx::DWORD height = 0;
  dx::DDPIXELFORMAT format{};  // dwRGBBitCount is the mode's depth
  bool surfaceRefused = false;  // CreateSurface fails for this mode
  dx::HRESULT refusedResult = kModeRefused;  // with this result

  bool operator==(const DisplayMode&) const = default;
};

// The words of a Glide board's configuration block: the eight 32-bit words
// of the union that follows its type.
constexpr std::size_t kGlideConfigWords = 8;

// One Direct3D device of a driver.
struct Device {
  dx::GUID guid{};
  std::string name;
  std::string description;
  dx::DWORD hardwareFlags = 0;  // dwFlags of the hardware description; 0: software
  dx::DWORD softwareFlags = 0;  // dwFlags of the software description
  dx::DWORD renderDepths = 0;   // DDBD_ bits
  dx::DWORD textureOpCaps = 0;
  dx::HRESULT createDeviceResult = 0;
  std::vector<dx::DDPIXELFORMAT> textureFormats;
  dx::HRESULT enumTextureFormatsResult = 0;
  // For tests: the enumeration passes a null argument for this device.
  bool nullGuid = false;
  bool nullHardwareDescription = false;
  bool nullSoftwareDescription = false;

  bool operator==(const Device&) const = default;
};

// One DirectDraw driver.
struct Driver {
  std::optional<dx::GUID> guid;  // none: the default driver, reported without GUID
  std::string description;
  std::string name;
  dx::HRESULT createResult = 0;       // DirectDrawCreate while the drivers are enumerated
  dx::HRESULT probeCreateResult = 0;  // DirectDrawCreate at any later time
  dx::HRESULT queryDirectDraw4Result = 0;
  dx::HRESULT queryDirect3DResult = 0;
  // The same questions when the texture probe asks them again; none: as
  // while the drivers are enumerated.
  std::optional<dx::HRESULT> probeQueryDirectDraw4Result;
  std::optional<dx::HRESULT> probeQueryDirect3DResult;
  dx::HRESULT cooperativeLevelResult = 0;
  dx::HRESULT enumDevicesResult = 0;
  dx::HRESULT enumModesResult = 0;
  std::vector<DisplayMode> modes;
  std::vector<Device> devices;

  bool operator==(const Driver&) const = default;
};

struct SoundDevice {
  std::optional<dx::GUID> guid;  // none: the default-device entry
  std::string description;
  std::string module;
  dx::HRESULT createResult = 0;
  dx::HRESULT capsResult = 0;
  dx::HRESULT createBufferResult = 0;
  dx::HRESULT query3DBufferResult = 0;
  dx::HRESULT queryPropertySetResult = 0;
  dx::HRESULT querySupportResult = 0;
  dx::DWORD maxHw3DAllBuffers = 0;
  dx::DWORD totalHwMemBytes = 0;
  dx::ULONG eaxSupport = 0;  // KSPROPERTY_SUPPORT_ bits of the EAX reverb property

  bool operator==(const SoundDevice&) const = default;
};

struct Glide {
  bool library = false;  // "glide2x.dll" can be loaded
  std::set<std::string> missingExports;
  std::int32_t numSst = 0;
  std::int32_t boardType = 0;  // GR_SSTTYPE_
  std::int32_t fbRam = 0;      // MB
  std::int32_t tmuRam = 0;     // MB per texture unit
  std::int32_t nTexelfx = 1;
  bool sliDetect = false;
  // The first board's configuration exactly as a library filled it, when
  // the fields above cannot say it; it then replaces them for that board.
  std::optional<std::array<std::int32_t, kGlideConfigWords>> config;

  bool operator==(const Glide&) const = default;
};

// What a capture noted about itself: which program took it, when, on what
// system, and the platform calls that failed. Read back for people only;
// the machine plays the fields above.
struct CaptureInfo {
  std::string program;
  std::string version;
  std::string date;
  std::string system;
  std::vector<std::string> failedCalls;
  std::vector<std::string> notes;  // what the profile cannot say exactly
  // The profile's strings are bytes: each character U+0080 to U+00FF stands
  // for the byte of that number (text in the Windows code page).
  bool byteStrings = false;

  bool operator==(const CaptureInfo&) const = default;
};

struct Machine {
  std::string name;
  std::string description;
  dx::HRESULT ddEnumerateResult = 0;
  std::vector<Driver> drivers;
  dx::HRESULT dsEnumerateResult = 0;
  std::vector<SoundDevice> soundDevices;
  Glide glide;
  std::optional<std::string> installPath;  // registry "Install Path"
  std::optional<CaptureInfo> capture;
  // The user who runs the program: without elevation, Windows virtualizes
  // the game's writes below `programFiles` into `virtualStore`.
  bool elevated = true;
  std::optional<std::string> virtualStore;
  std::optional<std::string> programFiles;
  // The folder Halcyra Setup's program file lies in (a shortcut may start
  // it in another); unset: unknown.
  std::optional<std::string> programFolder;

  bool operator==(const Machine&) const = default;
};

// A refused profile: where and what.
struct ProfileError {
  std::string file;
  std::uint32_t line = 0;
  std::string key;  // dotted path of the offending key, empty for syntax errors
  std::string message;
  // "FILE:LINE: KEY: MESSAGE" (no line for a file that cannot be read)
  std::string ToString() const;
};

struct ProfileResult {
  std::optional<Machine> machine;
  std::optional<ProfileError> error;
  // Said of a profile that was read all the same (an older report without
  // its profile's length and checksum); empty otherwise.
  std::string warning;
};

// Reads the profile at `path`: a profile, or a report file that carries one.
ProfileResult LoadMachineProfile(const std::string& path);
// Reads a profile from `text`, which may be a report file that carries one;
// `sourceName` stands for the file in messages. A report whose profile is
// not the length or checksum its marker line gives (cut short, or altered)
// is refused. An older report, whose marker line gives neither, is read
// with a warning: a cut in it cannot be told.
ProfileResult ParseMachineProfile(const std::string& text, const std::string& sourceName);
// The profile a report file carries (the text after the marker line, with
// the lines before it left empty), or `text` itself when it carries none.
// Checks nothing: ParseMachineProfile does.
std::string EmbeddedProfile(const std::string& text);
// The marker line before `profile` in a report file, without its line
// break: kEmbeddedProfileMarker, then the profile's length in bytes and its
// CRC-32 ("======== Machine profile ======== 4242 bytes, CRC-32 1a2b3c4d").
// Both are counted with LF line ends, so a report whose line ends a mail
// program turned into CR LF still reads.
std::string EmbeddedProfileMarkerLine(const std::string& profile);

// The pixel format of a display mode of `depth` bits: 8 palettized, 16 as
// 565, 24 and 32 as 888 RGB.
dx::DDPIXELFORMAT ModePixelFormat(dx::DWORD depth);
// A named texture format ("pal8", "a8", "565", "1555", "4444", "8888", "88",
// "dxt1", ...), or nullopt for an unknown name.
std::optional<dx::DDPIXELFORMAT> NamedTextureFormat(const std::string& name);
// The names NamedTextureFormat knows, in a stable order.
const std::vector<std::string>& TextureFormatNames();
// Whether two pixel formats agree in flags, FourCC, bit count and masks
// (dwSize is not compared).
bool SamePixelFormat(const dx::DDPIXELFORMAT& a, const dx::DDPIXELFORMAT& b);
// The name of `format` when it is one of the named ones (flags, FourCC, bit
// count and masks alike), else empty.
std::string TextureFormatName(const dx::DDPIXELFORMAT& format);

// A report file (halcyra-report.txt) carries its machine profile after this
// line; LoadMachineProfile reads such a file as the profile it carries.
inline constexpr char kEmbeddedProfileMarker[] = "======== Machine profile ========";

}  // namespace sim
