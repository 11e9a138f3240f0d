// The string table: the texts of the warning boxes.
#pragma once

#include <span>

namespace res {

struct StringEntry {
  unsigned id;
  const char* text;
};

std::span<const StringEntry> StringTable();
// The text of entry `id`, or null when the table has none.
const char* FindString(unsigned id);
// The id of the entry whose text is `text`, or 0.
unsigned FindStringId(const char* text);

}  // namespace res
