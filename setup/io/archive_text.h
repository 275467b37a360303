// Small helpers shared by the pak archive and VFS code: name case folding and DOS dates.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace archive_io {

// Lower-cases an 8-bit (Windows-1252) name: ASCII letters and the accented capitals of the code
// page. Archive directories and VFS paths are matched through this form.
std::string LowerName(std::string_view name);
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// The DOS (FAT) date of today in local time, in the high 16 bits, with a time part of 0.
uint32_t TodayDosDate();

}  // namespace archive_io
