// The support loop: a capture of what the probes saw replays exactly, the
// report a player sends explains what it shows, a report file is a machine
// profile, and --fail-call fails the call the report numbers.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/hardware/sim_support.h"
#include "simulated/inventory_report.h"
#include "simulated/machine_profile.h"

using namespace halcyra;

namespace {

namespace fsys = std::filesystem;

const char* const kDate = "--date 2026-01-02";

using test::Lines;
using test::PlayScenario;
using test::Read;
using test::ScenarioResult;
using test::Scratch;

class RoundTrip : public ::testing::TestWithParam<std::string> {};

// Capture, then replay: the same report, the same events and options.ini
// for every scenario, and a capture of the replay that equals the capture.
// (voodoo_rush_es1868.toml brings the hard cases: a Voodoo Rush, two
// hardware devices of one driver, a failing texture enumeration and a sound
// device without EAX.)
TEST_P(RoundTrip, ReplaysExactly) {
  const fsys::path dir = Scratch(GetParam());
  const std::string original = test::ProfilesDir() + "/" + GetParam();
  const std::string captured = (dir / "captured.toml").string();
  const std::string again = (dir / "again.toml").string();

  const test::SimRun capture = test::RunSim("--machine " + original + " --profile " + captured + " " + kDate);
  ASSERT_EQ(capture.status, 0) << capture.out;
  const test::SimRun report = test::RunSim("--machine " + original + " --report " + kDate);
  const test::SimRun replayed = test::RunSim("--machine " + captured + " --report " + kDate);
  ASSERT_EQ(replayed.status, 0) << replayed.out;
  EXPECT_EQ(report.out, replayed.out);
  ASSERT_EQ(test::RunSim("--machine " + captured + " --profile " + again + " " + kDate).status, 0);
  EXPECT_EQ(Read(captured), Read(again));

  for (const auto& entry : fsys::directory_iterator(HALCYRA_SCENARIOS_DIR)) {
    if (!fsys::exists(entry.path() / "script.txt")) continue;
    const std::string name = entry.path().filename().string();
    const ScenarioResult on = PlayScenario(entry.path(), original, dir / "game");
    const ScenarioResult off = PlayScenario(entry.path(), captured, dir / "game");
    EXPECT_EQ(on.run.status, off.run.status) << name;
    EXPECT_EQ(on.run.out, off.run.out) << name;
    EXPECT_EQ(on.options, off.options) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Profiles, RoundTrip, ::testing::ValuesIn(test::ShippedProfiles()), [](const auto& p) {
  std::string name = p.param.substr(0, p.param.find('.'));
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
});

// A Glide board whose configuration the profile's fields cannot say (here
// a texture unit of another revision) is captured word for word, and text in
// the Windows code page comes back byte for byte; the user who runs the
// program is kept as the profile gave it.
TEST(Capture, KeepsGlideWordsBytesAndUser) {
  const fsys::path dir = Scratch("words");
  const std::string machine = std::string(HALCYRA_TEST_DATA_DIR) + "/glide_words.toml";
  const std::string captured = (dir / "captured.toml").string();
  ASSERT_EQ(test::RunSim("--machine " + machine + " --profile " + captured).status, 0);
  const std::string text = Read(captured);
  EXPECT_NE(text.find("config = [\n  4, 1, 7, 2, 0, 0, 0, 0,\n]"), std::string::npos) << text;
  EXPECT_NE(text.find("Sound Blaster\\u00AE"), std::string::npos) << text;
  const auto replay = sim::LoadMachineProfile(captured);
  ASSERT_FALSE(replay.error) << replay.error->ToString();
  EXPECT_EQ(replay.machine->soundDevices.at(0).description, "Sound Blaster\xAE");
  EXPECT_FALSE(replay.machine->elevated);
  EXPECT_EQ(replay.machine->virtualStore, "/vs");
  EXPECT_EQ(replay.machine->programFiles, "/pf");
  // An SST-96 block is read as one: word 3 is the texture unit's memory, not
  // an interleave flag, so 4 MB offer 800 x 600 and no 1024 x 768.
  const test::SimRun report = test::RunSim("--machine " + captured + " --report");
  EXPECT_NE(report.out.find("SLI: 0 = none"), std::string::npos) << report.out;
  EXPECT_NE(report.out.find("800 x 600 x 16"), std::string::npos) << report.out;
  EXPECT_EQ(report.out.find("1024 x 768 x 16"), std::string::npos) << report.out;
}

// The report opens with program, date, Windows, install folder and the
// choices in options.ini, and no value is a bare code.
TEST(Report, OpensWithTheSetupAndExplainsEveryCode) {
  const fsys::path game = Scratch("report");
  std::ofstream(game / "options.ini") << "[Game]\r\nGame Rasterizer=2\r\nDDGUID=0,0,0,0,0,0,0,0,0,0,0\r\n"
                                         "GameMipMapLevel=2\r\n[Performance]\r\nUse16BitTextures=1\r\n";
  const test::SimRun run = test::RunSim("--machine " + test::ProfilesDir() + "/reference.toml --install-dir " +
                                        game.string() + " --report " + kDate);
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<std::string> lines = Lines(run.out);
  // report_opening.txt: the lines as they begin, with @GAME@ for the install folder.
  std::vector<std::string> opening = Lines(Read(std::string(HALCYRA_TEST_DATA_DIR) + "/report_opening.txt"));
  for (std::string& line : opening) {
    if (const std::size_t at = line.find("@GAME@"); at != std::string::npos) line.replace(at, 6, game.string());
  }
  ASSERT_EQ(opening.size(), 15u);
  ASSERT_GT(lines.size(), opening.size() + 3);
  for (std::size_t i = 0; i < opening.size(); ++i) {
    EXPECT_EQ(lines[i + 3].substr(0, opening[i].size()), opening[i]) << "line " << i + 4;
  }
  // A value that is a number alone is a count, never a code.
  const std::regex bare("^ *([A-Za-z0-9 -]+): (-?[0-9]+)$");
  for (const std::string& line : lines) {
    std::smatch match;
    if (!std::regex_match(line, match, bare)) continue;
    const std::string label = match[1];
    EXPECT_TRUE(label == "Display modes" || label == "Glide modes" || label == "Hardware 3D buffers" ||
                label == "Boards")
        << line;
  }
}

TEST(Report, SaysWhenOptionsIniCannotBeRead) {
  const fsys::path game = Scratch("no-options");
  const test::SimRun run = test::RunSim("--machine " + test::ProfilesDir() + "/reference.toml --install-dir " +
                                        game.string() + " --report");
  EXPECT_NE(run.out.find("options.ini cannot be read at " + game.string() +
                         "\\options.ini: Halcyra Setup starts from its defaults. OK creates the file where it is missing "
                         "and the folder holds the game, and never writes over a file that stands but cannot be "
                         "read."),
            std::string::npos)
      << run.out;
}

// The "Current choices" lines of a report give back an options.ini that the
// report shows the same way: what the support page starts from when it gets
// a report alone. A report whose options.ini could not be read gives none.
TEST(Report, CurrentChoicesGiveBackTheOptions) {
  const fsys::path game = Scratch("choices");
  const std::string machine = "--machine " + test::ProfilesDir() + "/reference.toml --install-dir " + game.string();
  const auto choices = [](const std::string& report) {
    const std::size_t from = report.find("Current choices in options.ini");
    return from == std::string::npos ? std::string() : report.substr(from, report.find("\n\n", from) - from);
  };
  const char* const files[] = {
      "[Game]\r\nGame Rasterizer=2\r\nDDGUID=0,0,0,0,0,0,0,0,0,0,0\r\nD3DGUID=1,2,3,4,5,6,7,8,9,10,11\r\n"
      "GameScreenWidth=1024\r\nGameScreenHeight=768\r\nGameScreenDepth=32\r\nGameMipMapLevel=2\r\n"
      "[Performance]\r\nUse16BitTextures=1\r\n[Sound]\r\nEnableAcoustics=1\r\n",
      "[Game]\nGame Rasterizer=3\n[Performance]\nUseCompressedTextures=1\nUse16BitTextures=1\n",
      "[Game]\r\nGame Rasterizer=7\r\nGameMipMapLevel=9\r\nDDGUID=\r\n",
      "",
  };
  for (const char* const file : files) {
    std::ofstream(game / "options.ini", std::ios::binary | std::ios::trunc) << file;
    const std::string report = test::RunSim(machine + " --report " + kDate).out;
    const std::optional<std::string> rebuilt = sim::OptionsFromReport(report);
    ASSERT_TRUE(rebuilt.has_value()) << file;
    std::ofstream(game / "options.ini", std::ios::binary | std::ios::trunc) << *rebuilt;
    const std::string again = test::RunSim(machine + " --report " + kDate).out;
    EXPECT_FALSE(choices(report).empty());
    EXPECT_EQ(choices(again), choices(report)) << file << "\nrebuilt as:\n" << *rebuilt;
  }
  fsys::remove(game / "options.ini");
  EXPECT_EQ(sim::OptionsFromReport(test::RunSim(machine + " --report " + kDate).out), std::nullopt);
  EXPECT_EQ(sim::OptionsFromReport("no report at all"), std::nullopt);
}

// halcyra-sim --machine takes the file halcyra-report.exe writes.
TEST(Report, ReportFileIsAMachine) {
  const fsys::path dir = Scratch("support-file");
  const std::string machine = test::ProfilesDir() + "/tnt_voodoo2sli_sblive.toml";
  const std::string file = (dir / "halcyra-report.txt").string();
  ASSERT_EQ(test::RunSim("--machine " + machine + " --support-file " + file + " " + kDate).status, 0);
  const std::string text = Read(file);
  EXPECT_EQ(text.find("Halcyra Setup hardware report"), 19u);
  EXPECT_NE(text.find(std::string("\n") + sim::kEmbeddedProfileMarker + " "), std::string::npos);
  EXPECT_EQ(test::RunSim("--machine " + file + " --report " + kDate).out,
            test::RunSim("--machine " + machine + " --report " + kDate).out);
  // A fault in the embedded profile is reported at its line of the file.
  std::string broken = text;
  const std::size_t at = broken.find("[directdraw]\n");
  ASSERT_NE(at, std::string::npos);
  broken.insert(at + 13, "bogus = 1\n");
  // Sealed again, as if halcyra-report.exe had written the fault.
  const std::size_t marker = broken.find(sim::kEmbeddedProfileMarker);
  const std::size_t body = broken.find('\n', marker) + 1;
  broken.replace(marker, body - 1 - marker, sim::EmbeddedProfileMarkerLine(broken.substr(body)));
  std::ofstream(dir / "broken.txt") << broken;
  const std::size_t line = static_cast<std::size_t>(std::count(broken.begin(), broken.begin() + static_cast<long>(at), '\n')) + 2;
  const test::SimRun refused = test::RunSim("--machine " + (dir / "broken.txt").string() + " --report");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.out.find("broken.txt:" + std::to_string(line) + ": directdraw.bogus: unknown key"), std::string::npos)
      << refused.out;
}

// A report cut short at any line, or with one byte changed in its profile,
// is refused at its marker line; halcyra-sim says so and exits with 2.
// Line ends turned into CR LF on the way change nothing. An older report
// without length and checksum is read, with a warning.
TEST(Report, ACutOrAlteredReportIsRefused) {
  const fsys::path dir = Scratch("cut-report");
  const std::string machine = test::ProfilesDir() + "/tnt_voodoo2sli_sblive.toml";
  const std::string file = (dir / "halcyra-report.txt").string();
  ASSERT_EQ(test::RunSim("--machine " + machine + " --support-file " + file + " " + kDate).status, 0);
  const std::string text = Read(file);
  const std::size_t marker = text.find(sim::kEmbeddedProfileMarker);
  ASSERT_NE(marker, std::string::npos);
  const std::size_t body = text.find('\n', marker) + 1;
  ASSERT_FALSE(sim::ParseMachineProfile(text, "whole").error);

  int cuts = 0;
  for (std::size_t end = body; end < text.size(); end = text.find('\n', end) + 1) {
    const sim::ProfileResult cut = sim::ParseMachineProfile(text.substr(0, end), "cut");
    ASSERT_TRUE(cut.error) << "cut after byte " << end;
    EXPECT_NE(cut.error->message.find("cut short or altered"), std::string::npos) << cut.error->ToString();
    ++cuts;
  }
  EXPECT_GT(cuts, 50);
  std::string altered = text;
  char& digit = altered[altered.find_first_of("0123456789", body + (text.size() - body) / 2)];
  digit = digit == '9' ? '8' : static_cast<char>(digit + 1);
  EXPECT_TRUE(sim::ParseMachineProfile(altered, "altered").error);

  std::string crlf;
  for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const sim::ProfileResult converted = sim::ParseMachineProfile(crlf, "crlf");
  ASSERT_FALSE(converted.error) << converted.error->ToString();
  EXPECT_EQ(converted.machine, sim::ParseMachineProfile(text, "whole").machine);

  std::ofstream(dir / "cut.txt") << text.substr(0, text.size() * 95 / 100);
  const test::SimRun refused = test::RunSim("--machine " + (dir / "cut.txt").string() + " --report");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.out.find("cut.txt:" + std::to_string(std::count(text.begin(), text.begin() + static_cast<long>(marker), '\n') + 1) +
                             ": the report's machine profile is cut short or altered"),
            std::string::npos)
      << refused.out;

