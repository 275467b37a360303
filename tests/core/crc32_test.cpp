#include "setup/core/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "package_test_util.h"

namespace {

TEST(Crc32Test, CheckValueAndAgreementWithZlib) {
  const std::string check = "123456789";
  EXPECT_EQ(ComputeCrc32(check.data(), check.size()), 0xCBF43926u);
  for (size_t size : {1u, 3u, 4u, 7u, 8u, 63u, 64u, 65u, 4096u, 100001u}) {
    const std::string data = pak_test::RandomBytes(size, static_cast<uint32_t>(size));
    const uLong expected = crc32(0, reinterpret_cast<const Bytef*>(data.data()), data.size());
    EXPECT_EQ(ComputeCrc32(data.data(), data.size()), expected) << size;
  }
}

TEST(Crc32Test, StepsChainWithoutInversionBetweenThem) {
  const std::string data = pak_test::RandomBytes(1000, 9);
  uint32_t crc = 0xFFFFFFFFu;
  crc = UpdateCrc32(crc, data.data(), 1);
  crc = UpdateCrc32(crc, data.data() + 1, 400);
  crc = UpdateCrc32(crc, data.data() + 401, 599);
  EXPECT_EQ(~crc, ComputeCrc32(data.data(), data.size()));
  // The bare step of one byte is one table lookup: crc 0 and byte 0 give table[0] = 0.
  const char zero = 0;
  EXPECT_EQ(UpdateCrc32(0, &zero, 1), 0u);
  EXPECT_EQ(UpdateCrc32(0x12345678u, &zero, 0), 0x12345678u);
}

TEST(Crc32Test, NoBytesLeaveTheOutputUntouched) {
  uint32_t crc = 0xDEADBEEFu;
  EXPECT_TRUE(ComputeCrc32("", 0, crc));
  EXPECT_EQ(crc, 0xDEADBEEFu);
  EXPECT_TRUE(ComputeCrc32("a", 1, crc));
  EXPECT_EQ(crc, 0xE8B7BE43u);
}

}  // namespace
