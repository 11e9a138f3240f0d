// Test cases kept as data: one case a line, its fields split by tabs, with
// the escapes \r \n \t \0 \\ and \xHH for bytes a line cannot hold; lines
// that begin with '#' are notes. A file that cannot be read, or a line with
// too many fields, stops the test program before any test runs.
#pragma once

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/simulated/temp_directory.h"

namespace testing_support {

inline std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = i + 1 < text.size() && text[i] == '\\' ? text[++i] : '\0';
    if (c == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c == '\0' ? text[i] : c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c == '0' ? '\0' : c;
    }
  }
  return out;
}

// The cases of `file` (in this folder of the sources), `fields` fields each;
// fields left off at the end of a line are empty.
inline std::vector<std::vector<std::string>> ReadCases(const std::string& file, std::size_t fields) {
  std::ifstream in(std::string(HALCYRA_TEST_DATA_DIR) + "/" + file);
  if (!in) throw std::runtime_error("cannot read " + file);
  std::vector<std::vector<std::string>> cases;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> row;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, '\t');) row.push_back(Unescape(field));
    if (row.size() > fields) throw std::runtime_error(file + ": too many fields in " + line);
    row.resize(fields);
    cases.push_back(row);
  }
  return cases;
}

// The bytes of the stored file at `path`, which must be there.
inline std::string ReadFile(const std::string& path) {
  if (!std::ifstream(path)) throw std::runtime_error("cannot read " + path);
  return ReadWholeFile(path);
}

// The blank-separated words of a field.
inline std::vector<std::string> Words(const std::string& field) {
  std::vector<std::string> words;
  std::istringstream in(field);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace testing_support
