#include "res/bitmaps.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <cmath>

#include "res/resource.h"

namespace res {

namespace {

struct Rgb {
  double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Image Blank(int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0);
  return image;
}

void Put(Image& image, int x, int y, Rgb c) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
  const std::size_t i =
      (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
       static_cast<std::size_t>(x)) * 3;
  image.rgb[i] = static_cast<std::uint8_t>(std::clamp(c.r, 0.0, 255.0));
  image.rgb[i + 1] = static_cast<std::uint8_t>(std::clamp(c.g, 0.0, 255.0));
  image.rgb[i + 2] = static_cast<std::uint8_t>(std::clamp(c.b, 0.0, 255.0));
}

// The pictures are drawn in their design space of kPictureWidth x
// kPictureHeight; an image of another size samples that space at its own
// pixels: scaled to the image's height, and widened or narrowed about the
// design's left edge (audio) or centre (3D), so every size is drawn sharp
// and at design size the pixels are exactly the design's.
struct Canvas {
  Image image;
  double scale;   // image pixels per design pixel
  double width;   // the image's width in design pixels

  Canvas(int w, int h)
      : image(Blank(w, h)), scale(static_cast<double>(h) / kPictureHeight), width(w / scale) {}
  template <typename Shade>
  void Fill(Shade shade) {
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) Put(image, x, y, shade(x / scale, y / scale));
    }
  }
};

// The 3D page: a dusk sky over a perspective grid running to the horizon,
// with a low sun; the look of a 3D accelerator demo.
Image HardwarePicture(int width, int height) {
  Canvas canvas(width, height);
  const double centre = canvas.width / 2;
  const int horizon = 150;
  const Rgb skyTop{12, 14, 48}, skyLow{214, 96, 64}, ground{18, 8, 36}, line{80, 220, 255};
  canvas.Fill([&](double x, double y) {
    Rgb c;
    if (y < horizon) {
      c = Mix(skyTop, skyLow, y / horizon);
      const double dx = x - centre, dy = y - 128.0;
      const double d = std::sqrt(dx * dx + dy * dy);
      if (d < 26.0 && (y < 118 || (static_cast<int>(y) % 6) < 3)) c = Mix({255, 210, 90}, {255, 90, 120}, (y - 102.0) / 52.0);
    } else {
      const double depth = (y - horizon + 1.0) / (kPictureHeight - horizon);
      c = ground;
      // Rows spaced by perspective, columns converging on the centre.
      const double z = 1.0 / depth;
      if (std::fmod(z, 1.6) < 0.12 * z) c = Mix(ground, line, depth + 0.3);
      const double u = (x - centre) / depth;
      if (std::fmod(std::fabs(u) + 6.0, 24.0) < 1.6 / depth + 0.8) c = Mix(ground, line, depth + 0.3);
    }
    return c;
  });
  return canvas.image;
}

// The audio page: a loudspeaker sending out rings of sound.
Image AudioPicture(int width, int height) {
  Canvas canvas(width, height);
  const Rgb top{20, 40, 30}, bottom{6, 10, 24}, ring{120, 255, 170}, cone{200, 200, 210};
  canvas.Fill([&](double x, double y) {
    Rgb c = Mix(top, bottom, y / kPictureHeight);
    const double dx = x - 20.0, dy = y - 135.0;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (dx > 0 && std::fabs(dy) < dx * 1.3) {
      const double phase = std::fmod(d, 18.0);
      if (d > 26 && phase < 3.0) c = Mix(ring, c, d / 120.0);
    }
    if (x < 20 && std::fabs(dy) < 12.0 && x > 6) c = cone;
    if (x >= 20 && x < 34 && std::fabs(dy) < 12.0 + (x - 20) * 1.4) c = Mix(cone, {90, 90, 110}, (x - 20) / 14.0);
    return c;
  });
  return canvas.image;
}

// Every bitmap of the programs, once, with the code that draws it.
struct BitmapEntry {
  int id;
  Image (*draw)(int width, int height);
};
constexpr BitmapEntry kBitmaps[] = {{IDB_AUDIO, AudioPicture}, {IDB_HARDWARE, HardwarePicture}};
constexpr auto kBitmapIds = [] {
  std::array<int, std::size(kBitmaps)> ids{};
  for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = kBitmaps[i].id;
  return ids;
}();

}  // namespace

std::span<const int> BitmapIds() { return kBitmapIds; }

Image RenderBitmap(int id, int width, int height) {
  if (width <= 0 || height <= 0) return {};
  for (const BitmapEntry& bitmap : kBitmaps) {
    if (bitmap.id == id) return bitmap.draw(width, height);
  }
  return {};
}

Image RenderIcon(int size) {
  Image image = Blank(size, size);
  const double s = size;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      // A bright "H" on a deep blue rounded tile.
      const double fx = x / s, fy = y / s;
      Rgb c = Mix({30, 60, 160}, {10, 20, 70}, fy);
      const bool stem = (fx > 0.22 && fx < 0.36) || (fx > 0.64 && fx < 0.78);
      const bool bar = fy > 0.44 && fy < 0.56 && fx > 0.22 && fx < 0.78;
      if ((stem && fy > 0.18 && fy < 0.82) || bar) c = {255, 200, 70};
      Put(image, x, y, c);
    }
  }
  return image;
}

}  // namespace res
