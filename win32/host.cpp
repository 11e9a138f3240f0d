#include "win32/host.h"

#include "settings/install_directory.h"

namespace win32 {

WindowsHost::WindowsHost(HINSTANCE instance) : m_ui(instance) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  ui::UiPlatformSlot::Install(&m_ui);
  reg::RegistrySlot::Install(&m_registry);
  filesys::FileSystemSlot::Install(&m_files);
  dx::DirectDrawSlot::Install(&m_directDraw);
  dx::DirectSoundSlot::Install(&m_directSound);
  dll::LibraryLoaderSlot::Install(&m_loader);
}

WindowsHost::~WindowsHost() {
  dll::LibraryLoaderSlot::Install(nullptr);
  dx::DirectSoundSlot::Install(nullptr);
  dx::DirectDrawSlot::Install(nullptr);
  filesys::FileSystemSlot::Install(nullptr);
  reg::RegistrySlot::Install(nullptr);
  ui::UiPlatformSlot::Install(nullptr);
}

bool SetInstallPath(const std::string& directory) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, halcyra::kGameRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG status = ::RegSetValueExA(key, halcyra::kInstallPathValue, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(directory.c_str()),
                                       static_cast<DWORD>(directory.size() + 1));
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool ClearInstallPath() {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, halcyra::kGameRegistryKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return true;
  const LONG status = ::RegDeleteValueA(key, halcyra::kInstallPathValue);
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace win32
