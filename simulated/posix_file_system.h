// The settings store's file operations on a POSIX file system. Paths come
// in the Windows form ("directory\name"); every backslash becomes a slash.
//
// A file counts as read-only, as a file with the Windows read-only attribute
// would, when no one has write permission on it; this holds for root too.
//
// ReplaceFile creates a new file beside the file, exclusively (O_CREAT |
// O_EXCL) under an unpredictable name ("<file>.saving-" and 12 random
// letters and digits), with the file's permissions and, where allowed, its
// owner from the start; writes the content into it, flushes it to disk,
// renames it over the file and flushes the directory. A crash or a power
// cut at any point leaves the old or the new content under the file's name.
// A new file left by a killed save is removed by the next save in that
// folder (only this user's, only one no running save holds, and only one
// untouched for a minute: a save makes and locks its file within that).
// When no new file can be made in the folder but the file itself may be
// written, and when the file has more than one hard link, the file is
// written in place instead, all or nothing all the same: the content goes
// first into a recovery file in this user's recovery folder
// (settings/recovery_record.h), flushed, then over the file, cut to its
// length and flushed, and the recovery file goes. A save killed while
// copying is finished by the next read of the file (ReadFile); a write that
// fails while copying puts the old content back. Without a recovery folder
// fit to use, such a save fails and the file is not touched.
//
// A symbolic link is followed: the file it names is replaced and the link
// stays. In a folder that everyone may write and that has the sticky bit
// (/tmp), a link is not followed when another user owns it and the folder
// is not theirs either (the kernel's protected_symlinks rule, whatever the
// system's setting): such a file is neither read nor written.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/file_system.h"

namespace posixfs {

// The steps of a replace, as reported to a fault hook.
enum class ReplaceStep {
  kCreateTemporary,  // before the temporary file is created
  kWrite,            // before each write of at most `writeChunk` bytes
  kSync,             // before the written file is flushed to disk
  kRename,           // before the rename over the file
  kSyncDirectory,    // after the rename, before the directory is flushed
  kLock,             // after the new file is made, before it is locked
  kWriteInPlace,     // before each in-place write of at most `writeChunk` bytes
  kSyncInPlace,      // before the file written in place is flushed
  kRemoveRecovery,   // after the in-place copy is flushed, before the recovery file goes
};

// How Windows' file virtualization looks on a simulated machine whose
// program runs without elevation: the user's VirtualStore folder, and the
// folders whose files Windows virtualizes (Program Files and the like). All
// POSIX paths.
struct VirtualStore {
  std::string folder;
  std::vector<std::string> virtualized;
  // The program runs elevated: its own writes are not virtualized, but the
  // user's copies stay where the game started normally reads them.
  bool elevated = false;
};

class PosixFileSystem : public filesys::FileSystem {
 public:
  struct Options {
    // The most bytes one write system call is given.
    std::size_t writeChunk = std::size_t{1} << 20;
    // Called before each step with the bytes written so far. Returning false
    // makes the step fail as a failed system call would (a full disk, an
    // I/O error). Tests use it to inject faults and to crash at a chosen
    // point.
    std::function<bool(ReplaceStep step, std::size_t bytesWritten)> faultHook;
    // Gives the 12 characters that end a temporary file's name; random when
    // unset. Tests use it to make a save meet names that are taken.
    std::function<std::string()> temporarySuffix;
    // Set: the program runs without elevation on a machine with a
    // VirtualStore (see filesys::FileSystem::VirtualStorePath).
    std::optional<VirtualStore> virtualStore;
    // The folder of the running program as Windows would give it (a POSIX
    // path); unset: unknown.
    std::optional<std::string> programFolder;
    // This user's recovery folder for in-place saves; unset:
    // $XDG_STATE_HOME/halcyra-setup, else $HOME/.local/state/halcyra-setup.
    // Made (mode 0700) when a save needs it; only a folder of this user
    // that no one else may write is used.
    std::optional<std::string> recoveryFolder;
  };

  PosixFileSystem();
  explicit PosixFileSystem(Options options);

  bool CanOpenForReading(const std::string& path) override;
  bool Exists(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  filesys::WriteResult ReplaceFile(const std::string& path, const std::string& content) override;
  bool MakeDirectories(const std::string& directory) override;
  std::optional<std::string> VirtualStorePath(const std::string& path) override;
  std::optional<std::string> ElevatedUserCopyPath(const std::string& path) override;
  bool IsReadOnly(const std::string& path) override;
  std::string CurrentFolder() override;
  std::optional<std::string> ProgramFolder() override;

  // The POSIX path of a Windows-form path.
  static std::string NativePath(const std::string& path);
  // What the name of every temporary file of a replace of the POSIX path
  // `nativePath` begins with.
  static std::string TemporaryPrefixFor(const std::string& nativePath);
  // How long a temporary file stays untouched before a sweep may take it.
  static constexpr int kStaleSeconds = 60;

 private:
  bool Step(ReplaceStep step, std::size_t bytesWritten) const;
  bool WriteAll(int fd, const std::string& content, ReplaceStep step) const;
  filesys::WriteResult WriteInPlace(const std::string& target, const std::string& content) const;
  // The recovery folder, made when `make` and missing; nullopt when there
  // is none fit to use.
  std::optional<std::string> RecoveryFolder(bool make) const;
  // Finishes an in-place save of the POSIX path `nativePath` that was cut
  // short while copying.
  void RollForward(const std::string& nativePath) const;
  std::string TemporarySuffix() const;
  // Where the user's VirtualStore copy of `path` lies, elevated or not.
  std::optional<std::string> UserCopyPath(const std::string& path) const;

  Options options_;
};

}  // namespace posixfs
