// Saves of options.ini killed at random moments, and saves run two at once,
// on the real file system: the measure of "all or nothing".
//
//   save_torture kill hardlink|lockedfolder COUNT [MEGABYTES]
//   save_torture pairs COUNT [MEGABYTES]
//
// kill: COUNT times, a save of a changed record into a file of MEGABYTES
// (default 3.8) that must be written in place (it has a second name, or its
// folder may not be changed: run as root, the save runs as "nobody") is
// killed with SIGKILL after a random delay of up to 1.2 times what a whole
// save takes; then the next start reads the file. Counts the files that
// hold neither the old nor the new content afterwards ("torn").
//
// pairs: COUNT times, two processes save different records into one file
// at the same moment (the rename path). Counts the saves that fail (the
// player would see message 106) and the files that are neither record.
//
// Prints one line of counts; the exit code is 1 when any save failed or any
// file was torn.
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "settings/game_settings.h"
#include "settings/profile_file.h"
#include "simulated/posix_file_system.h"
#include "tests/simulated/temp_directory.h"

using namespace halcyra;
using posixfs::PosixFileSystem;
using testing_support::ReadWholeFile;
using testing_support::TempDirectory;
using testing_support::WriteWholeFile;

namespace {

constexpr uid_t kNobody = 65534;

// A file as big as a player's with many key bindings: the game's sections,
// then lines of its own.
std::string OldOptions(double megabytes) {
  std::string content =
      "[Game]\r\nGame Rasterizer=2\r\nGameScreenWidth=640\r\nGameScreenHeight=480\r\n"
      "[Performance]\r\nUse16BitTextures=1\r\n[Sound]\r\nEnableAcoustics=1\r\n[Bindings]\r\n";
  const auto size = static_cast<std::size_t>(megabytes * 1024 * 1024);
  for (int i = 0; content.size() < size; ++i) content += "Key=Value e " + std::to_string(i) + "\r\n";
  return content;
}

// The record as a player changes it; `variant` gives two different ones.
void Change(GameSettings& settings, int variant) {
  settings.rasterizer = RasterizerGlide;
  settings.textureMode = TexturesCompressed;
  settings.screenWidth = variant == 0 ? 1280 : 1600;
  settings.screenHeight = variant == 0 ? 1024 : 1200;
  settings.mipMapLevel = 2;
}

std::string Changed(const std::string& old, int variant) {
  GameSettings settings;
  settings.ReadFrom(profile::ProfileFile(old));
  Change(settings, variant);
  profile::ProfileFile file(old);
  settings.WriteTo(file);
  return file.Content();
}

void BecomeUser(uid_t user) {
  if (user != ::geteuid() && (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0)) {
    ::_exit(3);
  }
}

// A save of `ini` in a child process as `user`; its process id. When
// `start` is a pipe's read end, the save waits for a byte on it first.
pid_t StartSave(const std::string& ini, const PosixFileSystem::Options& options, uid_t user, int variant,
                int start = -1) {
  const pid_t child = ::fork();
  if (child == 0) {
    BecomeUser(user);
    if (!std::freopen("/dev/null", "w", stdout)) ::_exit(4);
    PosixFileSystem files(options);
    filesys::FileSystemSlot::Install(&files);
    GameSettings settings(ini);
    Change(settings, variant);
    char go = 0;
    if (start >= 0 && ::read(start, &go, 1) != 1) ::_exit(4);
    ::_exit(settings.Save() ? 0 : 1);
  }
  return child;
}

// Waits for `child`; true when it ended by itself with exit code 0.
bool Succeeded(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The next start: options.ini read as Halcyra Setup reads it when it opens.
void NextStart(const std::string& ini, const PosixFileSystem::Options& options, uid_t user) {
  const pid_t child = ::fork();
  if (child == 0) {
    BecomeUser(user);
    PosixFileSystem files(options);
    ::_exit(files.ReadFile(ini) ? 0 : 1);
  }
  Succeeded(child);
}

int Kill(bool lockedFolder, int count, double megabytes) {
  if (lockedFolder && ::geteuid() != 0) {
    std::fprintf(stderr, "save_torture: the locked-folder case needs root\n");
    return 77;  // skipped
  }
  const uid_t user = lockedFolder ? kNobody : ::geteuid();
  TempDirectory dir;
  TempDirectory state;
  ::chmod(state.path().c_str(), 0755);
  PosixFileSystem::Options options;
  options.recoveryFolder = state / "recovery";
  ::mkdir(options.recoveryFolder->c_str(), 0700);
  if (::chown(options.recoveryFolder->c_str(), user, static_cast<gid_t>(-1)) != 0) return 2;
  const std::string ini = dir / "options.ini";
  const std::string other = dir / "backup.ini";
  const std::string oldContent = OldOptions(megabytes);
  const std::string newContent = Changed(oldContent, 0);

  const auto prepare = [&] {
    ::chmod(dir.path().c_str(), 0755);
    std::filesystem::remove(other);
    WriteWholeFile(ini, oldContent);
    if (::chown(ini.c_str(), user, static_cast<gid_t>(-1)) != 0) std::exit(2);
    if (lockedFolder) {
      ::chmod(dir.path().c_str(), 0555);
    } else if (::link(ini.c_str(), other.c_str()) != 0) {
      std::exit(2);
    }
  };

  // How long a whole save takes, from five that are not killed.
  std::chrono::nanoseconds whole{0};
  for (int i = 0; i < 5; ++i) {
    prepare();
    const auto began = std::chrono::steady_clock::now();
    if (!Succeeded(StartSave(ini, options, user, 0)) || ReadWholeFile(ini) != newContent) {
      std::fprintf(stderr, "save_torture: a save that was not killed failed\n");
      return 2;
    }
    whole += std::chrono::steady_clock::now() - began;
  }
  whole /= 5;

  std::mt19937_64 random(std::random_device{}());
  std::uniform_int_distribution<long long> delay(0, whole.count() * 6 / 5);
  int killed = 0, finished = 0, oldAfter = 0, newAfter = 0, torn = 0;
  for (int i = 0; i < count; ++i) {
    prepare();
    const pid_t child = StartSave(ini, options, user, 0);
    std::this_thread::sleep_for(std::chrono::nanoseconds(delay(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    (WIFSIGNALED(status) ? killed : finished) += 1;
    NextStart(ini, options, user);
    const std::string now = ReadWholeFile(ini);
    const bool otherAgrees = lockedFolder || ReadWholeFile(other) == now;
    if (now == oldContent && otherAgrees) {
      ++oldAfter;
    } else if (now == newContent && otherAgrees) {
      ++newAfter;
    } else {
      ++torn;
    }
  }
  ::chmod(dir.path().c_str(), 0755);
  std::printf("kill %s: %d saves of %.1f MB (a whole save %.1f ms): %d killed, %d finished first; "
              "afterwards %d old, %d new, %d torn\n",
              lockedFolder ? "lockedfolder" : "hardlink", count, static_cast<double>(oldContent.size()) / 1048576.0,
              std::chrono::duration<double, std::milli>(whole).count(), killed, finished, oldAfter, newAfter, torn);
  return torn == 0 ? 0 : 1;
}

int Pairs(int count, double megabytes) {
  TempDirectory dir;
  const std::string ini = dir / "options.ini";
  const std::string oldContent = OldOptions(megabytes);
  const std::string first = Changed(oldContent, 0);
  const std::string second = Changed(oldContent, 1);
  int failed = 0, torn = 0;
  for (int i = 0; i < count; ++i) {
    WriteWholeFile(ini, oldContent);
    int start[2];
    if (::pipe(start) != 0) return 2;
    const pid_t a = StartSave(ini, {}, ::geteuid(), 0, start[0]);
    const pid_t b = StartSave(ini, {}, ::geteuid(), 1, start[0]);
    ::close(start[0]);
    // Both have loaded the file; both go at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (::write(start[1], "ab", 2) != 2) return 2;
    ::close(start[1]);
    failed += Succeeded(a) ? 0 : 1;
    failed += Succeeded(b) ? 0 : 1;
    const std::string now = ReadWholeFile(ini);
    if (now != first && now != second) ++torn;
  }
  std::printf("pairs: %d pairs of saves at once into %.1f MB: %d failed saves, %d torn files\n", count,
              static_cast<double>(oldContent.size()) / 1048576.0, failed, torn);
  return failed == 0 && torn == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "kill" && argc >= 4) {
    const std::string which = argv[2];
    if (which != "hardlink" && which != "lockedfolder") return 2;
    return Kill(which == "lockedfolder", std::atoi(argv[3]), argc > 4 ? std::atof(argv[4]) : 3.8);
  }
  if (mode == "pairs" && argc >= 3) return Pairs(std::atoi(argv[2]), argc > 3 ? std::atof(argv[3]) : 3.8);
  std::fprintf(stderr,
               "usage: save_torture kill hardlink|lockedfolder COUNT [MEGABYTES]\n"
               "       save_torture pairs COUNT [MEGABYTES]\n");
  return 2;
}
