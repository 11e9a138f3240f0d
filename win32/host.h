// Everything a Windows program of Halcyra Setup installs before the system
// runs: the user interface on the real dialog manager, the registry, the
// file operations, DirectDraw and Direct3D, DirectSound and the library
// loader. Constructing a WindowsHost installs them; destroying it removes
// them again.
#pragma once

#include <string>

#include "win32/directx_win32.h"
#include "win32/file_system_win32.h"
#include "win32/registry_win32.h"
#include "win32/ui_platform_win32.h"

namespace win32 {

class WindowsHost {
 public:
  explicit WindowsHost(HINSTANCE instance);
  ~WindowsHost();
  WindowsHost(const WindowsHost&) = delete;
  WindowsHost& operator=(const WindowsHost&) = delete;

  Win32Platform& Ui() { return m_ui; }
  Win32Registry& Registry() { return m_registry; }

 private:
  Win32Platform m_ui;
  Win32Registry m_registry;
  Win32FileSystem m_files;
  Win32DirectDraw m_directDraw;
  Win32DirectSound m_directSound;
  Win32LibraryLoader m_loader;
};

// Sets the registry value of the game's install directory (halcyra::kInstallPathValue) (the test build's --install-dir); false on failure.
bool SetInstallPath(const std::string& directory);
// Removes the value; true when it is gone.
bool ClearInstallPath();

}  // namespace win32
