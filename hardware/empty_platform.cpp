// The empty platform of the hardware interfaces, in their slots until the
// host installs real ones: a machine without DirectDraw, DirectSound or
// loadable libraries.
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

}  // namespace

DirectDrawApi& EmptyPlatform(std::type_identity<DirectDrawApi>) {
  static NoDirectDraw none;
  return none;
}

DirectSoundApi& EmptyPlatform(std::type_identity<DirectSoundApi>) {
  static NoDirectSound none;
  return none;
}

}  // namespace dx

namespace dll {
namespace {

class NoLibraries final : public LibraryLoader {
 public:
  ModuleHandle LoadLibraryA(const char*) override { return nullptr; }
  ProcAddress GetProcAddress(ModuleHandle, const char*) override { return nullptr; }
  bool FreeLibrary(ModuleHandle) override { return false; }
};

}  // namespace

LibraryLoader& EmptyPlatform(std::type_identity<LibraryLoader>) {
  static NoLibraries none;
  return none;
}

}  // namespace dll
