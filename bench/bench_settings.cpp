// The settings store's options.ini engine next to inih and SimpleIni, on
// files of 1 KB, 100 KB and 10 MB, each side doing the same work:
//
//   read, every key:  the file's bytes to every key and value of every
//                     section (ours: ProfileFile::ForEachKey; inih: a bare
//                     handler that only counts; SimpleIni: its load, then a
//                     walk over every section's keys);
//   read, needed:     the file's bytes to the ten values the game's record
//                     holds (ours: GameSettings::ReadFrom, which indexes the
//                     sections and reads only those keys; SimpleIni: its
//                     load and ten lookups). inih has no way to read less
//                     than every key: its bare handler stands beside ours
//                     here, which measures the system, not the parsers;
//   save in memory:   the file's bytes, the record's ten writes, the new
//                     bytes (SimpleIni: load, ten SetValue, Save to a string);
//   save to disk:     as the system saves at OK (GameSettings::Save: read,
//                     write a temporary file, fsync, rename, fsync the
//                     directory) next to SimpleIni's plain SaveFile (no
//                     durability), to SimpleIni with the same durable steps
//                     as ours, and to the floor: writing the saved bytes to
//                     a temporary file with fsync and rename (with and
//                     without the directory's fsync).
//
// Every comparison runs as interleaved pairs (bench/interleave.h): the two
// sides take turns, and each pair gives one ratio; the tables give the
// median, the middle half and the range, and each pair's ratio. Reading and
// saving in memory are timed by the thread's CPU time (other processes on a
// loaded machine do not inflate it), saving to disk by the wall clock.
// Google Benchmark then gives each side's absolute time.
//
//   bench_settings [--pairs-only | --absolute-only] [--repetitions N]
//                  [Google Benchmark flags]
#include <fcntl.h>
#include <ini.h>
#include <stdlib.h>
#include <unistd.h>

#include <SimpleIni.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/interleave.h"
#include "settings/game_settings.h"
#include "settings/profile_file.h"
#include "simulated/posix_file_system.h"

using namespace halcyra;

