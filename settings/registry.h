// The registry operations the install-directory lookup needs, with the
// Windows results. The Windows registry and the simulated machine's registry
// implement it.
#pragma once

#include <cstdint>

#include "base/platform_slot.h"
#include <string>

namespace reg {

using HKEY = std::uintptr_t;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;
constexpr std::uint32_t REG_SZ = 1;

constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;
constexpr long ERROR_MORE_DATA = 234;

class Registry {
 public:
  virtual ~Registry() = default;
  // RegCreateKeyExA: opens `subKey` under `root`, creating it (empty) when
  // missing, non-volatile, with `access`. 0 and the key in `result` on
  // success.
  virtual long CreateKeyEx(HKEY root, const std::string& subKey, std::uint32_t access,
                           HKEY* result) = 0;
  // RegQueryValueExA: copies value `name` of `key`, text and terminator, into
  // `data` when it fits in `*size` bytes (0, `*size` = bytes copied). When it
  // does not fit: ERROR_MORE_DATA, `*size` = bytes needed, `data` untouched.
  // A null `data` only asks for the size. ERROR_FILE_NOT_FOUND when missing.
  virtual long QueryValueEx(HKEY key, const std::string& name, std::uint32_t* type, char* data,
                            std::uint32_t* size) = 0;
  virtual long CloseKey(HKEY key) = 0;
};

// The registry in use, installed by the host program. Its empty platform
// opens every key and holds no value.
using RegistrySlot = halcyra::PlatformSlot<Registry>;
Registry& EmptyPlatform(std::type_identity<Registry>);

}  // namespace reg
