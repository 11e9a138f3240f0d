#include "res/strings.h"

#include <cstring>

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
    {IDS_SAVE_FAILED,
     "Your settings could not be saved to options.ini. Make sure that the file is not read-only "
     "and that you may change files in the game's folder."},
};

}  // namespace

std::span<const StringEntry> StringTable() { return kStrings; }

const char* FindString(unsigned id) {
  for (const auto& entry : kStrings) {
    if (entry.id == id) return entry.text;
  }
  return nullptr;
}

unsigned FindStringId(const char* text) {
  if (text == nullptr) return 0;
  for (const auto& entry : kStrings) {
    if (std::strcmp(entry.text, text) == 0) return entry.id;
  }
  return 0;
}

}  // namespace res
