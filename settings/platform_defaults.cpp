// The registry and file system in use. Until the host program installs its
// own, the store sees a machine without the game's registry value and without
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

EmptyRegistry g_emptyRegistry;
Registry* g_registry = &g_emptyRegistry;

}  // namespace

Registry& TheRegistry() { return *g_registry; }

void SetRegistry(Registry* registry) {
  g_registry = registry != nullptr ? registry : &g_emptyRegistry;
}

}  // namespace reg

namespace fs {

namespace {

class NoFiles final : public FileSystem {
 public:
  bool CanOpenForReading(const std::string&) override { return false; }
  bool Exists(const std::string&) override { return false; }
  std::optional<std::string> ReadFile(const std::string&) override { return std::nullopt; }
  WriteResult ReplaceFile(const std::string&, const std::string&) override { return {}; }
  bool MakeDirectories(const std::string&) override { return false; }
  std::optional<std::string> VirtualStorePath(const std::string&) override { return std::nullopt; }
};

NoFiles g_noFiles;
FileSystem* g_files = &g_noFiles;

}  // namespace

FileSystem& TheFileSystem() { return *g_files; }

void SetFileSystem(FileSystem* files) { g_files = files != nullptr ? files : &g_noFiles; }

}  // namespace fs
