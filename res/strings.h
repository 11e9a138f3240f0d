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
// The id of the entry whose text is `text`, or, failing that, of the first
// entry that gives `text` with each "%s" replaced; 0 when none does.
unsigned FindStringId(const char* text);

}  // namespace res
