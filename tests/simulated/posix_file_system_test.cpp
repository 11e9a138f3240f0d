#include "simulated/posix_file_system.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "settings/game_settings.h"
#include "tests/simulated/temp_directory.h"

using namespace halcyra;

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

// The names in `dir` that a save's temporary files have.
std::vector<std::string> Temporaries(const TempDirectory& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name.find(".saving-") != std::string::npos) names.push_back(name);
  }
  return names;
}

ino_t InodeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_ino;
}

// Runs `body` in a child process as an unprivileged user: "nobody" when this
// process is root, else this user. The child's exit status is the result.
constexpr uid_t kNobody = 65534;
int AsUnprivilegedUser(const std::function<bool()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(3);
    }
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The user AsUnprivilegedUser runs as.
uid_t UnprivilegedUid() { return ::geteuid() == 0 ? kNobody : ::geteuid(); }

// Sets the file's modification time `seconds` into the past, as a file left
// by a save killed that long ago has it.
void Age(const std::string& path, int seconds) {
  const timespec when[2] = {{::time(nullptr) - seconds, 0}, {::time(nullptr) - seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), when, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// Options whose recovery folder for in-place saves is `folder` (made, mode
// 0700, owned by `owner`), rather than the user's own.
PosixFileSystem::Options WithRecoveryIn(const std::string& folder, uid_t owner = ::geteuid()) {
  ::mkdir(folder.c_str(), 0700);
  EXPECT_EQ(::chown(folder.c_str(), owner, static_cast<gid_t>(-1)), 0);
  PosixFileSystem::Options options;
  options.recoveryFolder = folder;
  return options;
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
  EXPECT_EQ(files.ReadFile(dir / "plain"), std::string("a\0b", 3));
  EXPECT_TRUE(files.CanOpenForReading(dir / "locked"));
  EXPECT_FALSE(files.ReplaceFile(dir / "locked", "y"));  // read-only, even for root
  EXPECT_EQ(ReadWholeFile(dir / "locked"), "x");
  // A dangling symbolic link is neither followed nor replaced.
  ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "dangling").c_str()), 0);
  EXPECT_FALSE(files.ReplaceFile(dir / "dangling", "y"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling"));
  EXPECT_FALSE(std::filesystem::exists(dir / "gone"));
  for (const char* name : {"missing", "fifo", "folder"}) {
    EXPECT_FALSE(files.CanOpenForReading(dir / name)) << name;
    EXPECT_FALSE(files.ReadFile(dir / name).has_value()) << name;
    EXPECT_EQ(files.Exists(dir / name), name != std::string("missing")) << name;
  }
  // No file can be placed below a missing directory or a FIFO.
  EXPECT_FALSE(files.ReplaceFile(dir / "missing/x", "y"));
  EXPECT_FALSE(files.ReplaceFile(dir / "fifo/x", "y"));
  EXPECT_FALSE(files.ReplaceFile(dir / "fifo", "y"));
  EXPECT_FALSE(files.ReplaceFile(dir / "folder", "y"));
  EXPECT_TRUE(Temporaries(dir).empty());
}

TEST(PosixFileSystemTest, WindowsPathsMapOntoTheFileSystem) {
  TempDirectory dir;
  PosixFileSystem files;
  ::mkdir((dir / "static").c_str(), 0777);
  WriteWholeFile(dir / "static/bitmap16.flx", "tex");
  const std::string windowsDir = dir.path().string() + "\\static";
  EXPECT_TRUE(files.CanOpenForReading(windowsDir + "\\bitmap16.flx"));
  EXPECT_TRUE(files.ReplaceFile(windowsDir + "\\new.ini", "[A]\r\n"));
  EXPECT_EQ(ReadWholeFile(dir / "static/new.ini"), "[A]\r\n");
  EXPECT_TRUE(files.MakeDirectories(windowsDir + "\\a\\b"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "static/a/b"));
}

// The new file has the old one's mode before any content is in it, and
// nothing is left beside the file afterwards.
TEST(PosixFileSystemTest, ReplaceKeepsPermissionsFromTheStart) {
  for (const mode_t mode : {0600u, 0640u, 0604u}) {
    TempDirectory dir;
    const std::string ini = dir / "options.ini";
    WriteWholeFile(ini, "old");
    ::chmod(ini.c_str(), mode);
    std::vector<mode_t> seen;
    PosixFileSystem::Options options;
    options.faultHook = [&](ReplaceStep step, std::size_t written) {
      if (step == ReplaceStep::kWrite && written == 0) {
        for (const std::string& name : Temporaries(dir)) seen.push_back(ModeOf(dir / name));
      }
      return true;
    };
    PosixFileSystem files(options);
    ASSERT_TRUE(files.ReplaceFile(ini, "new content"));
    EXPECT_EQ(ReadWholeFile(ini), "new content");
    EXPECT_EQ(ModeOf(ini), mode);
    EXPECT_EQ(seen, std::vector<mode_t>{mode});
    EXPECT_TRUE(Temporaries(dir).empty());
  }
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

TEST(PosixFileSystemTest, AHardLinkedFileIsWrittenInPlace) {
  TempDirectory dir;
  PosixFileSystem files(WithRecoveryIn(dir / "recovery"));
  const std::string ini = dir / "options.ini";
  WriteWholeFile(ini, std::string(500, 'o'));
  ASSERT_EQ(::link(ini.c_str(), (dir / "backup.ini").c_str()), 0);
  const ino_t inode = InodeOf(ini);
  ASSERT_TRUE(files.ReplaceFile(ini, "shorter"));
  EXPECT_EQ(ReadWholeFile(ini), "shorter");
  EXPECT_EQ(ReadWholeFile(dir / "backup.ini"), "shorter");
  EXPECT_EQ(InodeOf(ini), inode);
  // The recovery file went once the copy was flushed.
  EXPECT_TRUE(std::filesystem::is_empty(dir / "recovery"));
}

// Temporary files that killed saves left are removed by the next save; one
// a running save holds, one made a moment ago (a running save's that is not
// locked yet), and another user's, stay.
TEST(PosixFileSystemTest, TemporaryFilesOfKilledSavesAreRemoved) {
  TempDirectory dir;
  const std::string ini = dir / "options.ini";
  WriteWholeFile(ini, "old");
  const std::string prefix = PosixFileSystem::TemporaryPrefixFor(ini);
  WriteWholeFile(prefix + "stale0000000", std::string(10000, 'z'));
  ::chmod((prefix + "stale0000000").c_str(), 0);
  Age(prefix + "stale0000000", PosixFileSystem::kStaleSeconds + 1);
  WriteWholeFile(prefix + "young0000000", "a save that has not locked its file yet");
  Age(prefix + "young0000000", PosixFileSystem::kStaleSeconds - 10);
  WriteWholeFile(prefix + "held00000000", "a save still running");
  Age(prefix + "held00000000", 3600);
  const int held = ::open((prefix + "held00000000").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  WriteWholeFile(prefix + "short", "not a temporary file's name");
  Age(prefix + "short", 3600);
  if (::geteuid() == 0) {
    WriteWholeFile(prefix + "others000000", "another user's");
    Age(prefix + "others000000", 3600);
    ASSERT_EQ(::chown((prefix + "others000000").c_str(), kNobody, kNobody), 0);
  }
  PosixFileSystem files;
  ASSERT_TRUE(files.ReplaceFile(ini, "new"));
  ::close(held);
  EXPECT_EQ(ReadWholeFile(ini), "new");
  std::vector<std::string> left = Temporaries(dir);
  std::sort(left.begin(), left.end());
  std::vector<std::string> expected = {"options.ini.saving-held00000000", "options.ini.saving-short",
                                       "options.ini.saving-young0000000"};
  if (::geteuid() == 0) expected.insert(expected.begin() + 1, "options.ini.saving-others000000");
  EXPECT_EQ(left, expected);
}

// Two saves at once: one save's sweep runs in the moment between the other
// making its new file and locking it. The other's file stays, and both
// saves succeed.
TEST(PosixFileSystemTest, ASweepNeverTakesARunningSavesFile) {
  TempDirectory dir;
  const std::string ini = dir / "options.ini";
  WriteWholeFile(ini, "old");
  bool otherSaved = false;
  PosixFileSystem::Options options;
  options.faultHook = [&](ReplaceStep step, std::size_t) {
    if (step == ReplaceStep::kLock) {
      PosixFileSystem other;
      otherSaved = static_cast<bool>(other.ReplaceFile(ini, "other"));
    }
    return true;
  };
  PosixFileSystem files(options);
  EXPECT_TRUE(files.ReplaceFile(ini, "first"));
  EXPECT_TRUE(otherSaved);
  EXPECT_EQ(ReadWholeFile(ini), "first");
  EXPECT_TRUE(Temporaries(dir).empty());
}

// In a folder that everyone may write and that has the sticky bit, another
// user's link named options.ini is neither followed for reading nor for
// writing: the file it names keeps its content. This user's own link, or
// one in an ordinary folder, is followed.
TEST(PosixFileSystemTest, AnotherUsersLinkInASharedFolderIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "making another user's link needs root";
  TempDirectory dir;
  const std::string secret = dir / "root-only.conf";
  WriteWholeFile(secret, "root's own settings");
  ::chmod(secret.c_str(), 0644);
  const std::string shared = dir / "shared";
  ::mkdir(shared.c_str(), 0777);
  ::chmod(shared.c_str(), 01777);
  const std::string ini = shared + "/options.ini";
  ASSERT_EQ(::symlink(secret.c_str(), ini.c_str()), 0);
  ASSERT_EQ(::lchown(ini.c_str(), kNobody, kNobody), 0);
  PosixFileSystem files;
  EXPECT_FALSE(files.ReplaceFile(ini, "[Game]\r\nGameScreenWidth=1024\r\n"));
  EXPECT_EQ(files.ReadFile(ini), std::nullopt);
  EXPECT_FALSE(files.CanOpenForReading(ini));
  EXPECT_EQ(ReadWholeFile(secret), "root's own settings");

  // The folder's owner's link, and the same link without the sticky bit.
  ASSERT_EQ(::lchown(ini.c_str(), 0, 0), 0);
  EXPECT_TRUE(files.ReplaceFile(ini, "by root's link"));
  EXPECT_EQ(ReadWholeFile(secret), "by root's link");
  ASSERT_EQ(::lchown(ini.c_str(), kNobody, kNobody), 0);
  ::chmod(shared.c_str(), 0777);
  EXPECT_TRUE(files.ReplaceFile(ini, "not sticky"));
  EXPECT_EQ(ReadWholeFile(secret), "not sticky");
}

// Files that someone else made under the names a save tries, and holds open
// for writing, never become options.ini.
TEST(PosixFileSystemTest, PlantedTemporaryFilesAreNeverTheSavedFile) {
  TempDirectory dir;
  ::chmod(dir.path().c_str(), 0777);
  const std::string ini = dir / "options.ini";
  WriteWholeFile(ini, "old");
  ::chmod(ini.c_str(), 0666);
  const std::string prefix = PosixFileSystem::TemporaryPrefixFor(ini);
  std::vector<int> planted;
  for (const char* suffix : {"planted00001", "planted00002"}) {
    const int fd = ::open((prefix + suffix).c_str(), O_RDWR | O_CREAT, 0666);
    ASSERT_GE(fd, 0);
    ::fchmod(fd, 0666);
    planted.push_back(fd);
  }
  int calls = 0;
  const int status = AsUnprivilegedUser([&] {
    PosixFileSystem::Options options;
    options.temporarySuffix = [&calls] {
      const char* suffixes[] = {"planted00001", "planted00002", "mine00000001"};
      return std::string(suffixes[std::min(calls++, 2)]);
    };
    PosixFileSystem files(options);
    return static_cast<bool>(files.ReplaceFile(ini, "new"));
  });
  ASSERT_EQ(status, 0);
  for (const int fd : planted) {
    ASSERT_EQ(::pwrite(fd, "EVIL", 4, 0), 4);
    ::close(fd);
  }
  EXPECT_EQ(ReadWholeFile(ini), "new");
}

// A player may write options.ini but not change its folder (on Windows, a
// user granted write on the file only): the file is written in place. Where
// neither is allowed, the failure says that rights were refused.
TEST(PosixFileSystemTest, WritableFileInALockedFolderIsWrittenInPlace) {
  struct Case {
    const char* name;
    bool fileOwnedByUser;
    bool fileExists;
    bool written;
    bool denied;
  };
  const Case cases[] = {
      {"writable file", true, true, true, false},
      {"file of another user", false, true, false, true},
      {"no file", true, false, false, true},
  };
  for (const Case& c : cases) {
    // Without root no file of another user can be made; the other cases run.
    if (!c.fileOwnedByUser && ::geteuid() != 0) continue;
    TempDirectory dir;
    const std::string ini = dir / "options.ini";
    if (c.fileExists) {
      WriteWholeFile(ini, "[Game]\r\nGameScreenWidth=640\r\n");
      ::chmod(ini.c_str(), 0644);
      if (c.fileOwnedByUser) {
        ASSERT_EQ(::chown(ini.c_str(), UnprivilegedUid(), static_cast<gid_t>(-1)), 0);
      }
    }
    TempDirectory state;
    ::chmod(state.path().c_str(), 0755);
    const PosixFileSystem::Options options = WithRecoveryIn(state / "recovery", UnprivilegedUid());
    ::chmod(dir.path().c_str(), 0555);
    const ino_t inode = c.fileExists ? InodeOf(ini) : 0;
    const int status = AsUnprivilegedUser([&] {
      PosixFileSystem files(options);
      const filesys::WriteResult result = files.ReplaceFile(ini, "[Game]\r\nGameScreenWidth=1024\r\n");
      return result.written == c.written && result.denied == c.denied;
    });
    EXPECT_EQ(status, 0) << c.name;
    if (c.written) {
      EXPECT_EQ(ReadWholeFile(ini), "[Game]\r\nGameScreenWidth=1024\r\n") << c.name;
      EXPECT_EQ(InodeOf(ini), inode) << c.name;
    }
    EXPECT_TRUE(Temporaries(dir).empty()) << c.name;
  }
}

TEST(PosixFileSystemTest, VirtualStorePathsOfVirtualizedFolders) {
  TempDirectory dir;
  PosixFileSystem plain;
  const std::string pf = dir / "Program Files";
  EXPECT_EQ(plain.VirtualStorePath(pf + "\\Halcyra\\options.ini"), std::nullopt);
  PosixFileSystem::Options options;
  options.virtualStore = posixfs::VirtualStore{dir / "store", {pf, dir / "Windows/"}};
  PosixFileSystem files(options);
  const std::string relative = (dir.path() / "Program Files/Halcyra/options.ini").relative_path().string();
  std::string expected = dir / "store/" + relative;
  std::replace(expected.begin(), expected.end(), '/', '\\');
  EXPECT_EQ(files.VirtualStorePath(pf + "\\Halcyra\\options.ini"), expected);
  EXPECT_NE(files.VirtualStorePath(dir / "Windows\\x.ini"), std::nullopt);
  for (const std::string& outside : {dir / "Games\\options.ini", dir / "Program Files2\\options.ini"}) {
    EXPECT_EQ(files.VirtualStorePath(outside), std::nullopt) << outside;
  }
}

// A fault before the rename leaves the old file and no temporary; a refused
// flush of the folder after it still counts the replace.
TEST(PosixFileSystemTest, InjectedFaultsLeaveTheFileAndNoTemporary) {
  const std::string content(1000, 'n');
  const struct {
    ReplaceStep step;
    std::size_t atByte;
    bool replaced;
  } faults[] = {{ReplaceStep::kCreateTemporary, 0, false}, {ReplaceStep::kWrite, 0, false},
                {ReplaceStep::kWrite, 512, false},         {ReplaceStep::kWrite, 992, false},
                {ReplaceStep::kSync, 1000, false},         {ReplaceStep::kRename, 1000, false},
                {ReplaceStep::kSyncDirectory, 1000, true}};
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
    const std::string what = std::to_string(static_cast<int>(fault.step)) + "@" +
                             std::to_string(fault.atByte);
    EXPECT_EQ(static_cast<bool>(files.ReplaceFile(ini, content)), fault.replaced) << what;
    EXPECT_EQ(ReadWholeFile(ini), fault.replaced ? content : "old") << what;
    EXPECT_TRUE(Temporaries(dir).empty()) << what;
  }
}

// A write or flush that fails during an in-place save (a full disk, an I/O
// error) leaves the file with its old content and no recovery file: the
// failed save is as if it had not been tried. A failure before the copy
// leaves no recovery file either.
TEST(PosixFileSystemTest, AFailedInPlaceSaveLeavesTheOldContent) {
  const std::string oldContent(700, 'o');
  const std::string content(1000, 'n');
  const struct {
    ReplaceStep step;
    std::size_t atByte;
  } faults[] = {{ReplaceStep::kCreateTemporary, 0}, {ReplaceStep::kWrite, 64},   {ReplaceStep::kSync, 1000},
                {ReplaceStep::kRename, 1000},       {ReplaceStep::kWriteInPlace, 0}, {ReplaceStep::kWriteInPlace, 512},
                {ReplaceStep::kSyncInPlace, 1000}};
  for (const auto& fault : faults) {
    TempDirectory dir;
    const std::string ini = dir / "options.ini";
    WriteWholeFile(ini, oldContent);
    ASSERT_EQ(::link(ini.c_str(), (dir / "backup.ini").c_str()), 0);
    PosixFileSystem::Options options = WithRecoveryIn(dir / "recovery");
    options.writeChunk = 32;
    options.faultHook = [&fault](ReplaceStep step, std::size_t written) {
      return !(step == fault.step && written == fault.atByte);
    };
    PosixFileSystem files(options);
    const std::string what = std::to_string(static_cast<int>(fault.step)) + "@" + std::to_string(fault.atByte);
    EXPECT_FALSE(files.ReplaceFile(ini, content)) << what;
    EXPECT_EQ(ReadWholeFile(ini), oldContent) << what;
    EXPECT_EQ(ReadWholeFile(dir / "backup.ini"), oldContent) << what;
    EXPECT_TRUE(std::filesystem::is_empty(dir / "recovery")) << what;
    // The next read finds nothing to finish.
    EXPECT_EQ(PosixFileSystem(WithRecoveryIn(dir / "recovery")).ReadFile(ini), oldContent) << what;
  }
}

}  // namespace
