#define _CRT_RAND_S
#include "win32/file_system_win32.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "settings/recovery_record.h"
#include "win32/windows_api.h"

namespace win32 {

namespace {

// The full (absolute) form of a wide path, or nullopt when Windows cannot
// make one.
std::optional<std::wstring> FullWidePath(const std::wstring& wide) {
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::nullopt;
  std::wstring full(needed, L'\0');
  const DWORD got = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (got == 0 || got >= needed) return std::nullopt;
  full.resize(got);
  return full;
}

// The wide form of a path for the file functions, in the "\\?\" form when
// it is long: the ANSI functions, and the wide ones given a plain path, stop
// at MAX_PATH characters (a folder at 248). Paths are ANSI-code-page text.
std::wstring WidePath(const std::string& path) {
  const int needed = ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
  if (needed > 0) ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), needed);
  constexpr std::size_t kShortEnough = 248;
  if (wide.size() < kShortEnough || wide.starts_with(L"\\\\?\\")) return wide;
  const std::optional<std::wstring> absolute = FullWidePath(wide);
  if (!absolute) return wide;
  const std::wstring& full = *absolute;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
  return L"\\\\?\\" + full;
}

// ANSI-code-page text of a wide path.
std::string NarrowPath(const std::wstring& wide) {
  const int needed =
      ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
  if (needed > 0) {
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), needed, nullptr,
                          nullptr);
  }
  return narrow;
}

// Shared as the C library's fopen shares a file.
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

