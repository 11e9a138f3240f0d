// The OK step's check that the texture archive for the saved texture
// setting is present.
#pragma once

#include <string>

// Reads the install directory again, picks the archive by the two
// "Performance" keys of options.ini as saved, and tries to open it for
// update. Returns true when it could be opened (and closed again).
bool TextureSetCheck();

// The archive file name for the two keys' integer values: "bitmapc.flx",
// "bitmap16.flx" or "bitmapsh.flx".
const char* TextureArchiveName(int useCompressedTextures, int use16BitTextures);
