#include "setup/commands/install_log_checksum.h"

#include <cstdio>

#include "setup/core/crc32.h"

namespace {

constexpr char kChecksumSuffix[] = ".sum";

std::string ChecksumLine(std::string_view bytes) {
  char line[32];
  std::snprintf(line, sizeof line, "crc32 %08x\n",
                static_cast<unsigned>(ComputeCrc32(bytes.data(), bytes.size())));
  return line;
}

}  // namespace

std::string InstallLogChecksumPath(const std::string& log_path) {
  return log_path + kChecksumSuffix;
}

std::string InstallLogChecksumText(std::string_view bytes,
                                   const std::optional<std::string>& replaced) {
  std::string text = ChecksumLine(bytes);
  if (replaced && ChecksumLine(*replaced) != text) text += ChecksumLine(*replaced);
  return text;
}

bool InstallLogChecksumListed(std::string_view checksum_text, std::string_view bytes) {
  const std::string line = ChecksumLine(bytes);
  for (size_t start = 0; start < checksum_text.size();) {
    size_t end = checksum_text.find('\n', start);
    end = end == std::string_view::npos ? checksum_text.size() : end + 1;
    if (checksum_text.substr(start, end - start) == line) return true;
    start = end;
  }
  return false;
}
