// halcyra-script-gen: random cases for the differential test, which runs
// each on the real Windows sheet and on the dialog model and compares what
// they print and leave in options.ini.
//
//   halcyra-script-gen SEED FIRST COUNT FOLDER
//
// writes cases FIRST .. FIRST+COUNT-1 as FOLDER/rNNNNN/ with
//   script.txt   a random walk over both pages: clicks on every button,
//                selections and typing in every combo box, page switches,
//                dumps, and an ending (OK, Cancel, close or none);
//   options.ini  a random settings file (absent now and then); @DDGUIDn@
//                and @D3DGUIDn@ stand for the machine's n-th device;
//   setup        the texture archives present, now and then a read-only
//                options.ini or the machine's own install path.
// Case N is the same whatever FIRST and COUNT are, and on every platform:
// the generator has its own random numbers.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// SplitMix64: small, and the same sequence everywhere.
class Random {
 public:
  explicit Random(std::uint64_t seed) : m_state(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <class T>
  const T& Pick(const std::vector<T>& from) {
    return from[static_cast<std::size_t>(Below(static_cast<int>(from.size())))];
  }

 private:
  std::uint64_t m_state;
};

// An action and how often it is taken (relative weights).
struct Choice {
  int weight;
  std::string (*make)(Random&);
};

std::string Pick(Random& random, const std::vector<Choice>& choices) {
  int total = 0;
  for (const auto& choice : choices) total += choice.weight;
  int at = random.Below(total);
  for (const auto& choice : choices) {
    if (at < choice.weight) return choice.make(random);
    at -= choice.weight;
  }
  return choices.back().make(random);
}

const std::vector<std::string> kTyped = {
    "", "6", "640", "640 x 480 x 16", "800 X 600", "1024 x 768 x 32", "zzz", "    ", "(?) ",
    "Primary", "primary display", "Hello", "SB", "3dfx", "x"};

std::string TypeInto(Random& random, int id) {
  return "type " + std::to_string(id) + " " + random.Pick(kTyped);
}

// The 3D Hardware page. The renderer buttons and 8-bit and compressed
// textures are often disabled (a click on a disabled control ends the run),
// so they come less often.
const std::vector<Choice> kHardwarePage = {
    {3, [](Random& r) { return "click " + std::to_string(r.Chance(50) ? 1002 : 1003); }},
    {3, [](Random& r) { return "click " + std::to_string(r.Chance(50) ? 1005 : 1015); }},
    {6, [](Random&) { return std::string("click 1006"); }},
    {14, [](Random& r) { return "click " + std::to_string(1008 + r.Below(5)); }},
    {6, [](Random& r) { return "select 1004 " + std::to_string(r.Chance(75) ? 0 : 1 + r.Below(2)); }},
    {8, [](Random& r) { return "select 1007 " + std::to_string(r.Below(r.Chance(80) ? 3 : 9)); }},
    {3, [](Random& r) { return TypeInto(r, r.Chance(50) ? 1004 : 1007); }},
    {1, [](Random& r) { return "click " + std::to_string(r.Chance(50) ? 1004 : 1007); }},
    {5, [](Random&) { return std::string("dump"); }},
    {4, [](Random&) { return std::string("tab 1"); }},
    {1, [](Random&) { return std::string("tab 0"); }},
};

// The Audio Selections page.
const std::vector<Choice> kAudioPage = {
    {8, [](Random&) { return std::string("click 1015"); }},
    {4, [](Random& r) { return "select 1014 " + std::to_string(r.Chance(80) ? 0 : r.Below(3)); }},
    {2, [](Random& r) { return TypeInto(r, 1014); }},
    {1, [](Random& r) { return "click " + std::to_string(r.Chance(50) ? 1016 : 1017); }},
    {4, [](Random&) { return std::string("dump"); }},
    {5, [](Random&) { return std::string("tab 0"); }},
    {1, [](Random&) { return std::string("tab 1"); }},
};

std::string Script(Random& random) {
  std::string script;
  int page = 0;
  const int actions = 1 + random.Below(30);
  for (int i = 0; i < actions; ++i) {
    std::string action = Pick(random, page == 0 ? kHardwarePage : kAudioPage);
    // Now and then a control that does not exist (the run ends with 2).
    if (random.Chance(1)) action = random.Chance(50) ? "click 4711" : "click -1";
    if (action == "tab 0") page = 0;
    if (action == "tab 1") page = 1;
    script += action + "\n";
  }
  if (random.Chance(60)) script += "dump\n";
  const int ending = random.Below(100);
  if (ending < 45) {
    script += "ok\n";
  } else if (ending < 65) {
    script += "cancel\n";
  } else if (ending < 80) {
    script += "close\n";
  }  // else the script ends with the sheet open
  if (random.Chance(5)) script += "click 1003\n";  // after the end: never carried out
  return script;
}

// One "key=value" line now and then, one value of `values` (or a missing
// key).
void MaybeKey(Random& random, std::string& ini, const char* key, std::initializer_list<const char*> values) {
  if (random.Chance(15)) return;
  const std::vector<const char*> list(values);
  ini += std::string(key) + "=" + random.Pick(list) + "\r\n";
}

std::string Options(Random& random) {
  std::string ini = "[Game]\r\n";
  MaybeKey(random, ini, "Game Rasterizer", {"2", "2", "3", "3", "0", "undefined", "7"});
  const int device = 1 + random.Below(3);
  MaybeKey(random, ini, "DDGUID", {"@DDGUID1@", "@DDGUID2@", "@DDGUID3@", "1,2,3", ""});
  if (random.Chance(70)) ini += "D3DGUID=@D3DGUID" + std::to_string(device) + "@\r\n";
  const std::vector<std::vector<const char*>> modes = {
      {"640", "480", "16"}, {"800", "600", "16"}, {"1024", "768", "16"}, {"640", "480", "8"},
      {"512", "384", "16"}, {"1600", "1200", "32"}, {"800", "600", "32"}};
  const auto& mode = random.Pick(modes);
  if (random.Chance(85)) {
    ini += std::string("GameScreenWidth=") + mode[0] + "\r\nGameScreenHeight=" + mode[1] +
           "\r\nGameScreenDepth=" + mode[2] + "\r\n";
  }
  MaybeKey(random, ini, "GameMipMapLevel", {"0", "1", "2", "3", "7"});
  ini += "[Performance]\r\n";
  MaybeKey(random, ini, "Use16BitTextures", {"0", "1"});
  MaybeKey(random, ini, "UseCompressedTextures", {"0", "1", "0"});
  ini += "[Sound]\r\n";
  MaybeKey(random, ini, "EnableAcoustics", {"0", "1"});
  return ini;
}

void Write(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: halcyra-script-gen SEED FIRST COUNT FOLDER\n");
    return 2;
  }
  const std::uint64_t seed = std::strtoull(argv[1], nullptr, 10);
  const long first = std::strtol(argv[2], nullptr, 10);
  const long count = std::strtol(argv[3], nullptr, 10);
  const std::filesystem::path folder = argv[4];
  for (long n = first; n < first + count; ++n) {
    Random random(seed * 0x100000001B3ull + static_cast<std::uint64_t>(n));
    char name[16];
    std::snprintf(name, sizeof name, "r%05ld", n);
    const std::filesystem::path dir = folder / name;
    std::filesystem::create_directories(dir);
    Write(dir / "script.txt", Script(random));
    std::string setup;
    const bool options = random.Chance(88);
    if (options) Write(dir / "options.ini", Options(random));
    for (const char* archive : {"bitmapc.flx", "bitmap16.flx", "bitmapsh.flx"}) {
      if (random.Chance(75)) setup += std::string("archive ") + archive + "\n";
    }
    if (options && random.Chance(8)) setup += "readonly options.ini\n";
    if (random.Chance(5)) setup += "machine-install-dir\n";
    Write(dir / "setup", setup);
  }
  return 0;
}
