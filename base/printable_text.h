// Text from outside the program made safe to print on a terminal: device
// names from a machine profile, script lines, paths, the terminal's type.
// A control character in such a text would make the terminal act instead of
// show (clear the screen, set its title, write the clipboard, reorder the
// line), so every control appears as an escape instead. One function for
// the report, the error messages and the scenario output.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace printable {

namespace detail {

// The length of the well-formed UTF-8 sequence at `at` with its code point
// in `cp`, or 0 when the byte there does not start one.
inline std::size_t Utf8Sequence(std::string_view text, std::size_t at, char32_t& cp) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t more = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1;
    cp = lead & 0x1Fu;
    least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2;
    cp = lead & 0x0Fu;
    least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3;
    cp = lead & 0x07u;
    least = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at <= more) return 0;
  for (std::size_t i = 1; i <= more; ++i) {
    if ((byte(at + i) & 0xC0u) != 0x80u) return 0;
    cp = (cp << 6) | (byte(at + i) & 0x3Fu);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return more + 1;
}

// C1 controls and the controls that change the direction of text.
constexpr bool IsControlCodePoint(char32_t cp) {
  return (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F ||
         (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

inline void AppendHex(std::string& out, unsigned value, int digits) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xFu];
}

}  // namespace detail

// `text` with its controls escaped: bytes below 0x20 and 0x7F as \xHH; the
// C1 controls (U+0080 to U+009F) and the bidirectional controls (U+061C,
// U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069), encoded in UTF-8, as
// \uHHHH; a byte that is not part of well-formed UTF-8 as \xHH (a terminal
// that takes 8-bit text reads 0x80 to 0x9F as C1 controls). With `quoted`,
// '"' and '\' are escaped with a backslash too, so that the text can stand
// between quotes and be read back without doubt.
inline std::string Escape(std::string_view text, bool quoted = false) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const char c = text[at];
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      if (byte < 0x20 || byte == 0x7F) {
        out += "\\x";
        detail::AppendHex(out, byte, 2);
      } else {
        if (quoted && (c == '"' || c == '\\')) out += '\\';
        out += c;
      }
      ++at;
      continue;
    }
    char32_t cp = 0;
    const std::size_t length = detail::Utf8Sequence(text, at, cp);
    if (length == 0) {
      out += "\\x";
      detail::AppendHex(out, byte, 2);
      ++at;
    } else if (detail::IsControlCodePoint(cp)) {
      out += "\\u";
      detail::AppendHex(out, static_cast<unsigned>(cp), 4);
      at += length;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
  return out;
}

}  // namespace printable
