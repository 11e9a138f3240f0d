#include "settings/profile_file.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "tests/settings/case_file.h"

namespace {

using profile::ParseInt;
using profile::ProfileFile;
using namespace std::string_literals;

struct ReadCase {
  std::string name;
  friend std::ostream& operator<<(std::ostream& os, const ReadCase& c) { return os << c.name; }
  std::string content;
  std::string section;
  std::string key;
  std::string expected;  // "<default>" when the lookup must give the default
};

class ProfileReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ProfileReadTest, FindsValue) {
  const ReadCase& c = GetParam();
  const ProfileFile file(c.content);
  EXPECT_EQ(file.GetString(c.section, c.key, "<default>"), c.expected);
  // The reader that stops after the section follows the same rules.
  EXPECT_EQ(ProfileFile::ReadString(c.content, c.section, c.key, "<default>"), c.expected);
}

std::vector<ReadCase> ReadCases() {
  std::vector<ReadCase> cases;
  for (const auto& f : testing_support::ReadCases("profile_read.tsv", 5)) {
    cases.push_back({f[0], f[1], f[2], f[3], f[4]});
  }
  // Lines too long to keep in the file.
  const std::string k300(300, 'x');
  cases.push_back({"LongValueCut", "[Game]\r\nA=" + k300 + "\r\n", "Game", "A", k300.substr(0, 255)});
  cases.push_back({"LongLineIsOneLine", "[Game]\r\nP=" + std::string(1 << 20, 'y') + "\r\nA=1\r\n", "Game", "A", "1"});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Rules, ProfileReadTest, testing::ValuesIn(ReadCases()),
                         [](const testing::TestParamInfo<ReadCase>& param) { return param.param.name; });

TEST(ProfileReadTest, ForEachKeyVisitsEveryKeyAsALookupReadsIt) {
  ProfileFile file(
      "Top=0\r\n[Game]\r\n A = 1 \r\n; B=2\r\nBare\r\nQ='x'\r\n[Sound]\rC=\r[Game]\nA=3\n");
  file.WriteString("Sound", "C", "4");
  file.WriteString("Sound", "D", "5");
  file.WriteString("New", "E", "6");
  std::string seen;
  file.ForEachKey([&seen](std::string_view section, std::string_view key, std::string_view value) {
    seen += std::string(section) + "/" + std::string(key) + "=" + std::string(value) + "|";
  });
  EXPECT_EQ(seen, "Game/A=1|Game/Q=x|Sound/C=4|Sound/D=5|Game/A=3|New/E=6|");
}

TEST(ProfileReadTest, IntegerLookups) {
  const ProfileFile file("[P]\r\nOne=1\r\nBlank=\r\nWord=yes\r\nBare\r\n");
  EXPECT_EQ(file.GetInt("P", "One", 7), 1);
  EXPECT_EQ(file.GetInt("P", "Blank", 7), 0);
  EXPECT_EQ(file.GetInt("P", "Word", 7), 0);
  EXPECT_EQ(file.GetInt("P", "Bare", 7), 7);
  EXPECT_EQ(file.GetInt("P", "Missing", 7), 7);
  EXPECT_EQ(file.GetInt("Q", "One", 7), 7);
  for (const char* key : {"One", "Blank", "Word", "Bare", "Missing"}) {
    EXPECT_EQ(ProfileFile::ReadInt(file.Text(), "P", key, 7), file.GetInt("P", key, 7)) << key;
  }
}

// parse_int.tsv: text, the number it gives.
TEST(ParseIntTest, FollowsTheIntegerRule) {
  for (const auto& c : testing_support::ReadCases("parse_int.tsv", 2)) {
    EXPECT_EQ(ParseInt(c[0]), std::stoi(c[1])) << c[0];
  }
}

struct WriteCase {
  std::string name;
  friend std::ostream& operator<<(std::ostream& os, const WriteCase& c) { return os << c.name; }
  std::string before;
  std::string section;
  std::string key;
  std::string value;
  std::string after;
};

class ProfileWriteTest : public testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWriteTest, ProducesBytes) {
  const WriteCase& c = GetParam();
  ProfileFile file(c.before);
  ASSERT_TRUE(file.WriteString(c.section, c.key, c.value));
  EXPECT_EQ(file.Content(), c.after);
  EXPECT_EQ(file.GetString(c.section, c.key, "<none>"), c.value);
  // What was written reads the same from the bytes.
  EXPECT_EQ(ProfileFile(file.Content()).GetString(c.section, c.key, "<none>"), c.value);
}

