// A registry held in memory for tests: keys by path (without regard to case),
// values as bytes, with the Windows results of the operations the settings
// store uses. It records what was asked of it.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "settings/registry.h"

namespace testing_support {

class MemoryRegistry : public reg::Registry {
 public:
  // Sets a value as bytes; `withTerminator` adds the NUL that Windows stores
  // with a REG_SZ value.
  void SetValue(const std::string& key, const std::string& name, const std::string& text,
                bool withTerminator = true) {
    std::string data = text;
    if (withTerminator) data.push_back('\0');
    keys_[Normal(key)][name] = data;
  }

  bool HasKey(const std::string& key) const { return keys_.count(Normal(key)) != 0; }

  long CreateKeyEx(reg::HKEY root, const std::string& subKey, std::uint32_t access,
                   reg::HKEY* result) override {
    lastAccess = access;
    if (failCreate || root != reg::HKEY_CURRENT_USER) return 5;  // ERROR_ACCESS_DENIED
    keys_[Normal(subKey)];
    const reg::HKEY handle = nextHandle_++;
    open_[handle] = Normal(subKey);
    *result = handle;
    return reg::ERROR_SUCCESS;
  }

  long QueryValueEx(reg::HKEY key, const std::string& name, std::uint32_t* type, char* data,
                    std::uint32_t* size) override {
    const auto handle = open_.find(key);
    if (handle == open_.end()) return 6;  // ERROR_INVALID_HANDLE
    const auto& values = keys_[handle->second];
    const auto value = values.find(name);
    if (value == values.end()) return reg::ERROR_FILE_NOT_FOUND;
    if (type != nullptr) *type = reg::REG_SZ;
    const auto needed = static_cast<std::uint32_t>(value->second.size());
    if (data == nullptr) {
      *size = needed;
      return reg::ERROR_SUCCESS;
    }
    if (needed > *size) {
      *size = needed;
      return reg::ERROR_MORE_DATA;
    }
    std::memcpy(data, value->second.data(), needed);
    *size = needed;
    return reg::ERROR_SUCCESS;
  }

  long CloseKey(reg::HKEY key) override {
    return open_.erase(key) != 0 ? reg::ERROR_SUCCESS : 6;
  }

  std::size_t OpenKeys() const { return open_.size(); }

  std::uint32_t lastAccess = 0;
  bool failCreate = false;

 private:
  static std::string Normal(std::string key) {
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    while (!key.empty() && key.back() == '\\') key.pop_back();
    return key;
  }

  std::map<std::string, std::map<std::string, std::string>> keys_;
  std::map<reg::HKEY, std::string> open_;
  reg::HKEY nextHandle_ = 0x1000;
};

}  // namespace testing_support
