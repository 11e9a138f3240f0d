#include "settings/profile_file.h"

#include "base/ascii_text.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

namespace profile {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  std::size_t end = text.size();
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string_view Unquote(std::string_view text) {
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

bool SameName(std::string_view a, std::string_view b) { return ascii::EqualsIgnoringCase(a, b); }

bool HasAnyOf(std::string_view text, std::string_view bytes) {
  return text.find_first_of(bytes) != std::string_view::npos;
}

// A line of the content: its text is [begin, end), its line break
// [end, next). The last line may have no line break (end == next).
struct Line {
  std::size_t begin;
  std::size_t end;
  std::size_t next;
};

// The first CR or LF at or after `pos`, or the end: memchr finds the next
// LF, and a second memchr the first CR before it (a lone CR ends a line
// too). Both run over the bytes many at a time.
std::size_t LineEnd(std::string_view text, std::size_t pos) {
  const char* data = text.data();
  const void* lf = std::memchr(data + pos, '\n', text.size() - pos);
  const std::size_t end =
      lf == nullptr ? text.size() : static_cast<std::size_t>(static_cast<const char*>(lf) - data);
  const void* cr = std::memchr(data + pos, '\r', end - pos);
  return cr == nullptr ? end : static_cast<std::size_t>(static_cast<const char*>(cr) - data);
}

Line LineAt(std::string_view text, std::size_t pos) {
  const std::size_t size = text.size();
  const std::size_t i = LineEnd(text, pos);
  Line line{pos, i, i};
  if (i < size) {
    line.next = (text[i] == '\r' && i + 1 < size && text[i + 1] == '\n') ? i + 2 : i + 1;
  }
  return line;
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos, std::size_t end) {
  while (pos < end && IsBlank(text[pos])) ++pos;
  return pos;
}

std::size_t FindInLine(std::string_view text, std::size_t begin, std::size_t end, char c) {
  const void* hit = std::memchr(text.data() + begin, c, end - begin);
  return hit == nullptr ? end
                        : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

// What a value reads as: without surrounding blanks and one pair of quotes.
std::string_view ReadValue(std::string_view raw) { return Unquote(Trim(raw)); }

// UTF-16 units as 8-bit text and back (see the header).
void AppendUnit(std::string& text, std::uint32_t unit) {
  if (unit < 0x80) {
    text += static_cast<char>(unit);
  } else if (unit < 0x800) {
    text += static_cast<char>(0xC0 | (unit >> 6));
    text += static_cast<char>(0x80 | (unit & 0x3F));
  } else {
    text += static_cast<char>(0xE0 | (unit >> 12));
    text += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (unit & 0x3F));
  }
}

std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    AppendUnit(text, bigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  return text;
}

bool IsContinuation(std::string_view text, std::size_t at) {
  return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

// The next unit of `text` at `at`, advancing `at`. A byte that begins no
// sequence the decoding makes (only a write of such text can bring one) is
// a unit of its own value.
std::uint32_t NextUnit(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead >= 0xC2 && lead <= 0xDF && IsContinuation(text, at + 1)) {
    const std::uint32_t unit = (lead & 0x1Fu) << 6 | (static_cast<unsigned char>(text[at + 1]) & 0x3Fu);
    at += 2;
    return unit;
  }
  if (lead >= 0xE0 && lead <= 0xEF && IsContinuation(text, at + 1) && IsContinuation(text, at + 2)) {
    const std::uint32_t unit = (lead & 0x0Fu) << 12 |
                               (static_cast<unsigned char>(text[at + 1]) & 0x3Fu) << 6 |
                               (static_cast<unsigned char>(text[at + 2]) & 0x3Fu);
    if (unit >= 0x800) {
      at += 3;
      return unit;
    }
  }
  ++at;
  return lead;
}

std::string EncodeUtf16(std::string_view text, bool bigEndian) {
  std::string bytes;
  bytes.reserve(text.size() * 2 + 2);
  const auto put = [&bytes, bigEndian](std::uint32_t unit) {
    const auto high = static_cast<char>(unit >> 8);
    const auto low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  };
  put(0xFEFF);
  for (std::size_t at = 0; at < text.size();) put(NextUnit(text, at));
  return bytes;
}

// A section's header line: the line from `lineBegin`, the name (without
// surrounding blanks) at [nameBegin, nameBegin + nameLength), the body from
// `bodyBegin`.
struct Header {
  std::size_t lineBegin;
  std::size_t nameBegin;
  std::size_t nameLength;
  std::size_t bodyBegin;
};

// The first section header at or after `pos` (a line start), which moves
// past it; none at the end of the text. Only section lines matter here, and
// each holds a '[': the scan jumps from one '[' to the next (memchr) and
// takes the line it stands on when nothing but blanks come before it there.
std::optional<Header> NextHeader(std::string_view text, std::size_t& pos, std::size_t contentStart) {
  const char* data = text.data();
  while (pos < text.size()) {
    const void* hit = std::memchr(data + pos, '[', text.size() - pos);
    if (hit == nullptr) break;
    const auto bracket = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    std::size_t lineBegin = bracket;
    while (lineBegin > contentStart && IsBlank(text[lineBegin - 1])) --lineBegin;
    const Line line = LineAt(text, bracket);
    pos = line.next;
    if (lineBegin > contentStart && !IsLineBreak(text[lineBegin - 1])) continue;
    const std::size_t nameEnd = FindInLine(text, bracket + 1, line.end, ']');
    // A line that opens with '[' but has no ']' opens no section, as in the
    // Windows profile functions: the keys below it stay in the section above.
    if (nameEnd == line.end) continue;
    const std::size_t nameBegin = SkipBlanks(text, bracket + 1, nameEnd);
    std::size_t nameLast = nameEnd;
    while (nameLast > nameBegin && IsBlank(text[nameLast - 1])) --nameLast;
    return Header{lineBegin, nameBegin, nameLast - nameBegin, line.next};
  }
  pos = text.size();
  return std::nullopt;
}

// The first line of [begin, end) that holds key `name` (already trimmed),
// and where its '=' stands (the line's end when it has none).
struct KeyLine {
  Line line;
  std::size_t equals;
};

std::optional<KeyLine> FindKeyLine(std::string_view text, std::size_t begin, std::size_t end,
                                   std::string_view name) {
  for (std::size_t pos = begin; pos < end;) {
    const Line line = LineAt(text, pos);
    pos = line.next;
    const std::size_t first = SkipBlanks(text, line.begin, line.end);
    if (first == line.end || text[first] == ';') continue;
    const std::size_t equals = FindInLine(text, first, line.end, '=');
    if (SameName(Trim(text.substr(first, equals - first)), name)) return KeyLine{line, equals};
  }
  return std::nullopt;
}

std::string LookupText(std::string_view value) {
  value = value.substr(0, value.find('\0'));
  return std::string(value.substr(0, kMaxTextLength));
}

}  // namespace

std::int32_t ParseInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

ProfileFile::ProfileFile() { Index(); }

ProfileFile::ProfileFile(std::string content) {
  const bool little = content.starts_with("\xFF\xFE");
  if (IsUtf16(content)) {
    encoding_ = little ? Encoding::kUtf16LittleEndian : Encoding::kUtf16BigEndian;
    if (content.size() % 2 != 0) oddByte_ = content.substr(content.size() - 1);
    text_ = DecodeUtf16(std::string_view(content).substr(2), !little);
  } else {
    text_ = std::move(content);
  }
  Index();
}

void ProfileFile::Index() {
  const std::string_view text = text_;
  contentStart_ = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;

  lineEnding_ = "\r\n";
  const std::size_t firstBreak = text.find_first_of("\r\n", contentStart_);
  if (firstBreak != std::string_view::npos) {
    if (text[firstBreak] == '\n') {
      lineEnding_ = "\n";
    } else if (firstBreak + 1 >= text.size() || text[firstBreak + 1] != '\n') {
      lineEnding_ = "\r";
    }
  }

  for (std::size_t pos = contentStart_;;) {
    const std::optional<Header> header = NextHeader(text, pos, contentStart_);
    if (!header) break;
    if (!sections_.empty()) sections_.back().bodyEnd = header->lineBegin;
    Section section;
    section.nameBegin = header->nameBegin;
    section.nameLength = header->nameLength;
    section.bodyBegin = header->bodyBegin;
    section.bodyEnd = text.size();
    sections_.push_back(std::move(section));
  }
}

std::string_view ProfileFile::NameOf(const Section& section) const {
  if (section.created) return section.createdName;
  return std::string_view(text_).substr(section.nameBegin, section.nameLength);
}

const ProfileFile::Section* ProfileFile::FindSection(std::string_view name) const {
  name = Trim(name);
  for (const Section& section : sections_) {
    if (SameName(NameOf(section), name)) return &section;
  }
  return nullptr;
}

ProfileFile::Section* ProfileFile::FindSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

std::optional<ProfileFile::KeyLocation> ProfileFile::FindKey(const Section& section,
                                                             std::string_view name) const {
  name = Trim(name);
  const std::string_view text = text_;
  if (!section.created) {
    if (const auto found = FindKeyLine(text, section.bodyBegin, section.bodyEnd, name)) {
      const Line& line = found->line;
      KeyLocation location;
      location.lineBegin = line.begin;
      const auto replaced = replacements_.find(line.begin);
      if (replaced != replacements_.end()) {
        location.hasValue = true;
        location.value = ReadValue(replaced->second.value);
      } else if (found->equals < line.end) {
        location.hasValue = true;
        location.value = ReadValue(text.substr(found->equals + 1, line.end - found->equals - 1));
      }
      return location;
    }
  }
  for (std::size_t i = 0; i < section.added.size(); ++i) {
    if (SameName(section.added[i].name, name)) {
      KeyLocation location;
      location.addedIndex = static_cast<std::ptrdiff_t>(i);
      location.hasValue = true;
      location.value = ReadValue(section.added[i].value);
      return location;
    }
  }
  return std::nullopt;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view fallback) const {
  if (const Section* found = FindSection(section)) {
    const auto location = FindKey(*found, key);
    if (location && location->hasValue) return LookupText(location->value);
  }
  return LookupText(fallback);
}

std::int32_t ProfileFile::GetInt(std::string_view section, std::string_view key,
                                 std::int32_t fallback) const {
  if (const Section* found = FindSection(section)) {
    const auto location = FindKey(*found, key);
    if (location && location->hasValue) return ParseInt(LookupText(location->value));
  }
  return fallback;
}

std::optional<std::string_view> ProfileFile::FindValue(std::string_view content,
                                                      std::string_view section,
                                                      std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  const std::size_t contentStart = content.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  std::size_t pos = contentStart;
  std::optional<Header> header;
  while ((header = NextHeader(content, pos, contentStart)) &&
         !SameName(content.substr(header->nameBegin, header->nameLength), section)) {
  }
  if (!header) return std::nullopt;
  // The section's body runs to the next header line, or to the end.
  std::size_t bodyEnd = content.size();
  std::size_t next = header->bodyBegin;
  if (const std::optional<Header> following = NextHeader(content, next, contentStart)) {
    bodyEnd = following->lineBegin;
  }
  const auto found = FindKeyLine(content, header->bodyBegin, bodyEnd, key);
  if (!found || found->equals >= found->line.end) return std::nullopt;
  return ReadValue(content.substr(found->equals + 1, found->line.end - found->equals - 1));
}

bool ProfileFile::IsUtf16(std::string_view content) {
  return content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF");
}

std::string ProfileFile::ReadString(std::string_view content, std::string_view section,
                                    std::string_view key, std::string_view fallback) {
  if (IsUtf16(content)) return ProfileFile(std::string(content)).GetString(section, key, fallback);
  const auto value = FindValue(content, section, key);
  return LookupText(value ? *value : fallback);
}

std::int32_t ProfileFile::ReadInt(std::string_view content, std::string_view section,
                                  std::string_view key, std::int32_t fallback) {
  if (IsUtf16(content)) return ProfileFile(std::string(content)).GetInt(section, key, fallback);
  const auto value = FindValue(content, section, key);
  return value ? ParseInt(LookupText(*value)) : fallback;
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  using namespace std::string_view_literals;
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || HasAnyOf(section, "\r\n\0]"sv)) return false;
  if (key.empty() || HasAnyOf(key, "\r\n\0="sv) || key.front() == ';' || key.front() == '[') {
    return false;
  }
  value = value.substr(0, value.find_first_of("\r\n\0"sv));
  // In a UTF-16 file every byte that begins no unit's sequence becomes a
  // unit of its own; the value is held as it will read back.
  std::string canonical;
  if (encoding_ != Encoding::kBytes) {
    for (std::size_t at = 0; at < value.size();) AppendUnit(canonical, NextUnit(value, at));
    value = canonical;
  }

