#include "settings/game_settings.h"

#include "app/ascii_text.h"

#include <cstdio>
#include <new>
#include <string_view>
#include <utility>

#include "settings/file_system.h"
#include "settings/install_directory.h"
#include "settings/profile_file.h"

GameSettings* g_pSettings = nullptr;

namespace {

constexpr const char* kGame = "Game";
constexpr const char* kPerformance = "Performance";
constexpr const char* kSound = "Sound";

// The content of the record's file; a file that cannot be read reads as an
// empty one, so every key takes its default.
profile::ProfileFile ReadProfile(const std::string& path) {
  std::optional<std::string> content = fs::TheFileSystem().ReadFile(path);
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
  std::printf("reading config from %s\n", iniPath->c_str());
  ReadFrom(ReadProfile(*iniPath));
}

void GameSettings::ReadFrom(const profile::ProfileFile& file) {
  const std::string rasterizerText = file.GetString(kGame, "Game Rasterizer", "undefined");
  rasterizer = ascii::EqualsIgnoringCase(rasterizerText, "undefined") ? RasterizerUndefined
                                                                : profile::ParseInt(rasterizerText);

  if (rasterizer == RasterizerDirect3D) {
    d3dGuid = file.GetString(kGame, "D3DGUID", "");
    ddGuid = file.GetString(kGame, "DDGUID", "");
  }

  const bool use16Bit =
      profile::ParseInt(file.GetString(kPerformance, "Use16BitTextures",
                                       rasterizer == RasterizerDirect3D ? "1" : "0")) != 0;
  const bool useCompressed =
      profile::ParseInt(file.GetString(kPerformance, "UseCompressedTextures", "0")) != 0;
  textureMode = useCompressed ? TexturesCompressed : use16Bit ? Textures16Bit : Textures8Bit;

  screenWidth = profile::ParseInt(file.GetString(kGame, "GameScreenWidth", "640"));
  screenHeight = profile::ParseInt(file.GetString(kGame, "GameScreenHeight", "480"));
  screenDepth = profile::ParseInt(file.GetString(kGame, "GameScreenDepth", "16"));

  mipMapLevel = static_cast<std::uint8_t>(
      static_cast<std::uint32_t>(profile::ParseInt(file.GetString(kGame, "GameMipMapLevel", "0"))) &
      0xFFu);

  enableAcoustics = file.GetString(kSound, "EnableAcoustics", "1") == "0" ? 0 : 1;
}

void GameSettings::WriteTo(profile::ProfileFile& file) const {
  if (rasterizer == RasterizerDirect3D || rasterizer == RasterizerGlide) {
    file.WriteString(kGame, "Game Rasterizer", std::to_string(rasterizer));
  }

  const char* use16Bit = nullptr;
  const char* useCompressed = nullptr;
  switch (textureMode) {
    case Textures8Bit:
      use16Bit = "0";
      useCompressed = "0";
      break;
    case Textures16Bit:
      use16Bit = "1";
      useCompressed = "0";
      break;
    case TexturesCompressed:
      use16Bit = "1";
      useCompressed = "1";
      break;
    default:
      break;
  }
  if (use16Bit != nullptr) {
    file.WriteString(kPerformance, "Use16BitTextures", use16Bit);
    file.WriteString(kPerformance, "UseCompressedTextures", useCompressed);
  }

  if (rasterizer == RasterizerDirect3D) {
    file.WriteString(kGame, "D3DGUID", d3dGuid);
    file.WriteString(kGame, "DDGUID", ddGuid);
  }

  file.WriteString(kGame, "GameScreenWidth", std::to_string(screenWidth));
  file.WriteString(kGame, "GameScreenHeight", std::to_string(screenHeight));
  file.WriteString(kGame, "GameScreenDepth", std::to_string(screenDepth));
  file.WriteString(kGame, "GameMipMapLevel", std::to_string(static_cast<unsigned>(mipMapLevel)));
  file.WriteString(kSound, "EnableAcoustics", enableAcoustics != 0 ? "1" : "0");
}

bool GameSettings::Save(std::string* written) {
  fs::FileSystem& files = fs::TheFileSystem();
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

  const fs::WriteResult result = files.ReplaceFile(*iniPath, updated);
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
  fs::FileSystem& files = fs::TheFileSystem();
  const std::string path = JoinPath(directory, "options.ini");
  const std::optional<std::string> copy = files.VirtualStorePath(path);
  return copy && files.Exists(*copy) ? *copy : path;
}

void CreateSettingsAtDialogStart() {
  ReadInstallDirectory(InstallDirectory);
  if (g_pSettings != nullptr) return;
  const std::string path = OptionsPathIn(InstallDirectory);
  if (fs::TheFileSystem().CanOpenForReading(path)) {
    g_pSettings = new GameSettings(path);
  } else {
    // Nothing to load: the page starts from the defaults, and OK writes them
    // into this file (creating it when it is missing).
    g_pSettings = new GameSettings();
    g_pSettings->iniPath = path;
  }
}
