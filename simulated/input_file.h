// Files named on a command line, read whole: only regular files of a
// bounded size, and without waiting. A directory, a device such as
// /dev/zero or a FIFO is refused at once rather than read as an empty file,
// read without end or waited on for a writer.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace cli {

// The largest script and machine profile the programs read.
constexpr std::size_t kScriptLimit = std::size_t{1} << 20;    // 1 MB
constexpr std::size_t kProfileLimit = std::size_t{16} << 20;  // 16 MB

// The contents of the file at `path`, or nullopt with `error` saying why
// not (without the path): it cannot be opened, is not a regular file, or
// holds more than `limit` bytes. Never reads more than `limit` + 1 bytes.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit,
                                           std::string& error);

// Whether `path` names an existing directory; `error` says why not.
bool IsExistingDirectory(const std::string& path, std::string& error);

// Whether `path` may take an output file: a regular file, or nothing yet in
// an existing folder. A directory, a device or a FIFO is refused at once, as
// inputs are; `error` says why (without the path).
bool IsOutputPath(const std::string& path, std::string& error);

// Writes `text` into the regular file `path`, created or cut to it. Opened
// without waiting: a FIFO or a device that took the name meanwhile is
// refused, never written to or waited on. `error` says why not.
bool WriteRegularFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace cli
