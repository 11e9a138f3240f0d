// The empty platform of the registry and the file system, in their slots
// until the host program installs its own: the store sees a machine without the game's registry value and without
// files: the install directory stays ".", no options.ini is found, and
// nothing is written.
#include "settings/file_system.h"
#include "settings/registry.h"

namespace reg {

namespace {

class EmptyRegistry final : public Registry {
 public:
  long CreateKeyEx(HKEY, const std::string&, std::uint32_t, HKEY* result) override {
    *result = 1;
    return ERROR_SUCCESS;
  }
  long QueryValueEx(HKEY, const std::string&, std::uint32_t*, char*, std::uint32_t*) override {
    return ERROR_FILE_NOT_FOUND;
  }
  long CloseKey(HKEY) override { return ERROR_SUCCESS; }
};

}  // namespace

Registry& EmptyPlatform(std::type_identity<Registry>) {
  static EmptyRegistry none;
  return none;
}

}  // namespace reg

namespace filesys {

namespace {

class NoFiles final : public FileSystem {
 public:
  bool CanOpenForReading(const std::string&) override { return false; }
  bool Exists(const std::string&) override { return false; }
  std::optional<std::string> ReadFile(const std::string&) override { return std::nullopt; }
  WriteResult ReplaceFile(const std::string&, const std::string&) override { return {}; }
  bool MakeDirectories(const std::string&) override { return false; }
  std::optional<std::string> VirtualStorePath(const std::string&) override { return std::nullopt; }
  std::optional<std::string> ElevatedUserCopyPath(const std::string&) override { return std::nullopt; }
  bool IsReadOnly(const std::string&) override { return false; }
  std::string CurrentFolder() override { return "."; }
  std::optional<std::string> ProgramFolder() override { return std::nullopt; }
};

}  // namespace

FileSystem& EmptyPlatform(std::type_identity<FileSystem>) {
  static NoFiles none;
  return none;
}

}  // namespace filesys
