#include "simulated/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

std::string SizeText(std::size_t bytes) {
  return std::to_string(bytes >> 20) + " MB (" + std::to_string(bytes) + " bytes)";
}

}  // namespace

#ifdef _WIN32
// Windows (the test build's --machine): no FIFOs or character devices to
// wait on among the names a test passes, so the kind is asked first and the
// file read through a stream, never past the limit.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit,
                                           std::string& error) {
  std::error_code code;
  const std::filesystem::file_status status = std::filesystem::status(path, code);
  if (code) {
    error = code.message();
    return std::nullopt;
  }
  if (!std::filesystem::is_regular_file(status)) {
    error = std::filesystem::is_directory(status) ? "a directory, not a regular file"
                                                  : "a special file, not a regular file";
    return std::nullopt;
  }
  const std::string tooLarge = "larger than " + SizeText(limit);
  const std::uintmax_t size = std::filesystem::file_size(path, code);
  if (code || size > limit) {
    error = code ? code.message() : tooLarge;
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot be opened";
    return std::nullopt;
  }
  // Room for the size seen and one byte more: a file that grew past the
  // limit meanwhile is still refused, and nothing is read beyond it.
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  const auto got = static_cast<std::size_t>(in.gcount());
  if (got > limit) {
    error = tooLarge;
    return std::nullopt;
  }
  if (got == text.size()) {  // grew while read: take the rest up to the limit
    text.resize(limit + 1);
    in.read(text.data() + got, static_cast<std::streamsize>(text.size() - got));
    const std::size_t total = got + static_cast<std::size_t>(in.gcount());
    if (total > limit) {
      error = tooLarge;
      return std::nullopt;
    }
    text.resize(total);
    return text;
  }
  text.resize(got);
  return text;
}

bool IsExistingDirectory(const std::string& path, std::string& error) {
  std::error_code code;
  if (std::filesystem::is_directory(path, code)) return true;
  error = code ? code.message() : "not a directory";
  return false;
}

bool IsOutputPath(const std::string& path, std::string& error) {
  std::error_code code;
  const std::filesystem::file_status status = std::filesystem::status(path, code);
  if (std::filesystem::exists(status)) {
    if (std::filesystem::is_regular_file(status)) return true;
    error = std::filesystem::is_directory(status) ? "a directory, not a regular file"
                                                  : "a special file, not a regular file";
    return false;
  }
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (std::filesystem::is_directory(folder, code)) return true;
  error = "its folder does not exist";
  return false;
}

bool WriteRegularFile(const std::string& path, const std::string& text, std::string& error) {
  if (!IsOutputPath(path, error)) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) error = "cannot be written";
  return static_cast<bool>(out);
}

#else

namespace {

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

bool IsOutputPath(const std::string& path, std::string& error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISREG(info.st_mode)) return true;
    error = KindText(info.st_mode) + ", not a regular file";
    return false;
  }
  if (errno != ENOENT) {
    error = std::strerror(errno);
    return false;
  }
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = "its folder does not exist";
    return false;
  }
  return true;
}

bool WriteRegularFile(const std::string& path, const std::string& text, std::string& error) {
  // Without O_NONBLOCK, opening a FIFO would wait for a reader; with it, the
  // open fails or the kind below refuses it.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct Closer {
    int fd;
    ~Closer() {
      if (fd >= 0) ::close(fd);
    }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = KindText(info.st_mode) + ", not a regular file";
    return false;
  }
  if (::ftruncate(fd, 0) != 0) {
    error = std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? std::strerror(errno) : "nothing could be written";
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  const int closed = ::close(std::exchange(closer.fd, -1));
  if (closed != 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

#endif

}  // namespace cli
