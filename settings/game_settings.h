// The settings record of the game and its text form in options.ini.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace profile {
class ProfileFile;
}

constexpr std::int32_t RasterizerUndefined = 0;
constexpr std::int32_t RasterizerDirect3D = 2;
constexpr std::int32_t RasterizerGlide = 3;

constexpr std::uint8_t Textures8Bit = 0;
constexpr std::uint8_t Textures16Bit = 1;
constexpr std::uint8_t TexturesCompressed = 2;

// At most this many characters of a text value are read from options.ini.
constexpr std::size_t kMaxValueLength = 255;

class GameSettings {
 public:
  // Defaults, no file: Load and Save do nothing.
  GameSettings();
  // Defaults, then loads `path`.
  explicit GameSettings(const std::string& path);
  ~GameSettings();
  GameSettings(const GameSettings&) = delete;
  GameSettings& operator=(const GameSettings&) = delete;

  void Load();
  // Writes the record into its file in one replace. True when the file now
  // holds the record, or when the record has no file; false when the file
  // could not be written (it is then left as it was).
  bool Save();

  // The reads of Load and the writes of Save, in their order, on a profile
  // file held in memory.
  void ReadFrom(const profile::ProfileFile& file);
  void WriteTo(profile::ProfileFile& file) const;

  std::int32_t rasterizer = RasterizerUndefined;
  std::uint8_t textureMode = Textures8Bit;
  std::string d3dGuid;  // at most kMaxValueLength characters
  std::string ddGuid;   // at most kMaxValueLength characters
  std::int32_t screenWidth = 640;
  std::int32_t screenHeight = 480;
  std::int32_t screenDepth = 16;
  std::uint8_t mipMapLevel = 0;
  std::uint8_t enableAcoustics = 0;
  std::optional<std::string> iniPath;
};

// The one settings record of the process; null until the 3D page creates it,
// null again after CommitSettings.
extern GameSettings* g_pSettings;

// Saves g_pSettings (when set), destroys it and clears the pointer. Returns
// the result of the save (true when there was nothing to save).
bool CommitSettings();

// The creation of the record when the 3D page initialises: reads the
// install directory, and when g_pSettings is still null creates it from
// "<dir>\options.ini" when that file can be opened, else with defaults.
void CreateSettingsAtDialogStart();
