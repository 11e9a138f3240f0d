#include "settings/game_settings.h"

#include "base/ascii_text.h"
#include "base/printable_text.h"

#include <cstdio>
#include <iterator>
#include <new>
#include <string_view>
#include <utility>

#include "settings/file_system.h"
#include "settings/install_directory.h"
#include "settings/profile_file.h"

namespace halcyra {

GameSettings* g_pSettings = nullptr;

namespace {

// The keys of the record besides the texture keys; read by Load, written by
// Save.
constexpr const char* kRasterizerKey = "Game Rasterizer";
constexpr const char* kD3dGuidKey = "D3DGUID";
constexpr const char* kDdGuidKey = "DDGUID";
constexpr const char* kScreenWidthKey = "GameScreenWidth";
constexpr const char* kScreenHeightKey = "GameScreenHeight";
constexpr const char* kScreenDepthKey = "GameScreenDepth";
constexpr const char* kMipMapLevelKey = "GameMipMapLevel";
constexpr const char* kAcousticsKey = "EnableAcoustics";

// The content of the record's file; a file that cannot be read reads as an
// empty one, so every key takes its default.
profile::ProfileFile ReadProfile(const std::string& path) {
  std::optional<std::string> content = filesys::FileSystemSlot::Get().ReadFile(path);
  return content ? profile::ProfileFile(std::move(*content)) : profile::ProfileFile();
}

}  // namespace

GameSettings::GameSettings() = default;

GameSettings::GameSettings(const std::string& path) {
  try {
    iniPath = path;
  } catch (const std::bad_alloc&) {
    iniPath.reset();
  }
  Load();
}

GameSettings::~GameSettings() = default;

void GameSettings::Load() {
  if (!iniPath) return;
  // The folder comes from the registry or the command line: its controls
  // are escaped so that a folder's name cannot drive the terminal.
  std::printf("reading config from %s\n", printable::Escape(*iniPath).c_str());
  ReadFrom(ReadProfile(*iniPath));
}

void GameSettings::ReadFrom(const profile::ProfileFile& file) {
  const std::string rasterizerText = file.GetString(kGameSection, kRasterizerKey, "undefined");
  rasterizer = ascii::EqualsIgnoringCase(rasterizerText, "undefined") ? RasterizerUndefined
                                                                : profile::ParseInt(rasterizerText);

  if (rasterizer == RasterizerDirect3D) {
    d3dGuid = file.GetString(kGameSection, kD3dGuidKey, "");
    ddGuid = file.GetString(kGameSection, kDdGuidKey, "");
  }

  const bool use16Bit =
      profile::ParseInt(file.GetString(kPerformanceSection, kUse16BitTexturesKey,
                                       rasterizer == RasterizerDirect3D ? "1" : "0")) != 0;
  const bool useCompressed =
      profile::ParseInt(file.GetString(kPerformanceSection, kUseCompressedTexturesKey, "0")) != 0;
  textureMode = TextureModeFromKeys(use16Bit, useCompressed).mode;

  screenWidth = profile::ParseInt(file.GetString(kGameSection, kScreenWidthKey, "640"));
  screenHeight = profile::ParseInt(file.GetString(kGameSection, kScreenHeightKey, "480"));
  screenDepth = profile::ParseInt(file.GetString(kGameSection, kScreenDepthKey, "16"));

  mipMapLevel = static_cast<std::uint8_t>(
      static_cast<std::uint32_t>(profile::ParseInt(file.GetString(kGameSection, kMipMapLevelKey, "0"))) &
      0xFFu);

  enableAcoustics = file.GetString(kSoundSection, kAcousticsKey, "1") == "0" ? 0 : 1;
}

void GameSettings::WriteTo(profile::ProfileFile& file) const {
  if (rasterizer == RasterizerDirect3D || rasterizer == RasterizerGlide) {
    file.WriteString(kGameSection, kRasterizerKey, std::to_string(rasterizer));
  }

  // A mode outside the table leaves both keys as the file has them.
  if (textureMode < std::size(kTextureModes)) {
    const TextureModeKeys& keys = kTextureModes[textureMode];
    file.WriteString(kPerformanceSection, kUse16BitTexturesKey, keys.use16Bit);
    file.WriteString(kPerformanceSection, kUseCompressedTexturesKey, keys.useCompressed);
  }

  if (rasterizer == RasterizerDirect3D) {
    file.WriteString(kGameSection, kD3dGuidKey, d3dGuid);
    file.WriteString(kGameSection, kDdGuidKey, ddGuid);
  }

  file.WriteString(kGameSection, kScreenWidthKey, std::to_string(screenWidth));
  file.WriteString(kGameSection, kScreenHeightKey, std::to_string(screenHeight));
  file.WriteString(kGameSection, kScreenDepthKey, std::to_string(screenDepth));
  file.WriteString(kGameSection, kMipMapLevelKey, std::to_string(static_cast<unsigned>(mipMapLevel)));
  file.WriteString(kSoundSection, kAcousticsKey, enableAcoustics != 0 ? "1" : "0");
}

bool GameSettings::Save(std::string* written) {
  filesys::FileSystem& files = filesys::FileSystemSlot::Get();
  // The writes go into the file as it is now, so that whatever else it holds
  // (the game's own keys, the player's comments) survives. A missing file
  // starts empty.
  std::optional<std::string> original;
  bool missing = false;
  if (iniPath) {
    original = files.ReadFile(*iniPath);
    missing = !original && !files.Exists(*iniPath);
  }
  const bool read = original.has_value();
  // The bytes read become the file's text, and Content() is the one copy.
  profile::ProfileFile file(read ? std::move(*original) : std::string());
  WriteTo(file);
  // The new content is made once, straight into the caller's string when
  // there is one.
  std::string kept;
  std::string& updated = written != nullptr ? *written : kept;
  updated = file.Content();

  if (!iniPath) return true;
  // A file that is there but cannot be read is not overwritten: its content
  // would be lost.
  if (!read && !missing) return false;
  if (read && file.IsUnchangedBy(updated)) return true;  // the file already holds the record

  const filesys::WriteResult result = files.ReplaceFile(*iniPath, updated);
  if (result) return true;
  if (!result.denied) return false;

  // Refused for want of rights: where Windows would have virtualized the
  // game's own write, the record goes where the game will read it. A copy
  // that exists already was the file loaded and saved, unless it appeared
  // since; it is not overwritten here.
  const std::optional<std::string> copy = files.VirtualStorePath(*iniPath);
  if (!copy || files.Exists(*copy) || !files.MakeDirectories(ParentDirectory(*copy))) return false;
  if (!files.ReplaceFile(*copy, updated)) return false;
  iniPath = *copy;
  return true;
}

CommitResult CommitSettings() {
  CommitResult result;
  if (g_pSettings != nullptr) {
    result.saved = g_pSettings->Save(&result.options);
    delete g_pSettings;
  }
  g_pSettings = nullptr;
  return result;
}

std::string OptionsPathIn(const std::string& directory) {
  filesys::FileSystem& files = filesys::FileSystemSlot::Get();
  const std::string path = JoinPath(directory, kOptionsFileName);
  const std::optional<std::string> copy = files.VirtualStorePath(path);
  return copy && files.Exists(*copy) ? *copy : path;
}

void CreateSettingsAtDialogStart() {
  ReadInstallDirectory(InstallDirectory);
  if (g_pSettings != nullptr) return;
  const std::string path = OptionsPathIn(InstallDirectory);
  if (filesys::FileSystemSlot::Get().CanOpenForReading(path)) {
    g_pSettings = new GameSettings(path);
  } else {
    // Nothing to load: the page starts from the defaults, and OK writes them
    // into this file (creating it when it is missing).
    g_pSettings = new GameSettings();
    g_pSettings->iniPath = path;
  }
}

}  // namespace halcyra
