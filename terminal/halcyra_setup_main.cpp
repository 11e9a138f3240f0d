// halcyra-setup: Halcyra Setup for Linux, in the terminal, on the simulated
// reference machine that is built into the program. Like the system it
// reads no environment of its own (the terminal layer reads the terminal
// type, the locale, NO_COLOR and COLORTERM, as terminal programs do); its
// command line has only --help and --version.
//
// The built-in machine's registry holds no "Install Path", so the install
// directory is the current directory; the process's default registry,
// which holds no values, answers the same. The machine itself is built from
// its profile when the system first asks for DirectDraw, DirectSound or a
// library: the first frame, drawn before the probes, need not wait for it.
#include <cstdio>
#include <optional>
#include <string>

#include "hardware/directdraw_api.h"
#include "settings/file_system.h"
#include "simulated/posix_file_system.h"
#include "hardware/directsound_api.h"
#include "hardware/library_loader.h"
#include "simulated/command_line.h"
#include "simulated/machine_profile.h"
#include "simulated/simulated_machine.h"
#include "terminal/reference_profile.h"
#include "terminal/setup_in_terminal.h"

namespace {

// The reference machine's hardware, built on first use.
class BuiltInMachine final : public dx::DirectDrawApi,
                             public dx::DirectSoundApi,
                             public dll::LibraryLoader {
 public:
  // The machine, or null when its profile cannot be read (see Error).
  sim::SimulatedMachine* Get() {
    if (!m_tried) {
      m_tried = true;
      sim::ProfileResult profile =
          sim::ParseMachineProfile(term::kReferenceProfile, term::kReferenceProfileName);
      if (profile.error) {
        m_error = profile.error->ToString();
      } else {
        m_machine.emplace(std::move(*profile.machine));
        m_machine->SetInstallPath(std::nullopt);
      }
    }
    return m_machine ? &*m_machine : nullptr;
  }
  const std::optional<std::string>& Error() const { return m_error; }

  dx::HRESULT DirectDrawEnumerateExA(dx::LPDDENUMCALLBACKEXA callback, void* context,
                                     dx::DWORD flags) override {
    sim::SimulatedMachine* machine = Get();
    return machine != nullptr ? static_cast<dx::DirectDrawApi&>(*machine).DirectDrawEnumerateExA(
                                    callback, context, flags)
                              : dx::DDERR_GENERIC;
  }
  dx::HRESULT DirectDrawCreate(dx::GUID* driver, dx::IDirectDraw** result, void* outer) override {
    sim::SimulatedMachine* machine = Get();
    return machine != nullptr
               ? static_cast<dx::DirectDrawApi&>(*machine).DirectDrawCreate(driver, result, outer)
               : dx::DDERR_GENERIC;
  }
  dx::HRESULT DirectSoundEnumerateA(dx::LPDSENUMCALLBACKA callback, void* context) override {
    sim::SimulatedMachine* machine = Get();
    return machine != nullptr
               ? static_cast<dx::DirectSoundApi&>(*machine).DirectSoundEnumerateA(callback, context)
               : dx::DSERR_NODRIVER;
  }
  dx::HRESULT DirectSoundCreate(const dx::GUID* device, dx::IDirectSound** result,
                                void* outer) override {
    sim::SimulatedMachine* machine = Get();
    return machine != nullptr
               ? static_cast<dx::DirectSoundApi&>(*machine).DirectSoundCreate(device, result, outer)
               : dx::DSERR_NODRIVER;
  }
  dll::ModuleHandle LoadLibraryA(const char* name) override {
    sim::SimulatedMachine* machine = Get();
    return machine != nullptr ? static_cast<dll::LibraryLoader&>(*machine).LoadLibraryA(name)
                              : nullptr;
  }
  dll::ProcAddress GetProcAddress(dll::ModuleHandle module, const char* name) override {
    sim::SimulatedMachine* machine = Get();
    return machine != nullptr ? static_cast<dll::LibraryLoader&>(*machine).GetProcAddress(module, name)
                              : nullptr;
  }
  bool FreeLibrary(dll::ModuleHandle module) override {
    sim::SimulatedMachine* machine = Get();
    return machine != nullptr && static_cast<dll::LibraryLoader&>(*machine).FreeLibrary(module);
  }

 private:
  bool m_tried = false;
  std::optional<sim::SimulatedMachine> m_machine;
  std::optional<std::string> m_error;
};

}  // namespace

int main(int argc, char** argv) {
  const cli::Parser parser(
      "halcyra-setup",
      "Halcyra Setup in this terminal, on a simulated machine built into the program\n"
      "(the reference machine of profiles/reference.toml); the real hardware is never\n"
      "probed. options.ini is read from the current folder and written back there on OK.");
  if (const auto exit = parser.Parse(argc, argv, stdout, stderr)) return *exit;
  BuiltInMachine machine;
  dx::SetDirectDraw(&machine);
  dx::SetDirectSound(&machine);
  dll::SetLibraryLoader(&machine);
  // options.ini and the texture archives on this machine's files.
  posixfs::PosixFileSystem files;
  fs::SetFileSystem(&files);
  const int code = term::RunSetupInTerminal();
  fs::SetFileSystem(nullptr);
  dx::SetDirectDraw(nullptr);
  dx::SetDirectSound(nullptr);
  dll::SetLibraryLoader(nullptr);
  if (machine.Error()) {
    std::fprintf(stderr, "halcyra-setup: built-in machine: %s\n", machine.Error()->c_str());
    return 2;
  }
  // -1 from the system appears as 255, as a process exit status does.
  return code & 0xFF;
}