bool CanOpen(const std::string& path, DWORD access) {
  HANDLE file = ::CreateFileW(WidePath(path).c_str(), access, kShare, nullptr, OPEN_EXISTING,
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

// The access list of `path` as a self-relative security descriptor, or
// empty when it cannot be read.
std::vector<BYTE> AccessListOf(const std::string& path) {
  DWORD needed = 0;
  ::GetFileSecurityW(WidePath(path).c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  std::vector<BYTE> descriptor(needed);
  if (needed == 0 || !::GetFileSecurityW(WidePath(path).c_str(), DACL_SECURITY_INFORMATION, descriptor.data(),
                                         needed, &needed)) {
    descriptor.clear();
  }
  return descriptor;
}

constexpr std::size_t kSuffixLength = 12;
constexpr const char* kTemporaryInfix = ".saving-";

// 12 letters and digits from the system's random source.
std::string RandomSuffix() {
  constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  while (suffix.size() < kSuffixLength) {
    unsigned int value = 0;
    if (rand_s(&value) != 0) std::abort();  // no source of randomness: nothing safe to do
    suffix += kLetters[value % (sizeof kLetters - 1)];
  }
  return suffix;
}

// A new file untouched for this long is a killed save's: a running save
// writes its file at once after making it, and renames it within moments of
// closing it.
constexpr ULONGLONG kStaleTicks = 60ull * 10'000'000ull;  // 60 s in 100 ns units

ULONGLONG Ticks(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Removes new files that killed saves of `path` left beside it. A running
// save holds its file open without sharing, so it cannot be deleted; between
// closing it and renaming it, its file is young, and young files stay.
void RemoveStaleTemporaries(const std::string& path) {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const std::string prefix = path + kTemporaryInfix;
  const std::size_t slash = path.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::size_t nameLength = WidePath(prefix.substr(folder.size())).size() + kSuffixLength;
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(WidePath(prefix + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name.size() == nameLength && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        Ticks(found.ftLastWriteTime) + kStaleTicks <= Ticks(now)) {
      ::DeleteFileW(WidePath(folder + NarrowPath(name)).c_str());
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

bool Denied(DWORD error) { return error == ERROR_ACCESS_DENIED; }

// More than one name for the file (hard links): a new file renamed into
// place would leave the other names with the old content.
bool HasOtherNames(const std::string& path) {
  HANDLE file = ::CreateFileW(WidePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool linked = ::GetFileInformationByHandle(file, &info) && info.nNumberOfLinks > 1;
  ::CloseHandle(file);
  return linked;
}

// The identity of an open file: its volume's serial number and its index.
std::string FileIdOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) return {};
  char id[40];
  std::snprintf(id, sizeof id, "%08lx-%08lx%08lx", static_cast<unsigned long>(info.dwVolumeSerialNumber),
                static_cast<unsigned long>(info.nFileIndexHigh), static_cast<unsigned long>(info.nFileIndexLow));
  return id;
}

// Whether two paths are the same text ignoring case, as Windows compares
// file names (one save may spell the folder C:\Games, the next c:\games).
bool SameText(const std::string& a, const std::string& b) {
  return ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::string FullPathOf(const std::string& path) {
  const std::optional<std::wstring> full = FullWidePath(WidePath(path));
  return full ? NarrowPath(*full) : std::string();
}

std::string Environment(const char* name) {
  const DWORD needed = ::GetEnvironmentVariableA(name, nullptr, 0);
  if (needed == 0) return {};
  std::string value(needed, '\0');
  const DWORD got = ::GetEnvironmentVariableA(name, value.data(), needed);
  value.resize(got < needed ? got : 0);
  return value;
}

// This user's recovery folder for in-place saves,
// %LOCALAPPDATA%\Halcyra Setup\Recovery (made when `make`), or empty.
std::string RecoveryFolder(bool make) {
  const std::string local = Environment("LOCALAPPDATA");
  if (local.empty()) return {};
  const std::string parent = local + "\\Halcyra Setup";
  const std::string folder = parent + "\\Recovery";
  if (make) {
    ::CreateDirectoryW(WidePath(parent).c_str(), nullptr);
    ::CreateDirectoryW(WidePath(folder).c_str(), nullptr);
  }
  const DWORD attributes = ::GetFileAttributesW(WidePath(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return {};
  return folder;
}

// Writes `bytes` over the open `file` from its start, cuts it there and
// flushes it.
bool OverwriteAndFlush(HANDLE file, const std::string& bytes) {
  LARGE_INTEGER start{};
  return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && WriteAll(file, bytes) &&
         ::SetEndOfFile(file) && ::FlushFileBuffers(file);
}

std::optional<std::string> ReadAll(HANDLE file) {
  std::string content;
  std::vector<char> chunk(1u << 16);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) return std::nullopt;
    if (got == 0) break;
    content.append(chunk.data(), got);
  }
  return content;
}

// Finishes an in-place save of `path` that was cut short while copying:
// the recovery file it left is copied over the file. One that was cut
// itself (the save never reached the file) is removed.
void RollForward(const std::string& path) {
  const std::string folder = RecoveryFolder(false);
  if (folder.empty()) return;
  HANDLE probe = ::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return;
  const std::string id = FileIdOf(probe);
  ::CloseHandle(probe);
  const std::string recovery = folder + "\\" + filesys::RecoveryFileName(id);
  // The usual case: nothing to finish.
  if (id.empty() || ::GetFileAttributesW(WidePath(recovery).c_str()) == INVALID_FILE_ATTRIBUTES) return;
  // Opened for writing and shared for reading only, as a save opens it: a
  // save still running is not copied over.
  HANDLE file = ::CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  HANDLE saved = FileIdOf(file) != id ? INVALID_HANDLE_VALUE
                                      : ::CreateFileW(WidePath(recovery).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (saved == INVALID_HANDLE_VALUE) {
    ::CloseHandle(file);
    return;
  }
  const std::optional<std::string> bytes = ReadAll(saved);
  ::CloseHandle(saved);
  const std::optional<filesys::RecoveryRecord> record =
      bytes ? filesys::ParseRecoveryRecord(*bytes) : std::nullopt;
  if (!record) {
    if (bytes) ::DeleteFileW(WidePath(recovery).c_str());
  } else if (record->fileId == id && SameText(record->target, FullPathOf(path)) &&
             OverwriteAndFlush(file, record->content)) {
    ::DeleteFileW(WidePath(recovery).c_str());
  }
  ::CloseHandle(file);
}

// The whole content written over the file where it stands, all or nothing:
// first written whole into a recovery file in this user's own folder and
// flushed, then over the file, cut to its length and flushed; then the
// recovery file goes. Cut short while copying, the save is finished by the
// next read of the file (RollForward).
filesys::WriteResult WriteInPlace(const std::string& path, const std::string& content) {
  // The old content, to put back should the copy fail.
  std::optional<std::string> old;
  HANDLE reader = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (reader != INVALID_HANDLE_VALUE) {
    old = ReadAll(reader);
    ::CloseHandle(reader);
  }
  HANDLE file = ::CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {false, Denied(::GetLastError())};
  const std::string id = FileIdOf(file);
  const std::string folder = RecoveryFolder(true);
  const std::string full = FullPathOf(path);
  if (id.empty() || folder.empty() || full.empty()) {
    // Without a recovery file the file could be left half written.
    ::CloseHandle(file);
    return {};
  }
  const std::string recovery = folder + "\\" + filesys::RecoveryFileName(id);
  const std::string partial = recovery + ".partial";
  HANDLE record = ::CreateFileW(WidePath(partial).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ready = record != INVALID_HANDLE_VALUE;
  if (ready) {
    ready = WriteAll(record, filesys::FormatRecoveryRecord({full, id, content})) && ::FlushFileBuffers(record);
    ::CloseHandle(record);
    ready = ready && ::MoveFileExW(WidePath(partial).c_str(), WidePath(recovery).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  if (!ready) {
    ::DeleteFileW(WidePath(partial).c_str());
    ::CloseHandle(file);
    return {};
  }
  const bool written = OverwriteAndFlush(file, content);
  // A copy that failed half way (a full disk) puts the old content back and
  // removes the recovery file, so that a failed save leaves the file as it
  // was; should that fail too, the recovery file stays for the next read.
  if (written || (old && OverwriteAndFlush(file, *old))) ::DeleteFileW(WidePath(recovery).c_str());
  ::CloseHandle(file);
  return {written, false};
}

// Whether the process runs elevated; false where Windows has no elevation.
bool Elevated() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool known = ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
  ::CloseHandle(token);
  return known && elevation.TokenIsElevated != 0;
}

bool StartsWithFolder(const std::string& path, const std::string& folder) {
  if (folder.empty() || path.size() <= folder.size() || path[folder.size()] != '\\') return false;
  return ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.data(), static_cast<int>(folder.size()),
                          folder.data(), static_cast<int>(folder.size())) == CSTR_EQUAL;
}

}  // namespace

bool Win32FileSystem::CanOpenForReading(const std::string& path) { return CanOpen(path, GENERIC_READ); }

bool Win32FileSystem::Exists(const std::string& path) {
  if (::GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = ::GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_INVALID_NAME;
}

std::optional<std::string> Win32FileSystem::ReadFile(const std::string& path) {
  RollForward(path);
  HANDLE file = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<std::string> content = ReadAll(file);
  ::CloseHandle(file);
  return content;
}

filesys::WriteResult Win32FileSystem::ReplaceFile(const std::string& path, const std::string& content) {
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) return {};

  RemoveStaleTemporaries(path);
  if (exists && HasOtherNames(path)) return WriteInPlace(path, content);

  // A new file in the same folder, so that the rename stays on one volume:
  // created exclusively under a name no one can foresee, with the old file's
  // access list and attributes from the start.
  std::vector<BYTE> accessList;
  DWORD kept = FILE_ATTRIBUTE_NORMAL;
  if (exists) {
    accessList = AccessListOf(path);
    const DWORD copied = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (copied != 0) kept = copied;
  }
  SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), accessList.empty() ? nullptr : accessList.data(),
                               FALSE};
  std::string temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD error = ERROR_FILE_EXISTS;
  for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = path + kTemporaryInfix + RandomSuffix();
    file = ::CreateFileW(WidePath(temp).c_str(), GENERIC_WRITE, 0, &security, CREATE_NEW, kept, nullptr);
    if (file != INVALID_HANDLE_VALUE) break;
    error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    // No new file may be made in the folder: the file is written where it
    // stands, as the Windows profile functions would.
    if (Denied(error) || error == ERROR_WRITE_PROTECT) {
      if (exists && CanOpen(path, GENERIC_WRITE)) return WriteInPlace(path, content);
      return {false, Denied(error)};
    }
    return {};
  }

  const bool written = WriteAll(file, content) && ::FlushFileBuffers(file);
  ::CloseHandle(file);
  if (!written) {
    ::DeleteFileW(WidePath(temp).c_str());
    return {};
  }
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (exists ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!::MoveFileExW(WidePath(temp).c_str(), WidePath(path).c_str(), flags)) {
    ::DeleteFileW(WidePath(temp).c_str());
    return {};
  }
  return {true, false};
}

bool Win32FileSystem::MakeDirectories(const std::string& directory) {
  // Every folder from the first below the root down to `directory`.
  for (std::size_t at = directory.find('\\', 3); ; at = directory.find('\\', at + 1)) {
    const std::string folder = directory.substr(0, at);
    // A folder that exists answers with an error; only the last one decides.
    ::CreateDirectoryW(WidePath(folder).c_str(), nullptr);
    if (at == std::string::npos) break;
  }
  const DWORD attributes = ::GetFileAttributesW(WidePath(directory).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::string> Win32FileSystem::VirtualStorePath(const std::string& path) {
  // Windows virtualizes a program's file writes only while it runs without
  // elevation, and keeps the copies in the user's local application data.
  if (Elevated()) return std::nullopt;
  return UserCopyPath(path);
}

std::optional<std::string> Win32FileSystem::ElevatedUserCopyPath(const std::string& path) {
  if (!Elevated()) return std::nullopt;
  return UserCopyPath(path);
}

bool Win32FileSystem::IsReadOnly(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

std::string Win32FileSystem::CurrentFolder() {
  const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(size, L'\0');
  const DWORD got = size == 0 ? 0 : ::GetCurrentDirectoryW(size, folder.data());
  if (got == 0 || got >= size) return ".";
  folder.resize(got);
  return NarrowPath(folder);
}

std::optional<std::string> Win32FileSystem::ProgramFolder() {
  // The module's path, of any length: the buffer grows until it fits.
  std::wstring module(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = ::GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    if (got == 0) return std::nullopt;
    if (got < module.size()) {
      module.resize(got);
      break;
    }
    module.resize(module.size() * 2);
  }
  const std::size_t slash = module.find_last_of(L'\\');
  if (slash == std::wstring::npos) return std::nullopt;
  std::wstring folder = module.substr(0, slash);
  if (folder.starts_with(L"\\\\?\\") && !folder.starts_with(L"\\\\?\\UNC\\")) folder.erase(0, 4);
  return NarrowPath(folder);
}

std::optional<std::string> Win32FileSystem::UserCopyPath(const std::string& path) {
  const std::string store = Environment("LOCALAPPDATA");
  if (store.empty()) return std::nullopt;
  std::wstring wide = WidePath(path);
  if (wide.starts_with(L"\\\\?\\")) wide.erase(0, 4);
  const std::optional<std::wstring> fullWide = FullWidePath(wide);
  if (!fullWide) return std::nullopt;
  const std::string full = NarrowPath(*fullWide);
  if (full.size() < 4 || full[1] != ':' || full[2] != '\\') return std::nullopt;  // a drive path only
  for (const char* location : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "ProgramData", "SystemRoot"}) {
    if (StartsWithFolder(full, Environment(location))) return store + "\\VirtualStore\\" + full.substr(3);
  }
  return std::nullopt;
}

}  // namespace win32
