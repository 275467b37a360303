#include "platform/tz_rule.h"

#include <algorithm>

#include "platform/civil_date.h"

namespace platform {
namespace {

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A decimal number of at most 5 digits (more would not change anything the callers keep);
// nothing when `text` does not start with a digit.
std::optional<int> TakeNumber(std::string_view& text) {
  if (text.empty() || !IsAsciiDigit(text.front())) return std::nullopt;
  int value = 0;
  while (!text.empty() && IsAsciiDigit(text.front())) {
    if (value < 10000) value = value * 10 + (text.front() - '0');
    text.remove_prefix(1);
  }
  return value;
}

bool TakeChar(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

// "hh[:mm[:ss]]" as seconds; each part after the hours is optional, as with the C library,
// which stops at the first part that is not there. Offsets (`clamp`) are held to 24:59:59 as
// the C library holds them; change times are not.
std::optional<int32_t> TakeClock(std::string_view& text, bool clamp) {
  const std::optional<int> hours = TakeNumber(text);
  if (!hours) return std::nullopt;
  int minutes = 0;
  int seconds = 0;
  std::string_view rest = text;
  if (TakeChar(rest, ':')) {
    if (const std::optional<int> m = TakeNumber(rest)) {
      minutes = *m;
      text = rest;
      if (TakeChar(rest, ':')) {
        if (const std::optional<int> s = TakeNumber(rest)) {
          seconds = *s;
          text = rest;
        }
      }
    }
  }
  if (!clamp) return *hours * 3600 + minutes * 60 + seconds;
  return std::min(*hours, 24) * 3600 + std::min(minutes, 59) * 60 + std::min(seconds, 59);
}

// A zone abbreviation: three or more letters, or "<...>" around three or more letters, digits
// and signs.
bool SkipName(std::string_view& text) {
  size_t letters = 0;
  while (letters < text.size() && IsAsciiLetter(text[letters])) ++letters;
  if (letters >= 3) {
    text.remove_prefix(letters);
    return true;
  }
  if (text.empty() || text.front() != '<') return false;
  size_t end = 1;
  while (end < text.size() && (IsAsciiLetter(text[end]) || IsAsciiDigit(text[end]) ||
                               text[end] == '+' || text[end] == '-')) {
    ++end;
  }
  if (end == text.size() || text[end] != '>' || end - 1 < 3) return false;
  text.remove_prefix(end + 1);
  return true;
}

// "[+|-]hh[:mm[:ss]]", west of UTC being positive as the format has it; answered east of UTC.
std::optional<int32_t> TakeOffset(std::string_view& text) {
  const bool east = TakeChar(text, '-');
  if (!east) TakeChar(text, '+');
  const std::optional<int32_t> west = TakeClock(text, true);
  if (!west) return std::nullopt;
  return east ? *west : -*west;
}

}  // namespace

bool TzRule::ParseChange(std::string_view& text, Change& change) {
  TakeChar(text, ',');
  if (text.empty()) return true;  // the caller's default stays
  if (TakeChar(text, 'M')) {
    const std::optional<int> month = TakeNumber(text);
    if (!month || !TakeChar(text, '.')) return false;
    const std::optional<int> week = TakeNumber(text);
    if (!week || !TakeChar(text, '.')) return false;
    const std::optional<int> weekday = TakeNumber(text);
    if (!weekday || *month < 1 || *month > 12 || *week < 1 || *week > 5 || *weekday > 6) {
      return false;
    }
    change.kind = Change::Kind::kMonthWeekDay;
    change.month = *month;
    change.week = *week;
    change.day = *weekday;
  } else {
    const bool julian = TakeChar(text, 'J');
    const std::optional<int> day = TakeNumber(text);
    if (!day || *day > 365 || (julian && *day == 0)) return false;
    change.kind = julian ? Change::Kind::kJulianDay : Change::Kind::kDayOfYear;
    change.day = *day;
  }
  change.time = 2 * 3600;
  if (!text.empty() && text.front() != '/' && text.front() != ',') return false;
  if (TakeChar(text, '/')) {
    const bool negative = TakeChar(text, '-');
    const std::optional<int32_t> time = TakeClock(text, false);
    if (!time) return false;
    change.time = negative ? -*time : *time;
  }
  return true;
}

std::optional<TzRule> TzRule::Parse(std::string_view text) {
  TzRule rule;
  if (!SkipName(text)) return std::nullopt;
  const std::optional<int32_t> standard = TakeOffset(text);
  if (!standard) return std::nullopt;
  rule.standard_offset_ = rule.daylight_offset_ = *standard;
  if (text.empty()) return rule;
  if (!SkipName(text)) return std::nullopt;
  rule.has_daylight_ = true;
  rule.daylight_offset_ = TakeOffset(text).value_or(*standard + 3600);
  // Without change rules, the C library takes those of the United States since 2007.
  rule.start_.month = 3;
  rule.start_.week = 2;
  rule.end_.month = 11;
  rule.end_.week = 1;
  if (!ParseChange(text, rule.start_) || !ParseChange(text, rule.end_)) return std::nullopt;
  return rule;
}

int64_t TzRule::ChangeTime(const Change& change, int64_t year, int32_t utc_offset) {
  int64_t day = DaysFromCivil(year, 1, 1);
  switch (change.kind) {
    case Change::Kind::kDayOfYear:
      day += change.day;
      break;
    case Change::Kind::kJulianDay:
      day += change.day - 1 + (change.day >= 60 && IsLeapYear(year) ? 1 : 0);
      break;
    case Change::Kind::kMonthWeekDay: {
      day = DaysFromCivil(year, change.month, 1);
      int of_month = (change.day - WeekdayOfDays(day) + 7) % 7;
      const int length = DaysInMonth(year, change.month);
      for (int week = 1; week < change.week && of_month + 7 < length; ++week) of_month += 7;
      day += of_month;
      break;
    }
  }
  return day * kSecondsPerDay + change.time - utc_offset;
}

int32_t TzRule::UtcOffsetAt(int64_t t) const {
  if (!has_daylight_) return standard_offset_;
  // The changes of the instant's year in UTC, as the C library picks the year.
  const int64_t near = std::clamp(t, -kFarthestInstant, kFarthestInstant);
  const int64_t year = CivilFromDays(FloorDiv(near, kSecondsPerDay)).year;
  const int64_t start = ChangeTime(start_, year, standard_offset_);
  const int64_t end = ChangeTime(end_, year, daylight_offset_);
  // South of the equator daylight-saving time spans the turn of the year.
  const bool daylight = start > end ? (t < end || t >= start) : (t >= start && t < end);
  return daylight ? daylight_offset_ : standard_offset_;
}

}  // namespace platform
