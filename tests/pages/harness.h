// Runs Halcyra Setup through halcyra-sim --script on a machine of
// tests/pages/machines and an install folder made for the test, with the
// permissions and users that a stored case cannot set up, and reads back
// what the user saw and what the folders hold afterwards.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pages_test {

struct Install {
  // Content of options.ini; none: the file does not exist.
  std::optional<std::string> options = std::string();
  // Archives present in "static".
  std::vector<std::string> archives = {"bitmapc.flx", "bitmap16.flx", "bitmapsh.flx"};
  // Directories made in "static", in an archive's place.
  std::vector<std::string> archiveDirectories = {};
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
  std::optional<std::string> virtualCopy = std::nullopt;
  // The machine's user runs Halcyra Setup elevated ("Run as administrator")
  // and has a VirtualStore (`virtualCopy` as above).
  bool elevatedUser = false;
  // No "Install Path": Halcyra Setup is started in a folder that does not
  // hold the game; with `programInInstall` its program lies in the install
  // folder (a shortcut whose "Start in" is elsewhere).
  bool noInstallPath = false;
  bool programInInstall = false;
  // With noInstallPath: Halcyra Setup is started in the install folder
  // itself, and options.ini there may not be written.
  bool startInInstall = false;
  bool readOnlyOptions = false;
};

struct Outcome {
  int status = 0;                  // halcyra-sim's exit status
  std::vector<std::string> events;  // standard output but dumps and "reading config from", @GAME@ for the install folder
  std::string errors;              // standard error
  std::optional<std::string> options;      // options.ini afterwards
  std::optional<std::string> virtualCopy = std::nullopt;  // the user's VirtualStore copy afterwards
  std::optional<std::string> strayOptions = std::nullopt;  // an options.ini in the folder started in
};

Outcome RunSetup(const std::string& machine, const Install& install, const std::string& script);

// The text of a machine of tests/pages/machines, by name.
std::string Machine(const std::string& name);

// Builds options.ini text from lines, CRLF-terminated as the game writes it.
std::string Ini(std::initializer_list<const char*> lines);

// The box line of a missing texture archive.
extern const char* const kBox102;
// The box line of a save that failed for the cause with text `causeId`, in
// the install folder (shown as @GAME@ in Outcome::events).
std::string Box106(unsigned causeId);

}  // namespace pages_test
