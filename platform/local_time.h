// Local time as the C library's localtime_r gives it, without the C library's time-zone code:
// that code reads its rules through sscanf, which brings the whole scanf and floating-point
// parsing machinery (about 100 KB) into the statically linked runtime.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "platform/tz_rule.h"
#include "platform/tzif_file.h"

namespace platform {

struct LocalTime {
  int year = 1970;
  int month = 1;  // 1-12
  int day = 1;    // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int32_t utc_offset = 0;  // seconds east of UTC
};

// The folder of the zone files when TZDIR does not name another.
inline constexpr std::string_view kZoneFolder = "/usr/share/zoneinfo";

// A time zone: UTC, the content of a zone file, or a rule string.
class TimeZone {
 public:
  TimeZone() = default;  // UTC

  static std::optional<TimeZone> FromTzif(std::string_view bytes);
  static std::optional<TimeZone> FromRule(std::string_view rule);
  // The zone that a value of TZ names (nullptr: TZ is unset), chosen as the C library chooses:
  // unset is /etc/localtime; "Zone" or ":Zone" is the file `zone_folder`/Zone (an absolute
  // name is taken as is) or else the rule string Zone; "" or whatever cannot be read is UTC.
  static TimeZone ForTzValue(const char* tz, std::string_view zone_folder = kZoneFolder);

  // Seconds east of UTC at instant `t` (seconds since 1970 UTC).
  int32_t UtcOffsetAt(int64_t t) const;
  // The local date and time of `t`. Instants more than 10^15 seconds (some 30 million years)
  // from 1970 are taken as that bound, where localtime_r would answer nothing.
  LocalTime Local(int64_t t) const;

 private:
  std::optional<TzifZone> file_;
  std::optional<TzRule> rule_;  // the file's footer, or the rule of a zone without file
};

// The local time of `t` in the zone of this process, chosen from TZ and TZDIR on first use and
// kept for the rest of the process (as localtime_r does).
LocalTime LocalTimeOf(std::time_t t);

}  // namespace platform
