// CRC-32 (the polynomial of zip, PNG and Ethernet, reflected, 0xEDB88320),
// for files that must tell a whole copy from a cut or altered one: the
// recovery file of an in-place save and the machine profile a support
// report carries.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace checksum {

namespace detail {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

inline constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace detail

// The CRC-32 of `bytes` ("123456789" gives 0xCBF43926).
constexpr std::uint32_t Crc32(std::string_view bytes) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (const char byte : bytes) {
    c = detail::kCrcTable[(c ^ static_cast<unsigned char>(byte)) & 0xFFu] ^ (c >> 8);
  }
  return c ^ 0xFFFFFFFFu;
}

static_assert(Crc32("123456789") == 0xCBF43926u);

// The checksum as eight lower-case hexadecimal digits.
inline std::string Hex32(std::uint32_t value) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = kHex[value & 0xFu];
    value >>= 4;
  }
  return text;
}

// Eight hexadecimal digits back to their value; nullopt for anything else.
inline std::optional<std::uint32_t> ParseHex32(std::string_view text) {
  if (text.size() != 8) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : text) {
    std::uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = (value << 4) | digit;
  }
  return value;
}

}  // namespace checksum