  std::string older = text;
  older.erase(marker + std::strlen(sim::kEmbeddedProfileMarker), body - 1 - marker - std::strlen(sim::kEmbeddedProfileMarker));
  std::ofstream(dir / "older.txt") << older;
  const test::SimRun read = test::RunSim("--machine " + (dir / "older.txt").string() + " --report " + kDate);
  EXPECT_EQ(read.status, 0) << read.out;
  EXPECT_NE(read.out.find("warning: " + (dir / "older.txt").string()), std::string::npos) << read.out;
  EXPECT_NE(read.out.find("carries no length and checksum"), std::string::npos) << read.out;
}

// Whichever call fails, the capture replays the same report, or its notes
// say what it could not hold. (A failed Glide query leaves no board, which
// the replay gives with a query that succeeds: only its own line differs.)
TEST(Capture, EveryInjectedFailureReplaysOrIsNoted) {
  const fsys::path dir = Scratch("sweep");
  const std::string machine = test::ProfilesDir() + "/reference.toml";
  const std::string captured = (dir / "captured.toml").string();
  const std::regex numbered("^ *([0-9]+) .*");
  const test::SimRun clean = test::RunSim("--machine " + machine + " --report");
  ASSERT_EQ(clean.status, 0) << clean.out;
  // The clean report shows every kind of finding of the reference machine.
  for (const char* shown : {"Display Devices", "Sound Devices", "3dfx Glide", "Fit: yes", "Fit: no", "Unfit because: ",
                            "Progress: 200 100 100 300 400 500 500 500", "640 x 480 x 16", "EAX: supported",
                            "EAX: not supported", "Board present: yes", "1024 x 768 x 16",
                            "Install folder: . (no registry value \"Install Path\""}) {
    EXPECT_NE(clean.out.find(shown), std::string::npos) << "missing \"" << shown << "\" in\n" << clean.out;
  }
  EXPECT_EQ(clean.out.find("simulated platform:"), std::string::npos) << clean.out;
  std::size_t calls = 0;
  for (const std::string& line : Lines(clean.out)) {
    if (std::regex_match(line, numbered)) ++calls;
  }
  ASSERT_GT(calls, 30u);
  for (std::size_t n = 1; n <= calls; ++n) {
    const std::string failCall = " --fail-call " + std::to_string(n);
    const test::SimRun failed =
        test::RunSim("--machine " + machine + failCall + " --report --profile " + captured + " " + kDate);
    ASSERT_EQ(failed.status, 0) << n << failed.out;
    const std::string replay = test::RunSim("--machine " + captured + " --report " + kDate).out;
    if (replay == failed.out || Read(captured).find("notes = []") == std::string::npos) continue;
    std::vector<std::string> a = Lines(failed.out), b = Lines(replay);
    ASSERT_EQ(a.size(), b.size()) << "call " << n;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i] != b[i]) {
        EXPECT_NE(a[i].find(" grSstQuery"), std::string::npos) << "call " << n << ":\n" << a[i] << "\n" << b[i];
      }
    }
  }
}

