#include "platform/local_time.h"

#include <algorithm>
#include <cstdlib>

#include "platform/civil_date.h"
#include "platform/host_text.h"

namespace platform {
namespace {

// Zone files are a few kilobytes; a larger file is no zone file.
constexpr size_t kZoneFileLimit = size_t{1} << 20;
constexpr const char* kDefaultZoneFile = "/etc/localtime";

// The type of the times before the first transition: the first standard-time type, as the C
// library picks it (or the first type when all are daylight-saving ones).
const TzifLocalType& InitialType(const TzifZone& zone) {
  const auto standard = std::find_if(zone.types.begin(), zone.types.end(),
                                     [](const TzifLocalType& type) { return !type.is_daylight; });
  return standard != zone.types.end() ? *standard : zone.types.front();
}

std::optional<TimeZone> ZoneFromFile(const std::string& path) {
  const std::optional<std::string> bytes = internal::ReadHostText(path, kZoneFileLimit);
  if (!bytes) return std::nullopt;
  return TimeZone::FromTzif(*bytes);
}

}  // namespace

std::optional<TimeZone> TimeZone::FromTzif(std::string_view bytes) {
  std::optional<TzifZone> file = ReadTzif(bytes);
  if (!file) return std::nullopt;
  TimeZone zone;
  // A footer that does not parse is ignored: the last transition's type then lasts.
  zone.rule_ = TzRule::Parse(file->footer);
  zone.file_ = std::move(file);
  return zone;
}

std::optional<TimeZone> TimeZone::FromRule(std::string_view rule) {
  std::optional<TzRule> parsed = TzRule::Parse(rule);
  if (!parsed) return std::nullopt;
  TimeZone zone;
  zone.rule_ = parsed;
  return zone;
}

TimeZone TimeZone::ForTzValue(const char* tz, std::string_view zone_folder) {
  if (tz == nullptr) return ZoneFromFile(kDefaultZoneFile).value_or(TimeZone());
  std::string_view name = *tz == '\0' ? "Universal" : tz;
  if (name.front() == ':') name.remove_prefix(1);
  if (name.empty()) return TimeZone();
  const std::string path =
      name.front() == '/' ? std::string(name) : std::string(zone_folder) + "/" + std::string(name);
  if (std::optional<TimeZone> zone = ZoneFromFile(path)) return std::move(*zone);
  return FromRule(name).value_or(TimeZone());
}

int32_t TimeZone::UtcOffsetAt(int64_t t) const {
  if (!file_) return rule_ ? rule_->UtcOffsetAt(t) : 0;
  const TzifZone& zone = *file_;
  if (zone.transitions.empty() || t < zone.transitions.front()) {
    return InitialType(zone).utc_offset;
  }
  if (t >= zone.transitions.back() && rule_) return rule_->UtcOffsetAt(t);
  const size_t after =
      static_cast<size_t>(std::upper_bound(zone.transitions.begin(), zone.transitions.end(), t) -
                          zone.transitions.begin());
  return zone.types[zone.transition_type[after - 1]].utc_offset;
}

LocalTime TimeZone::Local(int64_t t) const {
  t = std::clamp(t, -kFarthestInstant, kFarthestInstant);
  LocalTime local;
  local.utc_offset = UtcOffsetAt(t);
  const int64_t shifted = t + local.utc_offset;
  const int64_t days = FloorDiv(shifted, kSecondsPerDay);
  const int64_t of_day = shifted - days * kSecondsPerDay;
  const CivilDate date = CivilFromDays(days);
  local.year = static_cast<int>(date.year);
  local.month = date.month;
  local.day = date.day;
  local.hour = static_cast<int>(of_day / 3600);
  local.minute = static_cast<int>(of_day / 60 % 60);
  local.second = static_cast<int>(of_day % 60);
  return local;
}

LocalTime LocalTimeOf(std::time_t t) {
  static const TimeZone zone = [] {
    const char* folder = std::getenv("TZDIR");
    return TimeZone::ForTzValue(std::getenv("TZ"),
                                folder != nullptr && *folder != '\0' ? folder : kZoneFolder);
  }();
  return zone.Local(t);
}

}  // namespace platform
