// Load and save of options.ini inside files of 1 KB, 100 KB and 10 MB, with
// inih and SimpleIni reading (and SimpleIni writing) the same files. After
// the runs a table gives each library's time as a ratio to ours.
//
//   bench_settings [--benchmark_filter=...] [other Google Benchmark flags]
#include <ini.h>
#include <stdlib.h>
#include <unistd.h>

#include <SimpleIni.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "settings/game_settings.h"
#include "settings/profile_file.h"
#include "simulated/posix_file_system.h"

namespace {

const std::vector<std::pair<const char*, std::size_t>> kSizes = {
    {"1KB", 1000}, {"100KB", 100'000}, {"10MB", 10'000'000}};

std::filesystem::path g_directory;

std::string PathFor(const char* sizeName) {
  return (g_directory / (std::string("options-") + sizeName + ".ini")).string();
}

// options.ini with the game's keys at the start and the end, and the game's
// other data (bindings, mod settings, comments) filling it to `size` bytes.
std::string MakeOptions(std::size_t size) {
  std::string text =
      "; Halcyra options\r\n"
      "[Game]\r\n"
      "Game Rasterizer=2\r\n"
      "D3DGUID=1,2,3,4,5,6,7,8,9,10,11\r\n"
      "DDGUID=4294967295,0,0,0,0,0,0,0,0,0,1\r\n"
      "GameScreenWidth=800\r\n"
      "GameScreenHeight=600\r\n"
      "GameScreenDepth=16\r\n"
      "GameMipMapLevel=1\r\n"
      "[Performance]\r\n"
      "Use16BitTextures=1\r\n"
      "UseCompressedTextures=0\r\n";
  const std::string tail = "[Sound]\r\nEnableAcoustics=1\r\n";
  for (int section = 0; text.size() + tail.size() < size; ++section) {
    text += "\r\n; settings of add-on " + std::to_string(section) + "\r\n";
    text += "[AddOn" + std::to_string(section) + "]\r\n";
    for (int key = 0; key < 20 && text.size() + tail.size() < size; ++key) {
      text += "Option" + std::to_string(key) + " = value " + std::to_string(section * 31 + key) +
              " of the add-on\r\n";
    }
  }
  return text + tail;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

void CountBytes(benchmark::State& state, const std::string& path) {
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

posixfs::PosixFileSystem& Files() {
  static posixfs::PosixFileSystem files;
  return files;
}

// --- Reading: the file's bytes to the record's fields.

void ReadOurs(benchmark::State& state, const char* sizeName) {
  const std::string path = PathFor(sizeName);
  for (auto _ : state) {
    GameSettings settings;
    settings.ReadFrom(profile::ProfileFile(*Files().ReadFile(path)));
    benchmark::DoNotOptimize(settings.screenWidth);
  }
  CountBytes(state, path);
}

struct InihValues {
  std::map<std::string, std::string> values;
};

int InihHandler(void* user, const char* section, const char* name, const char* value) {
  static const char* const kKeys[] = {"Game Rasterizer", "D3DGUID", "DDGUID",
                                      "GameScreenWidth", "GameScreenHeight", "GameScreenDepth",
                                      "GameMipMapLevel", "Use16BitTextures",
                                      "UseCompressedTextures", "EnableAcoustics"};
  for (const char* key : kKeys) {
    if (strcasecmp(name, key) == 0) {
      static_cast<InihValues*>(user)->values[std::string(section) + "/" + key] = value;
    }
  }
  return 1;
}

void ReadInih(benchmark::State& state, const char* sizeName) {
  const std::string path = PathFor(sizeName);
  for (auto _ : state) {
    InihValues found;
    ini_parse(path.c_str(), InihHandler, &found);
    benchmark::DoNotOptimize(found.values.size());
  }
  CountBytes(state, path);
}

const char* const kSimpleIniKeys[][2] = {
    {"Game", "Game Rasterizer"},       {"Game", "D3DGUID"},         {"Game", "DDGUID"},
    {"Game", "GameScreenWidth"},       {"Game", "GameScreenHeight"}, {"Game", "GameScreenDepth"},
    {"Game", "GameMipMapLevel"},       {"Performance", "Use16BitTextures"},
    {"Performance", "UseCompressedTextures"}, {"Sound", "EnableAcoustics"}};

void ReadSimpleIni(benchmark::State& state, const char* sizeName) {
  const std::string path = PathFor(sizeName);
  for (auto _ : state) {
    CSimpleIniA ini;
    ini.LoadFile(path.c_str());
    for (const auto& key : kSimpleIniKeys) benchmark::DoNotOptimize(ini.GetValue(key[0], key[1]));
  }
  CountBytes(state, path);
}

// --- Saving: the file's bytes, the record's ten writes, the new bytes. The
// value written alternates so every save changes the file.

void SaveOursToMemory(benchmark::State& state, const char* sizeName) {
  const std::string path = PathFor(sizeName);
  GameSettings settings;
  settings.rasterizer = RasterizerDirect3D;
  int round = 0;
  for (auto _ : state) {
    settings.screenWidth = (++round % 2) != 0 ? 1024 : 800;
    profile::ProfileFile file(*Files().ReadFile(path));
    settings.WriteTo(file);
    benchmark::DoNotOptimize(file.Content());
  }
}

void SaveSimpleIniToMemory(benchmark::State& state, const char* sizeName) {
  const std::string path = PathFor(sizeName);
  int round = 0;
  for (auto _ : state) {
    const char* width = (++round % 2) != 0 ? "1024" : "800";
    CSimpleIniA ini;
    ini.LoadFile(path.c_str());
    for (const auto& key : kSimpleIniKeys) {
      ini.SetValue(key[0], key[1], std::string(key[1]) == "GameScreenWidth" ? width : "1");
    }
    std::string out;
    ini.Save(out);
    benchmark::DoNotOptimize(out);
  }
}

void SaveOursToDisk(benchmark::State& state, const char* sizeName) {
  const std::string path = PathFor(sizeName) + ".ours";
  std::filesystem::copy_file(PathFor(sizeName), path,
                             std::filesystem::copy_options::overwrite_existing);
  GameSettings settings;
  settings.rasterizer = RasterizerDirect3D;
  settings.iniPath = path;
  fs::SetFileSystem(&Files());
  int round = 0;
  for (auto _ : state) {
    settings.screenWidth = (++round % 2) != 0 ? 1024 : 800;
    if (!settings.Save()) state.SkipWithError("save failed");
  }
  fs::SetFileSystem(nullptr);
}

void SaveSimpleIniToDisk(benchmark::State& state, const char* sizeName) {
  const std::string path = PathFor(sizeName) + ".simpleini";
  std::filesystem::copy_file(PathFor(sizeName), path,
                             std::filesystem::copy_options::overwrite_existing);
  int round = 0;
  for (auto _ : state) {
    const char* width = (++round % 2) != 0 ? "1024" : "800";
    CSimpleIniA ini;
    ini.LoadFile(path.c_str());
    for (const auto& key : kSimpleIniKeys) {
      ini.SetValue(key[0], key[1], std::string(key[1]) == "GameScreenWidth" ? width : "1");
    }
    if (ini.SaveFile(path.c_str(), false) < 0) state.SkipWithError("save failed");
  }
}

// Collects each run's wall-clock seconds per iteration while printing as
// usual.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  CollectingReporter()
      : ConsoleReporter(::isatty(STDOUT_FILENO) != 0 ? OO_Defaults : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        seconds[run.benchmark_name()] =
            run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

int CountReplacesOfOneSave() {
  int replaces = 0;
  posixfs::PosixFileSystem::Options options;
  options.faultHook = [&replaces](posixfs::ReplaceStep step, std::size_t) {
    if (step == posixfs::ReplaceStep::kRename) ++replaces;
    return true;
  };
  posixfs::PosixFileSystem counting(options);
  fs::SetFileSystem(&counting);
  const std::string path = PathFor("100KB") + ".count";
  std::filesystem::copy_file(PathFor("100KB"), path,
                             std::filesystem::copy_options::overwrite_existing);
  GameSettings settings;
  settings.iniPath = path;
  settings.rasterizer = RasterizerGlide;
  settings.Save();
  fs::SetFileSystem(nullptr);
  return replaces;
}

}  // namespace

int main(int argc, char** argv) {
  std::string pattern = (std::filesystem::temp_directory_path() / "halcyra-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  g_directory = pattern;
  for (const auto& [name, size] : kSizes) WriteFile(PathFor(name), MakeOptions(size));

  struct Kind {
    const char* name;
    void (*run)(benchmark::State&, const char*);
  };
  const Kind kinds[] = {{"read/ours", ReadOurs},
                        {"read/inih", ReadInih},
                        {"read/simpleini", ReadSimpleIni},
                        {"save-memory/ours", SaveOursToMemory},
                        {"save-memory/simpleini", SaveSimpleIniToMemory},
                        {"save-disk/ours", SaveOursToDisk},
                        {"save-disk/simpleini", SaveSimpleIniToDisk}};
  for (const Kind& kind : kinds) {
    for (const auto& [sizeName, size] : kSizes) {
      benchmark::RegisterBenchmark((std::string(kind.name) + "/" + sizeName).c_str(), kind.run,
                                   sizeName)
          ->Unit(benchmark::kMicrosecond);
    }
  }

  benchmark::Initialize(&argc, argv);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto time = [&reporter](const std::string& name) {
    const auto found = reporter.seconds.find(name);
    return found == reporter.seconds.end() ? 0.0 : found->second;
  };
  std::printf("\nTime of the other library divided by ours (above 1: ours is faster)\n");
  std::printf("%-8s %14s %14s %14s %14s %14s\n", "size", "read inih", "read SimpleIni",
              "save SimpleIni", "save SimpleIni", "ours ns/byte");
  std::printf("%-8s %14s %14s %14s %14s %14s\n", "", "", "", "(memory)", "(disk)", "(read)");
  for (const auto& [sizeName, size] : kSizes) {
    const std::string s = sizeName;
    const auto ratio = [&time](const std::string& other, const std::string& ours) {
      return time(ours) > 0 ? time(other) / time(ours) : 0.0;
    };
    std::printf("%-8s %14.2f %14.2f %14.2f %14.2f %14.3f\n", sizeName,
                ratio("read/inih/" + s, "read/ours/" + s),
                ratio("read/simpleini/" + s, "read/ours/" + s),
                ratio("save-memory/simpleini/" + s, "save-memory/ours/" + s),
                ratio("save-disk/simpleini/" + s, "save-disk/ours/" + s),
                time("read/ours/" + s) * 1e9 / static_cast<double>(size));
  }
  std::printf("File replaces per save: %d\n", CountReplacesOfOneSave());

  std::error_code ignored;
  std::filesystem::remove_all(g_directory, ignored);
  return 0;
}
