// The file operations of the settings store and the OK step. Paths are
// composed the Windows way, "directory\name"; each platform maps them onto
// its own file system.
#pragma once

#include <optional>
#include <string>

#include "base/platform_slot.h"

namespace filesys {

// The result of a write: whether the file now holds the new content, and,
// when it does not, whether the platform refused it for want of rights (the
// folder may not be changed and the file may not be written), as opposed to
// any other failure.
struct WriteResult {
  bool written = false;
  bool denied = false;
  explicit operator bool() const { return written; }
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Open for reading only and close again: whether the file can be opened.
  virtual bool CanOpenForReading(const std::string& path) = 0;
  // Whether anything stands under `path`: a file (readable or not), a
  // folder, a device.
  virtual bool Exists(const std::string& path) = 0;
  // The whole content, or nullopt when the file cannot be read.
  virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
  // Gives the file `content`, creating it when it does not exist (its folder
  // must). Where a new file can be made beside it, the content is written
  // there and put in place in one step: afterwards the file holds either its
  // old content or `content`, never a mix, even after a crash or a power
  // cut. Where no new file can be made in the folder but the file itself may
  // be written, or where the file has more than one name (hard links), the
  // file is written in place. The file's permissions are kept. On failure
  // the file is as it was.
  virtual WriteResult ReplaceFile(const std::string& path, const std::string& content) = 0;
  // Makes `directory` and every missing folder above it; true when it exists
  // afterwards.
  virtual bool MakeDirectories(const std::string& directory) = 0;
  // Where Windows' file virtualization keeps this user's copy of `path`
  // (the user's VirtualStore): only when this program runs without
  // elevation and `path` lies in a virtualized location (Program Files,
  // Windows, ProgramData). nullopt everywhere else.
  virtual std::optional<std::string> VirtualStorePath(const std::string& path) = 0;
  // The same place for a program that runs elevated ("Run as
  // administrator"): where the user's copy of `path` is, which the game
  // started normally reads, although this program's own writes are not
  // virtualized. nullopt when not elevated or `path` is not virtualized.
  virtual std::optional<std::string> ElevatedUserCopyPath(const std::string& path) = 0;
  // A file that stands but is marked read-only (Windows' attribute; on
  // POSIX, no one may write it).
  virtual bool IsReadOnly(const std::string& path) = 0;
  // The full path of the current folder.
  virtual std::string CurrentFolder() = 0;
  // The folder the running program's file lies in; nullopt when unknown.
  virtual std::optional<std::string> ProgramFolder() = 0;
};

// The file system in use, installed by the host program. Its empty platform
// has no files and writes nothing.
using FileSystemSlot = halcyra::PlatformSlot<FileSystem>;
FileSystem& EmptyPlatform(std::type_identity<FileSystem>);

}  // namespace filesys
