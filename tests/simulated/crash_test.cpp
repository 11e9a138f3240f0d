// Saves are killed at many points; every time the file must hold either its
// old or its new content, and a later save must succeed.
#include <signal.h>
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
// to its end.
bool SaveKilledAt(const std::string& ini, int killAt) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    int calls = 0;
    PosixFileSystem::Options options;
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
  WriteWholeFile(ini, oldContent);
  SaveKilledAt(ini, 5);
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

}  // namespace
