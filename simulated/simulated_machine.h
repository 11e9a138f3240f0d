// The simulated machine: DirectDraw/Direct3D, DirectSound, the library loader
// with a simulated "glide2x.dll", and the registry, all played from a
// machine profile.
//
// Every platform call is recorded in order. Every object handed out is kept
// until the machine is destroyed, so that a Release too many or too few, or a
// call on a released object, is found rather than crashing; ReleaseProblems
// lists them. For fault injection, FailCall(n) makes the n-th fallible call
// fail (every call except the releases and the void Glide calls is fallible).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "hardware/directdraw_api.h"
#include "hardware/directsound_api.h"
#include "hardware/glide_library.h"
#include "hardware/library_loader.h"
#include "settings/registry.h"
#include "simulated/machine_profile.h"

namespace sim {

// One platform call as the machine saw it.
struct CallRecord {
  std::string name;    // "DirectDrawCreate", "IDirectDraw4::CreateSurface", "grGlideInit", ...
  std::string detail;  // the arguments that tell calls apart
  std::int64_t result = 0;
  bool fallible = false;
  bool injected = false;  // failed because of FailCall
  // Where the call landed: indexes into the profile's lists, -1 for none.
  int driver = -1;
  int device = -1;
  int mode = -1;   // the driver's mode that CreateSurface matched
  int sound = -1;
  bool duringDriverEnumeration = false;
  // Calls after the driver enumeration: how many DirectDrawCreate calls
  // had been made after it (so 0 for the first probed record), and how many
  // CreateSurface calls since the last of them.
  int probeOrdinal = -1;
  int surfaceAttempt = -1;
  std::string ToString() const;
};

class SimObject;

class SimulatedMachine final : public dx::DirectDrawApi,
                               public dx::DirectSoundApi,
                               public dll::LibraryLoader,
                               public reg::Registry {
 public:
  explicit SimulatedMachine(Machine machine);
  ~SimulatedMachine() override;
  SimulatedMachine(const SimulatedMachine&) = delete;
  SimulatedMachine& operator=(const SimulatedMachine&) = delete;

  // Makes this machine the process's DirectDraw, DirectSound and library
  // loader. The registry is installed by the host (reg::RegistrySlot).
  void Install();
  void Uninstall();

  const Machine& GetMachine() const { return m_machine; }
  void SetInstallPath(std::optional<std::string> path);

  // Fault injection: the n-th fallible call (counting from 1) fails; 0 for
  // none. Counting starts again at each call of FailCall.
  void FailCall(std::uint64_t n);
  std::uint64_t FallibleCallCount() const { return m_fallibleCalls; }
  // The call that failed by injection, if any.
  std::optional<CallRecord> InjectedCall() const;

  // The call log; off, calls are still counted but not recorded.
  void SetLogging(bool on) { m_logging = on; }
  bool Logging() const { return m_logging; }
  const std::vector<CallRecord>& Calls() const { return m_calls; }
  std::vector<std::string> CallNames() const;
  void ClearCalls() { m_calls.clear(); }

  // Every object handed out that was not released exactly once, every
  // library not freed exactly once, and every call that broke the
  // platform's rules (a call on a released object, a foreign surface,
  // an unpaired Glide init or shutdown). Empty when all is well.
  std::vector<std::string> ReleaseProblems() const;
  std::size_t ObjectCount() const { return m_objects.size(); }
  // Forgets every object, call and finding, as if the machine had just been
  // built (for running the probes many times on one machine).
  void Reset();
  std::size_t OpenRegistryKeys() const { return m_openKeys.size(); }

  // dx::DirectDrawApi
  dx::HRESULT DirectDrawEnumerateExA(dx::LPDDENUMCALLBACKEXA callback, void* context, dx::DWORD flags) override;
  dx::HRESULT DirectDrawCreate(dx::GUID* driver, dx::IDirectDraw** result, void* outer) override;
  // dx::DirectSoundApi
  dx::HRESULT DirectSoundEnumerateA(dx::LPDSENUMCALLBACKA callback, void* context) override;
  dx::HRESULT DirectSoundCreate(const dx::GUID* device, dx::IDirectSound** result, void* outer) override;
  // dll::LibraryLoader
  dll::ModuleHandle LoadLibraryA(const char* name) override;
  dll::ProcAddress GetProcAddress(dll::ModuleHandle module, const char* name) override;
  bool FreeLibrary(dll::ModuleHandle module) override;
  // reg::Registry
  long CreateKeyEx(reg::HKEY root, const std::string& subKey, std::uint32_t access, reg::HKEY* result) override;
  long QueryValueEx(reg::HKEY key, const std::string& name, std::uint32_t* type, char* data,
                    std::uint32_t* size) override;
  long CloseKey(reg::HKEY key) override;

  // Used by the simulated objects and the Glide exports.
  struct Call {
    std::size_t index;  // into the log, or npos when not logging
    bool fail;          // this call is to fail by injection
  };
  Call Begin(const char* name, std::string detail, bool fallible, const SimObject* self);
  // `make()` when calls are logged, else nothing: details cost only when kept.
  template <typename Make>
  std::string Detail(Make make) const {
    return m_logging ? std::string(make()) : std::string();
  }
  CallRecord& Record(const Call& call);
  void Violation(std::string what) { m_violations.push_back(std::move(what)); }
  template <typename Object, typename... Args>
  Object* Make(Args&&... args) {
    auto object = std::make_unique<Object>(*this, std::forward<Args>(args)...);
    Object* raw = object.get();
    m_objects.push_back(std::move(object));
    return raw;
  }
  Driver& DriverAt(int index) { return m_machine.drivers[static_cast<std::size_t>(index)]; }
  SoundDevice& SoundAt(int index) { return m_machine.soundDevices[static_cast<std::size_t>(index)]; }
  int CurrentDevice() const { return m_currentDevice; }
  // Counts one CreateSurface attempt of the record being probed.
  void NextSurfaceAttempt() { ++m_surfaceAttempt; }
  void SetCurrentDevice(int device) { m_currentDevice = device; }
  // The simulated Glide exports.
  glide::FxBool GlideQueryBoards(glide::GrHwConfiguration* config);
  glide::FxBool GlideQueryHardware(glide::GrHwConfiguration* config);
  void GlideInit();
  void GlideShutdown();
  void GlideSelect(int board);

 private:
  int FindDriver(const dx::GUID* guid) const;
  int FindSoundDevice(const dx::GUID* guid) const;

  Machine m_machine;
  bool m_installed = false;
  bool m_logging = true;
  std::vector<CallRecord> m_calls;
  CallRecord m_scratch;
  std::uint64_t m_failAt = 0;
  std::uint64_t m_fallibleCalls = 0;
  std::optional<CallRecord> m_injected;  // when not logging
  std::size_t m_injectedIndex = static_cast<std::size_t>(-1);  // into the log
  std::vector<std::unique_ptr<SimObject>> m_objects;
  std::vector<std::string> m_violations;
  struct GuidHash {
    std::size_t operator()(const std::array<unsigned char, 16>& key) const;
  };
  std::unordered_map<std::array<unsigned char, 16>, int, GuidHash> m_driverByGuid;
  std::unordered_map<std::array<unsigned char, 16>, int, GuidHash> m_soundByGuid;
  bool m_inDriverEnumeration = false;
  bool m_driverEnumerationDone = false;
  int m_probeOrdinal = -1;
  int m_surfaceAttempt = -1;
  int m_currentDevice = -1;
  int m_currentDriver = -1;
  int m_glideInits = 0;
  // Registry: keys by lower-case path; open handles.
  std::map<std::string, std::map<std::string, std::string>> m_keys;
  std::map<reg::HKEY, std::string> m_openKeys;
  reg::HKEY m_nextKey = 0x1000;

  friend class SimObject;
};

// The machine's objects: one per interface handed out.
class SimObject {
 public:
  // `kind` and `releaseName` are string literals.
  SimObject(SimulatedMachine& machine, const char* kind, const char* releaseName, int driver, int device, int sound);
  virtual ~SimObject() = default;
  SimObject(const SimObject&) = delete;
  SimObject& operator=(const SimObject&) = delete;

  const char* Kind() const { return m_kind; }
  int Releases() const { return m_releases; }
  std::string Label() const;
  bool Released() const { return m_releases > 0; }

 protected:
  // Counts and logs one release.
  dx::ULONG DoRelease();
  SimulatedMachine& m_machine;
  const char* m_kind;
  const char* m_releaseName;
  int m_driver;
  int m_device;
  int m_sound;
  int m_releases = 0;
  int m_id;
};

}  // namespace sim
