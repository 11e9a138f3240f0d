// A small checking kit for the test programs that run under Wine (GoogleTest
// is not built for Windows here): named cases, EXPECT and EXPECT_EQ that
// report the file, the line and both values, and a failure count that
// becomes the exit code; and the programs' reading and writing of files.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace check {

inline int& Failures() {
  static int failures = 0;
  return failures;
}

template <class T>
std::string Show(const T& value) {
  std::ostringstream out;
  out << value;
  return out.str();
}
inline std::string Show(const std::string& value) { return "\"" + value + "\""; }
inline std::string Show(const char* value) { return value ? Show(std::string(value)) : "null"; }
inline std::string Show(bool value) { return value ? "true" : "false"; }

// The bytes of `file` from its start.
inline std::string ReadAll(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  return text;
}

// The bytes of the file at `path`; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
  std::string text;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    text = ReadAll(file);
    std::fclose(file);
  }
  return text;
}

inline bool WriteBytes(const std::string& path, const std::string& content) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  return std::fclose(file) == 0 && ok;
}

inline void Fail(const char* file, int line, const std::string& what) {
  ++Failures();
  std::fprintf(stderr, "%s:%d: %s\n", file, line, what.c_str());
  std::fflush(stderr);
}

struct Case {
  const char* name;
  void (*body)();
};

inline std::vector<Case>& Cases() {
  static std::vector<Case> cases;
  return cases;
}

struct Register {
  Register(const char* name, void (*body)()) { Cases().push_back({name, body}); }
};

// Runs every registered case whose name contains `filter`; returns the exit
// code: 0 when all passed.
inline int RunAll(const std::string& filter) {
  int ran = 0;
  for (const Case& c : Cases()) {
    if (!filter.empty() && std::string(c.name).find(filter) == std::string::npos) continue;
    const int before = Failures();
    std::printf("[ RUN      ] %s\n", c.name);
    std::fflush(stdout);
    c.body();
    ++ran;
    std::printf("[ %s ] %s\n", Failures() == before ? "      OK" : " FAILED ", c.name);
    std::fflush(stdout);
  }
  std::printf("%d cases, %d failed checks\n", ran, Failures());
  return ran == 0 ? 1 : (Failures() == 0 ? 0 : 1);
}

}  // namespace check

#define CHECK_CASE(name)                                 \
  static void name();                                    \
  static const ::check::Register name##_registered{#name, &name}; \
  static void name()

#define EXPECT(cond)                                                     \
  do {                                                                   \
    if (!(cond)) ::check::Fail(__FILE__, __LINE__, "expected " #cond);   \
  } while (0)

#define EXPECT_EQ(actual, expected)                                                        \
  do {                                                                                     \
    const auto& check_a = (actual);                                                        \
    const auto& check_e = (expected);                                                      \
    if (!(check_a == check_e)) {                                                           \
      ::check::Fail(__FILE__, __LINE__,                                                    \
                    std::string(#actual " is ") + ::check::Show(check_a) + ", expected " + \
                        ::check::Show(check_e));                                           \
    }                                                                                      \
  } while (0)
