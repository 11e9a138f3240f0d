#include "settings/install_directory.h"

#include <cstdint>
#include <vector>

#include "settings/registry.h"

namespace halcyra {

std::string InstallDirectory = ".";

void ReadInstallDirectory(std::string& directory) {
  reg::Registry& registry = reg::RegistrySlot::Get();
  reg::HKEY key = 0;
  // Opening creates the game's key, empty, when it is missing.
  if (registry.CreateKeyEx(reg::HKEY_CURRENT_USER, kGameRegistryKey, reg::KEY_ALL_ACCESS, &key) !=
      reg::ERROR_SUCCESS) {
    return;
  }

  // Ask for the size first and read into a buffer of that size, so a value
  // of any length is read whole.
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  long result = registry.QueryValueEx(key, kInstallPathValue, &type, nullptr, &size);
  std::vector<char> data;
  if ((result == reg::ERROR_SUCCESS || result == reg::ERROR_MORE_DATA) && size > 0) {
    data.resize(size);
    result = registry.QueryValueEx(key, kInstallPathValue, &type, data.data(), &size);
    if (size < data.size()) data.resize(size);
  }
  registry.CloseKey(key);
  // A missing value, one that changed size between the two queries, or one
  // without any data leaves the caller's text as it was.
  if (result != reg::ERROR_SUCCESS || data.empty()) return;

  // The text ends at its terminator; a value stored without one ends with
  // its data.
  std::size_t length = 0;
  while (length < data.size() && data[length] != '\0') ++length;
  // An empty value names no folder; the root of the current drive is not
  // where the game lives.
  if (length == 0) return;
  directory.assign(data.data(), length);
}

std::string JoinPath(const std::string& directory, const char* name) {
  std::string path;
  path.reserve(directory.size() + 1 + std::char_traits<char>::length(name));
  path += directory;
  path += '\\';
  path += name;
  return path;
}

std::string ParentDirectory(const std::string& path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace halcyra
