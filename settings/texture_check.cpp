#include "settings/texture_check.h"

#include <optional>

#include "settings/file_system.h"
#include "settings/install_directory.h"
#include "settings/profile_file.h"

const char* TextureArchiveName(int useCompressedTextures, int use16BitTextures) {
  // Only the value 1 counts as set; the compressed flag is tested first.
  if (useCompressedTextures == 1) return "bitmapc.flx";
  if (use16BitTextures == 1) return "bitmap16.flx";
  return "bitmapsh.flx";
}

bool TextureSetCheck() {
  ReadInstallDirectory(InstallDirectory, kInstallDirectorySize);
  const std::string optionsPath = JoinPath(InstallDirectory, "options.ini");
  const std::string staticDirectory = JoinPath(InstallDirectory, "static");

  fs::FileSystem& files = fs::TheFileSystem();
  std::optional<std::string> content = files.ReadFile(optionsPath);
  const profile::ProfileFile options =
      content ? profile::ProfileFile(std::move(*content)) : profile::ProfileFile();
  const int useCompressed = options.GetInt("Performance", "UseCompressedTextures", 0);
  const int use16Bit = options.GetInt("Performance", "Use16BitTextures", 0);

  return files.CanOpenForUpdate(
      JoinPath(staticDirectory, TextureArchiveName(useCompressed, use16Bit)));
}
