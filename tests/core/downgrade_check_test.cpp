// The order of version texts that decides whether an install is a downgrade.
#include "setup/runtime/downgrade_check.h"

#include <gtest/gtest.h>

namespace {

TEST(CompareVersionsTest, OrdersByTheNumbersOnly) {
  struct Case {
    const char* a;
    const char* b;
    int order;
  };
  const Case cases[] = {
      {"1.9", "1.10", -1},      // numbers, not text
      {"2.0", "1.99.99", 1},    //
      {"1.0", "1.0.0", 0},      // a missing number is 0
      {"1.0.1", "1", 1},        //
      {"v3.1", "3.1", 0},       // the numbers start at the first digit
      {"2.0-beta", "2.0", 0},   // what follows the numbers does not count
      {"1.2rc3", "1.2.3", -1},  //
      {"1.", "1.0", 0},         //
      {"beta", "1.0", 0},       // no number: no order known
      {"", "2", 0},             //
      {"99999999999999999999999", "1000000000000000000", 1},  // too long for 64 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(CompareVersions(c.a, c.b), c.order);
    EXPECT_EQ(CompareVersions(c.b, c.a), -c.order);
  }
}

}  // namespace
