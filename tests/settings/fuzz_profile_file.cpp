// libFuzzer target for the profile reader and writer. For any bytes:
// nothing crashes; an unwritten file gives back its bytes; after writes,
// the file's bytes read back as the in-memory view; keys that were not
// written read as before; no lookup yields more than 255 characters or a NUL.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/profile_file.h"

namespace {

struct Probe {
  const char* section;
  const char* key;
};

constexpr Probe kWritten[] = {
    {"Game", "GameScreenWidth"}, {"Performance", "Use16BitTextures"},
    {"Fuzz Section", "K"},       {"Sound", "EnableAcoustics"}};
constexpr Probe kUntouched[] = {{"Game", "Game Rasterizer"}, {"Game", "D3DGUID"},
                                {"Keys", "Fire"},            {"", ""},
                                {"Game", "#A"},              {" game ", " d3dguid "}};

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckText(const std::string& text) {
  Check(text.size() <= profile::kMaxTextLength);
  Check(text.find('\0') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const profile::ProfileFile original(input);
  Check(original.Content() == input);
  const std::string_view value = std::string_view(input).substr(size > 16 ? size - 16 : 0);

  profile::ProfileFile edited(input);
  Check(edited.WriteString("Game", "GameScreenWidth", value));
  Check(edited.WriteString("Performance", "Use16BitTextures", "1"));
  Check(edited.WriteString("Fuzz Section", "K", value));
  Check(edited.WriteString("sound", "enableacoustics", "0"));
  Check(edited.WriteString("Game", "GameScreenWidth", "800"));
  const std::string output = edited.Content();
  const profile::ProfileFile reread(output);

  for (const Probe& probe : kWritten) {
    const std::string inMemory = edited.GetString(probe.section, probe.key, "<none>");
    CheckText(inMemory);
    Check(inMemory == reread.GetString(probe.section, probe.key, "<none>"));
    Check(edited.GetInt(probe.section, probe.key, -9) ==
          reread.GetInt(probe.section, probe.key, -9));
  }
  Check(reread.GetString("Game", "GameScreenWidth", "") == "800");
  Check(reread.GetString("Performance", "Use16BitTextures", "") == "1");
  Check(reread.GetString("Sound", "EnableAcoustics", "") == "0");

  for (const Probe& probe : kUntouched) {
    const std::string before = original.GetString(probe.section, probe.key, "<none>");
    CheckText(before);
    Check(before == reread.GetString(probe.section, probe.key, "<none>"));
  }
  return 0;
}
