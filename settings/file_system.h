// The file operations of the settings store and the OK step. Paths are
// composed the Windows way, "directory\name"; each platform maps them onto
// its own file system.
#pragma once

#include <optional>
#include <string>

namespace fs {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Open for reading only and close again: whether the file can be opened.
  virtual bool CanOpenForReading(const std::string& path) = 0;
  // Open for update ("r+b": read and write, the file must exist) and close
  // again: whether that succeeded. The file is not changed.
  virtual bool CanOpenForUpdate(const std::string& path) = 0;
  // The whole content, or nullopt when the file cannot be read.
  virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
  // Replaces the file's content in one step: afterwards the file holds
  // either its old content or `content`, never a mix, even after a crash or a
  // power cut. The file's permissions are kept. False, and the file as it
  // was, on any failure.
  virtual bool ReplaceFile(const std::string& path, const std::string& content) = 0;
};

// The file system in use, installed by the host program.
FileSystem& TheFileSystem();
void SetFileSystem(FileSystem* files);

}  // namespace fs
