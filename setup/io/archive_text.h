// Small helpers shared by the pak archive and VFS code: name case folding, DOS dates, and the
// fatal ending of the program.
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

// Shows `message` in an error box and ends the process with exit code 2; never returns. Used
// for the archive errors that end the program.
[[noreturn]] void FatalAppExit(const std::string& message);

}  // namespace archive_io
