#include "simulated/posix_file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "settings/game_settings.h"
#include "tests/settings/temp_directory.h"

namespace {

using posixfs::PosixFileSystem;
using posixfs::ReplaceStep;
using testing_support::ReadWholeFile;
using testing_support::TempDirectory;
using testing_support::WriteWholeFile;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

TEST(PosixFileSystemTest, OpensOnlyRegularFiles) {
  TempDirectory dir;
  PosixFileSystem files;
  WriteWholeFile(dir / "plain", std::string("a\0b", 3));
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0666), 0);
  ::mkdir((dir / "folder").c_str(), 0777);
  WriteWholeFile(dir / "locked", "x");
  ::chmod((dir / "locked").c_str(), 0444);

  EXPECT_TRUE(files.CanOpenForReading(dir / "plain"));
  EXPECT_TRUE(files.CanOpenForUpdate(dir / "plain"));
  EXPECT_EQ(files.ReadFile(dir / "plain"), std::string("a\0b", 3));
  EXPECT_TRUE(files.CanOpenForReading(dir / "locked"));
  EXPECT_FALSE(files.CanOpenForUpdate(dir / "locked"));  // read-only, even for root
  for (const char* name : {"missing", "fifo", "folder"}) {
    EXPECT_FALSE(files.CanOpenForReading(dir / name)) << name;
    EXPECT_FALSE(files.CanOpenForUpdate(dir / name)) << name;
    EXPECT_FALSE(files.ReadFile(dir / name).has_value()) << name;
  }
  // No file can be placed below a missing directory or a FIFO.
  EXPECT_FALSE(files.ReplaceFile(dir / "missing/x", "y"));
  EXPECT_FALSE(files.ReplaceFile(dir / "fifo/x", "y"));
  EXPECT_FALSE(files.ReplaceFile(dir / "fifo", "y"));
  EXPECT_FALSE(files.ReplaceFile(dir / "folder", "y"));
}

TEST(PosixFileSystemTest, WindowsPathsMapOntoTheFileSystem) {
  TempDirectory dir;
  PosixFileSystem files;
  ::mkdir((dir / "static").c_str(), 0777);
  WriteWholeFile(dir / "static/bitmap16.flx", "tex");
  const std::string windowsDir = dir.path().string() + "\\static";
  EXPECT_TRUE(files.CanOpenForUpdate(windowsDir + "\\bitmap16.flx"));
  EXPECT_TRUE(files.ReplaceFile(windowsDir + "\\new.ini", "[A]\r\n"));
  EXPECT_EQ(ReadWholeFile(dir / "static/new.ini"), "[A]\r\n");
}

TEST(PosixFileSystemTest, ReplaceKeepsPermissionsAndLeavesNoTemporaryFile) {
  TempDirectory dir;
  PosixFileSystem files;
  const std::string ini = dir / "options.ini";
  WriteWholeFile(ini, "old");
  ::chmod(ini.c_str(), 0640);
  ASSERT_TRUE(files.ReplaceFile(ini, "new content"));
  EXPECT_EQ(ReadWholeFile(ini), "new content");
  EXPECT_EQ(ModeOf(ini), 0640u);
  EXPECT_FALSE(Exists(PosixFileSystem::TemporaryPathFor(ini)));
}

