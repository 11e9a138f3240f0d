// The process-wide platform interfaces and the stand-ins used until the host
// installs real ones: a machine without DirectDraw, DirectSound or loadable
// libraries.
#include "hardware/directdraw_api.h"
#include "hardware/directsound_api.h"
#include "hardware/library_loader.h"

namespace dx {
namespace {

class NoDirectDraw final : public DirectDrawApi {
 public:
  HRESULT DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA, void*, DWORD) override { return DDERR_NODIRECTDRAWHW; }
  HRESULT DirectDrawCreate(GUID*, IDirectDraw** result, void*) override {
    if (result != nullptr) *result = nullptr;
    return DDERR_NODIRECTDRAWHW;
  }
};

class NoDirectSound final : public DirectSoundApi {
 public:
  HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA, void*) override { return DSERR_NODRIVER; }
  HRESULT DirectSoundCreate(const GUID*, IDirectSound** result, void*) override {
    if (result != nullptr) *result = nullptr;
    return DSERR_NODRIVER;
  }
};

NoDirectDraw g_noDirectDraw;
NoDirectSound g_noDirectSound;
DirectDrawApi* g_directDraw = &g_noDirectDraw;
DirectSoundApi* g_directSound = &g_noDirectSound;

}  // namespace

DirectDrawApi& TheDirectDraw() { return *g_directDraw; }
void SetDirectDraw(DirectDrawApi* api) { g_directDraw = api != nullptr ? api : &g_noDirectDraw; }

DirectSoundApi& TheDirectSound() { return *g_directSound; }
void SetDirectSound(DirectSoundApi* api) { g_directSound = api != nullptr ? api : &g_noDirectSound; }

}  // namespace dx

namespace dll {
namespace {

class NoLibraries final : public LibraryLoader {
 public:
  ModuleHandle LoadLibraryA(const char*) override { return nullptr; }
  ProcAddress GetProcAddress(ModuleHandle, const char*) override { return nullptr; }
  bool FreeLibrary(ModuleHandle) override { return false; }
};

NoLibraries g_noLibraries;
LibraryLoader* g_loader = &g_noLibraries;

}  // namespace

LibraryLoader& TheLibraryLoader() { return *g_loader; }
void SetLibraryLoader(LibraryLoader* loader) { g_loader = loader != nullptr ? loader : &g_noLibraries; }

}  // namespace dll
