// Capturing a machine: a recording layer around the platform interfaces the
// probes use (DirectDraw and Direct3D, DirectSound, the library loader with
// glide2x.dll, the registry). It passes every call through to the platform
// that was installed before it, unchanged, and notes what the platform
// answered, so that the same probes on the real machine or on a simulated
// one yield a machine profile that plays those answers back.
//
// Calls are numbered as the simulated machine's fault injection counts them:
// every call except the releases, FreeLibrary, RegCloseKey and the void
// Glide calls counts, in the order in which the calls begin.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "simulated/machine_profile.h"

namespace sim {

// One platform call as the capture saw it.
struct ObservedCall {
  std::uint64_t number = 0;  // 1, 2, ... for the calls that can fail; 0 for the others
  std::string name;          // "DirectDrawCreate", "IDirectDraw4::CreateSurface", ...
  std::string detail;        // what the call was about: driver, device, mode
  std::int64_t result = 0;
  bool failed = false;       // by the rule of its platform
  std::string ToString() const;  // "IDirect3D3::CreateDevice (driver 1, HAL) = 0x80004005 (E_FAIL: failed)"
};

class MachineCapture {
 public:
  // Installs the recording layer over the platform in use.
  MachineCapture();
  // Puts the platform back.
  ~MachineCapture();
  MachineCapture(const MachineCapture&) = delete;
  MachineCapture& operator=(const MachineCapture&) = delete;

  // The profile of what the platform answered so far. Name, description
  // and capture notes are the caller's; `capture` holds the failed calls.
  Machine Captured() const;
  const std::vector<ObservedCall>& Calls() const;
  // The first board's Glide configuration as the library reported it was
  // read; false when grSstQueryHardware was never called.
  bool GlideHardwareQueried() const;

  class Recorder;

 private:
  std::unique_ptr<Recorder> m_recorder;
};

// The meaning of a platform result in words: "ok", "E_FAIL: failed",
// "DDERR_INVALIDPIXELFORMAT: failed", "ERROR_FILE_NOT_FOUND: not found".
std::string ResultMeaning(const std::string& call, std::int64_t result);

}  // namespace sim
