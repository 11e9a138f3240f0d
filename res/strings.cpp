#include "res/strings.h"

#include <cstring>
#include <string_view>

#include "res/resource.h"

namespace res {

namespace {

constexpr StringEntry kStrings[] = {
    {IDS_TEXTURE_ARCHIVE_MISSING,
     "You have chosen a texture setting that you do NOT have on your system. Re-install the "
     "Halcyra game to obtain this required file. Failure to do this will result in "
     "unpredictable game behavior."},
    {IDS_NO_3D_HARDWARE, "No compatible 3D hardware devices were detected on your system."},
    {IDS_DEVICE_UNFIT,
     "The device you have selected does not appear to support all the functions required for "
     "Halcyra.  If you choose to continue with this device, you may be unable to play the game."},
    {IDS_MIPMAP_NOT_RECOMMENDED,
     "The mip-map setting you have selected is not recommended with 16-bit textures, as it may "
     "cause a significant degradation in performance."},
    {IDS_SAVE_FAILED, "Your settings could not be saved to options.ini in %s. %s"},
    {IDS_SAVE_FAILED_READ_ONLY,
     "The file is read-only: clear \"Read-only\" in its Properties, then press OK again."},
    {IDS_SAVE_FAILED_NO_RIGHTS,
     "You may not change files in that folder: ask the computer's administrator for that right, "
     "then press OK again."},
    {IDS_SAVE_FAILED_FOLDER_MISSING,
     "That folder does not exist: the game may have been moved or removed. Re-install Halcyra."},
    {IDS_SAVE_FAILED_UNREADABLE,
     "The file could not be read (another program may hold it, or you may not read it), so it "
     "was left as it was. Close the program that holds it and press OK again; if this box comes back, "
     "start Halcyra Setup again."},
    {IDS_SAVE_FAILED_NO_GAME_FOLDER,
     "The game was not found there: no game folder is recorded (\"Install Path\"), and neither "
     "this folder nor Halcyra Setup's own holds options.ini or the static folder. Start Halcyra "
     "Setup from the game's folder."},
    {IDS_SAVE_FAILED_OTHER,
     "The disk may be full, or another program may hold the file. Make room or close that "
     "program, then press OK again."},
};

}  // namespace

std::span<const StringEntry> StringTable() { return kStrings; }

const char* FindString(unsigned id) {
  for (const auto& entry : kStrings) {
    if (entry.id == id) return entry.text;
  }
  return nullptr;
}

namespace {

// Whether `text` is `pattern` with each "%s" replaced by some text.
bool MatchesFormat(std::string_view pattern, std::string_view text) {
  const std::size_t first = pattern.find("%s");
  if (first == std::string_view::npos) return false;
  if (!text.starts_with(pattern.substr(0, first))) return false;
  text.remove_prefix(first);
  pattern.remove_prefix(first + 2);
  for (;;) {
    const std::size_t next = pattern.find("%s");
    if (next == std::string_view::npos) return text.ends_with(pattern);
    const std::size_t at = text.find(pattern.substr(0, next));
    if (at == std::string_view::npos) return false;
    text.remove_prefix(at + next);
    pattern.remove_prefix(next + 2);
  }
}

}  // namespace

unsigned FindStringId(const char* text) {
  if (text == nullptr) return 0;
  for (const auto& entry : kStrings) {
    if (std::strcmp(entry.text, text) == 0) return entry.id;
  }
  for (const auto& entry : kStrings) {
    if (MatchesFormat(entry.text, text)) return entry.id;
  }
  return 0;
}

}  // namespace res
