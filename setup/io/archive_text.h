// Small helpers shared by the pak archive and VFS code: the DOS date of their records.
#pragma once

#include <cstdint>

namespace archive_io {

// The DOS (FAT) date of today in local time, in the high 16 bits, with a time part of 0.
uint32_t TodayDosDate();

}  // namespace archive_io
