#include "settings/texture_check.h"

#include "settings/file_system.h"
#include "settings/game_settings.h"
#include "settings/install_directory.h"
#include "settings/profile_file.h"

namespace halcyra {

const char* TextureArchiveName(int useCompressedTextures, int use16BitTextures) {
  // Only the value 1 counts as set.
  return TextureModeFromKeys(use16BitTextures == 1, useCompressedTextures == 1).archive;
}

bool TextureSetCheck(const std::string& options) {
  // Two keys of one section: read where they stand, without a copy of the
  // text or an index of the whole file.
  const int useCompressed =
      profile::ProfileFile::ReadInt(options, kPerformanceSection, kUseCompressedTexturesKey, 0);
  const int use16Bit = profile::ProfileFile::ReadInt(options, kPerformanceSection, kUse16BitTexturesKey, 0);
  // The game only reads the archive: one the player may read but not write
  // (a standard user's "Program Files") is installed.
  const std::string staticDirectory = JoinPath(InstallDirectory, "static");
  return filesys::FileSystemSlot::Get().CanOpenForReading(
      JoinPath(staticDirectory, TextureArchiveName(useCompressed, use16Bit)));
}

}  // namespace halcyra
