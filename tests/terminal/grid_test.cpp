#include <gtest/gtest.h>

#include "terminal/grid.h"
#include "terminal/layout.h"

namespace {

using term::FromAnsi;
using term::ToUtf8;

TEST(Text, AnsiBytesBecomeTheirCharacters) {
  struct Case {
    std::string ansi;
    std::u32string shown;
  };
  const Case cases[] = {
      {"Voodoo3", U"Voodoo3"},
      {"\x80 5", U"\u20AC 5"},           // code page 1252 euro sign
      {"Caf\xE9", U"Caf\u00E9"},         // Latin-1 range
      {"A\x99", U"A\u2122"},             // trade mark sign
      {"a\tb\nc\x1B", U"a b c "},        // control characters cannot move the cursor
      {"\x81", U"?"},                    // unassigned in 1252
  };
  for (const auto& c : cases) EXPECT_EQ(FromAnsi(c.ansi), c.shown) << c.ansi;
}

TEST(Text, TypedCharactersBackToAnsi) {
  EXPECT_EQ(term::ToAnsi(U'a'), 'a');
  EXPECT_EQ(term::ToAnsi(U'\u00E9'), '\xE9');
  EXPECT_EQ(term::ToAnsi(U'\u20AC'), '\x80');
  EXPECT_FALSE(term::ToAnsi(U'\u4E2D'));  // no 8-bit form
  EXPECT_FALSE(term::ToAnsi(U'\x1B'));
  EXPECT_EQ(ToUtf8(U"\u2502x\u2580"), "\xE2\x94\x82x\xE2\x96\x80");
}

TEST(Grid, WritesAreClippedToTheGrid) {
  term::Grid grid({5, 2}, {});
  EXPECT_EQ(grid.Text(3, 0, U"abcdef", {}), 6);
  grid.Text(-2, 1, U"xyz", {});
  grid.Put(9, 9, U'!', {});
  EXPECT_EQ(grid.RowText(0), "   ab");
  EXPECT_EQ(grid.RowText(1), "z");
  EXPECT_EQ(grid.Text(0, 0, U"abcdef", {}, 2), 2);
  EXPECT_EQ(grid.RowText(0), "ab ab");
}

TEST(WrapText, BreaksAtBlanksWithinTheWidth) {
  struct Case {
    std::string text;
    int width;
    std::vector<std::u32string> lines;
  };
  const Case cases[] = {
      {"one two three", 7, {U"one two", U"three"}},
      {"one two three", 8, {U"one two", U"three"}},
      {"abcdefghij", 4, {U"abcd", U"efgh", U"ij"}},      // a word longer than a line
      {"first\nsecond", 20, {U"first", U"second"}},     // line feeds
      {"a\r\n\nb", 20, {U"a", U"", U"b"}},
      {"Halcyra.  If you", 9, {U"Halcyra.", U"If you"}},  // blanks at a break vanish
      {"Halcyra.  If you", 20, {U"Halcyra.  If you"}},    // and stay inside a line
      {"", 5, {U""}},
  };
  for (const auto& c : cases) EXPECT_EQ(term::WrapText(c.text, c.width), c.lines) << c.text;
}

TEST(ListGeometry, TopKeepsTheBarVisible) {
  // top, highlight, count, visible -> top
  EXPECT_EQ(term::ListTop(0, 3, 5, 9), 0);    // everything fits
  EXPECT_EQ(term::ListTop(0, 11, 12, 9), 3);  // bar at the bottom row
  EXPECT_EQ(term::ListTop(5, 2, 12, 9), 2);   // bar above the shown part
  EXPECT_EQ(term::ListTop(9, 5, 12, 9), 3);   // never past the last page
}

}  // namespace
