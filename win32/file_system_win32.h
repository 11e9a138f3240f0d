// fs::FileSystem on the Windows file API. Paths are native: the settings
// store composes them with backslashes already.
#pragma once

#include "settings/file_system.h"

namespace win32 {

class Win32FileSystem : public fs::FileSystem {
 public:
  bool CanOpenForReading(const std::string& path) override;
  bool CanOpenForUpdate(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  // Writes `content` to a new file beside `path`, flushes it to the disk,
  // gives it the old file's attributes and access list, and renames it over
  // `path` in one step (MoveFileExA with MOVEFILE_REPLACE_EXISTING and
  // MOVEFILE_WRITE_THROUGH). A read-only `path`, or any failure on the way,
  // leaves `path` as it was and removes the new file.
  bool ReplaceFile(const std::string& path, const std::string& content) override;
};

}  // namespace win32