namespace {

const std::vector<std::pair<const char*, std::size_t>> kSizes = {
    {"1KB", 1000}, {"100KB", 100'000}, {"10MB", 10'000'000}};

std::filesystem::path g_directory;

std::string PathFor(const std::string& sizeName) {
  return (g_directory / ("options-" + sizeName + ".ini")).string();
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

posixfs::PosixFileSystem& Files() {
  static posixfs::PosixFileSystem files;
  return files;
}

// Keeps a result from being optimised away.
volatile std::size_t g_sink = 0;

// --- Reading -------------------------------------------------------------

void ReadOursNeeded(const std::string& path) {
  GameSettings settings;
  settings.ReadFrom(profile::ProfileFile(*Files().ReadFile(path)));
  g_sink = g_sink + static_cast<std::size_t>(settings.screenWidth);
}

void ReadOursEveryKey(const std::string& path) {
  const profile::ProfileFile file(*Files().ReadFile(path));
  std::size_t keys = 0;
  file.ForEachKey([&keys](std::string_view, std::string_view, std::string_view value) {
    keys += 1 + value.size();
  });
  g_sink = g_sink + keys;
}

int BareInihHandler(void* user, const char*, const char*, const char* value) {
  *static_cast<std::size_t*>(user) += 1 + std::strlen(value);
  return 1;
}

void ReadInihEveryKey(const std::string& path) {
  std::size_t keys = 0;
  ini_parse(path.c_str(), BareInihHandler, &keys);
  g_sink = g_sink + keys;
}

const char* const kGameKeys[][2] = {
    {"Game", "Game Rasterizer"},       {"Game", "D3DGUID"},         {"Game", "DDGUID"},
    {"Game", "GameScreenWidth"},       {"Game", "GameScreenHeight"}, {"Game", "GameScreenDepth"},
    {"Game", "GameMipMapLevel"},       {"Performance", "Use16BitTextures"},
    {"Performance", "UseCompressedTextures"}, {"Sound", "EnableAcoustics"}};

void ReadSimpleIniNeeded(const std::string& path) {
  CSimpleIniA ini;
  ini.LoadFile(path.c_str());
  std::size_t found = 0;
  for (const auto& key : kGameKeys) found += ini.GetValue(key[0], key[1]) != nullptr ? 1 : 0;
  g_sink = g_sink + found;
}

void ReadSimpleIniEveryKey(const std::string& path) {
  CSimpleIniA ini;
  ini.LoadFile(path.c_str());
  CSimpleIniA::TNamesDepend sections;
  ini.GetAllSections(sections);
  std::size_t keys = 0;
  for (const auto& section : sections) {
    const CSimpleIniA::TKeyVal* values = ini.GetSection(section.pItem);
    if (values == nullptr) continue;
    for (const auto& [key, value] : *values) keys += 1 + std::strlen(value);
  }
  g_sink = g_sink + keys;
}

// --- Saving --------------------------------------------------------------
// The value written alternates so that every save changes the file.

struct Saver {
  int round = 0;
  const char* Width() { return (++round % 2) != 0 ? "1024" : "800"; }
};

void SetGameKeys(CSimpleIniA& ini, const char* width) {
  for (const auto& key : kGameKeys) {
    ini.SetValue(key[0], key[1], std::strcmp(key[1], "GameScreenWidth") == 0 ? width : "1");
  }
}

void SaveOursToMemory(const std::string& path, Saver& saver) {
  GameSettings settings;
  settings.rasterizer = RasterizerDirect3D;
  settings.screenWidth = std::atoi(saver.Width());
  profile::ProfileFile file(*Files().ReadFile(path));
  settings.WriteTo(file);
  g_sink = g_sink + file.Content().size();
}

void SaveSimpleIniToMemory(const std::string& path, Saver& saver) {
  CSimpleIniA ini;
  ini.LoadFile(path.c_str());
  SetGameKeys(ini, saver.Width());
  std::string out;
  ini.Save(out);
  g_sink = g_sink + out.size();
}

void SaveOursToDisk(const std::string& path, Saver& saver) {
  GameSettings settings;
  settings.rasterizer = RasterizerDirect3D;
  settings.iniPath = path;
  settings.screenWidth = std::atoi(saver.Width());
  if (!settings.Save()) std::fprintf(stderr, "save failed: %s\n", path.c_str());
}

void SaveSimpleIniPlain(const std::string& path, Saver& saver) {
  CSimpleIniA ini;
  ini.LoadFile(path.c_str());
  SetGameKeys(ini, saver.Width());
  if (ini.SaveFile(path.c_str(), false) < 0) std::fprintf(stderr, "save failed: %s\n", path.c_str());
}

// Writes `content` to `path` the durable way: a temporary file written and
// flushed, renamed over the file, then (if asked) the directory flushed.
bool DurableWrite(const std::string& path, const std::string& content, bool syncDirectory) {
  const std::string temporary = path + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t written = 0;
  while (written < content.size()) {
    const ssize_t put = ::write(fd, content.data() + written, content.size() - written);
    if (put <= 0) {
      ::close(fd);
      return false;
    }
    written += static_cast<std::size_t>(put);
  }
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  if (!synced || ::rename(temporary.c_str(), path.c_str()) != 0) return false;
  if (syncDirectory) {
    const int directory = ::open(g_directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) return false;
    ::fsync(directory);
    ::close(directory);
  }
  return true;
}

void SaveSimpleIniDurable(const std::string& path, Saver& saver) {
  CSimpleIniA ini;
  ini.LoadFile(path.c_str());
  SetGameKeys(ini, saver.Width());
  std::string out;
  ini.Save(out);
  if (!DurableWrite(path, out, true)) std::fprintf(stderr, "save failed: %s\n", path.c_str());
}

// --- Running -------------------------------------------------------------

std::string Copy(const std::string& sizeName, const char* suffix) {
  const std::string path = PathFor(sizeName) + suffix;
  std::filesystem::copy_file(PathFor(sizeName), path,
                             std::filesystem::copy_options::overwrite_existing);
  return path;
}

bool RunPairs(const bench::RunOptions& options) {
  bool allMet = true;
  bench::PairOptions pairOptions;
  pairOptions.repetitions = options.repetitions;
  pairOptions.cpuTime = true;  // reading and saving in memory only compute

  bench::PrintRatioHeader("Reading: the other library's time divided by ours (A = ours, B = other)",
                          "time(B) / time(A), above 1: ours is faster");
  for (const auto& [sizeName, size] : kSizes) {
    const std::string path = PathFor(sizeName);
    const std::string s = sizeName;
    const auto ours = [&path] { ReadOursEveryKey(path); };
    const auto oursNeeded = [&path] { ReadOursNeeded(path); };
    allMet &= bench::PrintRatio("every key: inih (bare handler) / ours " + s,
                                bench::ComparePair(ours, [&path] { ReadInihEveryKey(path); }, false,
                                                   pairOptions),
                                bench::Target{1.0, true});
    allMet &= bench::PrintRatio("every key: SimpleIni / ours " + s,
                                bench::ComparePair(ours, [&path] { ReadSimpleIniEveryKey(path); }, false,
                                                   pairOptions),
                                bench::Target{1.0, true});
    bench::PrintRatio("needed: inih every key / ours needed " + s,
                      bench::ComparePair(oursNeeded, [&path] { ReadInihEveryKey(path); }, false,
                                         pairOptions));
    allMet &= bench::PrintRatio("needed: SimpleIni / ours " + s,
                                bench::ComparePair(oursNeeded, [&path] { ReadSimpleIniNeeded(path); },
                                                   false, pairOptions),
                                bench::Target{1.0, true});
  }

  bench::PrintRatioHeader("Saving in memory: SimpleIni's time divided by ours (A = ours, B = SimpleIni)",
                          "time(B) / time(A), above 1: ours is faster");
  for (const auto& [sizeName, size] : kSizes) {
    const std::string path = PathFor(sizeName);
    Saver a, b;
    allMet &= bench::PrintRatio(
        std::string("SimpleIni / ours ") + sizeName,
        bench::ComparePair([&] { SaveOursToMemory(path, a); }, [&] { SaveSimpleIniToMemory(path, b); },
                           false, pairOptions),
        bench::Target{1.0, true});
  }

  // Disk: each side saves its own copy of the file; a save takes long
  // enough that one save is one sample.
  bench::PairOptions diskOptions = pairOptions;
  diskOptions.minBatchSeconds = 0;
  diskOptions.cpuTime = false;  // a save waits for the disk
  bench::PrintRatioHeader("Saving to disk: against SimpleIni (A = ours, B = SimpleIni)",
                          "time(B) / time(A), above 1: ours is faster");
  for (const auto& [sizeName, size] : kSizes) {
    const std::string ours = Copy(sizeName, ".ours");
    const std::string plain = Copy(sizeName, ".plain");
    const std::string durable = Copy(sizeName, ".durable");
    Saver a, b, c;
    bench::PrintRatio(std::string("SimpleIni plain SaveFile (no fsync) / ours ") + sizeName,
                      bench::ComparePair([&] { SaveOursToDisk(ours, a); },
                                         [&] { SaveSimpleIniPlain(plain, b); }, false, diskOptions));
    allMet &= bench::PrintRatio(
        std::string("SimpleIni durable (tmp+fsync+rename+dir) / ours ") + sizeName,
        bench::ComparePair([&] { SaveOursToDisk(ours, a); }, [&] { SaveSimpleIniDurable(durable, c); },
                           false, diskOptions),
        bench::Target{1.0, true});
  }

  bench::PrintRatioHeader(
      "Saving to disk: ours divided by the floor (A = ours, B = floor)",
      "time(A) / time(B), the floor writes the saved bytes with tmp + fsync + rename (+ dir fsync)");
  for (const auto& [sizeName, size] : kSizes) {
    const std::string ours = Copy(sizeName, ".ours");
    const std::string floorPath = Copy(sizeName, ".floor");
    GameSettings settings;
    settings.rasterizer = RasterizerDirect3D;
    profile::ProfileFile file(*Files().ReadFile(PathFor(sizeName)));
    settings.WriteTo(file);
    const std::string content = file.Content();
    Saver a;
    const bool large = size >= 1'000'000;
    allMet &= bench::PrintRatio(
        std::string("ours / (write+fsync+rename) ") + sizeName,
        bench::ComparePair([&] { SaveOursToDisk(ours, a); },
                           [&] { DurableWrite(floorPath, content, false); }, true, diskOptions),
        large ? std::optional(bench::Target{2.0, false}) : std::nullopt);
    allMet &= bench::PrintRatio(
        std::string("ours / (write+fsync+rename+dir fsync) ") + sizeName,
        bench::ComparePair([&] { SaveOursToDisk(ours, a); },
                           [&] { DurableWrite(floorPath, content, true); }, true, diskOptions),
        large ? std::nullopt : std::optional(bench::Target{1.5, false}));
  }
  return allMet;
}

void RegisterAbsolute() {
  struct Kind {
    const char* name;
    std::function<void(const std::string& path, Saver& saver)> run;
  };
  const auto read = [](void (*f)(const std::string&)) {
    return [f](const std::string& path, Saver&) { f(path); };
  };
  const std::vector<Kind> kinds = {
      {"read-every-key/ours", read(ReadOursEveryKey)},
      {"read-every-key/inih-bare", read(ReadInihEveryKey)},
      {"read-every-key/simpleini", read(ReadSimpleIniEveryKey)},
      {"read-needed/ours", read(ReadOursNeeded)},
      {"read-needed/simpleini", read(ReadSimpleIniNeeded)},
      {"save-memory/ours", SaveOursToMemory},
      {"save-memory/simpleini", SaveSimpleIniToMemory},
      {"save-disk/ours", SaveOursToDisk},
      {"save-disk/simpleini-plain", SaveSimpleIniPlain},
      {"save-disk/simpleini-durable", SaveSimpleIniDurable}};
  for (const Kind& kind : kinds) {
    for (const auto& [sizeName, size] : kSizes) {
      const bool disk = std::string(kind.name).starts_with("save-disk");
      const std::string s = sizeName;
      const auto run = kind.run;
      benchmark::RegisterBenchmark((std::string(kind.name) + "/" + s).c_str(),
                                   [run, s, disk](benchmark::State& state) {
                                     const std::string path =
                                         disk ? Copy(s, ".absolute") : PathFor(s);
                                     Saver saver;
                                     for (auto _ : state) run(path, saver);
                                     state.SetBytesProcessed(
                                         state.iterations() *
                                         static_cast<std::int64_t>(std::filesystem::file_size(path)));
                                   })
          ->Unit(benchmark::kMicrosecond);
    }
  }
}

int CountReplacesOfOneSave() {
  int replaces = 0;
  posixfs::PosixFileSystem::Options options;
  options.faultHook = [&replaces](posixfs::ReplaceStep step, std::size_t) {
    if (step == posixfs::ReplaceStep::kRename) ++replaces;
    return true;
  };
  posixfs::PosixFileSystem counting(options);
  filesys::FileSystemSlot::Install(&counting);
  GameSettings settings;
  settings.iniPath = Copy("100KB", ".count");
  settings.rasterizer = RasterizerGlide;
  settings.Save();
  filesys::FileSystemSlot::Install(&Files());
  return replaces;
}

}  // namespace

int main(int argc, char** argv) {
  bench::RunOptions options = bench::ParseRunOptions(argc, argv, 15);
  int restCount = options.RestCount();

  std::string pattern = (std::filesystem::temp_directory_path() / "halcyra-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  g_directory = pattern;
  for (const auto& [name, size] : kSizes) WriteFile(PathFor(name), MakeOptions(size));
  filesys::FileSystemSlot::Install(&Files());

  bool met = true;
  if (options.pairs) met = RunPairs(options);
  std::printf("\nFile replaces per save: %d\n", CountReplacesOfOneSave());

  if (options.absolute) {
    RegisterAbsolute();
    benchmark::Initialize(&restCount, options.rest.data());
    std::printf("\nAbsolute times, each side on its own (Google Benchmark)\n");
    std::fflush(stdout);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }

  filesys::FileSystemSlot::Install(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(g_directory, ignored);
  if (options.pairs) std::printf("\nTargets: %s\n", met ? "all met" : "some MISSED");
  return 0;
}
