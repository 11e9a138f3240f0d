#include "simulated/posix_file_system.h"

#include "settings/recovery_record.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>

namespace posixfs {

namespace {

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = other.release();
    }
    return *this;
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

int OpenFile(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Opens `path` with `flags` and tells whether it is a regular file; FIFOs,
// devices and directories are not files the store reads or writes.
bool OpensAsRegularFile(const std::string& path, int flags, struct stat* info) {
  Descriptor file(OpenFile(path, flags | O_NONBLOCK));
  return file.valid() && ::fstat(file.get(), info) == 0 && S_ISREG(info->st_mode);
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr std::size_t kSuffixLength = 12;

// A refusal for want of rights, as opposed to any other failure.
bool Denied(int error) { return error == EACCES || error == EPERM; }

// Opens `path` for reading without marking it read where the user owns it
// (O_NOATIME): a save reads options.ini and sweeps its folder, and an access
// time written there would be one more metadata write for the save's
// flushes to carry. Others' files are opened the usual way.
int OpenForReading(const std::string& path, int flags) {
  const int fd = OpenFile(path, O_RDONLY | O_NOATIME | flags);
  return fd >= 0 || errno != EPERM ? fd : OpenFile(path, O_RDONLY | flags);
}

// Whether a temporary file has been left untouched for longer than a save
// takes to make and lock it: a younger one may be a running save's that is
// not locked yet.
bool Stale(const struct stat& info) {
  const std::time_t now = std::time(nullptr);
  return info.st_mtim.tv_sec <= now - PosixFileSystem::kStaleSeconds;
}

// Whether the symbolic link `link` (its lstat in `linkInfo`) may be
// followed: not when it stands in a folder that everyone may write and that
// has the sticky bit, and neither this user nor the folder's owner owns it.
// Such a link may have been planted by another user to make this one write
// a file of their choosing.
bool LinkMayBeFollowed(const std::string& link, const struct stat& linkInfo) {
  struct stat folder {};
  if (::stat(DirectoryOf(link).c_str(), &folder) != 0) return false;
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || linkInfo.st_uid == ::geteuid() || linkInfo.st_uid == folder.st_uid;
}

// Whether `path` is a symbolic link that may not be followed.
bool RefusedLink(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && !LinkMayBeFollowed(path, info);
}

// The identity of a file on this machine: its device and inode.
std::string FileIdOf(const struct stat& info) {
  return std::to_string(static_cast<unsigned long long>(info.st_dev)) + "-" +
         std::to_string(static_cast<unsigned long long>(info.st_ino));
}

// The rest of the file `fd` from where it stands; nullopt on a read error.
// `sizeHint` is what fstat said: the file may grow meanwhile.
std::optional<std::string> ReadToEnd(int fd, off_t sizeHint) {
  // One byte more than the size lets the first read see the end.
  std::string content(static_cast<std::size_t>(std::max<off_t>(sizeHint, 0)) + 1, '\0');
  std::size_t have = 0;
  for (;;) {
    if (have == content.size()) content.resize(content.size() * 2);
    const ssize_t got = ::read(fd, content.data() + have, content.size() - have);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;
    have += static_cast<std::size_t>(got);
  }
  content.resize(have);
  return content;
}

// Locks the file `fd` for one in-place save, waiting at most as long as a
// save of a large file takes several times over: a lock held longer is no
// save's, and the caller fails rather than hang.
bool LockWithin(int fd) {
  for (int waited = 0; waited < 1000; ++waited) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    const timespec pause{0, 10'000'000};  // 10 ms
    ::nanosleep(&pause, nullptr);
  }
  return false;
}

// Writes all of `bytes` over the file `fd` from its start, cuts it there
// and flushes it; no fault hook (a roll-back).
bool OverwriteAndFlush(int fd, const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t put = ::pwrite(fd, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    written += static_cast<std::size_t>(put);
  }
  return ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd) == 0;
}

// Flushes the folder `path`, so that a name made or removed there survives
// a power cut.
void SyncFolder(const std::string& path) {
  const Descriptor folder(OpenFile(path, O_RDONLY | O_DIRECTORY));
  if (folder.valid()) ::fsync(folder.get());
}

// The full path of `path` with every link resolved, or empty.
std::string CanonicalPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string canonical = resolved;
  std::free(resolved);
  return canonical;
}

