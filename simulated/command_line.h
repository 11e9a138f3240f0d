// The command lines of halcyra-sim and halcyra-setup: a table of options,
// each with its help line, and --help and --version for every program. The
// usage line and the help are made from the table, so an option is added in
// one place.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// Exit code for a command line that cannot be used.
constexpr int kUsageError = 2;

class Parser {
 public:
  // `program` names the program in messages; `about` is the help's first
  // paragraph.
  Parser(std::string program, std::string about);

  // An option with a value: `take` checks and keeps it, and returns an
  // error message, or an empty one when the value is good. A `required`
  // option must be given.
  using Take = std::function<std::string(const std::string& value)>;
  void Value(std::string name, std::string valueName, std::string help, Take take,
             bool required = false);
  // An option without a value.
  void Flag(std::string name, std::string help, std::function<void()> set);

  // Reads the arguments. Returns nullopt when the program goes on, else the
  // exit code: 0 after --help (on `out`) or --version (on `out`),
  // kUsageError after a message and the usage line on `err`.
  std::optional<int> Parse(int argc, char** argv, std::FILE* out, std::FILE* err) const;

  // "PROGRAM: MESSAGE" on `err`, with the message's controls escaped (it
  // may carry a path or an argument), and the usage line; returns
  // kUsageError.
  int Refuse(const std::string& message, std::FILE* err) const;

  std::string UsageLine() const;
  std::string Help() const;

 private:
  struct Option {
    std::string name;
    std::string valueName;  // empty for a flag
    std::string help;
    Take take;
    std::function<void()> set;
    bool required = false;
  };

  std::string m_program;
  std::string m_about;
  std::vector<Option> m_options;
};

}  // namespace cli