// --fail-call N fails the call the report lists as N, in the report and in
// a session on the sheet alike; a capture made so replays that failure
// without it.
TEST(FailCall, FailsTheNumberedCallAndCapturesIt) {
  const std::string machine = test::ProfilesDir() + "/reference.toml";
  const test::SimRun clean = test::RunSim("--machine " + machine + " --report " + kDate);
  const std::regex listed("^ *([0-9]+) IDirect3DDevice3::EnumTextureFormats .* = 0x00000000 \\(ok\\)$");
  std::string number;
  for (const std::string& line : Lines(clean.out)) {
    std::smatch match;
    if (std::regex_match(line, match, listed)) number = match[1];  // the last: the primary's device
  }
  ASSERT_FALSE(number.empty()) << clean.out;
  const fsys::path dir = Scratch("fail-call");
  const std::string captured = (dir / "failed.toml").string();
  const test::SimRun failed =
      test::RunSim("--machine " + machine + " --fail-call " + number + " --report --profile " + captured + " " + kDate);
  ASSERT_EQ(failed.status, 0) << failed.out;
  const std::regex failedLine("^ *" + number + " IDirect3DDevice3::EnumTextureFormats .* = 0x80004005 \\(E_FAIL: failed\\)$");
  const auto lines = Lines(failed.out);
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return std::regex_match(l, failedLine); }))
      << failed.out;
  EXPECT_NE(failed.out, clean.out);
  EXPECT_EQ(test::RunSim("--machine " + captured + " --report " + kDate).out, failed.out);
  EXPECT_NE(Read(captured).find("enum_texture_formats_result = 0x80004005"), std::string::npos);

  const fsys::path script = dir / "dump.txt";
  std::ofstream(script) << "dump\n";
  const test::SimRun session = test::RunSim("--machine " + machine + " --fail-call " + number + " --script " +
                                            script.string());
  EXPECT_NE(session.out.find("\"(?) Primary Display Driver\""), std::string::npos) << session.out;
  EXPECT_EQ(test::RunSim("--machine " + machine + " --script " + script.string()).out.find("(?) Primary"),
            std::string::npos);

  for (const char* bad : {"0", "-1", "x", ""}) {
    const test::SimRun refused = test::RunSim("--machine " + machine + " --report --fail-call '" + bad + "'");
    EXPECT_EQ(refused.status, 2) << bad;
  }
}

}  // namespace
