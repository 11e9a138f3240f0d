#include "simulated/posix_file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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

}  // namespace

PosixFileSystem::PosixFileSystem() = default;

PosixFileSystem::PosixFileSystem(Options options) : options_(std::move(options)) {}

std::string PosixFileSystem::NativePath(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

std::string PosixFileSystem::TemporaryPathFor(const std::string& nativePath) {
  return nativePath + ".saving";
}

bool PosixFileSystem::Step(ReplaceStep step, std::size_t bytesWritten) const {
  return !options_.faultHook || options_.faultHook(step, bytesWritten);
}

bool PosixFileSystem::CanOpenForReading(const std::string& path) {
  struct stat info {};
  return OpensAsRegularFile(NativePath(path), O_RDONLY, &info);
}

bool PosixFileSystem::CanOpenForUpdate(const std::string& path) {
  struct stat info {};
  return OpensAsRegularFile(NativePath(path), O_RDWR, &info) && (info.st_mode & kAnyWrite) != 0;
}

std::optional<std::string> PosixFileSystem::ReadFile(const std::string& path) {
  Descriptor file(OpenFile(NativePath(path), O_RDONLY | O_NONBLOCK));
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  // Read to the end rather than trusting the size: the file may grow. One
  // byte more than the size lets the first read see the end.
  std::string content(static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)) + 1, '\0');
  std::size_t have = 0;
  for (;;) {
    if (have == content.size()) content.resize(content.size() * 2);
    const ssize_t got = ::read(file.get(), content.data() + have, content.size() - have);
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

bool PosixFileSystem::ReplaceFile(const std::string& path, const std::string& content) {
  std::string target = NativePath(path);

  // A symbolic link stays; the file it names is replaced.
  struct stat info {};
  if (::lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char* resolved = ::realpath(target.c_str(), nullptr);
    if (resolved == nullptr) return false;
    target = resolved;
    std::free(resolved);
  }

  bool exists = false;
  if (::stat(target.c_str(), &info) == 0) {
    exists = true;
    // Only a regular file that may be written is replaced: a read-only file
    // keeps its content even though the directory would allow the rename.
    if (!S_ISREG(info.st_mode)) return false;
    if ((info.st_mode & kAnyWrite) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
  } else if (errno != ENOENT) {
    return false;
  }

  const std::string temporary = TemporaryPathFor(target);
  if (!Step(ReplaceStep::kCreateTemporary, 0)) return false;
  Descriptor file(OpenFile(temporary, O_WRONLY | O_CREAT | O_NOFOLLOW, 0666));
  if (!file.valid() && (errno == EACCES || errno == EPERM)) {
    // A left-over temporary file this user may not write (made by another
    // user, or given the mode of a read-only original): put a new one in
    // its place.
    ::unlink(temporary.c_str());
    file = Descriptor(OpenFile(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666));
  }
  if (!file.valid()) return false;
  // One save at a time uses the temporary file: it stays locked until it has
  // been renamed. A save that got the lock after another one renamed the
  // file away holds the replaced file, not the temporary one: it gives up.
  if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return false;
  struct stat opened {};
  struct stat named {};
  if (::fstat(file.get(), &opened) != 0 || ::lstat(temporary.c_str(), &named) != 0 ||
      opened.st_dev != named.st_dev || opened.st_ino != named.st_ino ||
      !S_ISREG(opened.st_mode)) {
    return false;
  }

  const auto fail = [&file, &temporary] {
    ::close(file.release());
    ::unlink(temporary.c_str());
    return false;
  };

  if (::ftruncate(file.get(), 0) != 0) return fail();
  std::size_t written = 0;
  while (written < content.size()) {
    if (!Step(ReplaceStep::kWrite, written)) return fail();
    const std::size_t chunk =
        std::min(content.size() - written, std::max<std::size_t>(options_.writeChunk, 1));
    const ssize_t put = ::write(file.get(), content.data() + written, chunk);
    if (put < 0) {
      if (errno == EINTR) continue;
      return fail();
    }
    written += static_cast<std::size_t>(put);
  }

  if (exists) {
    // The owner first: changing it may clear set-id bits that the mode then
    // restores. Only root may give the file away; others keep their own.
    if (::fchown(file.get(), info.st_uid, info.st_gid) != 0 && errno != EPERM) return fail();
    if (::fchmod(file.get(), info.st_mode & 07777) != 0) return fail();
  }

  if (!Step(ReplaceStep::kSync, written) || ::fsync(file.get()) != 0) return fail();
  if (!Step(ReplaceStep::kRename, written) || ::rename(temporary.c_str(), target.c_str()) != 0) {
    return fail();
  }
  ::close(file.release());

  // The new content is in place. Flushing the directory makes the rename
  // itself survive a power cut; where that is refused the file still holds
  // the new content, so the replace counts as done.
  if (Step(ReplaceStep::kSyncDirectory, written)) {
    Descriptor directory(OpenFile(DirectoryOf(target), O_RDONLY | O_DIRECTORY));
    if (directory.valid()) ::fsync(directory.get());
  }
  return true;
}

}  // namespace posixfs
