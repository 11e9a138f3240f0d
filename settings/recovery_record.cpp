#include "settings/recovery_record.h"

#include <charconv>
#include <cstdint>

#include "base/checksum.h"

namespace filesys {

namespace {

constexpr std::string_view kMagic = "halcyra-setup recovery ";

}  // namespace

std::string FormatRecoveryRecord(const RecoveryRecord& record) {
  std::string body;
  body.reserve(record.target.size() + record.fileId.size() + record.content.size() + 2);
  body.append(record.target).append(1, '\0').append(record.fileId).append(1, '\0').append(record.content);
  std::string bytes(kMagic);
  bytes += std::to_string(body.size()) + " " + checksum::Hex32(checksum::Crc32(body)) + "\n";
  bytes += body;
  return bytes;
}

std::optional<RecoveryRecord> ParseRecoveryRecord(std::string_view bytes) {
  if (!bytes.starts_with(kMagic)) return std::nullopt;
  const std::size_t lineEnd = bytes.find('\n');
  if (lineEnd == std::string_view::npos) return std::nullopt;
  const std::string_view line = bytes.substr(kMagic.size(), lineEnd - kMagic.size());
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  std::uint64_t length = 0;
  const std::string_view lengthText = line.substr(0, space);
  const auto [stop, error] = std::from_chars(lengthText.data(), lengthText.data() + lengthText.size(), length);
  if (error != std::errc() || stop != lengthText.data() + lengthText.size()) return std::nullopt;
  const std::optional<std::uint32_t> crc = checksum::ParseHex32(line.substr(space + 1));
  const std::string_view body = bytes.substr(lineEnd + 1);
  if (!crc || body.size() != length || checksum::Crc32(body) != *crc) return std::nullopt;
  const std::size_t first = body.find('\0');
  const std::size_t second = first == std::string_view::npos ? first : body.find('\0', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  return RecoveryRecord{std::string(body.substr(0, first)), std::string(body.substr(first + 1, second - first - 1)),
                        std::string(body.substr(second + 1))};
}

std::string RecoveryFileName(std::string_view fileId) { return std::string(fileId) + ".recovery"; }

}  // namespace filesys
