#include "win32/host.h"

#include "settings/install_directory.h"

namespace win32 {

WindowsHost::WindowsHost(HINSTANCE instance) : m_ui(instance) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  ui::SetPlatform(&m_ui);
  reg::SetRegistry(&m_registry);
  fs::SetFileSystem(&m_files);
  dx::SetDirectDraw(&m_directDraw);
  dx::SetDirectSound(&m_directSound);
  dll::SetLibraryLoader(&m_loader);
}

WindowsHost::~WindowsHost() {
  dll::SetLibraryLoader(nullptr);
  dx::SetDirectSound(nullptr);
  dx::SetDirectDraw(nullptr);
  fs::SetFileSystem(nullptr);
  reg::SetRegistry(nullptr);
  ui::SetPlatform(nullptr);
}

bool SetInstallPath(const std::string& directory) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kGameRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG status = ::RegSetValueExA(key, kInstallPathValue, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(directory.c_str()),
                                       static_cast<DWORD>(directory.size() + 1));
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool ClearInstallPath() {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, kGameRegistryKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return true;
  const LONG status = ::RegDeleteValueA(key, kInstallPathValue);
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace win32
