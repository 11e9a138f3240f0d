// The game's install directory, from the registry value "Install Path".
#pragma once

#include <cstddef>
#include <string>

// Size of the buffer the dialog start reads into, and of the process-wide
// one the OK step uses (bytes, terminator included). A value that does not
// fit leaves the caller's text as it was.
constexpr std::size_t kDialogStartDirectorySize = 256;
constexpr std::size_t kInstallDirectorySize = 260;

// Fills `directory` with the install directory; leaves it unchanged when the
// value is missing or its text and terminator need more than `bufferSize`
// bytes.
void ReadInstallDirectory(std::string& directory, std::size_t bufferSize);

// The process-wide install directory of the OK step; starts as ".".
extern std::string InstallDirectory;

// "<directory>\<name>": paths are composed with one backslash.
std::string JoinPath(const std::string& directory, const char* name);
