#include "setup/io/archive_text.h"

#include <ctime>

namespace archive_io {

uint32_t TodayDosDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  int year = local.tm_year + 1900 - 1980;
  if (year < 0) year = 0;
  if (year > 127) year = 127;
  uint32_t date = (static_cast<uint32_t>(year) << 9) |
                  (static_cast<uint32_t>(local.tm_mon + 1) << 5) |
                  static_cast<uint32_t>(local.tm_mday);
  return date << 16;
}

}  // namespace archive_io
