// The pictures of the two pages and the application icon. The artwork is
// drawn by code, so every layer (terminal, Windows resources) shows the same
// pixels without binary files in the tree.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace res {

struct Image {
  int width = 0;
  int height = 0;
  // Rows from the top, each pixel as red, green, blue.
  std::vector<std::uint8_t> rgb;

  std::uint8_t R(int x, int y) const { return rgb[Index(x, y)]; }
  std::uint8_t G(int x, int y) const { return rgb[Index(x, y) + 1]; }
  std::uint8_t B(int x, int y) const { return rgb[Index(x, y) + 2]; }

 private:
  std::size_t Index(int x, int y) const {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
            static_cast<std::size_t>(x)) * 3;
  }
};

constexpr int kPictureWidth = 116;
constexpr int kPictureHeight = 270;

// The ids of every bitmap, each once (res::IDB_*).
std::span<const int> BitmapIds();
// A bitmap of BitmapIds(), drawn at design size (116 x 270 pixels) or at any
// other; an empty image for other ids or an empty size.
Image RenderBitmap(int id, int width = kPictureWidth, int height = kPictureHeight);
// The application icon, `size` x `size` pixels.
Image RenderIcon(int size);

}  // namespace res
