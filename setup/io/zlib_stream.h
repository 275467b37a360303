// One-shot zlib (RFC 1950) compression and inflation for pak directories, pak entries and VFS
// pieces.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace archive_io {

// The bytes as one zlib stream at compression level 9.
std::string ZlibCompress(std::string_view data);

// Inflates one zlib stream that must yield exactly `expected_size` bytes; nothing when the
// stream is broken, ends early or holds more or fewer bytes.
std::optional<std::string> ZlibInflateExact(std::string_view stream, size_t expected_size);

}  // namespace archive_io
