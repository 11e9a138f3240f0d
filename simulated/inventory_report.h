// The hardware report a player sends to support, in the manner of a DirectX
// diagnostic dump: the program, date, Windows version, install folder and
// the current choices of options.ini first, then what the hardware
// inventory and the Glide probe found, and every platform call with its
// number and result. Every coded value stands next to its meaning.
//
// The same run serves halcyra-report.exe on Windows and halcyra-sim on a
// simulated machine: RunProbes takes the steps Halcyra Setup takes when its
// sheet opens, under a capture (machine_capture.h) of the platform in use.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hardware/glide.h"
#include "hardware/inventory.h"
#include "simulated/machine_capture.h"
#include "simulated/machine_profile.h"

namespace sim {

// A GUID in its registry form, "{84E63DE0-46AA-11CF-816F-0000C020156E}".
std::string GuidString(const dx::GUID& guid);

// Why a record is unfit, in words; empty for a fit record.
std::string UnfitReason(const halcyra::DisplayDriverRecord& record);

// What one run of the probes saw.
struct ProbeRun {
  ProbeRun();
  ~ProbeRun();
  ProbeRun(ProbeRun&&) noexcept;
  ProbeRun& operator=(ProbeRun&&) noexcept;

  std::string installFolder;           // as Halcyra Setup reads it; "." without the registry value
  std::optional<std::string> options;  // options.ini's content; none: it cannot be read
  std::vector<std::int32_t> progress;
  Machine captured;                    // the platform's answers as a profile
  std::vector<ObservedCall> calls;
  std::unique_ptr<halcyra::HardwareInventory> inventory;
  std::unique_ptr<halcyra::GlideBoardInfo> glide;
};

// Reads the install folder from the registry and options.ini from it,
// builds the inventory and probes Glide, in Halcyra Setup's order, with the
// platform captured.
ProbeRun RunProbes();

struct ReportHeader {
  std::string program;  // "halcyra-report", "halcyra-sim"
  std::string date;     // "2026-12-07"
  std::string windows;  // the Windows version, or what stands in its place
};

// Today's date as YYYY-MM-DD.
std::string Today();

// The report.
std::string SupportReport(const ReportHeader& header, const ProbeRun& run);

// The captured profile with the header's program, version, date and system.
std::string CapturedProfile(const ReportHeader& header, const ProbeRun& run);

// What halcyra-report.txt holds: the report, then the profile after the
// marker line (EmbeddedProfileMarkerLine: kEmbeddedProfileMarker with the
// profile's length and checksum), so that one file carries both and
// halcyra-sim --machine reads it as the profile, or refuses it when it was
// cut or altered on its way.
std::string SupportFile(const ReportHeader& header, const ProbeRun& run);

// The options.ini that a report's "Current choices in options.ini" lines
// describe: the record they show written as a save writes it (CR LF line
// ends, every key of the record and nothing else), or nullopt when the
// report says options.ini could not be read or holds no such lines.
std::optional<std::string> OptionsFromReport(std::string_view report);

}  // namespace sim