  Section* target = FindSection(section);
  if (target == nullptr) {
    Section created;
    created.created = true;
    created.createdName = std::string(section);
    created.added.push_back({std::string(key), std::string(value)});
    sections_.push_back(std::move(created));
    return true;
  }

  const auto location = FindKey(*target, key);
  if (!location) {
    target->added.push_back({std::string(key), std::string(value)});
    return true;
  }
  if (location->addedIndex >= 0) {
    target->added[static_cast<std::size_t>(location->addedIndex)].value = std::string(value);
    return true;
  }

  // A key line of the content: replace what follows '=' and the blanks after
  // it, so the key's spelling and the line's spacing stay as the player left
  // them.
  const std::string_view text = text_;
  const Line line = LineAt(text, location->lineBegin);
  const std::size_t first = SkipBlanks(text, line.begin, line.end);
  const std::size_t equals = FindInLine(text, first, line.end, '=');
  Replacement replacement;
  if (equals < line.end) {
    replacement.begin = SkipBlanks(text, equals + 1, line.end);
  } else {
    std::size_t keyEnd = line.end;
    while (keyEnd > first && IsBlank(text[keyEnd - 1])) --keyEnd;
    replacement.begin = keyEnd;
    replacement.addEquals = true;
  }
  replacement.end = line.end;
  replacement.value = std::string(value);
  replacements_[line.begin] = std::move(replacement);
  return true;
}

