// Loading a library at run time and finding its exports by name, as the
// Glide probe needs it (LoadLibraryA, GetProcAddress, FreeLibrary on
// Windows). The host installs one implementation for the process.
#pragma once

#include "base/platform_slot.h"

namespace dll {

using ModuleHandle = void*;
// An export's address; cast to the export's own function type before a call.
using ProcAddress = void (*)();

class LibraryLoader {
 public:
  virtual ~LibraryLoader() = default;
  // The loaded library, or null when it cannot be loaded.
  virtual ModuleHandle LoadLibraryA(const char* name) = 0;
  // The export `name` of `module`, or null when it has none such.
  virtual ProcAddress GetProcAddress(ModuleHandle module, const char* name) = 0;
  // Unloads `module`; true on success.
  virtual bool FreeLibrary(ModuleHandle module) = 0;
};

// The loader in use. Its empty platform loads no library.
using LibraryLoaderSlot = halcyra::PlatformSlot<LibraryLoader>;
LibraryLoader& EmptyPlatform(std::type_identity<LibraryLoader>);

}  // namespace dll
