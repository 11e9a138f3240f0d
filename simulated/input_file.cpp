#include "simulated/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace cli {

namespace {

std::string SizeText(std::size_t bytes) {
  return std::to_string(bytes >> 20) + " MB (" + std::to_string(bytes) + " bytes)";
}

std::string KindText(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "a special file";
}

}  // namespace

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit,
                                           std::string& error) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) {
    error = KindText(info.st_mode) + ", not a regular file";
    return std::nullopt;
  }
  const std::string tooLarge = "larger than " + SizeText(limit);
  if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > limit) {
    error = tooLarge;
    return std::nullopt;
  }
  // The file may grow while it is read: never more than one byte past the
  // limit.
  std::string text(static_cast<std::size_t>(info.st_size) + 1, '\0');
  std::size_t got = 0;
  for (;;) {
    if (got == text.size()) {
      if (text.size() > limit) break;
      text.resize(std::min(limit + 1, text.size() * 2));
    }
    const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::strerror(errno);
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > limit) {
    error = tooLarge;
    return std::nullopt;
  }
  text.resize(got);
  return text;
}

bool IsExistingDirectory(const std::string& path, std::string& error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(info.st_mode)) {
    error = "not a directory";
    return false;
  }
  return true;
}

}  // namespace cli
