// halcyra-setup: Halcyra Setup for Linux, in the terminal, on the simulated
// reference machine that is built into the program. Like the system it
// reads no environment of its own (the terminal layer reads the terminal
// type, the locale, NO_COLOR and COLORTERM, as terminal programs do); its
// command line has only --help and --version.
//
// The built-in machine's registry holds no "Install Path", so the install
// directory is the current directory; the process's default registry,
// which holds no values, answers the same. The machine is code made from
// its profile at build time (nothing is parsed at start), and is built when
// the system first asks for DirectDraw, DirectSound or a library.
#include <optional>

#include "hardware/directdraw_api.h"
#include "settings/file_system.h"
#include "simulated/posix_file_system.h"
#include "hardware/directsound_api.h"
#include "hardware/library_loader.h"
#include "simulated/command_line.h"
#include "simulated/simulated_machine.h"
#include "terminal/reference_profile.h"
#include "terminal/setup_in_terminal.h"

namespace {

// The reference machine's hardware, built on first use.
class BuiltInMachine final : public dx::DirectDrawApi,
                             public dx::DirectSoundApi,
                             public dll::LibraryLoader {
 public:
  sim::SimulatedMachine& Get() {
    if (!m_machine) {
      m_machine.emplace(term::ReferenceMachine());
      m_machine->SetInstallPath(std::nullopt);
    }
    return *m_machine;
  }

  dx::HRESULT DirectDrawEnumerateExA(dx::LPDDENUMCALLBACKEXA callback, void* context,
                                     dx::DWORD flags) override {
    return static_cast<dx::DirectDrawApi&>(Get()).DirectDrawEnumerateExA(callback, context, flags);
  }
  dx::HRESULT DirectDrawCreate(dx::GUID* driver, dx::IDirectDraw** result, void* outer) override {
    return static_cast<dx::DirectDrawApi&>(Get()).DirectDrawCreate(driver, result, outer);
  }
  dx::HRESULT DirectSoundEnumerateA(dx::LPDSENUMCALLBACKA callback, void* context) override {
    return static_cast<dx::DirectSoundApi&>(Get()).DirectSoundEnumerateA(callback, context);
  }
  dx::HRESULT DirectSoundCreate(const dx::GUID* device, dx::IDirectSound** result,
                                void* outer) override {
    return static_cast<dx::DirectSoundApi&>(Get()).DirectSoundCreate(device, result, outer);
  }
  dll::ModuleHandle LoadLibraryA(const char* name) override {
    return static_cast<dll::LibraryLoader&>(Get()).LoadLibraryA(name);
  }
  dll::ProcAddress GetProcAddress(dll::ModuleHandle module, const char* name) override {
    return static_cast<dll::LibraryLoader&>(Get()).GetProcAddress(module, name);
  }
  bool FreeLibrary(dll::ModuleHandle module) override {
    return static_cast<dll::LibraryLoader&>(Get()).FreeLibrary(module);
  }

 private:
  std::optional<sim::SimulatedMachine> m_machine;
};

}  // namespace

int main(int argc, char** argv) {
  const cli::Parser parser(
      "halcyra-setup",
      "Halcyra Setup in this terminal, on a simulated machine built into the program\n"
      "(the reference machine of profiles/reference.toml); the real hardware is never\n"
      "probed. options.ini is read from the current folder and written back there on OK,\n"
      "when that folder holds the game (its options.ini or its static folder).");
  if (const auto exit = parser.Parse(argc, argv, stdout, stderr)) return *exit;
  BuiltInMachine machine;
  dx::DirectDrawSlot::Install(&machine);
  dx::DirectSoundSlot::Install(&machine);
  dll::LibraryLoaderSlot::Install(&machine);
  // options.ini and the texture archives on this machine's files.
  posixfs::PosixFileSystem files;
  filesys::FileSystemSlot::Install(&files);
  const int code = term::RunSetupInTerminal();
  filesys::FileSystemSlot::Install(nullptr);
  dx::DirectDrawSlot::Install(nullptr);
  dx::DirectSoundSlot::Install(nullptr);
  dll::LibraryLoaderSlot::Install(nullptr);
  // -1 from the system appears as 255, as a process exit status does.
  return code & 0xFF;
}
