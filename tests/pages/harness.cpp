#include "harness.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "dialog_model/scenario.h"
#include "res/strings.h"

namespace pages_test {

namespace fs = std::filesystem;

namespace {

std::string Box(unsigned id, const char* icon) {
  return std::string("box ") + std::to_string(id) + " " + icon + " " + dm::Quote(res::FindString(id));
}

const std::string g_box102 = Box(102, "stop");

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

}  // namespace

std::string Machine(const std::string& name) {
  return ReadFile(fs::path(HALCYRA_PAGE_MACHINES_DIR) / (name + ".toml")).value_or("");
}

const char* const kBox102 = g_box102.c_str();

std::string Box106(unsigned causeId) {
  std::string text = res::FindString(106);
  text.replace(text.find("%s"), 2, "@GAME@");
  text.replace(text.find("%s"), 2, res::FindString(causeId));
  return "box 106 warning " + dm::Quote(text);
}

std::string Ini(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
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
  if (install.unelevatedUser || install.elevatedUser || install.programInInstall) machine += "\n[user]\n";
  if (install.programInInstall) machine += "program_folder = '" + installDir.string() + "'\n";
  if (install.unelevatedUser || install.elevatedUser) {
    machine += std::string("elevated = ") + (install.elevatedUser ? "true" : "false") + "\nvirtual_store = '" +
               store.string() + "'\nprogram_files = '" + root.string() + "'\n";
    fs::create_directories(store);
    if (install.virtualCopy) {
      fs::create_directories(virtualCopy.parent_path());
      WriteFile(virtualCopy, *install.virtualCopy);
    }
  }
  WriteFile(root / "machine.toml", machine);
  WriteFile(root / "script.txt", script);
  if (install.options) WriteFile(installDir / "options.ini", *install.options);
  for (const auto& archive : install.archives) {
    WriteFile(installDir / "static" / archive, "FLX");
    if (install.readOnlyArchives) fs::permissions(installDir / "static" / archive, fs::perms::owner_read);
  }
  for (const auto& directory : install.archiveDirectories) fs::create_directories(installDir / "static" / directory);
  if (install.unreadableOptions) fs::permissions(installDir / "options.ini", fs::perms::none);
  if (install.readOnlyOptions) fs::permissions(installDir / "options.ini", fs::perms::owner_read);
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
    // The user's own state folder (where a save written in place keeps its
    // recovery file), as a real user has one below their home.
    const fs::path state = root / "state";
    fs::create_directories(state);
    if (chown(state.c_str(), kNobody, kNobody) != 0) throw std::runtime_error("chown failed");
    user = "XDG_STATE_HOME='" + state.string() + "' setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  if (install.readOnlyFolder) {
    fs::permissions(installDir, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }

  const std::string installPath = install.noInstallPath ? "" : " --install-dir '" + installDir.string() + "'";
  const fs::path startIn = install.startInInstall ? installDir : root;
  const std::string command = "cd '" + startIn.string() + "' && " + user + std::string(HALCYRA_SIM) + " --machine '" +
                              (root / "machine.toml").string() + "'" + installPath + " --script '" +
                              (root / "script.txt").string() + "' 2>'" + (root / "stderr.txt").string() + "'";
  Outcome outcome;
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
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" enabled=") == std::string::npos && !line.starts_with("reading config from ")) {
      for (std::size_t at = line.find(installDir.string()); at != std::string::npos;
           at = line.find(installDir.string(), at)) {
        line.replace(at, installDir.string().size(), "@GAME@");
      }
      outcome.events.push_back(line);
    }
  }
  outcome.options = ReadFile(installDir / "options.ini");
  outcome.virtualCopy = ReadFile(virtualCopy);
  outcome.strayOptions = ReadFile(root / "options.ini");
  fs::permissions(installDir, fs::perms::owner_all, fs::perm_options::add);
  std::error_code ignored;
  if (fs::exists(installDir / "options.ini")) {
    fs::permissions(installDir / "options.ini", fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  fs::remove_all(root, ignored);
  return outcome;
}

}  // namespace pages_test
