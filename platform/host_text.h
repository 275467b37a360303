// Reading the small text files of the host system (/proc, /etc) without C++ streams: the
// stream classes bring the whole locale machinery into a statically linked program.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::internal {

// Largest system text file read; the ones read here are a few kilobytes.
inline constexpr size_t kHostTextLimit = size_t{4} << 20;

// The bytes of host file `path` up to its end or `limit` bytes (files under /proc report no
// size, so it reads until the end); nothing when it cannot be opened or read.
std::optional<std::string> ReadHostText(const std::string& path, size_t limit = kHostTextLimit);

// The lines of `text` without their '\n'; a last line without one counts.
std::vector<std::string_view> SplitLines(std::string_view text);

// The words of `line` split at blanks and tabs, empty ones dropped.
std::vector<std::string_view> SplitBlanks(std::string_view line);

}  // namespace platform::internal
