// Runs Halcyra Setup through halcyra-sim --script on a machine profile and
// an install directory made for the test, and reads back what the user saw
// and what the install directory holds afterwards.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "res/resource.h"

namespace pages_test {

// One control as a dump line shows it.
struct Control {
  int id = 0;
  std::string kind;
  bool enabled = false;
  int checked = -1;
  int current = -2;
  std::vector<std::string> items;
  std::string text;
};

// One dump: the controls of the active page by id (unnamed controls left
// out).
using Dump = std::map<int, Control>;

struct Install {
  // Content of options.ini; none: the file does not exist.
  std::optional<std::string> options = std::string();
  // Archives present in "static".
  std::vector<std::string> archives = {"bitmapc.flx", "bitmap16.flx", "bitmapsh.flx"};
  // Directories made in "static", in an archive's place.
  std::vector<std::string> archiveDirectories;
  bool readOnlyOptions = false;
  bool unreadableOptions = false;  // no read permission (needs asUnprivilegedUser)
  bool readOnlyFolder = false;     // no file may be made in the install folder
  bool readOnlyArchives = false;
  // Runs halcyra-sim as "nobody" (with the install folder its own) when the
  // tests run as root, so that permissions hold.
  bool asUnprivilegedUser = false;
  // With asUnprivilegedUser: the install folder and its files stay root's,
  // as "Program Files" is the system's (readable, not writable).
  bool systemOwnedInstall = false;
  // The machine's user runs without elevation and has a VirtualStore; the
  // install folder lies in the virtualized location. `virtualCopy`: that
  // user's copy of options.ini at the start (none: no copy).
  bool unelevatedUser = false;
  std::optional<std::string> virtualCopy;
};

struct Outcome {
  int status = 0;                  // halcyra-sim's exit status
  std::vector<std::string> lines;  // standard output
  std::string errors;              // standard error
  std::vector<Dump> dumps;
  std::optional<std::string> options;  // options.ini afterwards
  std::filesystem::path installDir;
  std::filesystem::path virtualCopyPath;  // where the user's VirtualStore copy lies
  std::optional<std::string> virtualCopy;  // and what it holds afterwards

  // The event lines: everything but the dumps and "reading config from".
  std::vector<std::string> Events() const;
  // The "box ..." lines.
  std::vector<std::string> Boxes() const;
  bool Has(const std::string& line) const;
  // The value of `key` in options.ini after the run ("" when missing).
  std::string Value(const std::string& section, const std::string& key) const;
};

Outcome RunSetup(const std::string& machineToml, const Install& install, const std::string& script);

// The text of a shipped machine profile, by file name.
std::string Profile(const std::string& name);

// Builds options.ini text from lines, CRLF-terminated as the game writes it.
std::string Ini(std::initializer_list<const char*> lines);

// The box lines of the page's warnings.
extern const char* const kBox102;
extern const char* const kBox103;
extern const char* const kBox104;
extern const char* const kBox105;
extern const char* const kBox106;

}  // namespace pages_test
