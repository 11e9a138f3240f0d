#include "simulated/toml_text_check.h"

#include <cstring>

namespace sim {

namespace {

bool IsBareKeyCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

constexpr const char* kOutsideAscii =
    "a character outside ASCII stands outside a quoted string or a comment (a name with such characters must "
    "be written in quotes)";

}  // namespace

std::optional<TextProblem> CheckTomlText(std::string_view text) {
  enum class State { kOutside, kComment, kBasic, kLiteral, kMultiBasic, kMultiLiteral };
  State state = State::kOutside;
  std::uint32_t line = 1;
  std::string open;  // the open arrays ('[') and inline tables ('{') of a value
  // The last character outside strings and comments on this line that was
  // not a blank; 0 at a line's start. A quote opens a string only where a
  // key or a value begins (after '=', '[', '{', ',' or '.', or first on
  // the line): anywhere else the parser reads it as part of a bare word.
  char previous = 0;
  std::size_t at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;

  // The length of the run of `quote` characters at `at`.
  const auto run = [&](char quote) {
    std::size_t length = 0;
    while (at + length < text.size() && text[at + length] == quote) ++length;
    return length;
  };

  while (at < text.size()) {
    const char c = text[at];
    if (c == '\n') {
      ++line;
      // Single-line strings and comments end with the line (an unclosed
      // string is the parser's error to report).
      if (state == State::kComment || state == State::kBasic || state == State::kLiteral) {
        state = State::kOutside;
      }
      if (state == State::kOutside) previous = 0;
      ++at;
      continue;
    }
    switch (state) {
      case State::kComment:
        ++at;
        break;
      case State::kBasic:
        if (c == '\\' && at + 1 < text.size() && text[at + 1] != '\n') {
          at += 2;
        } else {
          if (c == '"') {
            state = State::kOutside;
            previous = c;
          }
          ++at;
        }
        break;
      case State::kLiteral:
        if (c == '\'') {
          state = State::kOutside;
          previous = c;
        }
        ++at;
        break;
      case State::kMultiBasic:
      case State::kMultiLiteral: {
        const char quote = state == State::kMultiBasic ? '"' : '\'';
        if (state == State::kMultiBasic && c == '\\' && at + 1 < text.size()) {
          // An escape; a backslash at a line's end joins the lines.
          if (text[at + 1] == '\n') ++line;
          at += 2;
        } else if (c == quote) {
          // Three or more quotes close the string (up to two of them are
          // its last characters).
          const std::size_t length = run(quote);
          if (length >= 3) {
            state = State::kOutside;
            previous = c;
          }
          at += length;
        } else {
          ++at;
        }
        break;
      }
      case State::kOutside: {
        if (static_cast<unsigned char>(c) >= 0x80) return TextProblem{line, kOutsideAscii};
        if (IsBlank(c)) {
          ++at;
          break;
        }
        if (previous == 0 && c == '[' && open.empty()) {
          // A table header: "[" or "[[", blanks, then a name (bare or
          // quoted), or "]" (the parser refuses an empty name itself).
          at += at + 1 < text.size() && text[at + 1] == '[' ? 2 : 1;
          previous = '[';
          while (at < text.size() && IsBlank(text[at])) ++at;
          const char next = at < text.size() ? text[at] : '\0';
          if (!IsBareKeyCharacter(next) && next != '"' && next != '\'' && next != ']') {
            return TextProblem{line, "a table header without a name: '[' must be followed by the table's name"};
          }
          // The rest of the header up to a quoted part or a comment: its
          // brackets are no array's.
          while (at < text.size() && text[at] != '\n' && text[at] != '#' && text[at] != '"' && text[at] != '\'') {
            if (static_cast<unsigned char>(text[at]) >= 0x80) return TextProblem{line, kOutsideAscii};
            if (!IsBlank(text[at])) previous = text[at];
            ++at;
          }
          break;
        }
        if (c == '#') {
          state = State::kComment;
          ++at;
          break;
        }
        if ((c == '"' || c == '\'') && (previous == 0 || std::strchr("=[{,.", previous) != nullptr)) {
          const std::size_t length = run(c);
          if (length >= 3) {
            state = c == '"' ? State::kMultiBasic : State::kMultiLiteral;
            at += 3;
          } else if (length == 2) {
            at += 2;  // an empty string
            previous = c;
          } else {
            state = c == '"' ? State::kBasic : State::kLiteral;
            ++at;
          }
          break;
        }
        if (c == '}' && !open.empty() && open.back() == '[') {
          return TextProblem{line, "'}' where an array's value or its closing ']' belongs"};
        }
        if (c == '[' || c == '{') open += c;
        if ((c == ']' || c == '}') && !open.empty()) open.pop_back();
        previous = c;
        ++at;
        break;
      }
    }
  }
  return std::nullopt;
}

}  // namespace sim
