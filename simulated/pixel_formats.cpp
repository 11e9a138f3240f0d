// The pixel formats of machine profiles: the usual format of a display
// mode's depth and the named texture formats. Kept apart from the profile
// reader so that the Windows report, which writes profiles, needs no TOML
// library.
#include <string>
#include <vector>

#include "simulated/machine_profile.h"

namespace sim {
namespace {

constexpr dx::DWORD FourCC(char a, char b, char c, char d) {
  return static_cast<dx::DWORD>(static_cast<unsigned char>(a)) |
         (static_cast<dx::DWORD>(static_cast<unsigned char>(b)) << 8) |
         (static_cast<dx::DWORD>(static_cast<unsigned char>(c)) << 16) |
         (static_cast<dx::DWORD>(static_cast<unsigned char>(d)) << 24);
}

dx::DDPIXELFORMAT Format(dx::DWORD flags, dx::DWORD bits, dx::DWORD r, dx::DWORD g, dx::DWORD b, dx::DWORD a,
                         dx::DWORD fourCC = 0) {
  dx::DDPIXELFORMAT format{};
  format.dwSize = sizeof(dx::DDPIXELFORMAT);
  format.dwFlags = flags;
  format.dwFourCC = fourCC;
  format.dwRGBBitCount = bits;
  format.dwRBitMask = r;
  format.dwGBitMask = g;
  format.dwBBitMask = b;
  format.dwRGBAlphaBitMask = a;
  return format;
}

constexpr dx::DWORD kRgb = dx::DDPF_RGB;
constexpr dx::DWORD kRgba = dx::DDPF_RGB | dx::DDPF_ALPHAPIXELS;
constexpr dx::DWORD kLum = dx::DDPF_LUMINANCE;
constexpr dx::DWORD kBumpDuDv = 0x80000;
constexpr dx::DWORD kPal4 = 0x8;

struct NamedFormat {
  const char* name;
  dx::DDPIXELFORMAT format;
};

const std::vector<NamedFormat>& NamedFormats() {
  static const std::vector<NamedFormat> formats = {
      {"pal8", Format(kRgb | dx::DDPF_PALETTEINDEXED8, 8, 0, 0, 0, 0)},
      {"pal4", Format(kRgb | kPal4, 4, 0, 0, 0, 0)},
      {"332", Format(kRgb, 8, 0xE0, 0x1C, 0x03, 0)},
      {"a8", Format(dx::DDPF_ALPHA, 8, 0, 0, 0, 0)},
      {"l8", Format(kLum, 8, 0xFF, 0, 0, 0)},
      {"a4l4", Format(kLum | dx::DDPF_ALPHAPIXELS, 8, 0x0F, 0, 0, 0xF0)},
      {"565", Format(kRgb, 16, 0xF800, 0x07E0, 0x001F, 0)},
      {"555", Format(kRgb, 16, 0x7C00, 0x03E0, 0x001F, 0)},
      {"1555", Format(kRgba, 16, 0x7C00, 0x03E0, 0x001F, 0x8000)},
      {"4444", Format(kRgba, 16, 0x0F00, 0x00F0, 0x000F, 0xF000)},
      {"8332", Format(kRgba, 16, 0x00E0, 0x001C, 0x0003, 0xFF00)},
      {"88", Format(kLum | dx::DDPF_ALPHAPIXELS, 16, 0x00FF, 0, 0, 0xFF00)},
      {"v8u8", Format(kBumpDuDv, 16, 0x00FF, 0xFF00, 0, 0)},
      {"888", Format(kRgb, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0)},
      {"x888", Format(kRgb, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0)},
      {"8888", Format(kRgba, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000u)},
      {"dxt1", Format(dx::DDPF_FOURCC, 0, 0, 0, 0, 0, FourCC('D', 'X', 'T', '1'))},
      {"dxt2", Format(dx::DDPF_FOURCC, 0, 0, 0, 0, 0, FourCC('D', 'X', 'T', '2'))},
      {"dxt3", Format(dx::DDPF_FOURCC, 0, 0, 0, 0, 0, FourCC('D', 'X', 'T', '3'))},
      {"dxt4", Format(dx::DDPF_FOURCC, 0, 0, 0, 0, 0, FourCC('D', 'X', 'T', '4'))},
      {"dxt5", Format(dx::DDPF_FOURCC, 0, 0, 0, 0, 0, FourCC('D', 'X', 'T', '5'))},
      {"yuy2", Format(dx::DDPF_FOURCC, 0, 0, 0, 0, 0, FourCC('Y', 'U', 'Y', '2'))},
      {"uyvy", Format(dx::DDPF_FOURCC, 0, 0, 0, 0, 0, FourCC('U', 'Y', 'V', 'Y'))},
  };
  return formats;
}

}  // namespace

dx::DDPIXELFORMAT ModePixelFormat(dx::DWORD depth) {
  switch (depth) {
    case 8: return Format(kRgb | dx::DDPF_PALETTEINDEXED8, 8, 0, 0, 0, 0);
    case 16: return Format(kRgb, 16, 0xF800, 0x07E0, 0x001F, 0);
    case 24: return Format(kRgb, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    case 32: return Format(kRgb, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    default: return Format(kRgb, depth, 0, 0, 0, 0);
  }
}

std::optional<dx::DDPIXELFORMAT> NamedTextureFormat(const std::string& name) {
  for (const auto& named : NamedFormats()) {
    if (name == named.name) return named.format;
  }
  return std::nullopt;
}

bool SamePixelFormat(const dx::DDPIXELFORMAT& a, const dx::DDPIXELFORMAT& b) {
  return a.dwFlags == b.dwFlags && a.dwFourCC == b.dwFourCC && a.dwRGBBitCount == b.dwRGBBitCount &&
         a.dwRBitMask == b.dwRBitMask && a.dwGBitMask == b.dwGBitMask && a.dwBBitMask == b.dwBBitMask &&
         a.dwRGBAlphaBitMask == b.dwRGBAlphaBitMask;
}

std::string TextureFormatName(const dx::DDPIXELFORMAT& format) {
  for (const auto& named : NamedFormats()) {
    if (SamePixelFormat(named.format, format)) return named.name;
  }
  return "";
}

const std::vector<std::string>& TextureFormatNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const auto& named : NamedFormats()) list.emplace_back(named.name);
    return list;
  }();
  return names;
}

}  // namespace sim
