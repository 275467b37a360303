// Local time without the C library's time-zone code, checked against the C library's own
// localtime_r for the same TZ value, and the zone-file reader against damaged files.
#include "platform/local_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include "platform/host_text.h"

namespace platform {
namespace {

constexpr int64_t kYear = 31'556'952;  // mean Gregorian year in seconds
constexpr int64_t kYear1850 = -3'786'825'600;
constexpr int64_t kYear2111 = 4'449'513'600;

// Sets TZ for the C library for the life of the object and puts the old value back afterwards.
class ScopedTz {
 public:
  explicit ScopedTz(const char* value) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    if (value != nullptr) {
      setenv("TZ", value, 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ~ScopedTz() {
    if (old_) {
      setenv("TZ", old_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::optional<std::string> old_;
};

std::string Show(const LocalTime& t) {
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d %+d", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.utc_offset);
  return text;
}

LocalTime FromLibc(int64_t t) {
  const std::time_t at = static_cast<std::time_t>(t);
  std::tm tm{};
  localtime_r(&at, &tm);
  return {tm.tm_year + 1900,
          tm.tm_mon + 1,
          tm.tm_mday,
          tm.tm_hour,
          tm.tm_min,
          tm.tm_sec,
          static_cast<int32_t>(tm.tm_gmtoff)};
}

struct ZoneCase {
  const char* tz;  // nullptr: TZ unset
  int64_t from;    // the C library applies rule strings wrongly before 1970
};

void PrintTo(const ZoneCase& param, std::ostream* out) {
  *out << (param.tz != nullptr ? "TZ=" + std::string(param.tz) : std::string("TZ unset"));
}

class LocalTimeMatchesLibc : public testing::TestWithParam<ZoneCase> {};

// Samples every 20 hours and a few seconds from `from` to 2110; where the C library's offset
// changes between two samples, the change is narrowed to its second and both sides compared.
TEST_P(LocalTimeMatchesLibc, AtEveryChangeAndInBetween) {
  const ZoneCase& param = GetParam();
  const ScopedTz scoped(param.tz);
  const TimeZone zone = TimeZone::ForTzValue(param.tz);
  int changes = 0;
  const auto expect_same = [&](int64_t t) {
    EXPECT_EQ(Show(zone.Local(t)), Show(FromLibc(t))) << "at " << t;
  };
  int32_t previous = FromLibc(param.from).utc_offset;
  for (int64_t t = param.from; t < kYear2111 && !HasFailure(); t += 72'007) {
    expect_same(t);
    const int32_t offset = FromLibc(t).utc_offset;
    if (offset == previous) continue;
    previous = offset;
    int64_t low = t - 72'007;  // the offset there differs from the one at `high`
    int64_t high = t;
    while (high - low > 1) {
      const int64_t middle = low + (high - low) / 2;
      (FromLibc(middle).utc_offset == offset ? high : low) = middle;
    }
    expect_same(high - 1);
    expect_same(high);
    ++changes;
  }
  RecordProperty("changes", changes);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, LocalTimeMatchesLibc,
    testing::Values(ZoneCase{"Europe/Prague", kYear1850}, ZoneCase{":America/New_York", kYear1850},
                    ZoneCase{"Australia/Lord_Howe", kYear1850}, ZoneCase{"Asia/Kolkata", kYear1850},
                    ZoneCase{"/usr/share/zoneinfo/Pacific/Chatham", kYear1850},
                    ZoneCase{nullptr, kYear1850}, ZoneCase{"", kYear1850},
                    ZoneCase{"Nowhere/Atlantis", kYear1850},  // neither a file nor a rule: UTC
                    ZoneCase{"CET-1CEST,M3.5.0,M10.5.0/3", 0},
                    ZoneCase{"EST5EDT,M3.2.0,M11.1.0", 0}, ZoneCase{"<+03>-3", 0},
                    ZoneCase{"UTC0", 0}, ZoneCase{"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", 0},
                    ZoneCase{"XYZ3:30ABC,J60/1,J300/-1:30", 0},
                    ZoneCase{"ABC-2:15DEF-3,59/26,300/0:30:15", 0},
                    ZoneCase{"EST5EDT4,0/0,J365/25", 0},
                    ZoneCase{"AAA+4BBB,M2.5.6/167,M12.5.0", 0}));

TEST(LocalTimeTest, MalformedRulesAreRefused) {
  for (const char* text :
       {"", "E5", "EST", "EST+", "<AB>5", "<ABC5", "EST5EDT,M13.1.0,M11.1.0",
        "EST5EDT,M3.6.0,M11.1.0", "EST5EDT,M3.2.7,M11.1.0", "EST5EDT,M3.2,M11.1.0", "EST5EDT,J0,J9",
        "EST5EDT,366,10", "EST5EDT,M3.2.0x", "EST5EDT,M3.2.0/,M11.1.0", "EST5ED"}) {
    EXPECT_FALSE(TimeZone::FromRule(text).has_value()) << text;
  }
}

class TzifDamageTest : public testing::Test {
 protected:
  void SetUp() override {
    bytes_ = internal::ReadHostText(std::string(kZoneFolder) + "/Europe/Prague").value_or("");
    ASSERT_GT(bytes_.size(), 1000u) << "the zone files are missing";
  }
  std::string bytes_;
};

TEST_F(TzifDamageTest, EveryCutFileIsRefused) {
  ASSERT_TRUE(TimeZone::FromTzif(bytes_).has_value());
  for (size_t size = 0; size < bytes_.size(); ++size) {
    EXPECT_FALSE(ReadTzif(std::string_view(bytes_).substr(0, size)).has_value()) << size;
  }
}

TEST_F(TzifDamageTest, DamagedBytesReadSafely) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = bytes_;
    for (int flip = 0; flip < 3; ++flip) damaged[random() % damaged.size()] ^= 1 << random() % 8;
    const std::optional<TimeZone> zone = TimeZone::FromTzif(damaged);
    if (!zone) continue;
    for (const int64_t t : {kYear1850, int64_t{0}, 40 * kYear, kYear2111}) {
      const LocalTime local = zone->Local(t);
      EXPECT_TRUE(local.month >= 1 && local.month <= 12 && local.day >= 1 && local.day <= 31)
          << Show(local);
    }
  }
}

// The same file cut after its 32-bit block and marked version 1 reads as the 64-bit data does
// within the 32-bit range.
TEST_F(TzifDamageTest, VersionOneDataMatchesTheLaterData) {
  const auto count = [&](size_t at) {
    return size_t{static_cast<uint8_t>(bytes_[at])} << 24 |
           size_t{static_cast<uint8_t>(bytes_[at + 1])} << 16 |
           size_t{static_cast<uint8_t>(bytes_[at + 2])} << 8 | static_cast<uint8_t>(bytes_[at + 3]);
  };
  const size_t size =
      44 + count(32) * 5 + count(36) * 6 + count(40) + count(28) * 8 + count(24) + count(20);
  std::string version1 = bytes_.substr(0, size);
  version1[4] = '\0';
  const std::optional<TimeZone> old_zone = TimeZone::FromTzif(version1);
  const std::optional<TimeZone> zone = TimeZone::FromTzif(bytes_);
  ASSERT_TRUE(old_zone && zone);
  for (int64_t t = -(int64_t{1} << 31); t < 2'000'000'000; t += 86'413) {
    ASSERT_EQ(old_zone->UtcOffsetAt(t), zone->UtcOffsetAt(t)) << t;
  }
}

}  // namespace
}  // namespace platform
