// The run-time binding to the 3dfx Glide 2 library "glide2x.dll": the
// library's configuration block and the five entry points the board probe
// needs.
#pragma once

#include <cstdint>

#include "hardware/calling_convention.h"
#include "hardware/library_loader.h"

// The configuration block of the Glide 2 interface (grSstQueryHardware,
// grSstQueryBoards), in its published layout: two texture units a board.
// Which member of a board's union holds its configuration depends on the
// board's type: the Voodoo member for Voodoo and Voodoo2 boards, the AT3D
// member for AT3D boards, and the SST-96 member for the Voodoo Rush and the
// boards after the Voodoo2 (Banshee, Voodoo3 and later).
namespace glide {

using FxBool = std::int32_t;
using GrSstType = std::int32_t;

constexpr int MAX_NUM_SST = 4;
constexpr int GLIDE_NUM_TMU = 2;

constexpr GrSstType GR_SSTTYPE_VOODOO = 0;
constexpr GrSstType GR_SSTTYPE_SST96 = 1;
constexpr GrSstType GR_SSTTYPE_AT3D = 2;
constexpr GrSstType GR_SSTTYPE_Voodoo2 = 3;
constexpr GrSstType GR_SSTTYPE_Banshee = 4;
constexpr GrSstType GR_SSTTYPE_Voodoo3 = 5;

struct GrTMUConfig_t {
  std::int32_t tmuRev;
  std::int32_t tmuRam;
};

struct GrVoodooConfig_t {
  std::int32_t fbRam;     // frame-buffer memory, MB
  std::int32_t fbiRev;
  std::int32_t nTexelfx;
  FxBool sliDetect;       // scan-line interleave
  GrTMUConfig_t tmuConfig[GLIDE_NUM_TMU];
};

struct GrSst96Config_t {
  std::int32_t fbRam;
  std::int32_t nTexelfx;
  GrTMUConfig_t tmuConfig;
};

struct GrAT3DConfig_t {
  std::int32_t rev;
};

using GrVoodoo2Config_t = GrVoodooConfig_t;

struct GrHwConfiguration {
  std::int32_t num_sst;  // number of boards
  struct {
    GrSstType type;
    union {
      GrVoodooConfig_t VoodooConfig;
      GrSst96Config_t SST96Config;
      GrAT3DConfig_t AT3DConfig;
      GrVoodoo2Config_t Voodoo2Config;
    } sstBoard;
  } SSTs[MAX_NUM_SST];
};
static_assert(sizeof(GrVoodooConfig_t) == 32 && sizeof(GrSst96Config_t) == 16);
static_assert(sizeof(GrHwConfiguration) == 4 + MAX_NUM_SST * (4 + 32));

// The entry points, callee-cleans on 32-bit Windows; the number behind the
// at sign of each export name is the size of its arguments.
using GrSstQueryHardwareProc = FxBool(HALCYRA_STDCALL*)(GrHwConfiguration* config);
using GrSstQueryBoardsProc = FxBool(HALCYRA_STDCALL*)(GrHwConfiguration* config);
using GrGlideInitProc = void(HALCYRA_STDCALL*)();
using GrGlideShutdownProc = void(HALCYRA_STDCALL*)();
using GrSstSelectProc = void(HALCYRA_STDCALL*)(int board);

constexpr char kLibraryName[] = "glide2x.dll";
constexpr char kQueryHardwareExport[] = "_grSstQueryHardware@4";
constexpr char kQueryBoardsExport[] = "_grSstQueryBoards@4";
constexpr char kGlideInitExport[] = "_grGlideInit@0";
constexpr char kGlideShutdownExport[] = "_grGlideShutdown@0";
constexpr char kSstSelectExport[] = "_grSstSelect@4";

}  // namespace glide

namespace halcyra {

// Owns the loaded library and its five entry points while the board probe
// runs. Loads on construction, unloads on destruction.
class GlideLibrary {
 public:
  GlideLibrary();
  ~GlideLibrary();
  GlideLibrary(const GlideLibrary&) = delete;
  GlideLibrary& operator=(const GlideLibrary&) = delete;

  // Loads the library and resolves the entry points; true when all five were
  // found. True at once when a module is already loaded.
  bool Load();
  // Frees the module, if any; clears the entry points and `loaded`.
  void Unload();

  dll::ModuleHandle module;
  std::uint8_t loaded;
  glide::GrSstQueryHardwareProc grSstQueryHardware;
  glide::GrSstQueryBoardsProc grSstQueryBoards;
  glide::GrGlideInitProc grGlideInit;
  glide::GrGlideShutdownProc grGlideShutdown;
  glide::GrSstSelectProc grSstSelect;
};

}  // namespace halcyra