void ProfileFile::ForEachKey(const std::function<void(std::string_view, std::string_view,
                                                     std::string_view)>& visit) const {
  const std::string_view text = text_;
  for (const Section& section : sections_) {
    const std::string_view sectionName = NameOf(section);
    for (std::size_t pos = section.bodyBegin; !section.created && pos < section.bodyEnd;) {
      const Line line = LineAt(text, pos);
      pos = line.next;
      const std::size_t first = SkipBlanks(text, line.begin, line.end);
      if (first == line.end || text[first] == ';') continue;
      const std::size_t equals = FindInLine(text, first, line.end, '=');
      const std::string_view name = Trim(text.substr(first, equals - first));
      if (const auto replaced = replacements_.find(line.begin); replaced != replacements_.end()) {
        visit(sectionName, name, ReadValue(replaced->second.value));
      } else if (equals < line.end) {
        visit(sectionName, name, ReadValue(text.substr(equals + 1, line.end - equals - 1)));
      }
    }
    for (const AddedKey& key : section.added) visit(sectionName, key.name, ReadValue(key.value));
  }
}

std::size_t ProfileFile::InsertionPoint(const Section& section) const {
  const std::string_view text = text_;
  std::size_t point = section.bodyBegin;
  for (std::size_t pos = section.bodyBegin; pos < section.bodyEnd;) {
    const Line line = LineAt(text, pos);
    pos = line.next;
    const std::size_t first = SkipBlanks(text, line.begin, line.end);
    if (first < line.end && text[first] != ';') point = line.next;
  }
  return point;
}

