#include "win32/file_system_win32.h"

#include <algorithm>
#include <vector>

#include "win32/windows_api.h"

namespace win32 {

namespace {

// Shared as the C library's fopen shares a file.
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

bool CanOpen(const std::string& path, DWORD access) {
  HANDLE file = ::CreateFileA(path.c_str(), access, kShare, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(file);
  return true;
}

bool WriteAll(HANDLE file, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const std::size_t chunk = std::min<std::size_t>(content.size() - done, 1u << 20);
    DWORD written = 0;
    if (!::WriteFile(file, content.data() + done, static_cast<DWORD>(chunk), &written, nullptr) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// Gives `target` the access list of `source`, where there is one to copy.
void CopyAccessList(const std::string& source, const std::string& target) {
  DWORD needed = 0;
  ::GetFileSecurityA(source.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  if (needed == 0) return;
  std::vector<BYTE> descriptor(needed);
  if (!::GetFileSecurityA(source.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed,
                          &needed)) {
    return;
  }
  ::SetFileSecurityA(target.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
}

}  // namespace

bool Win32FileSystem::CanOpenForReading(const std::string& path) { return CanOpen(path, GENERIC_READ); }

bool Win32FileSystem::CanOpenForUpdate(const std::string& path) {
  // Windows refuses to open a read-only file for writing, whoever asks; Wine
  // maps the attribute to the Unix permissions, which do not stop root. The
  // attribute is tested first so that the answer is the same everywhere.
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
  return CanOpen(path, GENERIC_READ | GENERIC_WRITE);
}

std::optional<std::string> Win32FileSystem::ReadFile(const std::string& path) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string content;
  std::vector<char> chunk(1u << 16);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) {
      ::CloseHandle(file);
      return std::nullopt;
    }
    if (got == 0) break;
    content.append(chunk.data(), got);
  }
  ::CloseHandle(file);
  return content;
}

bool Win32FileSystem::ReplaceFile(const std::string& path, const std::string& content) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) return false;

  // A new file in the same directory, so that the rename stays on one volume.
  std::string temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = path + ".new-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt);
    file = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS &&
        ::GetLastError() != ERROR_ALREADY_EXISTS) {
      return false;
    }
  }
  if (file == INVALID_HANDLE_VALUE) return false;

  const bool written = WriteAll(file, content) && ::FlushFileBuffers(file);
  ::CloseHandle(file);
  if (!written) {
    ::DeleteFileA(temp.c_str());
    return false;
  }
  if (exists) {
    CopyAccessList(path, temp);
    const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (kept != 0) ::SetFileAttributesA(temp.c_str(), kept);
  }
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (exists ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!::MoveFileExA(temp.c_str(), path.c_str(), flags)) {
    ::DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace win32
