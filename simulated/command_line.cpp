#include "simulated/command_line.h"

#include <algorithm>
#include <set>

#include "base/printable_text.h"
#include "res/version.h"

namespace cli {

Parser::Parser(std::string program, std::string about)
    : m_program(std::move(program)), m_about(std::move(about)) {}

void Parser::Value(std::string name, std::string valueName, std::string help, Take take,
                   bool required) {
  m_options.push_back({std::move(name), std::move(valueName), std::move(help), std::move(take), {},
                       required});
}

void Parser::Flag(std::string name, std::string help, std::function<void()> set) {
  m_options.push_back({std::move(name), {}, std::move(help), {}, std::move(set), false});
}

std::string Parser::UsageLine() const {
  std::string line = "usage: " + m_program;
  for (const Option& option : m_options) {
    std::string text = option.name;
    if (!option.valueName.empty()) text += " " + option.valueName;
    line += option.required ? " " + text : " [" + text + "]";
  }
  return line + " [--help] [--version]";
}

std::string Parser::Help() const {
  std::string text = UsageLine() + "\n\n" + m_about + "\n\n";
  struct Row {
    std::string left, help;
  };
  std::vector<Row> rows;
  for (const Option& option : m_options) {
    rows.push_back({option.valueName.empty() ? option.name : option.name + " " + option.valueName,
                    option.help});
  }
  rows.push_back({"--help", "show this help and exit"});
  rows.push_back({"--version", "show the version and exit"});
  std::size_t width = 0;
  for (const Row& row : rows) width = std::max(width, row.left.size());
  for (const Row& row : rows) {
    text += "  " + row.left + std::string(width - row.left.size() + 2, ' ') + row.help + "\n";
  }
  return text;
}

int Parser::Refuse(const std::string& message, std::FILE* err) const {
  std::fprintf(err, "%s: %s\n%s\n", m_program.c_str(), printable::Escape(message).c_str(),
               UsageLine().c_str());
  return kUsageError;
}

std::optional<int> Parser::Parse(int argc, char** argv, std::FILE* out, std::FILE* err) const {
  std::set<std::string> given;
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    if (argument == "--help" || argument == "-h") {
      std::fputs(Help().c_str(), out);
      return 0;
    }
    if (argument == "--version") {
      std::fprintf(out, "%s (Halcyra Setup) %s\n", m_program.c_str(), res::kVersion);
      return 0;
    }
    const auto option = std::find_if(m_options.begin(), m_options.end(),
                                     [&](const Option& o) { return o.name == argument; });
    if (option == m_options.end()) return Refuse("unknown argument '" + argument + "'", err);
    if (!given.insert(option->name).second) return Refuse(option->name + " is given twice", err);
    if (option->valueName.empty()) {
      option->set();
      continue;
    }
    if (index + 1 >= argc) return Refuse(option->name + " needs a value", err);
    const std::string problem = option->take(argv[++index]);
    if (!problem.empty()) return Refuse(option->name + " " + problem, err);
  }
  for (const Option& option : m_options) {
    if (option.required && given.count(option.name) == 0) {
      return Refuse(option.name + " " + option.valueName + " is required", err);
    }
  }
  return std::nullopt;
}

}  // namespace cli
