// The resource files the resource tool writes: .bmp, .ico and the string
// table as resource-script text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/bitmaps.h"
#include "res/resource.h"
#include "res/strings.h"
#include "win32/resource_files.h"

namespace {

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// A small image whose pixels all differ: red = x, green = y, blue = 7.
res::Image Gradient(int width, int height) {
  res::Image image;
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.rgb.push_back(static_cast<std::uint8_t>(x));
      image.rgb.push_back(static_cast<std::uint8_t>(y));
      image.rgb.push_back(7);
    }
  }
  return image;
}

TEST(Bmp, HeadersAndBottomUpRowsPaddedToFourBytes) {
  const res::Image image = Gradient(5, 3);  // 15 bytes a row, padded to 16
  const std::vector<std::uint8_t> bmp = win32::EncodeBmp(image);
  ASSERT_EQ(bmp.size(), 14u + 40u + 16u * 3u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(U32(bmp, 2), bmp.size());
  EXPECT_EQ(U32(bmp, 10), 54u);  // pixel data offset
  EXPECT_EQ(U32(bmp, 14), 40u);
  EXPECT_EQ(U32(bmp, 18), 5u);
  EXPECT_EQ(U32(bmp, 22), 3u);  // positive height: bottom-up
  EXPECT_EQ(U16(bmp, 26), 1u);
  EXPECT_EQ(U16(bmp, 28), 24u);
  EXPECT_EQ(U32(bmp, 30), 0u);  // uncompressed
  for (int fileRow = 0; fileRow < 3; ++fileRow) {
    const int y = 2 - fileRow;
    for (int x = 0; x < 5; ++x) {
      const std::size_t at = 54 + static_cast<std::size_t>(fileRow) * 16 + static_cast<std::size_t>(x) * 3;
      EXPECT_EQ(bmp[at], 7) << "blue first";
      EXPECT_EQ(bmp[at + 1], y);
      EXPECT_EQ(bmp[at + 2], x);
    }
    EXPECT_EQ(bmp[54 + static_cast<std::size_t>(fileRow) * 16 + 15], 0) << "padding";
  }
}

TEST(Ico, DirectoryEntriesPointAtOpaqueThirtyTwoBitImages) {
  const std::vector<res::Image> images = {Gradient(16, 16), Gradient(32, 32), Gradient(48, 48)};
  const std::vector<std::uint8_t> ico = win32::EncodeIco(images);
  EXPECT_EQ(U16(ico, 0), 0u);
  EXPECT_EQ(U16(ico, 2), 1u);  // icon
  ASSERT_EQ(U16(ico, 4), 3u);
  std::uint32_t expectedOffset = 6 + 16 * 3;
  for (std::size_t i = 0; i < images.size(); ++i) {
    const std::size_t entry = 6 + 16 * i;
    const int size = images[i].width;
    SCOPED_TRACE(size);
    EXPECT_EQ(ico[entry], size);
    EXPECT_EQ(ico[entry + 1], size);
    EXPECT_EQ(U16(ico, entry + 6), 32u);
    const std::uint32_t bytes = U32(ico, entry + 8);
    const std::uint32_t offset = U32(ico, entry + 12);
    EXPECT_EQ(offset, expectedOffset);
    const std::uint32_t maskRow = ((static_cast<std::uint32_t>(size) + 31) / 32) * 4;
    EXPECT_EQ(bytes, 40u + static_cast<std::uint32_t>(size * size * 4) + maskRow * static_cast<std::uint32_t>(size));
    EXPECT_EQ(U32(ico, offset + 8), static_cast<std::uint32_t>(2 * size)) << "colour and mask rows";
    EXPECT_EQ(U16(ico, offset + 14), 32u);
    // The bottom row comes first; the top-left pixel is the first of the last colour row.
    const std::size_t topLeft = offset + 40 + static_cast<std::size_t>(size - 1) * static_cast<std::size_t>(size) * 4;
    EXPECT_EQ(ico[topLeft], 7);
    EXPECT_EQ(ico[topLeft + 1], 0);
    EXPECT_EQ(ico[topLeft + 2], 0);
    EXPECT_EQ(ico[topLeft + 3], 0xFF) << "opaque";
    for (std::size_t m = offset + 40 + static_cast<std::size_t>(size * size * 4); m < offset + bytes; ++m) {
      ASSERT_EQ(ico[m], 0) << "the AND mask lets every pixel through";
    }
    expectedOffset += bytes;
  }
  EXPECT_EQ(ico.size(), expectedOffset);
}

TEST(ResourceScript, StringLiteralsEscapeQuotesBackslashesAndOtherBytes) {
  struct Case {
    const char* text;
    const char* literal;
  };
  const Case cases[] = {
      {"plain text", "\"plain text\""},
      {"the game's folder", "\"the game's folder\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"C:\\Games", "\"C:\\\\Games\""},
      {"tab\there", "\"tab\\011here\""},
      {"caf\xe9", "\"caf\\351\""},
      {"", "\"\""},
  };
  for (const Case& c : cases) EXPECT_EQ(win32::RcStringLiteral(c.text), c.literal) << c.text;
}

TEST(ResourceScript, TheStringTableHoldsEveryEntryOnce) {
  const std::string table = win32::RcStringTable(res::StringTable());
  EXPECT_EQ(table.rfind("STRINGTABLE\nBEGIN\n", 0), 0u);
  EXPECT_EQ(table.substr(table.size() - 4), "END\n");
  for (const auto& entry : res::StringTable()) {
    const std::string line = "  " + std::to_string(entry.id) + ", " + win32::RcStringLiteral(entry.text) + "\n";
    const std::size_t at = table.find(line);
    EXPECT_NE(at, std::string::npos) << entry.id;
    EXPECT_EQ(table.find(line, at + 1), std::string::npos) << entry.id;
  }
}

}  // namespace
