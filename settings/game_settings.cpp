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
  // A file that is there but could not be read (opened, then refused:
  // another program's lock, an offline cloud placeholder) is as one that
  // could not be opened: the record keeps its defaults, and the file is
  // remembered as unreadable so that OK never writes over it. One gone since
  // it was opened reads as an empty file.
  filesys::FileSystem& files = filesys::FileSystemSlot::Get();
  std::optional<std::string> content = files.ReadFile(*iniPath);
  if (!content && files.Exists(*iniPath)) {
    unreadableAtStart = true;
    return;
  }
  ReadFrom(content ? profile::ProfileFile(std::move(*content)) : profile::ProfileFile());
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

namespace {

// Why a write into `path` failed, as far as the files tell.
SaveFailure CauseOf(filesys::FileSystem& files, const std::string& path, const filesys::WriteResult& result) {
  if (!files.Exists(ParentDirectory(path))) return SaveFailure::kFolderMissing;
  if (files.IsReadOnly(path)) return SaveFailure::kReadOnlyFile;
  return result.denied ? SaveFailure::kNoRights : SaveFailure::kOther;
}

// Writes the record into `path`, keeping whatever else the file holds; a
// missing file is created. `updated` receives the file's text afterwards
// (or what it would hold). `copyPath` is set when the record went into the
// user's VirtualStore copy instead.
SaveFailure SaveInto(const GameSettings& record, const std::string& path, bool unreadableAtStart,
                     bool mayGoToVirtualStore, std::string& updated, std::optional<std::string>& copyPath) {
  filesys::FileSystem& files = filesys::FileSystemSlot::Get();
  // The writes go into the file as it is now, so that whatever else it holds
  // (the game's own keys, the player's comments) survives. A missing file
  // starts empty.
  // A file that could not be read at the start is not read now either: the
  // choices were made without its content.
  std::optional<std::string> original = unreadableAtStart ? std::nullopt : files.ReadFile(path);
  const bool missing = !original && !files.Exists(path);
  const bool read = original.has_value();
  // The bytes read become the file's text, and Content() is the one copy.
  profile::ProfileFile file(read ? std::move(*original) : std::string());
  record.WriteTo(file);
  updated = file.Content();

  // A file that is there but cannot be read, or could not be read when the
  // sheet opened, is not overwritten: its content would be lost.
  if ((!read && !missing) || unreadableAtStart) return SaveFailure::kUnreadable;
  if (read && file.IsUnchangedBy(updated)) return SaveFailure::kNone;  // the file already holds the record

  const filesys::WriteResult result = files.ReplaceFile(path, updated);
  if (result) return SaveFailure::kNone;
  if (!result.denied || !mayGoToVirtualStore) return CauseOf(files, path, result);

  // Refused for want of rights: where Windows would have virtualized the
  // game's own write, the record goes where the game will read it. A copy
  // that exists already was the file loaded and saved, unless it appeared
  // since; it is not overwritten here.
  const std::optional<std::string> copy = files.VirtualStorePath(path);
  if (!copy || files.Exists(*copy) || !files.MakeDirectories(ParentDirectory(*copy))) {
    return CauseOf(files, path, result);
  }
  const filesys::WriteResult intoCopy = files.ReplaceFile(*copy, updated);
  if (!intoCopy) return CauseOf(files, *copy, intoCopy);
  copyPath = *copy;
  return SaveFailure::kNone;
}

}  // namespace

