// The settings store's file operations on a POSIX file system. Paths come
// in the Windows form ("directory\name"); every backslash becomes a slash.
//
// A file counts as read-only, as a file with the Windows read-only attribute
// would, when no one has write permission on it; this holds for root too.
//
// ReplaceFile writes the new content into "<file>.saving" beside the file,
// flushes it to disk, gives it the file's permissions (and, where allowed,
// owner), renames it over the file and flushes the directory. A crash or a
// power cut at any point leaves the old or the new content under the file's
// name; a left-over "<file>.saving" is reused by the next save. A symbolic
// link is followed: the file it names is replaced and the link stays.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "settings/file_system.h"

namespace posixfs {

// The steps of a replace, as reported to a fault hook.
enum class ReplaceStep {
  kCreateTemporary,  // before the temporary file is created
  kWrite,            // before each write of at most `writeChunk` bytes
  kSync,             // before the temporary file is flushed to disk
  kRename,           // before the rename over the file
  kSyncDirectory,    // after the rename, before the directory is flushed
};

class PosixFileSystem : public fs::FileSystem {
 public:
  struct Options {
    // The most bytes one write system call is given.
    std::size_t writeChunk = std::size_t{1} << 20;
    // Called before each step with the bytes written so far. Returning false
    // makes the step fail as a failed system call would (a full disk, an
    // I/O error). Tests use it to inject faults and to crash at a chosen
    // point.
    std::function<bool(ReplaceStep step, std::size_t bytesWritten)> faultHook;
  };

  PosixFileSystem();
  explicit PosixFileSystem(Options options);

  bool CanOpenForReading(const std::string& path) override;
  bool CanOpenForUpdate(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  bool ReplaceFile(const std::string& path, const std::string& content) override;

  // The POSIX path of a Windows-form path.
  static std::string NativePath(const std::string& path);
  // The temporary file a replace of the POSIX path `nativePath` writes.
  static std::string TemporaryPathFor(const std::string& nativePath);

 private:
  bool Step(ReplaceStep step, std::size_t bytesWritten) const;

  Options options_;
};

}  // namespace posixfs
