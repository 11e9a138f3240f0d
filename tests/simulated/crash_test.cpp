// Saves are killed at many points; every time the file must hold either its
// old or its new content, and a later save must succeed.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "settings/game_settings.h"
#include "settings/profile_file.h"
#include "simulated/posix_file_system.h"
#include "tests/simulated/temp_directory.h"

using namespace halcyra;

namespace {

using posixfs::PosixFileSystem;
using posixfs::ReplaceStep;
using testing_support::ReadWholeFile;
using testing_support::TempDirectory;
using testing_support::WriteWholeFile;

std::string OldOptions() {
  std::string content =
      "; Halcyra options\r\n[Game]\r\nGame Rasterizer=2\r\nD3DGUID=1,2,3,4,5,6,7,8,9,10,11\r\n"
      "GameScreenWidth=640\r\nGameScreenHeight=480\r\n[Performance]\r\nUse16BitTextures=1\r\n"
      "[Sound]\r\nEnableAcoustics=1\r\n[Bindings]\r\n";
  for (int i = 0; i < 150; ++i) {
    content += "Key" + std::to_string(i) + "=Action number " + std::to_string(i) + "\r\n";
  }
  return content;
}

void Change(GameSettings& settings) {
  settings.rasterizer = RasterizerGlide;
  settings.textureMode = TexturesCompressed;
  settings.screenWidth = 1280;
  settings.screenHeight = 1024;
  settings.mipMapLevel = 2;
  settings.enableAcoustics = 0;
}

// What the file holds after a save that is not interrupted.
std::string NewOptions(const std::string& old) {
  GameSettings settings;
  settings.ReadFrom(profile::ProfileFile(old));
  Change(settings);
  profile::ProfileFile file(old);
  settings.WriteTo(file);
  return file.Content();
}

// Runs a save in a child process that kills itself before hook call number
// `killAt`. Returns true when the child was killed, false when the save ran
// to its end. The child runs as `user` (this process is root when it is not
// this process's user) with `base`'s options.
bool SaveKilledAt(const std::string& ini, int killAt, const PosixFileSystem::Options& base = {},
                  uid_t user = ::geteuid()) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (user != ::geteuid() && (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0)) {
      ::_exit(3);
    }
    std::freopen("/dev/null", "w", stdout);
    int calls = 0;
    PosixFileSystem::Options options = base;
    options.writeChunk = 101;
    options.faultHook = [&calls, killAt](ReplaceStep, std::size_t) {
      if (calls++ == killAt) ::raise(SIGKILL);
      return true;
    };
    PosixFileSystem files(options);
    filesys::FileSystemSlot::Install(&files);
    GameSettings settings(ini);
    Change(settings);
    ::_exit(settings.Save() ? 0 : 1);
  }
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, 0), child);
  if (WIFSIGNALED(status)) {
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    return true;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return false;
}

TEST(CrashTest, KilledAtEveryStepOfASaveLeavesOldOrNew) {
  TempDirectory dir;
  const std::string ini = dir / "options.ini";
  const std::string oldContent = OldOptions();
  const std::string newContent = NewOptions(oldContent);
  ASSERT_NE(oldContent, newContent);
  ASSERT_GT(newContent.size(), 20u * 101u);  // many writes per save

  int killAt = 0;
  int sawNew = 0;
  for (; killAt < 1000; ++killAt) {
    WriteWholeFile(ini, oldContent);
    const bool killed = SaveKilledAt(ini, killAt);
    const std::string now = ReadWholeFile(ini);
    EXPECT_TRUE(now == oldContent || now == newContent) << "killed before step " << killAt;
    if (now == newContent) ++sawNew;
    if (!killed) break;
  }
  EXPECT_LT(killAt, 1000) << "the save never ran to its end";
  EXPECT_GT(killAt, 20) << "too few points to kill at";
  EXPECT_EQ(ReadWholeFile(ini), newContent);
  EXPECT_GE(sawNew, 2);  // killed while flushing the directory, and not killed

  // After a crash in the middle of writing, the next save still succeeds.
  // It removes what the killed saves left, once no running save can be
  // making it still.
  WriteWholeFile(ini, oldContent);
  SaveKilledAt(ini, 5);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const timespec longAgo[2] = {{0, 0}, {0, 0}};
    ::utimensat(AT_FDCWD, entry.path().c_str(), longAgo, AT_SYMLINK_NOFOLLOW);
  }
  PosixFileSystem files;
  filesys::FileSystemSlot::Install(&files);
  testing::internal::CaptureStdout();
  GameSettings settings(ini);
  testing::internal::GetCapturedStdout();
  Change(settings);
  EXPECT_TRUE(settings.Save());
  EXPECT_EQ(ReadWholeFile(ini), newContent);
  filesys::FileSystemSlot::Install(nullptr);
  // Each save removed what the killed one before it left.
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename(), "options.ini");
  }
}

