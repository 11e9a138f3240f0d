#include "win32/registry_win32.h"

#include <cstring>
#include <vector>

#include "win32/windows_api.h"

namespace win32 {

namespace {

// The predefined keys are small numbers that Windows sign-extends to pointer
// width (HKEY_CURRENT_USER is 0xFFFFFFFF80000001 in a 64-bit process); the
// interface carries the 32-bit value. Keys that RegCreateKeyExA returned pass
// through unchanged.
HKEY ToHkey(reg::HKEY key) {
  if (key >= 0x80000000u && key <= 0x800000FFu) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(key)));
  }
  return reinterpret_cast<HKEY>(key);
}

}  // namespace

long Win32Registry::CreateKeyEx(reg::HKEY root, const std::string& subKey, std::uint32_t access,
                                reg::HKEY* result) {
  HKEY key = nullptr;
  const LONG status = ::RegCreateKeyExA(ToHkey(root), subKey.c_str(), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS && result != nullptr) *result = reinterpret_cast<reg::HKEY>(key);
  return status;
}

long Win32Registry::QueryValueEx(reg::HKEY key, const std::string& name, std::uint32_t* type,
                                 char* data, std::uint32_t* size) {
  // RegQueryValueExA leaves the caller's buffer undefined when the value does
  // not fit, and does not terminate a string that was stored without its
  // terminator. The value is read into a buffer of its own first, so the
  // caller's buffer is only written with a whole, terminated text.
  const HKEY handle = ToHkey(key);
  DWORD valueType = 0;
  DWORD needed = 0;
  LONG status = ::RegQueryValueExA(handle, name.c_str(), nullptr, &valueType, nullptr, &needed);
  std::vector<BYTE> value;
  while (status == ERROR_SUCCESS) {
    value.assign(static_cast<std::size_t>(needed) + 1, 0);
    DWORD got = needed;
    status = ::RegQueryValueExA(handle, name.c_str(), nullptr, &valueType, value.data(), &got);
    if (status == ERROR_MORE_DATA) {
      // The value grew in between; read it again.
      needed = got;
      status = ERROR_SUCCESS;
      continue;
    }
    value.resize(got);
    break;
  }
  if (status != ERROR_SUCCESS) return status;
  if ((valueType == REG_SZ || valueType == REG_EXPAND_SZ) && (value.empty() || value.back() != 0)) {
    value.push_back(0);
  }
  if (type != nullptr) *type = valueType;
  if (size == nullptr) return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
  const auto bytes = static_cast<std::uint32_t>(value.size());
  if (data == nullptr) {
    *size = bytes;
    return ERROR_SUCCESS;
  }
  if (bytes > *size) {
    *size = bytes;
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, value.data(), value.size());
  *size = bytes;
  return ERROR_SUCCESS;
}

long Win32Registry::CloseKey(reg::HKEY key) { return ::RegCloseKey(ToHkey(key)); }

}  // namespace win32
