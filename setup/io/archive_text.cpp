#include "setup/io/archive_text.h"

#include <ctime>

#include "platform/local_time.h"

namespace archive_io {

uint32_t TodayDosDate() {
  const platform::LocalTime local = platform::LocalTimeOf(std::time(nullptr));
  int year = local.year - 1980;
  if (year < 0) year = 0;
  if (year > 127) year = 127;
  uint32_t date = (static_cast<uint32_t>(year) << 9) | (static_cast<uint32_t>(local.month) << 5) |
                  static_cast<uint32_t>(local.day);
  return date << 16;
}

}  // namespace archive_io
