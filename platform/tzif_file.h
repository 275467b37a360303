// Reader of compiled time-zone files (TZif, as in /usr/share/zoneinfo): the transitions, the
// local-time types they switch to, and the footer rule. Files of version 2 and later are read
// from their 64-bit data; version 1 files from their 32-bit data. Leap-second records are
// checked for size and skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct TzifLocalType {
  int32_t utc_offset = 0;  // seconds east of UTC
  bool is_daylight = false;
};

struct TzifZone {
  std::vector<int64_t> transitions;      // ascending, seconds since 1970 UTC
  std::vector<uint8_t> transition_type;  // per transition, an index into `types`
  std::vector<TzifLocalType> types;      // never empty
  std::string footer;                    // rule for times after the last transition; may be ""
};

// The zone the bytes of a TZif file hold; nothing when they are not one, a count does not fit
// in what follows it, a type index is out of range or the transitions are out of order.
std::optional<TzifZone> ReadTzif(std::string_view bytes);

}  // namespace platform
