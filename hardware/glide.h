// Detection of a 3dfx Glide 2 board through the library "glide2x.dll".
#pragma once

#include <cstdint>

namespace halcyra {

struct GlideModeRecord {
  GlideModeRecord* next;
  std::int32_t width;
  std::int32_t height;
  std::int32_t bitsPerPixel;  // always 16
};

class GlideBoardInfo {
 public:
  // Probes for a board: loads the library, queries it, unloads it.
  GlideBoardInfo();
  ~GlideBoardInfo();
  GlideBoardInfo(const GlideBoardInfo&) = delete;
  GlideBoardInfo& operator=(const GlideBoardInfo&) = delete;

  bool HasGlideBoard() const { return present != 0; }

  std::int32_t modeCount;
  GlideModeRecord* modes;
  std::uint8_t present;
};

// The Glide finding of the process; created once by the 3D page, never
// released.
extern GlideBoardInfo* g_pGlide;

}  // namespace halcyra