// Removes the temporary files that killed saves of `target` left in its
// folder: this user's regular files named like one, that no running save
// holds (a running save keeps a lock on its file until the rename) and that
// have been left untouched for a while (a running save may not have locked
// its new file yet).
void RemoveStaleTemporaries(int folder, const std::string& target) {
  const std::string prefix = PosixFileSystem::TemporaryPrefixFor(NameOf(target));
  alignas(dirent64) char entries[16384];
  for (;;) {
    const ssize_t got = ::getdents64(folder, reinterpret_cast<dirent64*>(entries), sizeof entries);
    if (got <= 0) break;
    for (ssize_t at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
      at += entry->d_reclen;
      const std::string_view name = entry->d_name;
      if (name.size() != prefix.size() + kSuffixLength || !name.starts_with(prefix)) continue;
      struct stat info {};
      if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
          info.st_uid != ::geteuid() || !Stale(info)) {
        continue;
      }
      Descriptor file(::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      if (!file.valid() || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0) continue;
      ::unlinkat(folder, entry->d_name, 0);
    }
  }
}

}  // namespace

PosixFileSystem::PosixFileSystem() = default;

PosixFileSystem::PosixFileSystem(Options options) : options_(std::move(options)) {}

std::string PosixFileSystem::NativePath(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

std::string PosixFileSystem::TemporaryPrefixFor(const std::string& nativePath) {
  return nativePath + ".saving-";
}

std::string PosixFileSystem::TemporarySuffix() const {
  if (options_.temporarySuffix) return options_.temporarySuffix();
  constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[kSuffixLength] = {};
  std::size_t have = 0;
  while (have < sizeof bytes) {
#ifdef __EMSCRIPTEN__
    // The browser build's C library has getentropy (the page's crypto
    // source) in place of getrandom.
    const ssize_t got = ::getentropy(bytes + have, sizeof bytes - have) == 0
                            ? static_cast<ssize_t>(sizeof bytes - have) : -1;
#else
    const ssize_t got = ::getrandom(bytes + have, sizeof bytes - have, 0);
#endif
    if (got < 0 && errno != EINTR) std::abort();  // no source of randomness: nothing safe to do
    if (got > 0) have += static_cast<std::size_t>(got);
  }
  std::string suffix;
  for (const unsigned char byte : bytes) suffix += kLetters[byte % kLetters.size()];
  return suffix;
}

bool PosixFileSystem::Step(ReplaceStep step, std::size_t bytesWritten) const {
  return !options_.faultHook || options_.faultHook(step, bytesWritten);
}

bool PosixFileSystem::CanOpenForReading(const std::string& path) {
  struct stat info {};
  const std::string native = NativePath(path);
  return !RefusedLink(native) && OpensAsRegularFile(native, O_RDONLY, &info);
}

bool PosixFileSystem::Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(NativePath(path).c_str(), &info) == 0;
}

std::optional<std::string> PosixFileSystem::ReadFile(const std::string& path) {
  const std::string native = NativePath(path);
  if (RefusedLink(native)) return std::nullopt;
  RollForward(native);
  Descriptor file(OpenForReading(native, O_NONBLOCK));
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  // Read to the end rather than trusting the size: the file may grow.
  return ReadToEnd(file.get(), info.st_size);
}

bool PosixFileSystem::WriteAll(int fd, const std::string& content, ReplaceStep step) const {
  std::size_t written = 0;
  while (written < content.size()) {
    if (!Step(step, written)) return false;
    const std::size_t chunk =
        std::min(content.size() - written, std::max<std::size_t>(options_.writeChunk, 1));
    const ssize_t put = ::write(fd, content.data() + written, chunk);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    written += static_cast<std::size_t>(put);
  }
  return true;
}

