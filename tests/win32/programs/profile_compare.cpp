// Reads profile files with our engine (profile::ProfileFile) and with the
// platform's GetPrivateProfileStringA and GetPrivateProfileIntA, side by side,
// and reports every answer that differs.
//
//   halcyra-profile-compare.exe HAND_EDITED_DIR GENERATED_DIR [COUNT]
//
// Reads every *.ini of HAND_EDITED_DIR, writes COUNT (default 300) generated
// files into GENERATED_DIR and reads those too. Each hand-edited file and
// every tenth generated one is also turned into UTF-16 (little and big
// endian, with the byte-order mark), read the same way, and written: the
// settings store's writes made with WritePrivateProfileStringA on one copy
// and with our engine on another, after which both copies must still be
// UTF-16 with their mark and give the written values back. For each file it asks for
// every section and key name that appears in it (as written, with other case
// and with blanks around it) and for missing ones. Differences that are
// deliberate choices of our engine are counted by kind (docs/windows.md
// explains each); any other difference fails the run.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "check.h"
#include "settings/profile_file.h"

namespace {

using check::ReadBytes;
using check::WriteBytes;

constexpr char kDefault[] = "<default>";
constexpr int kDefaultInt = -7;

// A small deterministic generator (the files must be the same on every run).
class Random {
 public:
  explicit Random(std::uint32_t seed) : m_state(seed) {}
  std::uint32_t Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state;
  }
  std::size_t Below(std::size_t n) { return Next() % n; }
  bool Chance(int percent) { return static_cast<int>(Below(100)) < percent; }
  template <class T>
  const T& Pick(const std::vector<T>& items) {
    return items[Below(items.size())];
  }

 private:
  std::uint32_t m_state;
};

