// Drawing: a pure function from the dialog model's state, the front end's
// focus and open list, and the terminal's size and abilities to a grid of
// cells. Nothing here touches the terminal.
#pragma once

#include "dialog_model/sheet_model.h"
#include "terminal/grid.h"
#include "terminal/layout.h"
#include "terminal/view_state.h"

namespace term {

// What the terminal can show.
struct Caps {
  int colors = 256;     // 0 (none), 8, 16, 256 or kDirectColors (any 24-bit colour)
  bool unicode = true;  // box-drawing and block characters; else ASCII only
};

// The text of the wait state, shown while the hardware is probed.
inline constexpr char32_t kWaitText[] = U"Detecting hardware\u2026";
inline constexpr char32_t kWaitTextAscii[] = U"Detecting hardware...";

Grid Render(const dm::SheetModel& sheet, const ViewState& state, const SheetLayout& layout,
            const Caps& caps);
Grid Render(const dm::SheetModel& sheet, const ViewState& state, Size term, const Caps& caps);

// The pixels of bitmap `id` scaled to fit `cols` x `rows` half-height
// pixels (two a cell, upper then lower), centred on a `fill` background;
// row-major, `cols` x (2 * `rows`) values.
std::vector<Color> ComputePictureCells(int id, int cols, int rows, Color fill);
// The same, cached: redraws reuse it.
const std::vector<Color>& PictureCells(int id, int cols, int rows, Color fill);
// The pixels for a terminal of `colors` palette colours (8, 16 or 256):
// each one a colour of the palette, spread by error diffusion so that the
// picture keeps its shades; `fill`, the background, stays as it is.
std::vector<Color> DitherToPalette(const std::vector<Color>& pixels, int cols, Color fill, int colors);
// PictureCells turned to the palette, cached.
const std::vector<Color>& PalettePictureCells(int id, int cols, int rows, Color fill, int colors);
// Puts pixels computed before (at build time) into the cache.
void PreloadPictureCells(int id, int cols, int rows, Color fill, std::vector<Color> cells);
// The background the pictures are drawn on, in colour.
Color PictureBackground();

}  // namespace term
