// halcyra-report.exe: the hardware report of this computer, as Halcyra
// Setup sees it: the display drivers with their 3D devices, fitness, modes
// and texture formats, the sound devices with their EAX finding, and the
// Glide board. Players send it to support, as they would a DirectX
// diagnostic dump. It runs the same probes as Halcyra Setup, on the real
// DirectDraw, Direct3D, DirectSound and glide2x.dll, and prints the report
// that halcyra-sim --report prints for a simulated machine.
//
//   halcyra-report.exe            prints the report on standard output
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "hardware/glide.h"
#include "hardware/inventory.h"
#include "simulated/inventory_report.h"
#include "simulated/machine_profile.h"
#include "win32/host.h"

namespace {

std::vector<std::int32_t>* g_progress = nullptr;

void RecordProgress(std::int32_t code) {
  if (g_progress != nullptr) g_progress->push_back(code);
}

// "Windows 10.0 (build 19045)", and the Wine version when Wine runs it.
std::string SystemDescription() {
  std::string text = "Windows";
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOW*);
  using WineVersionProc = const char*(CDECL*)();
  if (ntdll != nullptr) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionProc>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    if (rtlGetVersion != nullptr && rtlGetVersion(&version) == 0) {
      text += " " + std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) +
              " (build " + std::to_string(version.dwBuildNumber) + ")";
    }
    auto wineVersion = reinterpret_cast<WineVersionProc>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "wine_get_version")));
    if (wineVersion != nullptr) text += std::string(", under Wine ") + wineVersion();
  }
  text += sizeof(void*) == 8 ? ", 64-bit report" : ", 32-bit report";
  return text;
}

}  // namespace

int main() {
  _setmode(_fileno(stdout), _O_BINARY);
  win32::WindowsHost host(::GetModuleHandleA(nullptr));

  sim::Machine machine;
  machine.name = "This computer";
  machine.description = SystemDescription();
  machine.installPath = win32::InstallPath(host.Registry());

  std::vector<std::int32_t> progress;
  g_progress = &progress;
  auto* inventory = new HardwareInventory(RecordProgress);
  g_progress = nullptr;
  GlideBoardInfo glide;
  std::fputs(sim::InventoryReport(machine, *inventory, glide, progress).c_str(), stdout);
  delete inventory;
  std::fflush(stdout);
  return 0;
}
