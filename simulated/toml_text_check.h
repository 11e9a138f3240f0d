// A check of a machine profile's text before toml++ parses it. Debian 12's
// toml++ (3.3.0) reaches undefined behaviour on some malformed input: a
// character outside ASCII where a key or value belongs makes it classify
// the character through a table that ends in __builtin_unreachable (fixed
// in later releases of the library), and a table header without a name
// ("[" alone on a line) or a '}' where an array's value belongs ("[1, }")
// fails an assertion inside the library. Such text is refused here with
// its line, so it never reaches the parser.
//
// Outside ASCII is allowed where TOML allows it and the library is sound:
// inside quoted strings (basic, literal and their multi-line forms) and
// comments, and as a UTF-8 byte-order mark at the very start.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

struct TextProblem {
  std::uint32_t line = 0;  // 1-based
  std::string message;
};

// Nullopt when `text` may be given to the parser.
std::optional<TextProblem> CheckTomlText(std::string_view text);

}  // namespace sim
