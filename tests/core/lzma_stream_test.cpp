// The LZMA decoder against liblzma: streams of liblzma's encoder decode to the same bytes with
// every literal and position setting and dictionary size, every disagreement with the expected
// size is told apart, and damaged streams are judged as liblzma's own decoder judges them.
#include "setup/io/lzma_stream.h"

#include <gtest/gtest.h>
#include <lzma.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using archive_io::InflateStatus;
using archive_io::LzmaDecodeInto;

std::string Words(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string out;
  while (out.size() < size)
    out += "w" + std::to_string(random() % 700) + (random() % 9 ? " " : "\n");
  out.resize(size);
  return out;
}

std::string Noise(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random());
  return out;
}

// Records of 16 bytes whose low bytes count up: what lp and pb are for.
std::string Records(size_t size) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i)
    out[i] = static_cast<char>(i % 16 < 4 ? (i / 16) >> (8 * (i % 4)) : i % 16);
  return out;
}

// Text, runs of zeros, noise and records one after the other: a solid block of a product.
std::string Mixed(size_t size) {
  std::string out;
  for (unsigned part = 0; out.size() < size; ++part) {
    out += Words(300000, part) + std::string(200000, '\0') + Noise(50000, part) + Records(100000);
  }
  out.resize(size);
  return out;
}

struct Settings {
  uint32_t lc = 3, lp = 0, pb = 2;
  uint32_t dictionary = 1u << 20;
};

lzma_options_lzma Options(const Settings& s) {
  lzma_options_lzma options;
  lzma_lzma_preset(&options, 9 | LZMA_PRESET_EXTREME);
  options.lc = s.lc;
  options.lp = s.lp;
  options.pb = s.pb;
  options.dict_size = s.dictionary;
  return options;
}

std::string Run(lzma_stream& z, const std::string& data, std::string out) {
  const size_t start = out.size();
  out.resize(start + data.size() + data.size() / 2 + 4096);
  z.next_in = reinterpret_cast<const uint8_t*>(data.data());
  z.avail_in = data.size();
  z.next_out = reinterpret_cast<uint8_t*>(out.data()) + start;
  z.avail_out = out.size() - start;
  EXPECT_EQ(lzma_code(&z, LZMA_FINISH), LZMA_STREAM_END);
  out.resize(out.size() - z.avail_out);
  lzma_end(&z);
  return out;
}

// As setupc writes a block: the classic format with an end marker and no size in the header.
std::string Encode(const std::string& data, const Settings& s) {
  const lzma_options_lzma options = Options(s);
  lzma_stream z = LZMA_STREAM_INIT;
  EXPECT_EQ(lzma_alone_encoder(&z, &options), LZMA_OK);
  return Run(z, data, "");
}

// The other form the format allows: the size in the header and no end marker.
std::string EncodeSized(const std::string& data, const Settings& s) {
  lzma_options_lzma options = Options(s);
  options.ext_flags = 0;
  lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream z = LZMA_STREAM_INIT;
  EXPECT_EQ(lzma_raw_encoder(&z, filters), LZMA_OK);
  std::string header(1, static_cast<char>((s.pb * 5 + s.lp) * 9 + s.lc));
  for (int i = 0; i < 4; ++i) header += static_cast<char>(s.dictionary >> (8 * i));
  for (int i = 0; i < 8; ++i) header += static_cast<char>(uint64_t{data.size()} >> (8 * i));
  return Run(z, data, header);
}

// liblzma's verdict: the whole output when it accepts the stream and uses all of it. It has no
// verdict (`judged` false) on a dictionary it would not allocate.
std::optional<std::string> Reference(const std::string& stream, size_t cap, bool* judged) {
  lzma_stream z = LZMA_STREAM_INIT;
  *judged = lzma_alone_decoder(&z, uint64_t{1} << 30) == LZMA_OK;
  if (!*judged) return std::nullopt;
  std::string out(cap + 1, '\0');
  z.next_in = reinterpret_cast<const uint8_t*>(stream.data());
  z.avail_in = stream.size();
  z.next_out = reinterpret_cast<uint8_t*>(out.data());
  z.avail_out = out.size();
  const lzma_ret ret = lzma_code(&z, LZMA_FINISH);
  const bool ok = ret == LZMA_STREAM_END && z.avail_in == 0;
  *judged = ret != LZMA_MEMLIMIT_ERROR;
  out.resize(out.size() - z.avail_out);
  lzma_end(&z);
  if (!ok) return std::nullopt;
  return out;
}

InflateStatus Decode(const std::string& stream, std::string& out, size_t size, bool whole,
                     size_t* produced) {
  out.assign(size, '\x55');
  return LzmaDecodeInto(stream, out.data(), size, whole, produced);
}

struct Case {
  const char* name;
  std::string data;
  Settings settings;
};

class LzmaStreamTest : public testing::TestWithParam<Case> {};