std::string FlipCase(std::string text, Random& random) {
  for (char& c : text) {
    if (random.Chance(40)) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

// One generated options.ini as a player's editor might leave it.
std::string Generate(Random& random) {
  static const std::vector<std::string> sections = {"Game", "Performance", "Sound", "Extra", "With Space", "Mods"};
  static const std::vector<std::string> keys = {
      "Game Rasterizer", "D3DGUID", "DDGUID", "GameScreenWidth", "GameScreenHeight", "GameScreenDepth",
      "GameMipMapLevel", "Use16BitTextures", "UseCompressedTextures", "EnableAcoustics", "Volume", "Name"};
  static const std::vector<std::string> values = {
      "2", "3", "undefined", "UNDEFINED", "0", "1", "", "  7  ", "-1", "+4", "257", "0x10", "2x",
      "99999999999", "-2147483649", "4294967295", "12abc", "00", "off", "\"quoted value\"", "'single'",
      "\"unbalanced", "a=b", "value ; not a comment", "\ttabbed\t", "2229681632,18090,4559,129,111,0,0,192,32,21,110",
      "caf\xe9", "x\x01y", "trailing   ", "\"\"", "'", "=", "[not a section]", std::string("nul\0byte", 8)};
  static const std::vector<std::string> endings = {"\r\n", "\n", "\r"};

  std::string ending = random.Pick(endings);
  const bool mixedEndings = random.Chance(10);
  // A section line without ']' changes how the platform reads the rest of
  // the file, so few files get one.
  const bool unclosedSections = random.Chance(8);
  std::string text;
  if (random.Chance(8)) text += "\xEF\xBB\xBF";
  if (random.Chance(15)) text += "orphan=before any section" + ending;
  const std::size_t lines = 3 + random.Below(30);
  for (std::size_t i = 0; i < lines; ++i) {
    if (mixedEndings) ending = random.Pick(endings);
    const std::size_t kind = random.Below(100);
    std::string line;
    if (kind < 18) {
      const std::string name = random.Chance(30) ? FlipCase(random.Pick(sections), random) : random.Pick(sections);
      switch (random.Below(6)) {
        case 1: line = "  [ " + name + " ]  "; break;
        case 2: line = unclosedSections ? "[" + name : "[" + name + "]"; break;
        case 3: line = "[" + name + "] junk"; break;
        case 4: line = "\t[" + name + "]\t"; break;
        default: line = "[" + name + "]"; break;
      }
    } else if (kind < 24) {
      line = random.Chance(50) ? "; a comment" : "  ;" + random.Pick(keys) + "=" + random.Pick(values);
    } else if (kind < 27) {
      line = random.Chance(50) ? "" : "   ";
    } else if (kind < 30) {
      line = random.Pick(keys);  // a key without '='
    } else if (kind < 32) {
      line = std::string(300, 'L') + "=" + std::string(300, 'v');
    } else if (kind < 34) {
      line = random.Pick(keys) + "=" + std::string(260 + random.Below(20), 'w');
    } else if (kind < 35) {
      line = "#" + random.Pick(keys) + "=1";
    } else {
      const std::string key = random.Chance(30) ? FlipCase(random.Pick(keys), random) : random.Pick(keys);
      const std::string value = random.Pick(values);
      switch (random.Below(5)) {
        case 1: line = "  " + key + "  =  " + value; break;
        case 2: line = key + " = " + value + " "; break;
        case 3: line = "\t" + key + "\t=\t" + value; break;
        default: line = key + "=" + value; break;
      }
    }
    text += line + ending;
  }
  if (random.Chance(20)) text.resize(text.size() - ending.size());  // no final line break
  return text;
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return text.substr(begin, end - begin);
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The queries for one file: every section name it spells (and names it does
// not) with every key name it spells; and, for every pair (`everyVariant`)
// or a third of them, the same names in lower case and with blanks around
// them.
std::vector<std::pair<std::string, std::string>> Queries(const std::string& content, bool everyVariant) {
  std::set<std::string> sections = {"Game", "Performance", "Sound", "Missing"};
  std::set<std::string> keys = {"Game Rasterizer", "GameScreenWidth", "EnableAcoustics", "Use16BitTextures",
                                "Missing Key"};
  std::size_t at = 0;
  while (at < content.size()) {
    std::size_t end = content.find_first_of("\r\n", at);
    if (end == std::string::npos) end = content.size();
    const std::string line = Trim(content.substr(at, end - at));
    at = end + 1;
    if (line.empty()) continue;
    if (line[0] == '[') {
      const std::size_t close = line.find(']');
      const std::string name = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      if (!name.empty() && name.size() < 100) sections.insert(name);
    } else {
      const std::string name = Trim(line.substr(0, line.find('=')));
      if (!name.empty() && name.size() < 100) keys.insert(name);
    }
  }
  std::vector<std::pair<std::string, std::string>> queries;
  std::size_t n = 0;
  for (const std::string& section : sections) {
    for (const std::string& key : keys) {
      queries.emplace_back(section, key);
      if (everyVariant || n++ % 3 == 0) {
        queries.emplace_back(Lower(section), Lower(key));
        queries.emplace_back(" " + section + "\t", "  " + key + " ");
      }
    }
  }
  return queries;
}

bool Printable(const std::string& text) {
  return text.find_first_of(std::string("\0\r\n", 3)) == std::string::npos;
}

std::string Show(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  if (out.size() > 90) out = out.substr(0, 80) + "...";
  return out + "\"";
}

bool HasHighByte(const std::string& text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

struct Tally {
  long files = 0;
  long queries = 0;
  long found = 0;  // queries the platform answered with a value of the file
  std::map<std::string, long> deliberate;
  long unexplained = 0;
  std::vector<std::string> samples;
};

// The kind of a difference between the two answers for one query: a choice
// our engine makes on purpose (docs/windows.md), or empty when unexplained.
std::string Deliberate(const std::string& content, const std::string& key, const std::string& windows,
                       const std::string& ours, bool textDiffers) {
  const bool recoded = HasHighByte(windows + ours) || windows.find('?') != std::string::npos;
  // A UTF-16 file's non-ASCII text: the platform hands it back in the ANSI
  // code page, our engine in the byte form it holds it in.
  if ((content.rfind("\xFF\xFE", 0) == 0 || content.rfind("\xFE\xFF", 0) == 0) &&
      (recoded || HasHighByte(key))) {
    return "UTF-16 file with non-ASCII text: not recoded to the ANSI code page";
  }
  // With a UTF-8 byte-order mark the platform decodes the file as UTF-8 and
  // hands back ANSI; our engine skips the mark and keeps the bytes.
  if (content.rfind("\xEF\xBB\xBF", 0) == 0 && recoded) {
    return "UTF-8 file with non-ASCII text: bytes kept, not recoded";
  }
  if (!Trim(key).empty() && Trim(key)[0] == ';') return "a comment line asked for as a key";
  if (!textDiffers && windows.empty()) return "an empty value read as a number";
  if (!textDiffers) {
    const std::string number = Trim(windows);
    std::size_t digits = 0;
    while (digits < number.size() && ((number[digits] >= '0' && number[digits] <= '9') ||
                                      (digits == 0 && (number[0] == '-' || number[0] == '+')))) {
      ++digits;
    }
    if (number.size() > digits && (number[digits] == 'x' || number[digits] == 'X')) {
      return "a number with a 0x prefix read as an integer";
    }
    if (digits > 10) return "a number of more than ten digits read as an integer";
  }
  return "";
}

// `queryText`: the 8-bit text the queries are taken from (the file's own
// bytes unless it is UTF-16).
void Compare(const std::string& path, const std::string& label, bool everyVariant, Tally& tally,
             const std::string* queryText = nullptr) {
  const std::string content = ReadBytes(path);
  const profile::ProfileFile ours(content);
  ++tally.files;
  std::vector<char> buffer(256);
  for (const auto& [section, key] : Queries(queryText != nullptr ? *queryText : content, everyVariant)) {
    if (!Printable(section) || !Printable(key)) continue;
    ++tally.queries;
    std::fill(buffer.begin(), buffer.end(), '\0');
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), kDefault, buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), path.c_str());
    const std::string windows(buffer.data(), length);
    const std::string mine = ours.GetString(section, key, kDefault);
    const auto windowsInt = static_cast<std::int32_t>(
        GetPrivateProfileIntA(section.c_str(), key.c_str(), kDefaultInt, path.c_str()));
    const std::int32_t mineInt = ours.GetInt(section, key, kDefaultInt);
    if (windows != kDefault) ++tally.found;
    const bool textDiffers = windows != mine;
    const bool intDiffers = windowsInt != mineInt;
    if (!textDiffers && !intDiffers) continue;
    const std::string why = Deliberate(content, key, windows, mine, textDiffers);
    if (!why.empty()) {
      ++tally.deliberate[why];
      continue;
    }
    ++tally.unexplained;
    if (tally.samples.size() < 40) {
      std::string sample = label + " [" + section + "] " + Show(key) + ": ";
      if (textDiffers) sample += "text Windows " + Show(windows) + " ours " + Show(mine);
      if (intDiffers) {
        sample += (textDiffers ? "; " : "") + std::string("int Windows ") + std::to_string(windowsInt) +
                  " ours " + std::to_string(mineInt) + " (text " + Show(windows) + ")";
      }
      tally.samples.push_back(sample);
    }
  }
}

// The 8-bit text as UTF-16 (each byte one unit) behind the byte-order mark.
std::string ToUtf16(const std::string& text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char c : text) {
    bytes += bigEndian ? '\0' : c;
    bytes += bigEndian ? c : '\0';
  }
  return bytes;
}

struct WriteTally {
  long files = 0;
  long identical = 0;    // both writers gave the same bytes
  long failures = 0;     // an encoding lost or a written value not read back
  std::vector<std::string> samples;
};

// The settings store's writes on a UTF-16 copy of `text`, by the platform
// and by our engine.
void CompareWrites(const std::string& dir, const std::string& label, const std::string& text, bool bigEndian,
                   WriteTally& tally) {
  static const char* const writes[][3] = {{"Game", "GameScreenWidth", "1024"},
                                          {"Performance", "Use16BitTextures", "1"},
                                          {"Sound", "EnableAcoustics", "0"},
                                          {"Halcyra New", "Key", "v"}};
  const std::string original = ToUtf16(text, bigEndian);
  const std::string windowsPath = dir + "\\write-windows.ini";
  const std::string oursPath = dir + "\\write-ours.ini";
  WriteBytes(windowsPath, original);
  profile::ProfileFile ours(original);
  for (const auto& write : writes) {
    WritePrivateProfileStringA(write[0], write[1], write[2], windowsPath.c_str());
    ours.WriteString(write[0], write[1], write[2]);
  }
  WriteBytes(oursPath, ours.Content());
  ++tally.files;
  const std::string windowsBytes = ReadBytes(windowsPath);
  if (windowsBytes == ours.Content()) ++tally.identical;
  std::vector<std::string> problems;
  for (const auto& [who, path] : {std::pair<const char*, std::string>{"Windows", windowsPath}, {"ours", oursPath}}) {
    const std::string bytes = ReadBytes(path);
    if (bytes.compare(0, 2, original, 0, 2) != 0) problems.push_back(std::string(who) + ": byte-order mark lost");
    std::vector<char> buffer(256);
    for (const auto& write : writes) {
      const DWORD length = GetPrivateProfileStringA(write[0], write[1], kDefault, buffer.data(),
                                                    static_cast<DWORD>(buffer.size()), path.c_str());
      if (std::string(buffer.data(), length) != write[2]) {
        problems.push_back(std::string(who) + ": " + write[1] + " reads " + Show(std::string(buffer.data(), length)));
      }
    }
  }
  if (!problems.empty()) {
    ++tally.failures;
    if (tally.samples.size() < 20) tally.samples.push_back(label + (bigEndian ? " (BE): " : " (LE): ") + problems[0]);
  }
}

std::vector<std::string> IniFiles(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*.ini").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: halcyra-profile-compare HAND_EDITED_DIR GENERATED_DIR [COUNT]\n");
    return 2;
  }
  const std::string handDir = argv[1];
  const std::string generatedDir = argv[2];
  const int count = argc > 3 ? std::atoi(argv[3]) : 300;

  Tally hand, generated, utf16;
  WriteTally writes;
  CreateDirectoryA(generatedDir.c_str(), nullptr);
  // A UTF-16 copy of `text`, in both byte orders: read, then written.
  const auto asUtf16 = [&](const std::string& text, const std::string& label) {
    for (const bool bigEndian : {false, true}) {
      const std::string path = generatedDir + "\\utf16.ini";
      WriteBytes(path, ToUtf16(text, bigEndian));
      Compare(path, label + (bigEndian ? " (UTF-16BE)" : " (UTF-16LE)"), true, utf16, &text);
      CompareWrites(generatedDir, label, text, bigEndian, writes);
    }
  };
  for (const std::string& name : IniFiles(handDir)) {
    Compare(handDir + "\\" + name, name, true, hand);
    asUtf16(ReadBytes(handDir + "\\" + name), name);
  }

  Random random(20260611);
  for (int i = 0; i < count; ++i) {
    const std::string path = generatedDir + "\\generated" + std::to_string(i) + ".ini";
    if (!WriteBytes(path, Generate(random))) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 2;
    }
    Compare(path, "generated" + std::to_string(i) + ".ini", false, generated);
    if (i % 10 == 0) asUtf16(ReadBytes(path), "generated" + std::to_string(i) + ".ini");
  }

  int status = 0;
  for (const auto* part : {&hand, &generated, &utf16}) {
    const char* what = part == &hand ? "hand-edited" : part == &generated ? "generated" : "UTF-16";
    std::printf("%s files: %ld, queries (text and integer each): %ld, answered from the file: %ld, "
                "unexplained differences: %ld\n",
                what, part->files, part->queries, part->found, part->unexplained);
    for (const auto& [why, n] : part->deliberate) std::printf("  deliberate, %ld: %s\n", n, why.c_str());
    for (const auto& sample : part->samples) std::printf("  DIFFERS %s\n", sample.c_str());
    if (part->unexplained != 0 || part->files == 0) status = 1;
  }
  std::printf("UTF-16 files written by both: %ld, byte for byte the same: %ld, encoding lost or a value not "
              "read back: %ld\n",
              writes.files, writes.identical, writes.failures);
  for (const auto& sample : writes.samples) std::printf("  WRITE %s\n", sample.c_str());
  if (writes.failures != 0 || writes.files == 0) status = 1;
  return status;
}
