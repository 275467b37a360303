#include "setup/core/buffer_manager.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BufferManagerTest, ReadBytesDeliversWhatIsLeftThenNothing) {
  const std::string block = "abcdef";
  TBufferManager in(block);
  EXPECT_EQ(in.ReadBytes(4).value_or("?"), "abcd");
  std::optional<std::string> rest = in.ReadBytes(4);
  ASSERT_TRUE(rest.has_value());
  EXPECT_EQ(*rest, "ef");
  EXPECT_TRUE(in.AtEnd());
  EXPECT_FALSE(in.ReadBytes(4).has_value());
  char target[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(in.ReadInto(target, 4), 0u);
  EXPECT_EQ(target[0], 'x');

  TBufferManager empty(nullptr, 10);
  EXPECT_EQ(empty.Size(), 0u);
  EXPECT_FALSE(empty.ReadBytes(1).has_value());

  in.SetPosition(100);
  EXPECT_EQ(in.Position(), block.size());
  in.SetPosition(1);
  EXPECT_EQ(in.ReadInto(target, 2), 2u);
  EXPECT_EQ(std::string(target, 2), "bc");
}

TEST(BufferManagerTest, TypedReadsAreLittleEndianAndMissingBytesReadAsZero) {
  const std::string block("\xFE\xFF\x78\x56\x34\x12\x01\x02\x03", 9);
  TBufferManager in(block);
  EXPECT_EQ(in.ReadInt16(), -2);
  EXPECT_EQ(in.ReadInt32(), 0x12345678);
  // Three bytes left for a four-byte read: the missing top byte is 0.
  EXPECT_EQ(in.ReadUInt32(), 0x030201u);
  EXPECT_EQ(in.ReadInt32(), 0);
  EXPECT_EQ(in.ReadByte(), 0);
}

TEST(BufferManagerTest, ShortStringCutByTheEndOfTheBlockIsShortened) {
  const std::string block("\x05\x00hel", 5);
  TBufferManager in(block);
  EXPECT_EQ(in.ReadShortString(), "hel");
  EXPECT_EQ(ReadShortString(in), "");
}

TEST(BufferManagerTest, WriterRoundTripsThroughTheReader) {
  TBufferWriter out;
  out.WriteInt32(-1);
  out.WriteUInt16(0xBEEF);
  out.WriteByte(7);
  EXPECT_TRUE(out.WriteShortString(std::string("a\0b", 3)));
  out.WriteInt16(-300);
  EXPECT_EQ(out.Size(), 4u + 2 + 1 + 5 + 2);
  const std::string bytes = out.Data();
  TBufferManager in(bytes);
  EXPECT_EQ(in.ReadInt32(), -1);
  EXPECT_EQ(in.ReadUInt16(), 0xBEEF);
  EXPECT_EQ(in.ReadByte(), 7);
  EXPECT_EQ(in.ReadShortString(), std::string("a\0b", 3));
  EXPECT_EQ(in.ReadInt16(), -300);
  EXPECT_TRUE(in.AtEnd());
}

TEST(BufferManagerTest, OverlongStringIsCutToWhatItsLengthCanSayAndReported) {
  TBufferWriter out;
  const std::string longer(70000, 'z');
  EXPECT_FALSE(out.WriteShortString(longer));
  out.WriteByte(9);
  TBufferManager in(out.Data());
  EXPECT_EQ(in.ReadShortString(), longer.substr(0, 65535));
  EXPECT_EQ(in.ReadByte(), 9);
}

}  // namespace