TEST_P(LzmaStreamTest, DecodesAndToldApartFromEveryOtherSize) {
  const Case& c = GetParam();
  const size_t n = c.data.size();
  for (const bool sized : {false, true}) {
    SCOPED_TRACE(sized ? "size in the header" : "end marker");
    const std::string stream = sized ? EncodeSized(c.data, c.settings) : Encode(c.data, c.settings);
    ASSERT_LE(n, archive_io::MaxLzmaOutput(stream.size()));
    std::string out;
    size_t produced = 99;
    ASSERT_EQ(Decode(stream, out, n, true, &produced), InflateStatus::kExact);
    EXPECT_EQ(produced, n);
    EXPECT_TRUE(out == c.data);

    EXPECT_EQ(Decode(stream, out, n + 3, true, &produced), InflateStatus::kShorter);
    EXPECT_EQ(produced, n);
    EXPECT_TRUE(out.compare(0, n, c.data) == 0);
    if (n == 0) continue;
    EXPECT_EQ(Decode(stream, out, n - 1, true, &produced), InflateStatus::kLonger);
    // Only the front of the block: the rest of the stream stays unread.
    for (const size_t front : {size_t{1}, n / 3, n - 1}) {
      ASSERT_EQ(Decode(stream, out, front, false, &produced), InflateStatus::kExact) << front;
      EXPECT_TRUE(out == c.data.substr(0, front)) << front;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, LzmaStreamTest,
    testing::Values(Case{"Empty", "", {}}, Case{"OneByte", "x", {}},
                    Case{"Text", Words(200000, 1), {}}, Case{"Noise", Noise(70000, 2), {}},
                    // Long enough for matches of the longest length, 273 bytes, back to back.
                    Case{"Zeros", std::string(3 << 20, '\0'), {}},
                    Case{"RecordsLp2Pb4", Records(300000), {0, 2, 4, 1u << 16}},
                    Case{"TextLc4Pb0", Words(150000, 3), {4, 0, 0, 1u << 16}},
                    Case{"TextLc1Lp3", Words(150000, 4), {1, 3, 3, 1u << 16}},
                    // A dictionary smaller than the input: distances must stay inside it.
                    Case{"SmallDictionary", Mixed(600000), {3, 0, 2, 4096}},
                    Case{"MixedLargeDictionary", Mixed(3 << 20), {3, 0, 2, 32u << 20}}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(LzmaStreamDamageTest, CutStreamsNeverPassAsComplete) {
  const std::string data = Words(6000, 5) + std::string(2000, 'z') + Noise(1000, 6);
  for (const bool sized : {false, true}) {
    const std::string stream = sized ? EncodeSized(data, {}) : Encode(data, {});
    std::string out;
    size_t produced = 0;
    for (size_t cut = 0; cut < stream.size(); ++cut) {
      const std::string part = stream.substr(0, cut);
      EXPECT_EQ(Decode(part, out, data.size(), true, &produced), InflateStatus::kBroken) << cut;
      // A front-only decode may succeed on a cut stream, but only with the right bytes.
      if (Decode(part, out, data.size() / 2, false, &produced) == InflateStatus::kExact) {
        EXPECT_TRUE(out == data.substr(0, data.size() / 2)) << cut;
      }
    }
    EXPECT_EQ(Decode(stream + '\0', out, data.size(), true, &produced), InflateStatus::kBroken);
  }
}

TEST(LzmaStreamDamageTest, DamagedStreamsAreJudgedAsLiblzmaJudgesThem) {
  const std::string data = Words(20000, 7) + Records(4000) + std::string(3000, '\0');
  const std::string stream = Encode(data, {});
  std::mt19937 random(11);
  std::string out;
  size_t produced = 0;
  // A thousand rounds here; the fuzz harness makes the same comparison without end.
  for (int round = 0; round < 1000; ++round) {
    std::string damaged = stream;
    const int flips = 1 + round % 3;
    for (int i = 0; i < flips; ++i) {
      // Most flips in the header and the first bytes, where the checks are.
      const size_t at = round % 4 == 0 ? random() % 20 : random() % damaged.size();
      damaged[at] = static_cast<char>(damaged[at] ^ (1u << (random() % 8)));
    }
    const size_t cap = 2 * data.size();
    bool judged = false;
    const std::optional<std::string> reference = Reference(damaged, cap, &judged);
    if (!judged) continue;
    const InflateStatus status = Decode(damaged, out, cap, true, &produced);
    if (reference && reference->size() <= cap) {
      ASSERT_EQ(status, reference->size() == cap ? InflateStatus::kExact : InflateStatus::kShorter)
          << round;
      ASSERT_TRUE(out.compare(0, produced, *reference) == 0 && produced == reference->size())
          << round;
    } else {
      ASSERT_TRUE(status == InflateStatus::kBroken || status == InflateStatus::kLonger) << round;
    }
  }
}

TEST(LzmaStreamDamageTest, RefusesHeadersOutsideTheFormatOrTheStream) {
  // The same words again after 10,000 bytes: a match farther back than 4 KiB.
  const std::string data = Words(1000, 8) + Noise(10000, 9) + Words(1000, 8);
  const std::string stream = Encode(data, {});
  std::string out;
  size_t produced = 0;
  struct Edit {
    size_t at;
    std::string bytes;
  };
  // lc + lp = 5; properties beyond pb 4; a dictionary of 4 KiB; a first range byte that is not
  // 0; a header size far beyond what the stream could hold; a header size of 100 where the
  // stream goes on.
  for (const Edit& edit :
       {Edit{0, {(0 * 5 + 2) * 9 + 3}}, Edit{0, "\xE1"}, Edit{1, std::string("\0\x10\0\0", 4)},
        Edit{13, "\x01"}, Edit{12, "\x01"}, Edit{5, std::string("\x64\0\0\0\0\0\0\0", 8)}}) {
    std::string damaged = stream;
    damaged.replace(edit.at, edit.bytes.size(), edit.bytes);
    EXPECT_EQ(Decode(damaged, out, data.size(), true, &produced), InflateStatus::kBroken)
        << edit.at;
    EXPECT_EQ(Decode(damaged, out, data.size() - 1, false, &produced), InflateStatus::kBroken)
        << edit.at;
  }
}

}  // namespace
