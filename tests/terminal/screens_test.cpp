// The program's screens against stored ones: each file of screens/ starts
// with the terminal ("term COLSxROWS COLOURS unicode|ascii", then the
// machine profile when not the reference machine) and the user's input
// ("keys ..."); the rest is what the run gives: whether options.ini
// was written, how many frames were drawn, the last frame's text and its
// styles (cells of one style share a letter, given in the order the styles
// first appear). A screen that differs is written under the build folder
// beside the path of the stored one, to be compared and, if right, copied.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "sheet_run.h"

namespace {

namespace fs = std::filesystem;
using term::Key;

std::vector<term::Event> ParseKeys(std::istringstream& words) {
  static const std::map<std::string, term::Event> kNamed = {
      {"Enter", {Key::Enter}}, {"Esc", {Key::Escape}}, {"Tab", {Key::Tab}}, {"BTab", {Key::BackTab}},
      {"Up", {Key::Up}}, {"Down", {Key::Down}}, {"Left", {Key::Left}}, {"Right", {Key::Right}},
      {"Home", {Key::Home}}, {"End", {Key::End}}, {"PgUp", {Key::PageUp}}, {"PgDn", {Key::PageDown}},
      {"C-PgUp", {Key::CtrlPageUp}}, {"C-PgDn", {Key::CtrlPageDown}},
      {"C-Tab", {Key::CtrlTab}}, {"C-S-Tab", {Key::CtrlShiftTab}},
      {"M-Up", {Key::AltUp}}, {"M-Down", {Key::AltDown}}, {"F4", {Key::F4}}, {"BSpace", {Key::Backspace}},
      {"Space", {Key::Char, U' '}},
  };
  std::vector<term::Event> events;
  for (std::string word; words >> word;) {
    term::Event event;
    char kind[8] = {};
    if (const auto named = kNamed.find(word); named != kNamed.end()) {
      event = named->second;
    } else if (word.size() == 1) {
      event = {Key::Char, static_cast<char32_t>(word[0])};
    } else if (std::sscanf(word.c_str(), "%7[a-z]@%d%*[,x]%d", kind, &event.x, &event.y) == 3) {
      event.key = std::string(kind) == "down" ? Key::MouseDown : std::string(kind) == "up" ? Key::MouseUp : Key::Resize;
    } else {
      ADD_FAILURE() << "unknown key " << word;
    }
    events.push_back(event);
  }
  return events;
}

// The frame's text, then its styles.
std::string Screen(const term::Grid& grid) {
  static const std::string kLetters = ".abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::vector<term::Style> seen;
  std::string styles;
  for (int y = 0; y < grid.Rows(); ++y) {
    for (int x = 0; x < grid.Cols(); ++x) {
      const term::Style& style = grid.At(x, y).style;
      std::size_t i = 0;
      while (i < seen.size() && !(seen[i] == style)) ++i;
      if (i == seen.size()) seen.push_back(style);
      styles += i < kLetters.size() ? kLetters[i] : '#';
    }
    styles += '\n';
  }
  return grid.ToText() + "--\n" + styles;
}

TEST(Screens, AreTheStoredOnes) {
  int played = 0;
  for (const auto& entry : fs::directory_iterator(HALCYRA_SCREENS_DIR)) {
    std::ifstream in(entry.path());
    std::string termLine, keysLine;
    std::getline(in, termLine);
    std::getline(in, keysLine);
    const std::string stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    term::Size size;
    term::Caps caps;
    char charset[8] = {}, profile[64] = {};
    ASSERT_GE(std::sscanf(termLine.c_str(), "term %dx%d %d %7s %63s", &size.cols, &size.rows, &caps.colors, charset,
                          profile),
              4)
        << entry.path();
    caps.unicode = std::string(charset) == "unicode";
    std::istringstream keys(keysLine.substr(std::min<std::size_t>(keysLine.size(), 5)));  // after "keys "
    test::SheetRun run(ParseKeys(keys), size, caps);
    if (profile[0] != 0) run.profile = std::string(HALCYRA_PROFILES_DIR) + "/" + profile;
    run.Go();
    ASSERT_FALSE(run.screen.frames.empty());
    const std::string shown = std::string("saved ") + (run.Saved() ? "yes" : "no") + "\nframes " +
                              std::to_string(run.screen.frames.size()) + "\n" + Screen(run.screen.frames.back());
    EXPECT_EQ(shown, stored) << entry.path();
    if (shown != stored) {
      const fs::path out = fs::path(HALCYRA_SCREENS_OUT) / entry.path().filename();
      fs::create_directories(out.parent_path());
      std::ofstream(out) << termLine << '\n' << keysLine << '\n' << shown;
      ADD_FAILURE() << "the screen shown is in " << out;
    }
    ++played;
  }
  EXPECT_GE(played, 10);
}

}  // namespace
