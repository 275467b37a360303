// The x86 branch conversion of LZMA blocks: exact on known instructions, each direction the
// inverse of the other on any bytes, and a block's front converted back alone comes out as the
// same front of the whole block (how a reader gets one entry of a block).
#include "setup/io/x86_branches.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Converted(Bytes bytes, bool to_absolute) {
  archive_io::ConvertX86Branches(bytes.data(), bytes.size(), to_absolute);
  return bytes;
}

// Bytes made mostly of opcodes and the 00 and FF that make a displacement convertible, so that
// conversions overlap and crowd each other.
Bytes Crowded(std::mt19937& random, size_t size) {
  static constexpr unsigned char kAlphabet[] = {0xE8, 0xE9, 0x00, 0xFF, 0x12, 0xE8, 0x00, 0xFF};
  Bytes bytes(size);
  for (unsigned char& b : bytes) b = random() % 5 == 0 ? random() : kAlphabet[random() % 8];
  return bytes;
}

TEST(X86BranchesTest, ConvertsCallsAndJumpsToTargetsAndBack) {
  const struct {
    const char* what;
    Bytes in, absolute;
  } cases[] = {
      {"call forward at 2",
       {0x90, 0x90, 0xE8, 0x10, 0x00, 0x00, 0x00},
       {0x90, 0x90, 0xE8, 0x17, 0x00, 0x00, 0x00}},
      {"jump backward past the start",
       {0xE9, 0xF0, 0xFF, 0xFF, 0xFF},
       {0xE9, 0xF5, 0xFF, 0xFF, 0xFF}},
      {"displacement beyond 16 MiB left",
       {0xE8, 0x00, 0x00, 0x00, 0x01},
       {0xE8, 0x00, 0x00, 0x00, 0x01}},
      {"the three after a left opcode left",
       {0xE8, 0, 0xE8, 0, 1, 0, 0, 0},
       {0xE8, 0, 0xE8, 0, 1, 0, 0, 0}},
      {"the next after a converted one",
       {0xE8, 0, 0, 0, 0, 0xE8, 0, 0, 0, 0},
       {0xE8, 5, 0, 0, 0, 0xE8, 10, 0, 0, 0}},
      {"too near the end", {0x90, 0xE8, 0x10, 0x00, 0x00}, {0x90, 0xE8, 0x10, 0x00, 0x00}},
      {"a 25-bit wrap keeps the sign form",
       {0xE8, 0xFF, 0xFF, 0xFF, 0x00},
       {0xE8, 0x04, 0x00, 0x00, 0xFF}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Converted(c.in, true), c.absolute) << c.what;
    EXPECT_EQ(Converted(c.absolute, false), c.in) << c.what;
  }
}

TEST(X86BranchesTest, EachDirectionUndoesTheOtherAndAFrontConvertsAlone) {
  std::mt19937 random(86);
  for (int round = 0; round < 300; ++round) {
    const Bytes original = Crowded(random, random() % 3000);
    // Both ways round: decoding applies "back" to whatever a damaged stream yields.
    const Bytes absolute = Converted(original, true);
    ASSERT_EQ(Converted(absolute, false), original) << round;
    ASSERT_EQ(Converted(Converted(original, false), true), original) << round;
    // The first n bytes come out right from min(n + reach, size) bytes converted back.
    const size_t n = original.empty() ? 0 : random() % original.size();
    const size_t reach = std::min(original.size(), n + archive_io::kX86BranchReach);
    Bytes front = Converted(Bytes(absolute.begin(), absolute.begin() + reach), false);
    ASSERT_TRUE(std::equal(original.begin(), original.begin() + n, front.begin())) << round;
  }
}

}  // namespace
