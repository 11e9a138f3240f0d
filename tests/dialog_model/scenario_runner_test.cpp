// The scenario runner's parsing and quoting. What it prints, and how it
// stops on a control or page that is not there: tests/pages/cases.
#include <gtest/gtest.h>

#include <string>

#include "base/printable_text.h"
#include "dialog_model/scenario.h"

namespace {

TEST(ScriptParsing, AcceptsEveryActionAndSkipsCommentsAndBlankLines) {
  auto parsed = dm::ParseScript(
      "# a comment\n\nclick 1003\r\nselect 1004 2\ntype 1004 some text  \ntab 1\n"
      "  ok\ncancel\nclose\ndump\n");
  ASSERT_TRUE(std::holds_alternative<dm::Script>(parsed));
  const auto& steps = std::get<dm::Script>(parsed).steps;
  ASSERT_EQ(steps.size(), 8u);
  EXPECT_EQ(steps[0].line, 3);
  EXPECT_EQ(steps[0].action.kind, dm::Action::Kind::Click);
  EXPECT_EQ(steps[0].action.id, 1003);
  EXPECT_EQ(steps[1].action.index, 2);
  EXPECT_EQ(steps[2].action.text, "some text");
  EXPECT_EQ(steps[3].action.kind, dm::Action::Kind::Tab);
  EXPECT_EQ(steps[3].action.index, 1);
  EXPECT_EQ(steps[6].action.kind, dm::Action::Kind::Close);
  EXPECT_TRUE(steps[7].dump);
}

TEST(ScriptParsing, RejectsMalformedLinesNamingTheLine) {
  struct Case {
    const char* script;
    int line;
  };
  for (const Case& c : {Case{"ok\nclick\n", 2}, Case{"click abc\n", 1}, Case{"select 1004\n", 1},
                        Case{"\n\njump 3\n", 3}, Case{"tab x\n", 1}, Case{"ok now\n", 1},
                        Case{"click 12x\n", 1}, Case{"select 1004 1 2\n", 1},
                        // Typed text is printable: no Tab, Backspace or other control key.
                        Case{"type 1004 a\tb\n", 1}, Case{"dump\ntype 1007 x\x01\n", 2},
                        Case{"type 1014 \x08\n", 1}}) {
    auto parsed = dm::ParseScript(c.script);
    ASSERT_TRUE(std::holds_alternative<dm::ScriptError>(parsed)) << c.script;
    EXPECT_EQ(std::get<dm::ScriptError>(parsed).line, c.line) << c.script;
  }
}

TEST(Quoting, EscapesQuotesBackslashesAndControlBytes) {
  EXPECT_EQ(dm::Quote("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\x0a\\x01\"");
}

// Every control a terminal acts on is escaped; printable text, in ASCII or
// well-formed UTF-8, is kept.
TEST(Quoting, EscapesC1AndBidiControlsAndMalformedUtf8) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"\x1b]0;title\x07", "\\x1b]0;title\\x07"},
      {"\x7f", "\\x7f"},
      {"\xc2\x9b" "2J", "\\u009b2J"},          // C1 CSI, UTF-8 encoded
      {"\xc2\x80\xc2\x9f", "\\u0080\\u009f"},
      {"\x9b" "2J", "\\x9b2J"},                 // C1 CSI as a raw byte
      {"abc\xe2\x80\xae" "cba", "abc\\u202ecba"},  // right-to-left override
      {"\xd8\x9c\xe2\x80\x8e\xe2\x80\x8f\xe2\x80\xaa\xe2\x81\xa6\xe2\x81\xa9",
       "\\u061c\\u200e\\u200f\\u202a\\u2066\\u2069"},
      {"caf\xc3\xa9 \xe2\x80\xa2 \xe2\x82\xac \xf0\x9f\x8e\xae", "caf\xc3\xa9 \xe2\x80\xa2 \xe2\x82\xac \xf0\x9f\x8e\xae"},
      {"\xe2\x80", "\\xe2\\x80"},              // cut short
      {"\xc0\xaf", "\\xc0\\xaf"},              // overlong
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},      // a surrogate
      {"C:\\Games\\Halcyra", "C:\\Games\\Halcyra"},
  };
  for (const auto& c : cases) EXPECT_EQ(printable::Escape(c.in), c.out) << c.in;
  EXPECT_EQ(printable::Escape("C:\\x \"y\"", true), "C:\\\\x \\\"y\\\"");
}

}  // namespace