bool GameSettings::Save(std::string* written, SaveFailure* failure, std::string* failedPath) {
  // The new content is made once, straight into the caller's string when
  // there is one.
  std::string kept;
  std::string& updated = written != nullptr ? *written : kept;
  SaveFailure why = SaveFailure::kNone;
  std::string where;
  if (noGameFolder || !iniPath) {
    // No file to write: the text the choices would give a new file, for the
    // caller to judge; without a game folder that is a failure to report.
    profile::ProfileFile file;
    WriteTo(file);
    updated = file.Content();
    if (noGameFolder) {
      why = SaveFailure::kNoGameFolder;
      where = *noGameFolder;
    }
  } else {
    // Elevated with the user's VirtualStore copy, the folder's own file (for
    // the game started elevated) is written first: its usual failures (a
    // read-only file, one another program holds) then leave both files as
    // they were. Its text is not the one the archive check judges: the
    // copy's is, which the game started normally reads.
    if (alsoSaveTo) {
      std::string second;
      std::optional<std::string> unused;
      why = SaveInto(*this, *alsoSaveTo, false, false, second, unused);
      where = *alsoSaveTo;
    }
    if (why == SaveFailure::kNone) {
      std::optional<std::string> copy;
      why = SaveInto(*this, *iniPath, unreadableAtStart, true, updated, copy);
      where = *iniPath;
      if (copy) iniPath = *copy;
    }
  }
  if (failure != nullptr) *failure = why;
  if (failedPath != nullptr) *failedPath = why == SaveFailure::kNone ? std::string() : where;
  return why == SaveFailure::kNone;
}

CommitResult CommitSettings() {
  CommitResult result;
  if (g_pSettings != nullptr) {
    result.saved = g_pSettings->Save(&result.options, &result.failure, &result.failedPath);
    // A record that could not be saved keeps the player's choices for the
    // next try.
    if (!result.saved) return result;
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

namespace {

// Whether `folder` holds `name` (the game's options.ini or its "static"
// folder).
bool Holds(filesys::FileSystem& files, const std::string& folder, const char* name) {
  return files.Exists(JoinPath(folder, name));
}

}  // namespace

std::optional<std::string> FindGameFolder() {
  std::string recorded;
  ReadInstallDirectory(recorded);
  if (!recorded.empty()) return recorded;
  filesys::FileSystem& files = filesys::FileSystemSlot::Get();
  const std::optional<std::string> program = files.ProgramFolder();
  // The "static" folder with the texture archives marks the game's folder
  // surely; an options.ini alone may be a stray one that an older release
  // wrote where Setup was started (a shortcut's "Start in" folder), so it
  // counts only when neither folder holds "static".
  for (const char* sign : {"static", kOptionsFileName}) {
    if (Holds(files, ".", sign)) return std::string(".");
    if (program && Holds(files, *program, sign)) return program;
  }
  return std::nullopt;
}

void CreateSettingsAtDialogStart() {
  filesys::FileSystem& files = filesys::FileSystemSlot::Get();
  const std::optional<std::string> folder = FindGameFolder();
  InstallDirectory = folder.value_or(".");
  if (g_pSettings != nullptr) return;
  if (!folder) {
    // No folder to load from or save to: the page starts from the defaults,
    // and OK names the folder looked in.
    g_pSettings = new GameSettings();
    g_pSettings->noGameFolder = files.CurrentFolder();
    return;
  }
  const std::string own = JoinPath(*folder, kOptionsFileName);
  std::string path = OptionsPathIn(*folder);
  // Elevated, the user's VirtualStore copy is still what the game started
  // normally reads: it is loaded, and saved together with the folder's file.
  std::optional<std::string> alsoSaveTo;
  if (const std::optional<std::string> copy = files.ElevatedUserCopyPath(own); copy && files.Exists(*copy)) {
    path = *copy;
    alsoSaveTo = own;
  }
  if (files.CanOpenForReading(path)) {
    g_pSettings = new GameSettings(path);
  } else {
    // Nothing to load: the page starts from the defaults, and OK writes them
    // into this file (creating it when it is missing), unless the file is
    // there and could not be read.
    g_pSettings = new GameSettings();
    g_pSettings->iniPath = path;
    g_pSettings->unreadableAtStart = files.Exists(path);
  }
  g_pSettings->alsoSaveTo = alsoSaveTo;
}

}  // namespace halcyra
