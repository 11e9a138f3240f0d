// The records of the hardware inventory: plain structures in singly linked
// lists, owned by the inventory, which makes them and their texts in its
// record store (hardware/record_store.h) and releases them with it.
#pragma once

#include <cstdint>

#include "hardware/directx_types.h"

namespace halcyra {

// textureFormats bits.
constexpr std::uint32_t TEXFMT_8BIT = 0x01;
constexpr std::uint32_t TEXFMT_1555 = 0x02;
constexpr std::uint32_t TEXFMT_88 = 0x04;
constexpr std::uint32_t TEXFMT_4444 = 0x08;
constexpr std::uint32_t TEXFMT_8888 = 0x10;
constexpr std::uint32_t TEXFMT_BLENDOPS = 0x20;

struct DisplayModeRecord {
  DisplayModeRecord* next;
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t depth;
  dx::DDPIXELFORMAT pixelFormat;
};

// One hardware Direct3D device of one DirectDraw driver.
struct DisplayDriverRecord {
  DisplayDriverRecord* next;
  char* description;  // the DirectDraw driver's description
  dx::GUID ddGuid;
  dx::GUID d3dGuid;
  char* ddGuidText;
  char* d3dGuidText;
  std::uint32_t palettedTextures;
  std::uint32_t has565Textures;
  std::uint32_t hardware;
  std::uint32_t textureFormats;
  std::uint32_t renderDepths;
  std::int32_t modeCount;
  DisplayModeRecord* modes;
  std::uint8_t fit;
  // What tells apart records whose descriptions read alike (two monitors of
  // one card, the HAL and T&L HAL of one driver): the driver's short name
  // (say "\\.\DISPLAY2") and the Direct3D device's name (say "Direct3D
  // T&L HAL") and description, as the enumerations report them. Null when
  // the enumeration gave none.
  char* driverName;
  char* deviceName;
  char* deviceDescription;
};

struct SoundDeviceRecord {
  SoundDeviceRecord* next;
  char* description;  // a copy, owned by the inventory
  dx::GUID guid;
  std::uint32_t hardware3DBuffers;
  std::uint32_t hardwareMemoryBytes;
  std::uint8_t eaxSupported;
};

}  // namespace halcyra