std::string ProfileFile::Content() const {
  if (encoding_ == Encoding::kBytes) return ContentText();
  return EncodeUtf16(ContentText(), encoding_ == Encoding::kUtf16BigEndian) + oddByte_;
}

std::string ProfileFile::ContentText() const {
  struct Edit {
    std::size_t begin;
    std::size_t end;
    int order;  // at one offset a replacement comes before an insertion
    const Replacement* replacement;
    const Section* section;
  };
  std::vector<Edit> edits;
  std::size_t extra = 0;
  for (const auto& [lineBegin, replacement] : replacements_) {
    edits.push_back({replacement.begin, replacement.end, 0, &replacement, nullptr});
    extra += replacement.value.size() + 1;
  }
  for (const Section& section : sections_) {
    for (const AddedKey& key : section.added) {
      extra += key.name.size() + key.value.size() + 1 + 2 * lineEnding_.size();
    }
    if (section.created) {
      extra += section.createdName.size() + 2 + 2 * lineEnding_.size();
    } else if (!section.added.empty()) {
      const std::size_t point = InsertionPoint(section);
      edits.push_back({point, point, 1, nullptr, &section});
    }
  }
  std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
    return a.begin != b.begin ? a.begin < b.begin : a.order < b.order;
  });

  std::string out;
  out.reserve(text_.size() + extra);
  // Before a new line is laid at the end of what is written so far, that end
  // must be a line break (the file's last line may have none).
  const auto endLine = [&out, this] {
    if (out.size() > contentStart_ && !IsLineBreak(out.back())) out += lineEnding_;
  };
  const auto writeKeys = [&out, this](const Section& section) {
    for (const AddedKey& key : section.added) {
      out += key.name;
      out += '=';
      out += key.value;
      out += lineEnding_;
    }
  };

  std::size_t cursor = 0;
  for (const Edit& edit : edits) {
    out.append(text_, cursor, edit.begin - cursor);
    if (edit.replacement != nullptr) {
      if (edit.replacement->addEquals) out += '=';
      out += edit.replacement->value;
    } else {
      endLine();
      writeKeys(*edit.section);
    }
    cursor = edit.end;
  }
  out.append(text_, cursor, std::string::npos);

  for (const Section& section : sections_) {
    if (!section.created) continue;
    endLine();
    out += '[';
    out += section.createdName;
    out += ']';
    out += lineEnding_;
    writeKeys(section);
  }
  return out;
}

}  // namespace profile
