// filesys::FileSystem on the Windows file API. Paths are native: the settings
// store composes them with backslashes already. Every file function is given
// the wide form of the path, in the "\\?\" form when it is long, so paths
// longer than MAX_PATH work for loading, saving, the archive check and the
// VirtualStore.
#pragma once

#include "settings/file_system.h"

namespace win32 {

class Win32FileSystem : public filesys::FileSystem {
 public:
  bool CanOpenForReading(const std::string& path) override;
  bool Exists(const std::string& path) override;
  // Finishes first an in-place save of `path` that was cut short.
  std::optional<std::string> ReadFile(const std::string& path) override;
  // Writes `content` to a new file beside `path` ("<path>.saving-" and 12
  // random letters and digits, made with CREATE_NEW and the old file's
  // access list and attributes), flushes it to the disk and renames it over
  // `path` in one step (MoveFileExA with MOVEFILE_REPLACE_EXISTING and
  // MOVEFILE_WRITE_THROUGH). New files left by a killed save (untouched for
  // a minute) are deleted first. Where no new file may be made in the
  // folder but `path` may be written, and where `path` has more than one
  // hard link, `path` is written in place, all or nothing all the same: the
  // content goes first into a recovery file in
  // %LOCALAPPDATA%\Halcyra Setup\Recovery (settings/recovery_record.h),
  // flushed, then over `path`; a copy cut short is finished by the next
  // ReadFile of `path`. A read-only `path`, or any failure on the way,
  // leaves `path` as it was and removes the new file.
  filesys::WriteResult ReplaceFile(const std::string& path, const std::string& content) override;
  bool MakeDirectories(const std::string& directory) override;
  // %LOCALAPPDATA%\VirtualStore\<path without its drive>, when the process
  // is not elevated and the full path lies below %ProgramFiles%,
  // %ProgramFiles(x86)%, %ProgramW6432%, %ProgramData% or %SystemRoot%.
  std::optional<std::string> VirtualStorePath(const std::string& path) override;
  // The same place when the process runs elevated.
  std::optional<std::string> ElevatedUserCopyPath(const std::string& path) override;
  bool IsReadOnly(const std::string& path) override;
  std::string CurrentFolder() override;
  std::optional<std::string> ProgramFolder() override;

 private:
  // %LOCALAPPDATA%\VirtualStore\<path without its drive> when the full path
  // lies in a virtualized location, elevated or not.
  static std::optional<std::string> UserCopyPath(const std::string& path);
};

}  // namespace win32
