// The stored scenarios on halcyra-sim: the Windows tests' (tests/win32/
// scenarios) on the machine they play on under Wine, and the pages' cases
// (tests/pages/cases) each on its own machine. The stored output and
// options.ini, case by case, so every run of the tests checks them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/hardware/sim_support.h"

namespace {

namespace fsys = std::filesystem;
using Names = std::vector<std::pair<std::string, std::string>>;

// The [glide] section for a scenario's "glide KEY=VALUE ..." setup line,
// which the Windows tests hand to their test glide2x.dll.
std::string GlideSection(const std::string& setup) {
  std::map<std::string, std::string> keys;
  for (const std::string& line : test::Lines(setup)) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word != "glide") continue;
    keys["library"] = "true";
    while (words >> word) {
      const std::string key = word.substr(0, word.find('=')), value = word.substr(word.find('=') + 1);
      const std::map<std::string, std::string> ours = {{"num_sst", "num_sst"}, {"fbRam", "fb_ram"},
                                                       {"tmuRam", "tmu_ram"},   {"type", "board_type"},
                                                       {"nTexelfx", "texelfx"}, {"sliDetect", "sli"}};
      if (ours.contains(key)) keys[ours.at(key)] = key == "sliDetect" ? (value == "1" ? "true" : "false") : value;
    }
    // A library that says how many boards there are and nothing more.
    if (line.find("fill=count") != std::string::npos) keys["fb_ram"] = "0";
    if (line.find("library=glide2x-noselect") != std::string::npos) keys["missing_exports"] = "[\"_grSstSelect@4\"]";
  }
  std::string section = keys.empty() ? "" : "[glide]\n";
  for (const auto& [key, value] : keys) section += key + " = " + value + "\n";
  return section;
}

// The placeholders' values: the machine's devices as its report lists them.
Names Placeholders(const std::string& machine) {
  Names names;
  std::string section;
  int display = 0, guid = 0, sound = 0;
  for (const std::string& line : test::Lines(test::RunSim("--machine " + machine + " --report").out)) {
    if (!line.empty() && line[0] != ' ' && !line.starts_with("Device ") && !line.starts_with("---")) section = line;
    const std::size_t colon = line.find(": ");
    const std::string label = colon == std::string::npos ? "" : line.substr(0, colon);
    const std::string value = colon == std::string::npos ? "" : line.substr(colon + 2);
    if (section == "Display Devices" && label.ends_with("Description")) {
      names.emplace_back("@DISPLAY" + std::to_string(++display) + "@", value);
    }
    if (section == "Display Devices" && label.ends_with("DDGUID")) {
      names.emplace_back("@DDGUID" + std::to_string(++guid) + "@", value);
    }
    if (section == "Sound Devices" && label.ends_with("Description")) {
      names.emplace_back("@SOUND" + std::to_string(++sound) + "@", value);
    }
  }
  return names;
}

// `text` with its placeholders replaced and without carriage returns.
std::string Expand(std::string text, const Names& names) {
  std::erase(text, '\r');
  for (const auto& [key, value] : names) {
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size())) {
      text.replace(at, key.size(), value);
    }
  }
  return text;
}

// Plays stored case `scenario` on `machine` in `dir` and compares its exit
// status, output (with standard error when `errors`) and options.ini
// afterwards with the stored ones.
void ExpectStoredResult(const fsys::path& scenario, const std::string& machine, const fsys::path& dir, bool errors) {
  const std::string name = scenario.filename().string();
  const fsys::path game = dir / "game";
  const std::string output = test::Read(scenario / "expected.txt");
  const std::string saved = test::Read(scenario / "expected.ini");
  // The machine's report is asked for only when the stored files name its
  // devices.
  const std::string both = output + saved;
  const bool named = both.find("@DISPLAY") != std::string::npos || both.find("@DDGUID") != std::string::npos ||
                     both.find("@SOUND") != std::string::npos;
  Names names = named ? Placeholders(machine) : Names{};
  const test::ScenarioResult result = test::PlayScenario(scenario, machine, game, errors);
  const std::string status = test::Read(scenario / "expected-status");
  EXPECT_EQ(result.run.status, status.empty() ? 0 : std::stoi(status)) << name;
  names.emplace_back("@CWD@", fsys::current_path().string());
  names.emplace_back("@GAME@", game.string());
  EXPECT_EQ(result.run.out, Expand(output, names)) << name;
  // Whatever the case, nothing is written outside the game's folder.
  EXPECT_FALSE(fsys::exists(fsys::current_path() / "options.ini")) << name;
  names.back().second.clear();
  // The stored files have LF line ends; the saved file has those of the
  // file it replaced, CR LF for a new one.
  const bool stored = fsys::exists(scenario / "expected.ini");
  const std::string before = test::Read(scenario / "options.ini");
  std::string expected = stored ? Expand(saved, names) : "(none)";
  if (stored && (before.empty() || before.find("\r\n") != std::string::npos)) {
    for (std::size_t at = expected.find('\n'); at != std::string::npos; at = expected.find('\n', at + 2)) {
      expected.insert(at, "\r");
    }
  }
  if (stored || !fsys::exists(scenario / "options.ini")) {
    EXPECT_EQ(result.options.value_or("(none)"), expected) << name;
  }
}

TEST(Scenarios, GiveTheStoredOutputAndOptions) {
  const fsys::path dir = test::Scratch("scenarios");
  const std::string base = test::Read(fsys::path(HALCYRA_SCENARIOS_DIR) / "../../simulated/wine-1024x768.toml");
  ASSERT_FALSE(base.empty());
  int played = 0;
  for (const auto& entry : fsys::directory_iterator(HALCYRA_SCENARIOS_DIR)) {
    const fsys::path scenario = entry.path();
    const std::string machine = (dir / "machine.toml").string();
    std::ofstream(machine) << base << GlideSection(test::Read(scenario / "setup"));
    ExpectStoredResult(scenario, machine, dir, false);
    ++played;
  }
  EXPECT_GE(played, 13);
}

// The pages' stored cases (tests/pages/cases), each on the machine its
// "machine PATH" setup line names, PATH from the top of the source tree;
// their output holds halcyra-sim's messages too.
const fsys::path kPageCases = fsys::path(HALCYRA_SCENARIOS_DIR) / "../../pages/cases";

class PageCases : public ::testing::TestWithParam<std::string> {};

TEST_P(PageCases, GiveTheStoredOutputAndOptions) {
  const fsys::path scenario = kPageCases / GetParam();
  std::string machine;
  for (const std::string& line : test::Lines(test::Read(scenario / "setup"))) {
    if (line.starts_with("machine ")) machine = (kPageCases / "../../.." / line.substr(8)).string();
  }
  ASSERT_TRUE(fsys::is_regular_file(machine)) << GetParam();
  ExpectStoredResult(scenario, machine, test::Scratch("page-case"), true);
}

std::vector<std::string> PageCaseNames() {
  std::vector<std::string> names;
  for (const auto& entry : fsys::directory_iterator(kPageCases)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Pages, PageCases, ::testing::ValuesIn(PageCaseNames()), [](const auto& test) {
  std::string name = test.param;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
});

}  // namespace
