// The licence text a `license` line names, as the stock licence page shows it: rich text is
// packed as it is; plain text (UTF-8, with or without a byte-order mark, or Windows-1252) is
// written as rich text whose characters outside ASCII are Unicode escapes, so a licence in any
// language survives the page's 8-bit reading.
#pragma once

#include <string>

namespace setupc {

// The entry the stock licence page's layout names.
inline constexpr const char kLicenseEntry[] = "License.rtf";

std::string LicenseRtf(const std::string& file_bytes);

}  // namespace setupc
