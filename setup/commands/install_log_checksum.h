// The install log's checksum, kept in a small text file beside the log (the log's own format
// has no room for one): lines "crc32 XXXXXXXX" (CRC-32 of the whole log, eight hex digits).
// The writer lists the new log's checksum before it replaces the log, together with the one of
// the log it replaces, so a log whose write was cut short still matches a line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The checksum file of the log at `log_path`: the log's path + ".sum".
std::string InstallLogChecksumPath(const std::string& log_path);
// The checksum file's text for a log of `bytes`, also listing the log it replaces when given.
std::string InstallLogChecksumText(std::string_view bytes,
                                   const std::optional<std::string>& replaced);
// Whether a line of the checksum file's text matches the log's bytes.
bool InstallLogChecksumListed(std::string_view checksum_text, std::string_view bytes);
