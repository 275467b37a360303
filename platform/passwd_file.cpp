#include "platform/passwd_file.h"

#include <array>
#include <charconv>

#include "platform/host_text.h"

namespace platform {
namespace {

constexpr size_t kFields = 7;
constexpr size_t kUidField = 2;
constexpr size_t kHomeField = 5;

// The seven colon-separated fields of a line; nothing when it has another number of them.
std::optional<std::array<std::string_view, kFields>> SplitFields(std::string_view line) {
  std::array<std::string_view, kFields> fields;
  for (size_t i = 0; i < kFields; ++i) {
    const size_t colon = line.find(':');
    if ((colon == std::string_view::npos) != (i == kFields - 1)) return std::nullopt;
    fields[i] = line.substr(0, colon);
    if (colon != std::string_view::npos) line.remove_prefix(colon + 1);
  }
  return fields;
}

}  // namespace

std::optional<std::string> PasswdHomeFolder(std::string_view passwd, unsigned uid) {
  for (std::string_view line : internal::SplitLines(passwd)) {
    const auto fields = SplitFields(line);
    if (!fields) continue;
    const std::string_view uid_text = (*fields)[kUidField];
    unsigned value = 0;
    const auto [end, error] =
        std::from_chars(uid_text.data(), uid_text.data() + uid_text.size(), value);
    if (uid_text.empty() || error != std::errc() || end != uid_text.data() + uid_text.size() ||
        value != uid) {
      continue;
    }
    const std::string_view home = (*fields)[kHomeField];
    if (home.empty() || home[0] != '/') return std::nullopt;
    return std::string(home);
  }
  return std::nullopt;
}

}  // namespace platform
