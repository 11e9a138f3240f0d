#include "harness.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "dialog_model/scenario.h"
#include "res/strings.h"

namespace pages_test {

namespace fs = std::filesystem;

namespace {

std::string Box(unsigned id, const char* icon) {
  return std::string("box ") + std::to_string(id) + " " + icon + " " + dm::Quote(res::FindString(id));
}

const std::string g_box102 = Box(102, "stop");
const std::string g_box103 = Box(103, "stop");
const std::string g_box104 = Box(104, "warning");
const std::string g_box105 = Box(105, "warning");
const std::string g_box106 = Box(106, "warning");

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Reads a quoted text of the dump at `pos`, undoing the runner's escapes.
std::string Unquote(const std::string& line, std::size_t& pos) {
  std::string text;
  ++pos;  // opening quote
  while (pos < line.size() && line[pos] != '"') {
    if (line[pos] == '\\' && pos + 1 < line.size()) {
      ++pos;
      if (line[pos] == 'x' && pos + 2 < line.size()) {
        text += static_cast<char>(std::stoi(line.substr(pos + 1, 2), nullptr, 16));
        pos += 3;
        continue;
      }
    }
    text += line[pos++];
  }
  ++pos;  // closing quote
  return text;
}

std::optional<Control> ParseDumpLine(const std::string& line) {
  std::istringstream words(line);
  Control control;
  std::string enabled;
  if (!(words >> control.id >> control.kind >> enabled)) return std::nullopt;
  if (enabled.rfind("enabled=", 0) != 0) return std::nullopt;
  control.enabled = enabled == "enabled=1";
  std::size_t pos = line.find(enabled) + enabled.size();
  while (pos < line.size()) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    const std::size_t eq = line.find('=', pos);
    if (eq == std::string::npos) break;
    const std::string key = line.substr(pos, eq - pos);
    pos = eq + 1;
    if (key == "checked" || key == "current") {
      std::size_t used = 0;
      const int value = std::stoi(line.substr(pos), &used);
      pos += used;
      (key == "checked" ? control.checked : control.current) = value;
    } else if (key == "items") {
      while (pos < line.size() && line[pos] == '"') {
        control.items.push_back(Unquote(line, pos));
        if (pos < line.size() && line[pos] == ',') ++pos;
      }
    } else if (key == "text") {
      control.text = Unquote(line, pos);
    } else {
      return std::nullopt;
    }
  }
  return control;
}

// Whenever a script's last dump of the 3D page is followed by OK alone, the
// resolution it shows must be the one saved: the entry's numbers, or
// 640 x 480 x 8 with an empty list.
void ExpectShownResolutionSaved(const Outcome& outcome, const std::string& script) {
  const std::string tail = "dump\nok\n";
  if (script.size() < tail.size() || script.compare(script.size() - tail.size(), tail.size(), tail) != 0) return;
  if (outcome.dumps.empty() || outcome.dumps.back().count(1007) == 0 || !outcome.Has("result ok") ||
      outcome.Value("Game", "GameScreenWidth").empty() || outcome.Has(g_box106)) {
    return;
  }
  const Control& list = outcome.dumps.back().at(res::IDC_RESOLUTION);
  const std::string saved = outcome.Value("Game", "GameScreenWidth") + " x " + outcome.Value("Game", "GameScreenHeight") +
                            " x " + outcome.Value("Game", "GameScreenDepth");
  EXPECT_EQ(list.items.empty() ? "640 x 480 x 8" : list.text, saved) << "script:\n" << script;
}

}  // namespace

std::string Profile(const std::string& name) {
  return ReadFile(fs::path(HALCYRA_PROFILES_DIR) / name).value_or("");
}

const char* const kBox102 = g_box102.c_str();
const char* const kBox103 = g_box103.c_str();
const char* const kBox104 = g_box104.c_str();
const char* const kBox105 = g_box105.c_str();
const char* const kBox106 = g_box106.c_str();

std::string Ini(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::vector<std::string> Outcome::Events() const {
  std::vector<std::string> events;
  for (const auto& line : lines) {
    if (ParseDumpLine(line) || line.rfind("reading config from ", 0) == 0) continue;
    events.push_back(line);
  }
  return events;
}

std::vector<std::string> Outcome::Boxes() const {
  std::vector<std::string> boxes;
  for (const auto& line : lines) {
    if (line.rfind("box ", 0) == 0) boxes.push_back(line);
  }
  return boxes;
}

bool Outcome::Has(const std::string& line) const {
  for (const auto& l : lines) {
    if (l == line) return true;
  }
  return false;
}

std::string Outcome::Value(const std::string& section, const std::string& key) const {
  if (!options) return {};
  std::istringstream in(*options);
  std::string line, current;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 1 && line.front() == '[') {
      current = line.substr(1, line.find(']') - 1);
    } else if (current == section && line.rfind(key + "=", 0) == 0) {
      return line.substr(key.size() + 1);
    }
  }
  return {};
}

