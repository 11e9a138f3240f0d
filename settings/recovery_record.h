// The recovery file of an in-place save. Where options.ini must be written
// where it stands (it has other names, or its folder may not be changed), the
// new content is first written whole into a recovery file in the user's own
// folder, flushed, and only then copied over the file. A save cut short
// while copying leaves the recovery file behind, and the next read of the
// file finishes the copy; a save cut short before that leaves a recovery
// file that is cut too, which its length and checksum tell, and the file
// untouched. So the file reads as its old or its new content, whatever the
// moment of the cut.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace filesys {

struct RecoveryRecord {
  std::string target;   // the file's full path, as the platform names it
  std::string fileId;   // the file's identity on its volume
  std::string content;  // what the file is to hold
};

// The recovery file's bytes: one line with the length and CRC-32 of what
// follows it, then the target, the identity and the content (the first two
// end with a NUL, which no path holds).
std::string FormatRecoveryRecord(const RecoveryRecord& record);
// The record in `bytes`, or nullopt when they are cut, altered or not a
// recovery file at all.
std::optional<RecoveryRecord> ParseRecoveryRecord(std::string_view bytes);
// The name of the recovery file of the file `fileId` in the recovery folder.
std::string RecoveryFileName(std::string_view fileId);

}  // namespace filesys
