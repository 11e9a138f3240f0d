// A Windows profile (INI) file held in memory: the reads and writes the
// settings store makes on options.ini, with the behaviour of the Windows
// profile functions the game itself relies on.
//
// Reading:
//  - a line whose first non-blank character is '[' opens a section; its name
//    runs to the first ']' (or the line's end) and loses surrounding blanks;
//  - a line whose first non-blank character is ';' is a comment;
//  - any other non-blank line inside a section is a key: the name runs to the
//    first '=' and the value follows it, both without surrounding blanks; the
//    value also loses one matching outer pair of quotes ('...' or "...").
//    A line without '=' is a key without a value, which reads as missing;
//  - section and key names match without regard to ASCII case; the first of
//    duplicate sections or keys wins; lines before the first section belong
//    to no section;
//  - CR, LF and CR LF all end a line; a UTF-8 byte-order mark before the first
//    line is skipped; a NUL byte ends the text of a value, as in a C string.
//  Blanks are spaces and tabs.
//
// A file that begins with a UTF-16 byte-order mark (FF FE little endian,
// FE FF big endian) is read and written in UTF-16, as the Windows profile
// functions do: its text is held as 8-bit text (ASCII as it is, every other
// UTF-16 unit as a sequence of two or three bytes of 0x80 and above, in the
// form UTF-8 gives it, so no such unit reads as a line break, '=', '[' or
// blank), and written back in the file's byte order behind its mark. Every
// unit the writes do not touch comes back as it was, lone surrogates and a
// last odd byte included.
//
// Writing replaces a key's value where it stands (the line keeps its key
// spelling, indentation and spacing around '='), adds a missing key after the
// last key line of its section and a missing section at the end of the file.
// A new section follows the file's last line directly, without a blank line
// before it, as the Windows profile writer does: a save into an empty file
// gives the section and key lines only. Every byte the writes do not touch
// is kept; a last line without a line break gets one before anything is
// added after it. New lines end the way the file's first line ends, with
// CR LF when the file has no line ending yet.
//
// Reading the content indexes its sections only, in one pass that jumps from
// '[' to '[' (memchr); a lookup reads the lines of its section. Writes are
// kept as edits and laid into the content when it is asked for, so a save
// costs one copy of the content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

// At most this many characters of a value are returned by a text lookup.
constexpr std::size_t kMaxTextLength = 255;

// The integer value of a text: leading blanks skipped, an optional sign, then
// decimal digits up to the first non-digit; no digits give 0. Overflow wraps
// around in 32 bits, so any text has a defined value.
std::int32_t ParseInt(std::string_view text);

class ProfileFile {
 public:
  ProfileFile();
  explicit ProfileFile(std::string content);

  // The value of `key` in `section` (at most kMaxTextLength characters), or
  // `fallback` when the section or the key is missing or the key has no
  // value.
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view fallback) const;
  // ParseInt of the value, or `fallback` when it is missing.
  std::int32_t GetInt(std::string_view section, std::string_view key,
                      std::int32_t fallback) const;

  // GetString and GetInt of the file `content` without making a
  // ProfileFile: nothing is copied, and the text is read only up to the end
  // of the first section of that name (a UTF-16 file is decoded whole, as
  // the constructor does). For a check that reads a few keys of a text it
  // does not change.
  static std::string ReadString(std::string_view content, std::string_view section,
                                std::string_view key, std::string_view fallback);
  static std::int32_t ReadInt(std::string_view content, std::string_view section,
                              std::string_view key, std::int32_t fallback);

  // Sets `key` in `section` to `value`. The value is cut at its first CR, LF
  // or NUL, so a write never breaks the line structure. False, and nothing
  // changed, when the section or key name cannot stand in a profile file
  // (line breaks or NUL in either, ']' in the section, '=' in the key, an
  // empty key, or a key beginning with ';' or '[').
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);

  // The file's content with every write laid in, in the file's encoding.
  std::string Content() const;
  // The text as it was given, without the writes (for a UTF-16 file, the
  // decoded text, not its bytes).
  const std::string& Text() const { return text_; }
  // Whether `content` (what Content() made) is the file as it was given, so
  // that saving it would change nothing. For a UTF-16 file the decoded texts
  // are compared: every unit the writes leave comes back as it was.
  bool IsUnchangedBy(const std::string& content) const {
    return encoding_ == Encoding::kBytes ? content == text_ : ContentText() == text_;
  }

  // Calls `visit` for every key of every section, in file order, with the
  // value as a lookup reads it (before the length limit); keys without a
  // value are left out, as are lines before the first section. Writes made
  // so far are seen.
  void ForEachKey(const std::function<void(std::string_view section, std::string_view key,
                                           std::string_view value)>& visit) const;

  // The line ending new lines get: the file's own, else CR LF.
  std::string_view LineEnding() const { return lineEnding_; }

 private:
  struct AddedKey {
    std::string name;
    std::string value;
  };
  struct Section {
    // The name as written, without surrounding blanks: a range of the
    // content, or `createdName` for a section added by a write.
    std::size_t nameBegin = 0;
    std::size_t nameLength = 0;
    std::string createdName;
    std::size_t bodyBegin = 0;  // first byte after the header line
    std::size_t bodyEnd = 0;    // start of the next header line, or the end
    bool created = false;       // added by a write, not in the content
    std::vector<AddedKey> added;
  };
  // A key line of the content whose value a write replaced.
  struct Replacement {
    std::size_t begin = 0;  // first byte replaced
    std::size_t end = 0;    // one past the last byte replaced
    bool addEquals = false; // the line had no '=': one is written first
    std::string value;
  };
  // Where a key was found.
  struct KeyLocation {
    std::size_t lineBegin = 0;     // a line of the content, or
    std::ptrdiff_t addedIndex = -1;  // a key added by a write
    bool hasValue = false;
    std::string_view value;           // trimmed and unquoted
  };

  void Index();
  static bool IsUtf16(std::string_view content);
  // The value of `key` in the first section `section` of the 8-bit text
  // `content`, trimmed and unquoted; none when missing or without a value.
  static std::optional<std::string_view> FindValue(std::string_view content,
                                                   std::string_view section, std::string_view key);
  std::string ContentText() const;
  std::string_view NameOf(const Section& section) const;
  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);
  std::optional<KeyLocation> FindKey(const Section& section, std::string_view name) const;
  std::size_t InsertionPoint(const Section& section) const;

  enum class Encoding { kBytes, kUtf16LittleEndian, kUtf16BigEndian };

  std::string text_;
  Encoding encoding_ = Encoding::kBytes;
  std::string oddByte_;           // a UTF-16 file's last byte that makes no unit
  std::size_t contentStart_ = 0;  // after a UTF-8 byte-order mark
  std::string lineEnding_;
  std::vector<Section> sections_;
  std::map<std::size_t, Replacement> replacements_;  // by line start
};

}  // namespace profile
