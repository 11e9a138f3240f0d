// halcyra-setup.exe: Halcyra Setup on Windows. It reads no command line.
#include "app/setup_app.h"
#include "win32/host.h"

using namespace halcyra;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  win32::WindowsHost host(instance);
  return RunHalcyraSetup();
}