std::vector<WriteCase> WriteCases() {
  std::vector<WriteCase> cases;
  for (const auto& f : testing_support::ReadCases("profile_write.tsv", 6)) {
    cases.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Rules, ProfileWriteTest, testing::ValuesIn(WriteCases()),
                         [](const testing::TestParamInfo<WriteCase>& param) { return param.param.name; });

TEST(ProfileWriteTest, ValueIsCutAtLineBreakOrNul) {
  for (const std::string& value : {"1\r\n[Evil]\r\nX=1"s, "1\nX"s, "1\rX"s, "1\0X"s}) {
    ProfileFile file("[Game]\r\nA=0\r\n");
    ASSERT_TRUE(file.WriteString("Game", "A", value));
    ASSERT_TRUE(file.WriteString("Game", "B", value));
    EXPECT_EQ(file.Content(), "[Game]\r\nA=1\r\nB=1\r\n");
  }
}

TEST(ProfileWriteTest, RefusesNamesThatCannotStandInTheFile) {
  const struct {
    std::string section;
    std::string key;
  } cases[] = {{"", "A"},          {"Ga]me", "A"},   {"Ga\nme", "A"}, {"Ga\0me"s, "A"},
               {"Game", ""},       {"Game", "  "},   {"Game", "A=B"}, {"Game", ";A"},
               {"Game", "[A"},     {"Game", "A\rB"}, {"Game", "A\0"s}};
  for (const auto& c : cases) {
    ProfileFile file("[Game]\r\nA=1\r\n");
    EXPECT_FALSE(file.WriteString(c.section, c.key, "2"));
    EXPECT_EQ(file.Content(), "[Game]\r\nA=1\r\n");
  }
}

TEST(ProfileWriteTest, LaterWritesSeeEarlierOnes) {
  ProfileFile file("[Game]\r\nA=1\r\n");
  ASSERT_TRUE(file.WriteString("Game", "B", "1"));
  ASSERT_TRUE(file.WriteString("Game", "b", "2"));  // the added key, not a second one
  ASSERT_TRUE(file.WriteString("Sound", "S", "1"));
  ASSERT_TRUE(file.WriteString("sound", "S", "0"));
  ASSERT_TRUE(file.WriteString("Sound", "T", "1"));
  ASSERT_TRUE(file.WriteString("Game", "A", "3"));
  ASSERT_TRUE(file.WriteString("Game", "A", "4"));
  EXPECT_EQ(file.Content(), "[Game]\r\nA=4\r\nB=2\r\n[Sound]\r\nS=0\r\nT=1\r\n");
}

TEST(ProfileWriteTest, UntouchedBytesStayAsTheyWere) {
  // Everything a player or the game may have in the file (a mark, stray and
  // odd lines, control and NUL bytes, CR alone), around the one key written.
  const std::string before =
      testing_support::ReadFile(std::string(HALCYRA_TEST_DATA_DIR) + "/saves/untouched-bytes.before");
  ProfileFile file(before);
  ASSERT_TRUE(file.WriteString("Game", "GameScreenWidth", "1024"));
  std::string expected = before;
  expected.replace(expected.find("640"), 3, "1024");
  EXPECT_EQ(file.Content(), expected);
}

TEST(ProfileWriteTest, ContentWithoutWritesIsTheInput) {
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 7919) & 0xFF));
  for (const std::string& content : {""s, "\r"s, "\n\n\r\r\n"s, "[\0]\r\n=\r\n"s, binary}) {
    EXPECT_EQ(ProfileFile(content).Content(), content);
  }
}

TEST(ProfileWriteTest, BinaryFileKeepsItsBytesAroundANewSection) {
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 131) & 0xFF));
  ProfileFile file(binary);
  ASSERT_TRUE(file.WriteString("Halcyra Test", "K", "v"));
  const std::string out = file.Content();
  ASSERT_GE(out.size(), binary.size());
  EXPECT_EQ(out.substr(0, binary.size()), binary);
  EXPECT_EQ(ProfileFile(out).GetString("Halcyra Test", "K", ""), "v");
}

// UTF-16 text with its byte-order mark, in either byte order.
std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes;
  for (const char16_t unit : u"\xFEFF"s + std::u16string(text)) {
    const auto high = static_cast<char>(unit >> 8);
    const auto low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

// UTF-16 files are read and written as the Windows profile functions do:
// keys without regard to case, values replaced where they stand, the byte
// order, mark, line ends and every other unit kept.
TEST(ProfileUtf16Test, ReadsAndWritesInTheFilesEncoding) {
  const std::u16string before =
      u"; r\u00e9glages \u263A \xD800\r\n[game]\r\ngamescreenwidth = 1024\r\nName=Zo\u00eb\r\n"
      u"[Keys]\r\nFire=Ctrl\r\n";
  std::u16string after = before;
  after.replace(after.find(u"1024"), 4, u"800");
  after.insert(after.find(u"[Keys]"), u"GameScreenHeight=600\r\n");
  after += u"[Sound]\r\nEnableAcoustics=1\r\n";
  for (const bool bigEndian : {false, true}) {
    ProfileFile file(Utf16(before, bigEndian));
    EXPECT_EQ(file.GetInt("Game", "GameScreenWidth", 0), 1024) << bigEndian;
    EXPECT_EQ(file.GetString("Keys", "fire", ""), "Ctrl") << bigEndian;
    EXPECT_EQ(file.GetString("Game", "Name", ""), "Zo\xC3\xAB") << bigEndian;
    EXPECT_EQ(ProfileFile::ReadInt(Utf16(before, bigEndian), "Game", "GameScreenWidth", 0), 1024);
    EXPECT_EQ(ProfileFile(Utf16(before, bigEndian)).Content(), Utf16(before, bigEndian));
    ASSERT_TRUE(file.WriteString("Game", "GameScreenWidth", "800"));
    ASSERT_TRUE(file.WriteString("Game", "GameScreenHeight", "600"));
    ASSERT_TRUE(file.WriteString("Sound", "EnableAcoustics", "1"));
    EXPECT_EQ(file.Content(), Utf16(after, bigEndian)) << bigEndian;
  }
  // A byte that begins no sequence is written as the unit of its value, and
  // reads back so at once.
  ProfileFile latin(Utf16(u"[A]\n", false));
  ASSERT_TRUE(latin.WriteString("A", "k", "caf\xE9"));
  EXPECT_EQ(latin.GetString("A", "k", ""), "caf\xC3\xA9");
  EXPECT_EQ(latin.Content(), Utf16(u"[A]\nk=caf\u00e9\n", false));
  // A last odd byte stays last; a new section goes before it.
  ProfileFile odd(Utf16(u"[A]\nk=1\n", false) + "\x41");
  ASSERT_TRUE(odd.WriteString("B", "k", "2"));
  EXPECT_EQ(odd.Content(), Utf16(u"[A]\nk=1\n[B]\nk=2\n", false) + "\x41");
}

}  // namespace
