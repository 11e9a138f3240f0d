// Glide 2 board detection through the run-time loaded "glide2x.dll".
#include "hardware/glide.h"

#include <new>

#include "hardware/glide_library.h"

namespace halcyra {

GlideBoardInfo* g_pGlide = nullptr;

GlideLibrary::GlideLibrary()
    : module(nullptr),
      loaded(0),
      grSstQueryHardware(nullptr),
      grSstQueryBoards(nullptr),
      grGlideInit(nullptr),
      grGlideShutdown(nullptr),
      grSstSelect(nullptr) {
  loaded = Load() ? 1 : 0;
}

GlideLibrary::~GlideLibrary() { Unload(); }

namespace {

template <typename Entry>
bool Resolve(dll::ModuleHandle module, const char* name, Entry& entry) {
  // The loader hands out untyped addresses; each is cast back to the type of
  // the export it names.
  entry = reinterpret_cast<Entry>(dll::LibraryLoaderSlot::Get().GetProcAddress(module, name));
  return entry != nullptr;
}

}  // namespace

bool GlideLibrary::Load() {
  // A module already held: the earlier load decided whether every entry
  // point is there.
  if (module != nullptr) return loaded != 0;
  module = dll::LibraryLoaderSlot::Get().LoadLibraryA(glide::kLibraryName);
  if (module == nullptr) return false;
  // The first missing export ends the search; the module stays loaded until
  // Unload.
  return Resolve(module, glide::kQueryHardwareExport, grSstQueryHardware) &&
         Resolve(module, glide::kQueryBoardsExport, grSstQueryBoards) &&
         Resolve(module, glide::kGlideInitExport, grGlideInit) &&
         Resolve(module, glide::kGlideShutdownExport, grGlideShutdown) &&
         Resolve(module, glide::kSstSelectExport, grSstSelect);
}

void GlideLibrary::Unload() {
  if (module != nullptr) dll::LibraryLoaderSlot::Get().FreeLibrary(module);
  module = nullptr;
  loaded = 0;
  grSstQueryHardware = nullptr;
  grSstQueryBoards = nullptr;
  grGlideInit = nullptr;
  grGlideShutdown = nullptr;
  grSstSelect = nullptr;
}

namespace {

// Puts a width x height x 16 mode at the head of the list.
void PushMode(GlideBoardInfo& info, std::int32_t width, std::int32_t height) {
  auto* mode = new (std::nothrow) GlideModeRecord{};
  if (mode == nullptr) return;
  mode->width = width;
  mode->height = height;
  mode->bitsPerPixel = 16;
  mode->next = info.modes;
  info.modes = mode;
  ++info.modeCount;
}

// What a board's configuration tells of its memory and interleave.
struct BoardFinding {
  std::int32_t fbRam = 0;  // MB; 0 when the board does not say
  bool sli = false;
};

// Reads the member of the configuration union that the board's type fills.
// Only Voodoo and Voodoo2 boards have an interleave flag: in the SST-96
// member the same place holds the texture unit's memory size.
BoardFinding ReadBoard(const glide::GrHwConfiguration& config) {
  const auto& sst = config.SSTs[0];
  switch (sst.type) {
    case glide::GR_SSTTYPE_VOODOO:
    case glide::GR_SSTTYPE_Voodoo2:
      return {sst.sstBoard.VoodooConfig.fbRam, sst.sstBoard.VoodooConfig.sliDetect != 0};
    case glide::GR_SSTTYPE_AT3D:
      // Only a revision: nothing tells the frame buffer's size.
      return {};
    default:
      return {sst.sstBoard.SST96Config.fbRam, false};
  }
}

}  // namespace

GlideBoardInfo::GlideBoardInfo() : modeCount(0), modes(nullptr), present(0) {
  GlideLibrary library;
  if (library.loaded == 0) return;

  glide::GrHwConfiguration config{};
  library.grSstQueryBoards(&config);
  if (config.num_sst == 0) return;

  present = 1;
  library.grGlideInit();
  library.grSstQueryHardware(&config);
  const BoardFinding board = ReadBoard(config);
  PushMode(*this, 640, 480);
  if (board.fbRam > 2) PushMode(*this, 800, 600);
  if (board.fbRam > 4 || board.sli) PushMode(*this, 1024, 768);
  library.grGlideShutdown();
}

GlideBoardInfo::~GlideBoardInfo() {
  while (modes != nullptr) {
    GlideModeRecord* mode = modes;
    modes = mode->next;
    delete mode;
  }
  modeCount = 0;
}

}  // namespace halcyra
