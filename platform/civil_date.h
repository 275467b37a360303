// Days of the proleptic Gregorian calendar counted from 1970-01-01, and back to year, month and
// day, for any day count whose year fits in 64 bits.
#pragma once

#include <cstdint>

namespace platform {

inline constexpr int64_t kSecondsPerDay = 86400;
// The instants (seconds from 1970) that time-zone arithmetic takes as they are; farther ones
// (some 30 million years away) are taken as this bound, which keeps every sum in 64 bits.
inline constexpr int64_t kFarthestInstant = 1'000'000'000'000'000;

struct CivilDate {
  int64_t year = 1970;
  int month = 1;  // 1-12
  int day = 1;    // 1-31
};

// `a / b` rounded down (b > 0), where C++ division rounds toward zero.
constexpr int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }

constexpr bool IsLeapYear(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

constexpr int DaysInMonth(int64_t year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Counted in eras of 400 years (146097 days) from 0000-03-01, so that the leap day ends a year.
constexpr int64_t DaysFromCivil(int64_t year, int month, int day) {
  const int64_t y = month <= 2 ? year - 1 : year;
  const int64_t era = FloorDiv(y, 400);
  const int64_t year_of_era = y - era * 400;
  const int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

constexpr CivilDate CivilFromDays(int64_t days) {
  const int64_t z = days + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t day_of_era = z - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t shifted_month = (5 * day_of_year + 2) / 153;  // 0 = March
  CivilDate date;
  date.day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  date.month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  date.year = year_of_era + era * 400 + (date.month <= 2 ? 1 : 0);
  return date;
}

// 0 = Sunday.
constexpr int WeekdayOfDays(int64_t days) {
  return static_cast<int>(days + 4 - FloorDiv(days + 4, 7) * 7);
}

static_assert(DaysFromCivil(1970, 1, 1) == 0);
static_assert(DaysFromCivil(2000, 3, 1) == 11017);
static_assert(CivilFromDays(-1).year == 1969 && CivilFromDays(-1).day == 31);
static_assert(WeekdayOfDays(0) == 4 && WeekdayOfDays(-1) == 3);

}  // namespace platform