TEST(PosixFileSystemTest, ReplaceThroughASymbolicLinkKeepsTheLink) {
  TempDirectory dir;
  PosixFileSystem files;
  WriteWholeFile(dir / "real.ini", "old");
  ASSERT_EQ(::symlink((dir / "real.ini").c_str(), (dir / "options.ini").c_str()), 0);
  ASSERT_TRUE(files.ReplaceFile(dir / "options.ini", "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "options.ini"));
  EXPECT_EQ(ReadWholeFile(dir / "real.ini"), "new");
}

TEST(PosixFileSystemTest, LeftOverTemporaryFileIsReused) {
  TempDirectory dir;
  PosixFileSystem files;
  const std::string ini = dir / "options.ini";
  WriteWholeFile(ini, "old");
  const std::string temporary = PosixFileSystem::TemporaryPathFor(ini);
  WriteWholeFile(temporary, std::string(10000, 'z'));
  ::chmod(temporary.c_str(), 0);
  ASSERT_TRUE(files.ReplaceFile(ini, "new"));
  EXPECT_EQ(ReadWholeFile(ini), "new");
  EXPECT_FALSE(Exists(temporary));
}

TEST(PosixFileSystemTest, LeftOverTemporaryFileOfAnotherUserIsReplaced) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  constexpr uid_t kNobody = 65534;
  TempDirectory dir;
  ::chmod(dir.path().c_str(), 0777);
  const std::string ini = dir / "options.ini";
  WriteWholeFile(ini, "old");
  ASSERT_EQ(::chown(ini.c_str(), kNobody, kNobody), 0);
  const std::string temporary = PosixFileSystem::TemporaryPathFor(ini);
  WriteWholeFile(temporary, "left over by root");
  ::chmod(temporary.c_str(), 0600);

  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
    PosixFileSystem files;
    ::_exit(files.ReplaceFile(ini, "new") ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadWholeFile(ini), "new");
  EXPECT_FALSE(Exists(temporary));
}

TEST(PosixFileSystemTest, ReplaceThatCannotHappenLeavesTheFile) {
  struct Case {
    const char* name;
    void (*prepare)(const std::string& ini, int& heldDescriptor);
  };
  const Case cases[] = {
      {"read-only file", [](const std::string& ini, int&) { ::chmod(ini.c_str(), 0444); }},
      {"temporary name taken by a directory",
       [](const std::string& ini, int&) {
         ::mkdir(PosixFileSystem::TemporaryPathFor(ini).c_str(), 0777);
       }},
      {"another save holds the temporary file",
       [](const std::string& ini, int& held) {
         held = ::open(PosixFileSystem::TemporaryPathFor(ini).c_str(), O_WRONLY | O_CREAT, 0666);
         ::flock(held, LOCK_EX);
       }},
      {"dangling symbolic link",
       [](const std::string& ini, int&) {
         ::rename(ini.c_str(), (ini + ".away").c_str());
         ::symlink((ini + ".gone").c_str(), ini.c_str());
       }},
  };
  for (const Case& c : cases) {
    TempDirectory dir;
    PosixFileSystem files;
    const std::string ini = dir / "options.ini";
    WriteWholeFile(ini, "[Game]\r\nGameScreenWidth=640\r\n");
    int held = -1;
    c.prepare(ini, held);
    const std::string before = ReadWholeFile(ini);
    EXPECT_FALSE(files.ReplaceFile(ini, "replaced")) << c.name;
    EXPECT_EQ(ReadWholeFile(ini), before) << c.name;
    if (held >= 0) ::close(held);
  }
}

TEST(PosixFileSystemTest, InjectedFaultsLeaveTheFileAndNoTemporary) {
  const std::string content(1000, 'n');
  const struct {
    ReplaceStep step;
    std::size_t atByte;
  } faults[] = {{ReplaceStep::kCreateTemporary, 0}, {ReplaceStep::kWrite, 0},
                {ReplaceStep::kWrite, 512},         {ReplaceStep::kWrite, 992},
                {ReplaceStep::kSync, 1000},         {ReplaceStep::kRename, 1000}};
  for (const auto& fault : faults) {
    TempDirectory dir;
    const std::string ini = dir / "options.ini";
    WriteWholeFile(ini, "old");
    PosixFileSystem::Options options;
    options.writeChunk = 32;
    options.faultHook = [&fault](ReplaceStep step, std::size_t written) {
      return !(step == fault.step && written == fault.atByte);
    };
    PosixFileSystem files(options);
    EXPECT_FALSE(files.ReplaceFile(ini, content))
        << static_cast<int>(fault.step) << "@" << fault.atByte;
    EXPECT_EQ(ReadWholeFile(ini), "old");
    EXPECT_FALSE(Exists(PosixFileSystem::TemporaryPathFor(ini)));
  }
}

TEST(PosixFileSystemTest, RefusedDirectoryFlushStillCountsTheReplace) {
  TempDirectory dir;
  const std::string ini = dir / "options.ini";
  WriteWholeFile(ini, "old");
  PosixFileSystem::Options options;
  options.faultHook = [](ReplaceStep step, std::size_t) {
    return step != ReplaceStep::kSyncDirectory;
  };
  PosixFileSystem files(options);
  EXPECT_TRUE(files.ReplaceFile(ini, "new"));
  EXPECT_EQ(ReadWholeFile(ini), "new");
}

TEST(PosixFileSystemTest, SaveOfAReadOnlyOptionsFileFailsAndKeepsIt) {
  TempDirectory dir;
  PosixFileSystem files;
  fs::SetFileSystem(&files);
  const std::string ini = dir / "options.ini";
  const std::string before = "[Game]\r\nGameScreenWidth=640\r\n";
  WriteWholeFile(ini, before);
  ::chmod(ini.c_str(), 0444);
  testing::internal::CaptureStdout();
  g_pSettings = new GameSettings(ini);
  testing::internal::GetCapturedStdout();
  g_pSettings->screenWidth = 1024;
  EXPECT_FALSE(CommitSettings());
  EXPECT_EQ(g_pSettings, nullptr);
  EXPECT_EQ(ReadWholeFile(ini), before);
  EXPECT_EQ(ModeOf(ini), 0444u);
  fs::SetFileSystem(nullptr);
}

}  // namespace
