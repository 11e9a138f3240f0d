// A plain-text report of what the hardware inventory and the Glide probe
// found, in the manner of a DirectX diagnostic dump.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hardware/glide.h"
#include "hardware/inventory.h"

namespace sim {

struct Machine;

// A GUID in its registry form, "{84E63DE0-46AA-11CF-816F-0000C020156E}".
std::string GuidString(const dx::GUID& guid);

// Why a record is unfit, in words; empty for a fit record.
std::string UnfitReason(const DisplayDriverRecord& record);

// The report: machine, display devices with fitness, modes and texture
// formats, sound devices with EAX, Glide board and modes, and the progress
// codes the inventory reported.
std::string InventoryReport(const Machine& machine, const HardwareInventory& inventory, const GlideBoardInfo& glide,
                            const std::vector<std::int32_t>& progress);

}  // namespace sim
