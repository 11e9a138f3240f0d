// The OK step's check that the texture archive for the saved texture
// setting is present.
#pragma once

#include <string>

namespace halcyra {

// Picks the archive by the two "Performance" keys of `options` (the text of
// options.ini as the save left it, or as the save would have left it had it
// succeeded, so the check judges the player's choice) and tries to open it
// for reading in the "static" folder of InstallDirectory. Returns true when
// it could be opened (and closed again).
bool TextureSetCheck(const std::string& options);

// The archive file name for the two keys' integer values: "bitmapc.flx",
// "bitmap16.flx" or "bitmapsh.flx".
const char* TextureArchiveName(int useCompressedTextures, int use16BitTextures);

}  // namespace halcyra
