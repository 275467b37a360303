#include "setup/archive/sound_entry.h"

#include <gtest/gtest.h>

#include <random>

#include "archive/archive_test_support.h"

namespace {

using archive_test::CueChunk;
using archive_test::MakeWav;
using archive_test::Samples;
using archive_test::U32At;
using namespace sound_entry;

struct Info {
  uint32_t data_size;
  uint8_t packed;
  int32_t loop_start;
  int32_t loop_end;
  uint8_t loop_to_end;
  uint32_t sound_size;
};

Info Parse(const std::string& stored) {
  Info i;
  i.data_size = U32At(stored, 40);
  i.packed = static_cast<uint8_t>(stored[kPackedFlagOffset]);
  i.loop_start = static_cast<int32_t>(U32At(stored, kLoopStartOffset));
  i.loop_end = static_cast<int32_t>(U32At(stored, kLoopEndOffset));
  i.loop_to_end = static_cast<uint8_t>(stored[kLoopToEndOffset]);
  i.sound_size = U32At(stored, kSoundSizeOffset);
  return i;
}

std::string Tone(size_t samples, int seed) {
  std::mt19937 random(static_cast<unsigned>(seed));
  std::vector<int16_t> values;
  int v = 0;
  for (size_t i = 0; i < samples; ++i) {
    v = std::clamp(v + static_cast<int>(random() % 2001) - 1000, -30000, 30000);
    values.push_back(static_cast<int16_t>(v));
  }
  return Samples(values);
}

TEST(SoundEntryTest, PackedSizesFollowBlocksAndChannels) {
  struct Case {
    uint16_t channels;
    size_t data_bytes;
    uint32_t used;
    uint32_t sound;
  } cases[] = {
      {1, 4096, 4096, 1024 + 12},  // two full blocks
      {2, 1001, 1000, 250 + 6},    // rounded down to a multiple of 8, one short block
      {1, 2050, 2048, 518},        // rounded down to one full block
      {1, 2049 + 2048, 4096, 1036},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data_bytes);
    std::string data = Tone(c.data_bytes / 2 + 1, 7).substr(0, c.data_bytes);
    auto stored = EncodeSoundEntry(MakeWav(c.channels, 22050, 16, data), "music\\a.wav");
    ASSERT_TRUE(stored);
    Info i = Parse(*stored);
    EXPECT_EQ(i.packed, 1);
    EXPECT_EQ(i.data_size, c.used);
    EXPECT_EQ(i.sound_size, c.sound);
    EXPECT_EQ(stored->size(), kEntryHeaderSize + c.sound);
    EXPECT_EQ(i.loop_start, -1);
    EXPECT_EQ(i.loop_end, -1);
  }
}

TEST(SoundEntryTest, StateBytesFollowEachBlockAndRestartDecoding) {
  // Three blocks of mono sound: each block's stored state must be the coder state after it, so
  // a block decoded from the stored state alone matches continuous decoding.
  std::string data = Tone(3000, 3);
  auto stored = EncodeSoundEntry(MakeWav(1, 44100, 16, data), "a.wav");
  ASSERT_TRUE(stored);
  AdpcmState state;
  for (size_t i = 0; i < 1024; ++i) {
    int16_t s = static_cast<int16_t>(static_cast<uint8_t>(data[2 * i]) |
                                     (static_cast<uint8_t>(data[2 * i + 1]) << 8));
    EncodeAdpcmSample(s, state);
  }
  const char* after_block0 = stored->data() + kEntryHeaderSize + 512;
  archive_io::ByteReader r(std::string_view(after_block0, 6));
  EXPECT_EQ(r.I16(), state.predictor);
  EXPECT_EQ(r.U8(), state.index);
  EXPECT_EQ(r.I16(), 0);
  EXPECT_EQ(r.U8(), 0);
  // The second block starts at 58 + 518.
  EXPECT_EQ(U32At(*stored, kSoundSizeOffset), (3000 * 2 / 4) + 6 * 3u);

  auto decoded = DecodeSoundEntry(*stored);
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->size(), 44 + 6000u);
  // Decoding reproduces exactly the encoder's predictor track.
  AdpcmState track;
  for (size_t i = 0; i < 3000; ++i) {
    int16_t s = static_cast<int16_t>(static_cast<uint8_t>(data[2 * i]) |
                                     (static_cast<uint8_t>(data[2 * i + 1]) << 8));
    EncodeAdpcmSample(s, track);
    int16_t out = static_cast<int16_t>(static_cast<uint8_t>((*decoded)[44 + 2 * i]) |
                                       (static_cast<uint8_t>((*decoded)[45 + 2 * i]) << 8));
    ASSERT_EQ(out, track.predictor) << "sample " << i;
  }
}

TEST(SoundEntryTest, MonoCodesMatchHandWorkedValues) {
  // Samples 0, 100, 50, -200 from predictor 0, step index 0:
  //  0: difference 0 -> code 0; index 0.
  //  100: step 7: 100>=7 (4), 93>=3 (2), 90>=1 (1) -> code 7, predictor 0+0+7+3+1 = 11, index 8.
  //  50: step 16: diff 39>=16 (4), 23>=8 (2), 15>=4 (1) -> code 7, predictor 11+2+16+8+4 = 41,
  //      index 16.
  //  -200: step 34: diff -241 -> sign 8; 241>=34, 207>=17, 190>=8 -> code 15,
  //      predictor 41-(4+34+17+8) = -22, index 24.
  auto stored = EncodeSoundEntry(MakeWav(1, 8000, 16, Samples({0, 100, 50, -200})), "a.wav");
  ASSERT_TRUE(stored);
  EXPECT_EQ(Parse(*stored).sound_size, 8u);
  const std::string expected = {'\x07', '\x7F', '\xEA', '\xFF', '\x18', 0, 0, 0};
  EXPECT_EQ(stored->substr(kEntryHeaderSize), expected);
}

