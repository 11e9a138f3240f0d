// A file system held in memory for tests: files by path, folders, read-only
// unreadable and read-failing marks, a VirtualStore, and a count of the replaces made.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

#include "settings/file_system.h"
#include "settings/install_directory.h"

namespace testing_support {

class MemoryFileSystem : public filesys::FileSystem {
 public:
  bool CanOpenForReading(const std::string& path) override {
    return files.count(path) != 0 && unreadable.count(path) == 0;
  }
  // Without listed folders, every folder that holds a file exists.
  bool Exists(const std::string& path) override {
    if (files.count(path) != 0 || folders.count(path) != 0) return true;
    if (!folders.empty()) return false;
    const auto after = files.lower_bound(path + "\\");
    return after != files.end() && after->first.starts_with(path + "\\");
  }
  std::optional<std::string> ReadFile(const std::string& path) override {
    if (!CanOpenForReading(path) || readFails.count(path) != 0) return std::nullopt;
    return files.at(path);
  }
  filesys::WriteResult ReplaceFile(const std::string& path, const std::string& content) override {
    ++replaces;
    if (failReplace || readOnly.count(path) != 0 || folders.count(path) != 0) return {};
    const std::string folder = halcyra::ParentDirectory(path);
    if (lockedFolders.count(folder) != 0 || (!folders.empty() && folders.count(folder) == 0)) {
      return {false, lockedFolders.count(folder) != 0};
    }
    files[path] = content;
    return {true, false};
  }
  bool MakeDirectories(const std::string& directory) override {
    for (std::string folder = directory; folder != "." && folders.insert(folder).second;) {
      folder = halcyra::ParentDirectory(folder);
    }
    return true;
  }
  std::optional<std::string> VirtualStorePath(const std::string& path) override {
    return elevated ? std::nullopt : UserCopyPath(path);
  }
  std::optional<std::string> ElevatedUserCopyPath(const std::string& path) override {
    return elevated ? UserCopyPath(path) : std::nullopt;
  }
  bool IsReadOnly(const std::string& path) override { return files.count(path) != 0 && readOnly.count(path) != 0; }
  std::string CurrentFolder() override { return currentFolder; }
  std::optional<std::string> ProgramFolder() override { return programFolder; }

  std::optional<std::string> UserCopyPath(const std::string& path) const {
    if (!virtualStore || path.rfind(virtualized + "\\", 0) != 0) return std::nullopt;
    return *virtualStore + path.substr(2);  // without the drive
  }

  std::map<std::string, std::string> files;
  // When any folder is listed, files can be made only in listed folders.
  std::set<std::string> folders;
  // Folders in which no file may be made or written (access denied).
  std::set<std::string> lockedFolders;
  std::set<std::string> readOnly;
  std::set<std::string> unreadable;
  // Files that open but whose read fails (another program's byte lock).
  std::set<std::string> readFails;
  // Set: the user's VirtualStore folder and the one virtualized location;
  // the program runs without elevation unless `elevated`.
  std::optional<std::string> virtualStore;
  std::string virtualized;
  bool elevated = false;
  std::string currentFolder = "C:\\Users\\ann";
  std::optional<std::string> programFolder;
  bool failReplace = false;
  int replaces = 0;
};

}  // namespace testing_support
