// libFuzzer harness for the zone-file reader and the TZ rule strings: any bytes read without a
// crash, as a zone file and as a rule; a zone that was read converts every instant around its
// transitions to a date and time that leads back to the same instant.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string_view>

#include "platform/civil_date.h"
#include "platform/local_time.h"

namespace {

void CheckInstant(const platform::TimeZone& zone, int64_t t) {
  const platform::LocalTime local = zone.Local(t);
  if (local.month < 1 || local.month > 12 || local.day < 1 ||
      local.day > platform::DaysInMonth(local.year, local.month) || local.hour < 0 ||
      local.hour > 23 || local.minute < 0 || local.minute > 59 || local.second < 0 ||
      local.second > 59) {
    std::abort();
  }
  const int64_t back =
      platform::DaysFromCivil(local.year, local.month, local.day) * platform::kSecondsPerDay +
      local.hour * 3600 + local.minute * 60 + local.second - local.utc_offset;
  if (back != std::clamp(t, -platform::kFarthestInstant, platform::kFarthestInstant)) std::abort();
}

void CheckZone(const platform::TimeZone& zone, const platform::TzifZone* file) {
  for (const int64_t t :
       {std::numeric_limits<int64_t>::min(), int64_t{-1} << 40, int64_t{0}, int64_t{4'102'444'800},
        int64_t{1} << 40, std::numeric_limits<int64_t>::max()}) {
    CheckInstant(zone, t);
  }
  if (file == nullptr) return;
  for (const int64_t at : file->transitions) {
    if (at == std::numeric_limits<int64_t>::min()) continue;
    CheckInstant(zone, at - 1);
    CheckInstant(zone, at);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const std::optional<platform::TzifZone> file = platform::ReadTzif(bytes)) {
    const std::optional<platform::TimeZone> zone = platform::TimeZone::FromTzif(bytes);
    if (!zone) std::abort();  // the same bytes read once but not twice
    CheckZone(*zone, &*file);
  }
  if (const std::optional<platform::TimeZone> zone = platform::TimeZone::FromRule(bytes)) {
    CheckZone(*zone, nullptr);
  }
  return 0;
}