TEST(SoundEntryTest, StereoCodesMatchHandWorkedValues) {
  // Left 1000, 1000; right -8, 0.
  //  L: 1000 -> code 7, predictor 11, index 8; 1000 -> code 7 (989>=16, 973>=8, 965>=4),
  //     predictor 41, index 16.
  //  R: -8 -> sign, 8>=7 (4), 1<3, 1>=1 (1) -> code 13, predictor -8, index 4;
  //     0 -> diff 8, step 11: 8<11, 8>=5 (2), 3>=2 (1) -> code 3, predictor -8+1+5+2 = 0, index 3.
  auto stored = EncodeSoundEntry(MakeWav(2, 8000, 16, Samples({1000, -8, 1000, 0})), "a.wav");
  ASSERT_TRUE(stored);
  const std::string expected = {'\x77', '\xD3', '\x29', '\x00', '\x10', '\x00', '\x00', '\x03'};
  EXPECT_EQ(stored->substr(kEntryHeaderSize), expected);
}

TEST(SoundEntryTest, UnpackedSoundKeepsPcmAndDataSize) {
  const std::string pcm8(1001, '\x80');
  const std::string pcm16 = Tone(500, 1);
  struct Case {
    std::string wav;
    std::string name;
    int32_t loop_start, loop_end;
    uint8_t to_end;
    size_t data_size;
  } cases[] = {
      {MakeWav(1, 8000, 8, pcm8), "a.wav", -1, -1, 0, 1001},
      {MakeWav(2, 8000, 16, pcm16), "sfx\\Effects\\boom.wav", -1, -1, 0, 1000},
      // One cue point at sample 100 of 16-bit stereo: loop from byte 400 to the end.
      {MakeWav(2, 8000, 16, pcm16, CueChunk({100})), "a.wav", 400, 1000, 1, 1000},
      // Two points in the wrong order are swapped.
      {MakeWav(1, 8000, 16, pcm16, CueChunk({300, 20, 5})), "a.wav", 40, 600, 0, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto stored = EncodeSoundEntry(c.wav, c.name);
    ASSERT_TRUE(stored);
    Info i = Parse(*stored);
    EXPECT_EQ(i.packed, 0);
    EXPECT_EQ(i.data_size, c.data_size);
    EXPECT_EQ(i.sound_size, c.data_size);
    EXPECT_EQ(i.loop_start, c.loop_start);
    EXPECT_EQ(i.loop_end, c.loop_end);
    EXPECT_EQ(i.loop_to_end, c.to_end);
    EXPECT_EQ(stored->substr(kEntryHeaderSize), c.wav.substr(44, c.data_size));
    EXPECT_EQ(stored->substr(0, 44), c.wav.substr(0, 44));
  }
  // The Effects test is exact and case-sensitive.
  auto lower = EncodeSoundEntry(MakeWav(2, 8000, 16, pcm16), "sfx\\effects\\boom.wav");
  ASSERT_TRUE(lower);
  EXPECT_EQ(Parse(*lower).packed, 1);
}

TEST(SoundEntryTest, RejectsAnythingButAPlainPcmHeader) {
  std::string good = MakeWav(1, 8000, 16, Samples({1, 2, 3, 4}));
  std::string long_fmt = good;
  long_fmt[16] = 18;
  std::string chunk_before_data = good;
  chunk_before_data.replace(36, 4, "LIST");
  std::string zero_size = good;
  archive_io::StoreU32(zero_size.data() + 40, 0);
  std::string negative_size = good;
  archive_io::StoreU32(negative_size.data() + 40, 0x80000000u);
  std::string beyond_content = good;
  archive_io::StoreU32(beyond_content.data() + 40, 9);  // 8 bytes are there
  std::string no_rate = good;
  archive_io::StoreU32(no_rate.data() + 24, 0);
  for (const std::string& bad :
       {good.substr(0, 43), long_fmt, chunk_before_data, zero_size, negative_size, beyond_content,
        no_rate, std::string("RIFX") + good.substr(4)}) {
    EXPECT_FALSE(EncodeSoundEntry(bad, "a.wav"));
  }
  EXPECT_TRUE(EncodeSoundEntry(good, "a.wav"));
}

TEST(SoundEntryTest, DamagedChunksAfterTheDataNeverReadPastTheEnd) {
  std::string pcm = Tone(100, 2);
  std::string base = MakeWav(1, 8000, 16, pcm, CueChunk({10, 20}));
  std::mt19937 random(42);
  for (size_t cut = 44 + 200; cut <= base.size(); ++cut) {
    EXPECT_TRUE(EncodeSoundEntry(base.substr(0, cut), "a.wav")) << cut;
  }
  for (int round = 0; round < 500; ++round) {
    std::string damaged = base;
    for (int k = 0; k < 4; ++k) {
      size_t at = 244 + random() % (damaged.size() - 244);
      damaged[at] = static_cast<char>(random());
    }
    auto stored = EncodeSoundEntry(damaged, "a.wav");
    ASSERT_TRUE(stored);  // the header is intact, so the entry is always made
    EXPECT_EQ(stored->size(), kEntryHeaderSize + U32At(*stored, kSoundSizeOffset));
  }
}

}  // namespace
