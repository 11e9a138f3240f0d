#include "win32/resource_files.h"

namespace win32 {

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

// BITMAPINFOHEADER, uncompressed.
void PutInfoHeader(std::vector<std::uint8_t>& out, int width, int height, int bitCount,
                   std::uint32_t imageSize) {
  Put32(out, kInfoHeaderSize);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);  // planes
  Put16(out, static_cast<std::uint32_t>(bitCount));
  Put32(out, 0);  // BI_RGB
  Put32(out, imageSize);
  Put32(out, 2835);  // 72 dots per inch
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
}

std::uint32_t RowBytes(int width, int bitCount) {
  return ((static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(bitCount) + 31) / 32) * 4;
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const res::Image& image) {
  const std::uint32_t row = RowBytes(image.width, 24);
  const std::uint32_t pixels = row * static_cast<std::uint32_t>(image.height);
  std::vector<std::uint8_t> out;
  out.reserve(kFileHeaderSize + kInfoHeaderSize + pixels);
  out.push_back('B');
  out.push_back('M');
  Put32(out, kFileHeaderSize + kInfoHeaderSize + pixels);
  Put32(out, 0);
  Put32(out, kFileHeaderSize + kInfoHeaderSize);
  PutInfoHeader(out, image.width, image.height, 24, pixels);
  for (int y = image.height - 1; y >= 0; --y) {
    const std::size_t start = out.size();
    for (int x = 0; x < image.width; ++x) {
      out.push_back(image.B(x, y));
      out.push_back(image.G(x, y));
      out.push_back(image.R(x, y));
    }
    out.resize(start + row, 0);
  }
  return out;
}

std::vector<std::uint8_t> EncodeIco(std::span<const res::Image> images) {
  std::vector<std::vector<std::uint8_t>> bodies;
  for (const res::Image& image : images) {
    const std::uint32_t colorRow = RowBytes(image.width, 32);
    const std::uint32_t maskRow = RowBytes(image.width, 1);
    const std::uint32_t size = (colorRow + maskRow) * static_cast<std::uint32_t>(image.height);
    std::vector<std::uint8_t> body;
    // An icon image's header counts the colour rows and the mask rows.
    PutInfoHeader(body, image.width, image.height * 2, 32, size);
    for (int y = image.height - 1; y >= 0; --y) {
      for (int x = 0; x < image.width; ++x) {
        body.push_back(image.B(x, y));
        body.push_back(image.G(x, y));
        body.push_back(image.R(x, y));
        body.push_back(0xFF);
      }
    }
    // The AND mask: all zero, every pixel opaque.
    body.resize(body.size() + maskRow * static_cast<std::uint32_t>(image.height), 0);
    bodies.push_back(std::move(body));
  }

  std::vector<std::uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const res::Image& image = images[i];
    out.push_back(static_cast<std::uint8_t>(image.width >= 256 ? 0 : image.width));
    out.push_back(static_cast<std::uint8_t>(image.height >= 256 ? 0 : image.height));
    out.push_back(0);  // no palette
    out.push_back(0);
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits per pixel
    Put32(out, static_cast<std::uint32_t>(bodies[i].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(bodies[i].size());
  }
  for (const auto& body : bodies) out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::string RcStringLiteral(const char* text) {
  std::string out = "\"";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    const unsigned char c = *p;
    if (c == '"') {
      out += "\"\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += '\\';
      out += static_cast<char>('0' + ((c >> 6) & 7));
      out += static_cast<char>('0' + ((c >> 3) & 7));
      out += static_cast<char>('0' + (c & 7));
    }
  }
  out += '"';
  return out;
}

std::string RcStringTable(std::span<const res::StringEntry> table) {
  std::string out = "STRINGTABLE\nBEGIN\n";
  for (const res::StringEntry& entry : table) {
    out += "  " + std::to_string(entry.id) + ", " + RcStringLiteral(entry.text) + "\n";
  }
  out += "END\n";
  return out;
}

}  // namespace win32
