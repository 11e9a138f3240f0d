// The game's install directory, from the registry value "Install Path".
#pragma once

#include <string>

namespace halcyra {

// Where the game's installer records its folder: this value of this key
// under HKEY_CURRENT_USER. Every platform reads it through
// ReadInstallDirectory.
constexpr const char* kGameRegistryKey = "Software\\Corvane\\Halcyra\\";
constexpr const char* kInstallPathValue = "Install Path";

// Fills `directory` with the install directory, whole at any length; leaves
// it unchanged when the value is missing or empty.
void ReadInstallDirectory(std::string& directory);

// The install directory of this run: read once when the 3D page creates the
// settings record, and used for options.ini and the OK step's archive check
// alike. Starts as ".".
extern std::string InstallDirectory;

// "<directory>\<name>": paths are composed with one backslash.
std::string JoinPath(const std::string& directory, const char* name);

// The folder part of a Windows-form path: everything before its last
// backslash, or "." when it has none.
std::string ParentDirectory(const std::string& path);

}  // namespace halcyra