// The user a save runs as where its folder must refuse it: "nobody" when
// this process is root, else this user (and the folder case is skipped).
constexpr uid_t kNobody = 65534;

// Reads `ini` as the next start does, in a child process as `user`.
void NextStart(const std::string& ini, const PosixFileSystem::Options& options, uid_t user) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (user != ::geteuid() && (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0)) {
      ::_exit(3);
    }
    PosixFileSystem files(options);
    ::_exit(files.ReadFile(ini) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// The in-place save (a file with a second name; a folder the user may not
// change) killed before each of its steps: once the next start has read
// the file, it holds the old or the new content, and so does its other
// name. A killed save never leaves the file changed and the save unknown.
TEST(CrashTest, InPlaceSaveKilledAnywhereLeavesOldOrNewForTheNextStart) {
  for (const bool lockedFolder : {false, true}) {
    if (lockedFolder && ::geteuid() != 0) continue;  // the folder would not refuse its owner
    const uid_t user = lockedFolder ? kNobody : ::geteuid();
    TempDirectory dir;
    TempDirectory state;
    ::chmod(state.path().c_str(), 0755);
    const std::string recovery = state / "recovery";
    ::mkdir(recovery.c_str(), 0700);
    ASSERT_EQ(::chown(recovery.c_str(), user, static_cast<gid_t>(-1)), 0);
    PosixFileSystem::Options options;
    options.recoveryFolder = recovery;
    const std::string ini = dir / "options.ini";
    const std::string other = dir / "backup.ini";
    const std::string oldContent = OldOptions();
    const std::string newContent = NewOptions(oldContent);
    const char* what = lockedFolder ? "locked folder" : "hard link";

    int killAt = 0;
    int sawNew = 0;
    int sawOld = 0;
    for (; killAt < 1000; ++killAt) {
      ::chmod(dir.path().c_str(), 0755);
      std::filesystem::remove(other);
      WriteWholeFile(ini, oldContent);
      ASSERT_EQ(::chown(ini.c_str(), user, static_cast<gid_t>(-1)), 0);
      if (lockedFolder) {
        ::chmod(dir.path().c_str(), 0555);
      } else {
        ASSERT_EQ(::link(ini.c_str(), other.c_str()), 0);
      }
      const bool killed = SaveKilledAt(ini, killAt, options, user);
      NextStart(ini, options, user);
      const std::string now = ReadWholeFile(ini);
      EXPECT_TRUE(now == oldContent || now == newContent) << what << ": killed before step " << killAt;
      if (!lockedFolder) {
        EXPECT_EQ(ReadWholeFile(other), now) << what << ": killed before step " << killAt;
      }
      (now == newContent ? sawNew : sawOld) += 1;
      if (!killed) break;
    }
    EXPECT_LT(killAt, 1000) << what << ": the save never ran to its end";
    EXPECT_GT(killAt, 40) << what << ": too few points to kill at";
    // Killed while the recovery file was written: old; killed while
    // copying: new, finished by the next start.
    EXPECT_GE(sawOld, 10) << what;
    EXPECT_GE(sawNew, 10) << what;
    // Nothing is left beside the file, and the recovery folder is empty.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      EXPECT_TRUE(entry.path().filename() == "options.ini" || entry.path().filename() == "backup.ini")
          << what << ": " << entry.path();
    }
    EXPECT_TRUE(std::filesystem::is_empty(recovery)) << what;
    ::chmod(dir.path().c_str(), 0755);
  }
}

}  // namespace
