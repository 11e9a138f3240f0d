// The settings record of the game and its text form in options.ini.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace profile {
class ProfileFile;
}

namespace halcyra {

constexpr std::int32_t RasterizerUndefined = 0;
constexpr std::int32_t RasterizerDirect3D = 2;
constexpr std::int32_t RasterizerGlide = 3;

constexpr std::uint8_t Textures8Bit = 0;
constexpr std::uint8_t Textures16Bit = 1;
constexpr std::uint8_t TexturesCompressed = 2;

// The file of the record in the game's folder, and its sections.
constexpr const char* kOptionsFileName = "options.ini";
constexpr const char* kGameSection = "Game";
constexpr const char* kPerformanceSection = "Performance";
constexpr const char* kSoundSection = "Sound";
// The two keys of the texture mode, in kPerformanceSection.
constexpr const char* kUse16BitTexturesKey = "Use16BitTextures";
constexpr const char* kUseCompressedTexturesKey = "UseCompressedTextures";

// A texture mode: the two keys' values the save writes for it, and the
// archive in the game's "static" folder that the game then reads.
struct TextureModeKeys {
  std::uint8_t mode;
  const char* use16Bit;
  const char* useCompressed;
  const char* archive;
};

// Indexed by the mode.
inline constexpr TextureModeKeys kTextureModes[] = {
    {Textures8Bit, "0", "0", "bitmapsh.flx"},
    {Textures16Bit, "1", "0", "bitmap16.flx"},
    {TexturesCompressed, "1", "1", "bitmapc.flx"},
};

// The mode the two keys select: the compressed key wins over the 16-bit one.
constexpr const TextureModeKeys& TextureModeFromKeys(bool use16Bit, bool useCompressed) {
  return kTextureModes[useCompressed ? TexturesCompressed : use16Bit ? Textures16Bit : Textures8Bit];
}

// At most this many characters of a text value are read from options.ini.
constexpr std::size_t kMaxValueLength = 255;

// Why a save did not reach the file; each has a text of its own in box 106.
enum class SaveFailure {
  kNone,
  kReadOnlyFile,   // the file is marked read-only
  kNoRights,       // the folder may not be changed and the file may not be written
  kFolderMissing,  // the folder does not exist
  kUnreadable,     // the file could not be read (now, or when the sheet opened)
  kNoGameFolder,   // no folder holds the game (see CreateSettingsAtDialogStart)
  kOther,          // a full disk, a file another program holds, and the like
};

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
  // Writes the record into its file, keeping everything else the file holds;
  // a file that does not exist is created (its folder must exist). True when
  // the file now holds the record, or when the record has no file; false
  // when the file could not be written or could not be read (it is then left
  // as it was: a file that cannot be read is never overwritten). `written`,
  // when given, receives the text the file holds afterwards, or would hold
  // had the save succeeded.
  //
  // When the folder may not be changed, the file is missing or may not be
  // written, and Windows would virtualize the game's write (the program runs
  // without elevation, the folder lies in a virtualized location, the user
  // has no VirtualStore copy yet), the record goes into the user's
  // VirtualStore copy, where the game will read it; `iniPath` then names
  // that copy.
  //
  // A file that stood but could not be read when the sheet opened
  // (`unreadableAtStart`) is never written, even once it can be read: its
  // content was never seen. With `alsoSaveTo` set the record is written into
  // that file too, each file keeping its own other keys.
  //
  // `failure`, when given, receives why the save failed, and `failedPath` the
  // file (or, for kNoGameFolder, the folder) it concerns.
  bool Save(std::string* written = nullptr, SaveFailure* failure = nullptr,
            std::string* failedPath = nullptr);

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
  // options.ini stood but could not be read when the record was made.
  bool unreadableAtStart = false;
  // A second file that Save writes: the install folder's own options.ini
  // when an elevated run loaded the user's VirtualStore copy, so that the
  // game reads the choices whether it is started normally or elevated.
  std::optional<std::string> alsoSaveTo;
  // Set when no folder holds the game: the folder looked in. Save then
  // writes nothing and fails with kNoGameFolder.
  std::optional<std::string> noGameFolder;
};

// The one settings record of the process; null until the 3D page creates it,
// null again after CommitSettings.
extern GameSettings* g_pSettings;

// What CommitSettings did.
struct CommitResult {
  bool saved = true;  // false: the record could not be written
  SaveFailure failure = SaveFailure::kNone;
  // The file the failure concerns (for kNoGameFolder: the folder looked in).
  std::string failedPath;
  // options.ini's text after the save, or the text it would hold had the
  // save succeeded: the texture choice the OK step's archive check judges.
  std::string options;
  explicit operator bool() const { return saved; }
};

// Saves g_pSettings (when set); when the save succeeded, destroys it and
// clears the pointer. A record that could not be saved stays, with every
// choice, so that the player may try again. `saved` is true when there was
// nothing to save.
CommitResult CommitSettings();

// The options.ini of an install folder that this run reads and writes: the
// user's VirtualStore copy when one exists and Windows would show it to the
// game (see filesys::FileSystem::VirtualStorePath), else "<dir>\options.ini".
std::string OptionsPathIn(const std::string& directory);

// The game's folder: the registry's "Install Path" when it is set (not
// empty); otherwise the current folder when it holds the game (options.ini
// or a "static" folder), else the program's own folder when that does (a
// setup started from the game's folder by a shortcut whose "Start in" is
// elsewhere). nullopt when none does.
std::optional<std::string> FindGameFolder();

// The creation of the record when the 3D page initialises: finds the game's
// folder (FindGameFolder) into InstallDirectory, and when g_pSettings is
// still null creates it for that folder's options.ini: loaded when the file
// can be read, else with defaults. Either way the record is saved to that
// file at OK (created when missing; never overwritten when it stood but
// could not be read). An elevated run loads the user's VirtualStore copy
// when there is one, and saves into it and into the folder's own file. When
// no folder holds the game, the record has no file and OK writes nothing.
void CreateSettingsAtDialogStart();

}  // namespace halcyra
