// A file system held in memory for tests: files by path, read-only marks,
// and a count of the replaces made.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

#include "settings/file_system.h"

namespace testing_support {

class MemoryFileSystem : public fs::FileSystem {
 public:
  bool CanOpenForReading(const std::string& path) override {
    return files.count(path) != 0 && unreadable.count(path) == 0;
  }
  bool CanOpenForUpdate(const std::string& path) override {
    return CanOpenForReading(path) && readOnly.count(path) == 0;
  }
  std::optional<std::string> ReadFile(const std::string& path) override {
    if (!CanOpenForReading(path)) return std::nullopt;
    return files.at(path);
  }
  bool ReplaceFile(const std::string& path, const std::string& content) override {
    ++replaces;
    if (failReplace || readOnly.count(path) != 0) return false;
    files[path] = content;
    return true;
  }

  std::map<std::string, std::string> files;
  std::set<std::string> readOnly;
  std::set<std::string> unreadable;
  bool failReplace = false;
  int replaces = 0;
};

}  // namespace testing_support
