// How the system reaches the platform: each platform interface (user
// interface, registry, files, DirectDraw, DirectSound, library loader) has
// one slot. The host program (Windows, the simulated machine, a test)
// installs its implementation there and removes it again; until then, and
// afterwards, the slot holds the interface's empty platform, a machine
// without that part, declared beside the interface as
// `EmptyPlatform(std::type_identity<Interface>)`.
#pragma once

#include <type_traits>

namespace halcyra {

template <typename Interface>
class PlatformSlot {
 public:
  // The installed implementation, else the empty platform.
  static Interface& Get() {
    return s_installed != nullptr ? *s_installed : EmptyPlatform(std::type_identity<Interface>{});
  }
  // Installs `implementation`; null puts the empty platform back.
  static void Install(Interface* implementation) { s_installed = implementation; }

 private:
  static inline Interface* s_installed = nullptr;
};

}  // namespace halcyra