std::optional<std::string> PosixFileSystem::RecoveryFolder(bool make) const {
  std::string folder;
  if (options_.recoveryFolder) {
    folder = *options_.recoveryFolder;
  } else if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
    folder = std::string(state) + "/halcyra-setup";
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    folder = std::string(home) + "/.local/state/halcyra-setup";
  } else {
    return std::nullopt;
  }
  if (make) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), ignored);
    ::mkdir(folder.c_str(), 0700);
  }
  // Only this user's own folder, which no one else may change: a recovery
  // file is copied over options.ini by the next read.
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
      (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return std::nullopt;
  }
  return folder;
}

void PosixFileSystem::RollForward(const std::string& nativePath) const {
  struct stat info {};
  if (::stat(nativePath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  const std::optional<std::string> folder = RecoveryFolder(false);
  if (!folder) return;
  const std::string recovery = *folder + "/" + filesys::RecoveryFileName(FileIdOf(info));
  struct stat recoveryInfo {};
  if (::lstat(recovery.c_str(), &recoveryInfo) != 0) return;  // the usual case: nothing to finish
  // The file is locked as a save locks it, so that a save still running is
  // waited for rather than copied over.
  Descriptor target(OpenFile(nativePath, O_WRONLY | O_NOFOLLOW | O_NONBLOCK));
  struct stat targetInfo {};
  if (!target.valid() || ::fstat(target.get(), &targetInfo) != 0 || !S_ISREG(targetInfo.st_mode) ||
      FileIdOf(targetInfo) != FileIdOf(info) || !LockWithin(target.get())) {
    return;
  }
  Descriptor file(OpenFile(recovery, O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
  if (!file.valid() || ::fstat(file.get(), &recoveryInfo) != 0 || !S_ISREG(recoveryInfo.st_mode) ||
      recoveryInfo.st_uid != ::geteuid()) {
    return;
  }
  const std::optional<std::string> bytes = ReadToEnd(file.get(), recoveryInfo.st_size);
  if (!bytes) return;
  const std::optional<filesys::RecoveryRecord> record = filesys::ParseRecoveryRecord(*bytes);
  if (!record) {
    // Cut while it was written: the save never reached the file.
    ::unlink(recovery.c_str());
    return;
  }
  if (record->fileId != FileIdOf(info) || record->target != CanonicalPath(nativePath)) return;
  if (!WriteAll(target.get(), record->content, ReplaceStep::kWriteInPlace) ||
      ::ftruncate(target.get(), static_cast<off_t>(record->content.size())) != 0 ||
      ::fsync(target.get()) != 0) {
    return;
  }
  ::unlink(recovery.c_str());
  SyncFolder(*folder);
}

filesys::WriteResult PosixFileSystem::WriteInPlace(const std::string& target,
                                              const std::string& content) const {
  Descriptor file(OpenFile(target, O_WRONLY | O_NOFOLLOW | O_NONBLOCK));
  if (!file.valid()) return {false, Denied(errno)};
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  // One in-place save of a file at a time (a read that finishes a cut save
  // takes the same lock).
  if (!LockWithin(file.get())) return {};
  // The old content, to put back should the copy fail.
  std::optional<std::string> old;
  if (const Descriptor reader(OpenForReading(target, O_NONBLOCK)); reader.valid()) {
    old = ReadToEnd(reader.get(), info.st_size);
  }
  // Without a recovery folder the file could be left half written: it is
  // not touched.
  const std::optional<std::string> folder = RecoveryFolder(true);
  const std::string canonical = CanonicalPath(target);
  if (!folder || canonical.empty()) return {};

  // The recovery file, written whole and flushed under a name of its own,
  // then given its name in one step: a recovery file under that name is
  // complete or tells by its checksum that it is not.
  const std::string recovery = *folder + "/" + filesys::RecoveryFileName(FileIdOf(info));
  const std::string partial = recovery + ".partial";
  {
    if (!Step(ReplaceStep::kCreateTemporary, 0)) return {};
    ::unlink(partial.c_str());
    Descriptor record(OpenFile(partial, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600));
    if (!record.valid()) return {};
    const std::string bytes = filesys::FormatRecoveryRecord({canonical, FileIdOf(info), content});
    if (!WriteAll(record.get(), bytes, ReplaceStep::kWrite) || !Step(ReplaceStep::kSync, content.size()) ||
        ::fsync(record.get()) != 0 || !Step(ReplaceStep::kRename, content.size()) ||
        ::rename(partial.c_str(), recovery.c_str()) != 0) {
      ::unlink(partial.c_str());
      return {};
    }
  }
  SyncFolder(*folder);

  // Written over from the start and then cut to the new length. Should a
  // write fail half way (a full disk), the old content goes back and the
  // recovery file with it, so that a failed save leaves the file as it
  // was; should that fail too, or the process die, the recovery file stays
  // and the next read finishes the copy.
  if (!WriteAll(file.get(), content, ReplaceStep::kWriteInPlace) ||
      ::ftruncate(file.get(), static_cast<off_t>(content.size())) != 0 ||
      !Step(ReplaceStep::kSyncInPlace, content.size()) || ::fsync(file.get()) != 0) {
    if (old && OverwriteAndFlush(file.get(), *old)) {
      ::unlink(recovery.c_str());
      SyncFolder(*folder);
    }
    return {};
  }
  if (Step(ReplaceStep::kRemoveRecovery, content.size())) {
    ::unlink(recovery.c_str());
    SyncFolder(*folder);
  }
  return {true, false};
}

filesys::WriteResult PosixFileSystem::ReplaceFile(const std::string& path, const std::string& content) {
  std::string target = NativePath(path);

  // A symbolic link stays; the file it names is replaced.
  struct stat info {};
  int found = ::lstat(target.c_str(), &info);
  if (found == 0 && S_ISLNK(info.st_mode)) {
    if (!LinkMayBeFollowed(target, info)) return {};
    target = CanonicalPath(target);
    if (target.empty()) return {};
    found = ::stat(target.c_str(), &info);
  }

  bool exists = false;
  bool writable = false;
  if (found == 0) {
    exists = true;
    // Only a regular file that may be written is replaced: a read-only file
    // keeps its content even though the folder would allow the rename.
    if (!S_ISREG(info.st_mode) || (info.st_mode & kAnyWrite) == 0) return {};
    // The owner may write a file that carries the owner's write bit (a
    // read-only file system refuses the new file below just the same); any
    // other user's rights are the system's to judge.
    const bool ownWritable = info.st_uid == ::geteuid() && (info.st_mode & S_IWUSR) != 0;
    if (!ownWritable && ::access(target.c_str(), W_OK) != 0) return {false, Denied(errno)};
    writable = true;
  } else if (errno != ENOENT) {
    return {};
  }

  // The folder, opened once: swept for stale temporary files now, flushed
  // after the rename.
  const Descriptor folder(OpenForReading(DirectoryOf(target), O_DIRECTORY));
  if (folder.valid()) RemoveStaleTemporaries(folder.get(), target);
  // A new file renamed into place would leave the other names with the old
  // content.
  if (exists && info.st_nlink > 1) return WriteInPlace(target, content);

  if (!Step(ReplaceStep::kCreateTemporary, 0)) return {};
  // Exclusively created under a name no one can foresee, so no one else holds
  // it open; with the file's permissions from the start, so its content is
  // never readable by more users than the file's.
  const mode_t mode = exists ? (info.st_mode & 0777) : 0666;
  std::string temporary;
  Descriptor file(-1);
  for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
    temporary = TemporaryPrefixFor(target) + TemporarySuffix();
    file = Descriptor(OpenFile(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode));
    if (!file.valid() && errno != EEXIST) break;
  }
  if (!file.valid()) {
    // No new file may be made in the folder: the file is written where it
    // stands, as the Windows profile functions would.
    if (Denied(errno) || errno == EROFS) {
      if (writable) return WriteInPlace(target, content);
      return {false, Denied(errno)};
    }
    return {};
  }
  // Marks the file as a running save's, so that no other save removes it
  // (nor, until then, does its age: see Stale).
  if (!Step(ReplaceStep::kLock, 0)) {
    ::close(file.release());
    ::unlink(temporary.c_str());
    return {};
  }
  ::flock(file.get(), LOCK_EX | LOCK_NB);

  const auto fail = [&file, &temporary]() -> filesys::WriteResult {
    ::close(file.release());
    ::unlink(temporary.c_str());
    return {};
  };

  if (exists) {
    // The owner first: changing it may clear set-id bits that the mode then
    // restores. Only root may give the file away; others keep their own
    // user and take the group where they may.
    if (::fchown(file.get(), info.st_uid, info.st_gid) != 0) {
      if (errno != EPERM) return fail();
      if (::fchown(file.get(), static_cast<uid_t>(-1), info.st_gid) != 0) {
        // Not a member of the file's group: the new file keeps this user's.
      }
    }
    if (::fchmod(file.get(), info.st_mode & 07777) != 0) return fail();
  }

  if (!WriteAll(file.get(), content, ReplaceStep::kWrite)) return fail();
  if (!Step(ReplaceStep::kSync, content.size()) || ::fsync(file.get()) != 0) return fail();
  if (!Step(ReplaceStep::kRename, content.size()) ||
      ::rename(temporary.c_str(), target.c_str()) != 0) {
    return fail();
  }
  ::close(file.release());

  // The new content is in place. Flushing the directory makes the rename
  // itself survive a power cut; where that is refused the file still holds
  // the new content, so the replace counts as done.
  if (Step(ReplaceStep::kSyncDirectory, content.size()) && folder.valid()) ::fsync(folder.get());
  return {true, false};
}

bool PosixFileSystem::MakeDirectories(const std::string& directory) {
  std::error_code error;
  const std::filesystem::path native = NativePath(directory);
  std::filesystem::create_directories(native, error);
  return std::filesystem::is_directory(native, error);
}

std::optional<std::string> PosixFileSystem::VirtualStorePath(const std::string& path) {
  if (!options_.virtualStore || options_.virtualStore->elevated) return std::nullopt;
  return UserCopyPath(path);
}

std::optional<std::string> PosixFileSystem::ElevatedUserCopyPath(const std::string& path) {
  if (!options_.virtualStore || !options_.virtualStore->elevated) return std::nullopt;
  return UserCopyPath(path);
}

bool PosixFileSystem::IsReadOnly(const std::string& path) {
  struct stat info {};
  return ::stat(NativePath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & kAnyWrite) == 0;
}

std::string PosixFileSystem::CurrentFolder() {
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::string(".") : current.string();
}

std::optional<std::string> PosixFileSystem::ProgramFolder() { return options_.programFolder; }

std::optional<std::string> PosixFileSystem::UserCopyPath(const std::string& path) const {
  if (!options_.virtualStore) return std::nullopt;
  std::error_code error;
  const std::filesystem::path native =
      std::filesystem::absolute(NativePath(path), error).lexically_normal();
  if (error) return std::nullopt;
  for (const std::string& location : options_.virtualStore->virtualized) {
    const std::filesystem::path folder = std::filesystem::path(location).lexically_normal();
    const auto [end, rest] = std::mismatch(folder.begin(), folder.end(), native.begin(), native.end());
    if (end != folder.end() && !end->empty()) continue;  // not below this folder
    // The copy's path is the file's own below the VirtualStore, without its
    // root (on Windows: without the drive).
    std::string copy = options_.virtualStore->folder + "/" + native.relative_path().string();
    std::replace(copy.begin(), copy.end(), '/', '\\');
    return copy;
  }
  return std::nullopt;
}

}  // namespace posixfs