Outcome RunSetup(const std::string& machineToml, const Install& install, const std::string& script) {
  std::string pattern = (fs::temp_directory_path() / "halcyra-pages-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  const fs::path root = pattern;
  const fs::path installDir = root / "install";
  fs::create_directories(installDir / "static");
  const fs::path store = root / "store";
  const fs::path virtualCopy = store / fs::path(installDir).relative_path() / "options.ini";
  std::string machine = machineToml;
  if (install.unelevatedUser) {
    machine += "\n[user]\nelevated = false\nvirtual_store = '" + store.string() + "'\nprogram_files = '" +
               root.string() + "'\n";
    fs::create_directories(store);
    if (install.virtualCopy) {
      fs::create_directories(virtualCopy.parent_path());
      WriteFile(virtualCopy, *install.virtualCopy);
    }
  }
  WriteFile(root / "machine.toml", machine);
  WriteFile(root / "script.txt", script);
  if (install.options) WriteFile(installDir / "options.ini", *install.options);
  if (install.readOnlyOptions) {
    fs::permissions(installDir / "options.ini", fs::perms::owner_read | fs::perms::group_read |
                                                    fs::perms::others_read);
  }
  for (const auto& archive : install.archives) {
    WriteFile(installDir / "static" / archive, "FLX");
    if (install.readOnlyArchives) fs::permissions(installDir / "static" / archive, fs::perms::owner_read);
  }
  for (const auto& directory : install.archiveDirectories) fs::create_directories(installDir / "static" / directory);
  if (install.unreadableOptions) fs::permissions(installDir / "options.ini", fs::perms::none);
  std::string user;
  if (install.asUnprivilegedUser && geteuid() == 0) {
    constexpr unsigned kNobody = 65534;
    fs::permissions(root, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    for (const fs::path& mine : {installDir, store}) {
      if (!fs::exists(mine) || (mine == installDir && install.systemOwnedInstall)) continue;
      for (const auto& entry : fs::recursive_directory_iterator(mine)) {
        if (lchown(entry.path().c_str(), kNobody, kNobody) != 0) throw std::runtime_error("chown failed");
      }
      if (chown(mine.c_str(), kNobody, kNobody) != 0) throw std::runtime_error("chown failed");
    }
    fs::permissions(root / "machine.toml", fs::perms::others_read, fs::perm_options::add);
    fs::permissions(root / "script.txt", fs::perms::others_read, fs::perm_options::add);
    user = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  if (install.readOnlyFolder) {
    fs::permissions(installDir, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }

  const std::string command = user + std::string(HALCYRA_SIM) + " --machine '" + (root / "machine.toml").string() +
                              "' --install-dir '" + installDir.string() + "' --script '" +
                              (root / "script.txt").string() + "' 2>'" + (root / "stderr.txt").string() + "'";
  Outcome outcome;
  outcome.installDir = installDir;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("popen failed");
  std::string output;
  std::array<char, 4096> chunk{};
  std::size_t n;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) output.append(chunk.data(), n);
  const int status = pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.errors = ReadFile(root / "stderr.txt").value_or("");

  std::istringstream lines(output);
  std::string line;
  bool inDump = false;
  while (std::getline(lines, line)) {
    outcome.lines.push_back(line);
    if (auto control = ParseDumpLine(line)) {
      // A dump starts with the first control of a page's template.
      const bool first = control->id == 1014 || (control->kind == "group" && control->text == "3D Hardware");
      if (!inDump || first) outcome.dumps.emplace_back();
      inDump = true;
      if (control->id != -1) outcome.dumps.back()[control->id] = *control;
    } else {
      inDump = false;
    }
  }
  outcome.options = ReadFile(installDir / "options.ini");
  outcome.virtualCopyPath = virtualCopy;
  outcome.virtualCopy = ReadFile(virtualCopy);
  ExpectShownResolutionSaved(outcome, script);
  fs::permissions(installDir, fs::perms::owner_all, fs::perm_options::add);
  std::error_code ignored;
  if (fs::exists(installDir / "options.ini")) {
    fs::permissions(installDir / "options.ini", fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  fs::remove_all(root, ignored);
  return outcome;
}

}  // namespace pages_test
