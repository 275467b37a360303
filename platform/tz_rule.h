// POSIX time-zone rule strings ("CET-1CEST,M3.5.0,M10.5.0/3", "<+03>-3", "UTC0"): the form of
// the TZ variable, and the footer of a zone file, which covers the times after its last
// transition. Read and applied as the C library reads and applies them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

class TzRule {
 public:
  // The rule `text` spells; nothing when its standard-time name or offset is missing, or when
  // a daylight-saving part is there but malformed. Text after the last change rule is ignored.
  static std::optional<TzRule> Parse(std::string_view text);

  // Seconds east of UTC at instant `t` (seconds since 1970 UTC).
  int32_t UtcOffsetAt(int64_t t) const;

 private:
  // When, in a year, one of the two changes happens.
  struct Change {
    enum class Kind { kDayOfYear, kJulianDay, kMonthWeekDay };  // "n", "Jn", "Mm.w.d"
    Kind kind = Kind::kMonthWeekDay;
    int day = 0;              // n: 0-365; Jn: 1-365 (no leap day); Mm.w.d: weekday 0-6, 0 = Sunday
    int week = 0;             // 1-5, 5 = the last of the month
    int month = 0;            // 1-12
    int32_t time = 2 * 3600;  // seconds after midnight of local time before the change
  };

  static bool ParseChange(std::string_view& text, Change& change);
  // Seconds since 1970 UTC of the change in `year`, local time before it being `utc_offset`.
  static int64_t ChangeTime(const Change& change, int64_t year, int32_t utc_offset);

  int32_t standard_offset_ = 0;
  int32_t daylight_offset_ = 0;
  bool has_daylight_ = false;
  Change start_;  // into daylight-saving time
  Change end_;    // back to standard time
};

}  // namespace platform
