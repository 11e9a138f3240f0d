// The published DirectX 6 structures and constants that the probes use,
// declared here so that the logic builds without the platform's headers.
// Layouts follow the published ones field for field.
#pragma once

#include <cstdint>
#include <cstring>

namespace dx {

using DWORD = std::uint32_t;
using HRESULT = std::int32_t;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

struct DDPIXELFORMAT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwFourCC;
  DWORD dwRGBBitCount;      // also the alpha depth of alpha-only formats
  DWORD dwRBitMask;
  DWORD dwGBitMask;
  DWORD dwBBitMask;
  DWORD dwRGBAlphaBitMask;
};
static_assert(sizeof(DDPIXELFORMAT) == 32);

}  // namespace dx
