// The pages' pictures for terminals with a palette. (What the renderer
// draws is compared with the stored screens of screens_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>

#include "res/resource.h"
#include "terminal/frame_writer.h"
#include "terminal/render.h"

namespace {

// The picture sits in the middle of its frame; at 256 and 8 colours it is
// made of palette colours, spread so that each small area keeps its colour.
TEST(Render, PicturesAreCentredAndDitheredToThePalette) {
  const term::Color fill = term::PictureBackground();
  constexpr int kCols = 19, kRows = 19;  // the 3D page's picture inside its frame
  const std::vector<term::Color> truth = term::ComputePictureCells(res::IDB_HARDWARE, kCols, kRows, fill);
  ASSERT_EQ(truth.size(), static_cast<std::size_t>(kCols * kRows * 2));
  int left = kCols, right = -1;
  for (int y = 0; y < kRows * 2; ++y) {
    for (int x = 0; x < kCols; ++x) {
      if (truth[static_cast<std::size_t>(y * kCols + x)] == fill) continue;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  EXPECT_EQ(left, kCols - 1 - right);

  auto channel = [](term::Color c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
  // The mean difference, over 4 x 4 pixel blocks and channels, between the
  // mean colour of `pixels` and of the picture.
  auto blockError = [&](const std::vector<term::Color>& pixels) {
    int sum = 0, blocks = 0;
    for (int by = 0; by + 4 <= kRows * 2; by += 4) {
      for (int bx = 0; bx + 4 <= kCols; bx += 4) {
        for (const int shift : {16, 8, 0}) {
          int got = 0, want = 0;
          for (int y = by; y < by + 4; ++y) {
            for (int x = bx; x < bx + 4; ++x) {
              got += channel(pixels[static_cast<std::size_t>(y * kCols + x)], shift);
              want += channel(truth[static_cast<std::size_t>(y * kCols + x)], shift);
            }
          }
          sum += std::abs(got - want) / 16;
          ++blocks;
        }
      }
    }
    return sum / blocks;
  };
  for (const int colors : {8, 256}) {
    const std::vector<term::Color> dithered = term::DitherToPalette(truth, kCols, fill, colors);
    std::vector<term::Color> nearest = truth;
    for (std::size_t i = 0; i < truth.size(); ++i) {
      EXPECT_TRUE(dithered[i] == fill ||
                  term::PaletteColor(term::PaletteIndex(dithered[i], colors), colors) == dithered[i]);
      if (truth[i] == fill) {
        EXPECT_EQ(dithered[i], fill);
      }
      nearest[i] = term::PaletteColor(term::PaletteIndex(truth[i], colors), colors);
    }
    EXPECT_LT(blockError(dithered) * 2, blockError(nearest)) << colors;
  }
}

}  // namespace
