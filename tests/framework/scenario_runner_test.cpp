// The scenario runner: parsing, the events it prints, and its errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "dialog_model/scenario.h"
#include "test_pages.h"

namespace {

struct Output {
  int code = 0;
  std::string out;
  std::string err;
};

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char chunk[256];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
  std::fclose(file);
  return text;
}

// Runs `script` against the recording sheet.
Output RunScript(const std::string& script) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::vector<std::string> log;
  Output result;
  result.code = dm::RunScenario(
      script,
      [&] {
        test::RecordingSheet sheet(log);
        sheet.DoModal();
        return 0;
      },
      "runner_test", out, err);
  result.out = ReadAll(out);
  result.err = ReadAll(err);
  return result;
}

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

TEST(Runner, PrintsDumpResultAndExitAndCancelsWhenTheScriptEnds) {
  const Output run = RunScript("click 1003\ndump\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.out.find("-1 group enabled=1 text=\"3D Hardware\"\n"), std::string::npos);
  EXPECT_NE(run.out.find("1002 radio enabled=1 checked=0 text=\"Glide\"\n"), std::string::npos);
  EXPECT_NE(run.out.find("1003 radio enabled=1 checked=1 text=\"Direct 3D\"\n"), std::string::npos);
  EXPECT_NE(run.out.find("1004 combo enabled=1 current=-1 items= text=\"\"\n"), std::string::npos);
  EXPECT_NE(run.out.find("-1 picture enabled=0\n"), std::string::npos);
  EXPECT_TRUE(run.out.ends_with("result cancel\nexit 0\n")) << run.out;
}

TEST(Runner, DumpsTheActivePageInTemplateOrder) {
  const Output run = RunScript("tab 1\ndump\nok\n");
  const std::string expected =
      "1014 combo enabled=1 current=-1 items= text=\"\"\n"
      "1015 check enabled=1 checked=0 text=\"EAX\"\n"
      "-1 static enabled=1 text=\"Number Of Voices\"\n"
      "-1 static enabled=1 text=\"Number Of 3D Voices:\"\n"
      "1016 edit enabled=1 text=\"\"\n"
      "1017 edit enabled=1 text=\"\"\n"
      "-1 group enabled=1 text=\"Extended Properties:\"\n"
      "-1 group enabled=1 text=\"Audio Voices\"\n"
      "-1 group enabled=1 text=\"Audio Hardware Device\"\n"
      "-1 picture enabled=0\n"
      "result ok\n"
      "exit 0\n";
  EXPECT_EQ(run.out, expected);
}

TEST(Runner, ReportsUnknownControlsDisabledClicksAndBadPagesWithExitTwo) {
  for (const char* script : {"click 4242\n", "click 1003\n# fine\nselect 1004 3\n", "tab 5\n",
                             "select 1002 0\n", "bogus\n"}) {
    const Output run = RunScript(script);
    EXPECT_EQ(run.code, 2) << script;
    EXPECT_NE(run.err.find("script line"), std::string::npos) << script;
    EXPECT_EQ(run.out.find("exit"), std::string::npos) << script;
  }
}

TEST(Quoting, EscapesQuotesBackslashesAndControlBytes) {
  EXPECT_EQ(dm::Quote("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\x0a\\x01\"");
}

}  // namespace
