// The Glide configuration block of a simulated board, both ways: filled from
// a profile's [glide] fields, and read back into them from a block that a
// library filled.
#pragma once

#include "hardware/glide_library.h"
#include "simulated/machine_profile.h"

namespace sim {

// Fills board `index` of `config` (its type and configuration) as the
// simulated library reports it for `glide`.
void FillGlideBoard(const Glide& glide, int index, glide::GrHwConfiguration& config);

// The [glide] fields that describe board 0 of `config`: type, frame-buffer
// and texture memory, texture units and interleave, each within the
// profile's ranges. When those fields would not fill the block exactly as it
// stands, the block's words are kept in `config` as well.
void DecodeGlideBoard(const glide::GrHwConfiguration& config, Glide& glide);

}  // namespace sim
