// The one zlib module: its streams read back through zlib itself (the format every reader of a
// package accepts), zlib's streams inflate through it, the output does not depend on the
// compressor's history, and every way a stream can disagree with its recorded size is told apart.
#include "setup/io/zlib_stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::string Sample(size_t size, unsigned seed) {
  // Text-like bytes with repeats, so every level has something to find.
  std::mt19937 random(seed);
  std::string out;
  while (out.size() < size) {
    const std::string word = "w" + std::to_string(random() % 500) + (random() % 7 ? " " : "\n");
    out += word;
  }
  out.resize(size);
  return out;
}

std::string ZlibReference(const std::string& data) {
  uLongf length = compressBound(data.size());
  std::string out(length, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &length,
            reinterpret_cast<const Bytef*>(data.data()), data.size(), 9);
  out.resize(length);
  return out;
}

TEST(ZlibStreamTest, StreamsAreZlibFormatBothWays) {
  for (const int level : {1, archive_io::kPackageLevel, archive_io::kArchiveLevel, 12}) {
    for (const size_t size : {size_t{1}, size_t{1000}, size_t{300000}}) {
      const std::string data = Sample(size, static_cast<unsigned>(size + level));
      const std::string stream = archive_io::ZlibCompress(data, level);
      std::string back(size, '\0');
      uLongf back_length = size;
      ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(back.data()), &back_length,
                           reinterpret_cast<const Bytef*>(stream.data()), stream.size()),
                Z_OK)
          << level << " " << size;
      EXPECT_TRUE(back == data);
      EXPECT_EQ(archive_io::ZlibInflateExact(ZlibReference(data), size), data);
    }
  }
}

TEST(ZlibStreamTest, OutputDependsOnlyOnTheBytes) {
  const std::string a = Sample(200000, 1);
  const std::string b = Sample(70000, 2);
  archive_io::ZlibCompressor reused(archive_io::kPackageLevel);
  const std::string first = reused.Compress(a);
  reused.Compress(b);
  EXPECT_EQ(reused.Compress(a), first);
  EXPECT_EQ(archive_io::ZlibCompress(a, archive_io::kPackageLevel), first);
}

TEST(ZlibStreamTest, EveryDisagreementWithTheRecordedSizeIsToldApart) {
  const std::string data = Sample(50000, 3);
  const std::string stream = archive_io::ZlibCompress(data);
  std::string bad_check = stream;
  bad_check.back() ^= 0x01;  // the Adler-32 no longer matches
  const std::string cut = stream.substr(0, stream.size() / 2);

  struct Case {
    const char* name;
    std::string stream;
    size_t room;
    archive_io::InflateStatus status;
    std::optional<uint64_t> counted;  // what ZlibInflatedLength answers
  };
  const std::vector<Case> cases = {
      {"exact", stream, data.size(), archive_io::InflateStatus::kExact, data.size()},
      {"shorter than recorded", stream, data.size() + 7, archive_io::InflateStatus::kShorter,
       data.size()},
      {"longer than recorded", stream, data.size() - 7, archive_io::InflateStatus::kLonger,
       data.size()},
      {"wrong checksum", bad_check, data.size(), archive_io::InflateStatus::kBroken, std::nullopt},
      {"cut short", cut, data.size(), archive_io::InflateStatus::kBroken, std::nullopt},
      {"not a stream", std::string(100, 'x'), data.size(), archive_io::InflateStatus::kBroken,
       std::nullopt},
  };
  for (const Case& c : cases) {
    std::string out(c.room, '\0');
    size_t produced = 0;
    EXPECT_EQ(archive_io::ZlibInflateInto(c.stream, out.data(), out.size(), &produced), c.status)
        << c.name;
    if (c.status == archive_io::InflateStatus::kShorter) {
      EXPECT_EQ(produced, data.size());
    }
    EXPECT_EQ(archive_io::ZlibInflatedLength(c.stream), c.counted) << c.name;
    const bool exact = c.status == archive_io::InflateStatus::kExact;
    EXPECT_EQ(archive_io::ZlibInflateExact(c.stream, c.room).has_value(), exact) << c.name;
  }
}

TEST(ZlibStreamTest, SizesPastTheRatioAreRefusedBeforeAllocating) {
  // Zeros compress about as far as deflate goes, and still inflate inside the rule; a claim past
  // the rule is refused without an allocation of that size.
  const std::string zeros(std::string::size_type{20} << 20, '\0');
  const std::string stream = archive_io::ZlibCompress(zeros, 12);
  EXPECT_LE(zeros.size(), archive_io::MaxInflatedSize(stream.size()));
  EXPECT_EQ(archive_io::ZlibInflateExact(stream, zeros.size())->size(), zeros.size());
  EXPECT_FALSE(archive_io::ZlibInflateExact("tiny", size_t{1} << 40).has_value());
  EXPECT_EQ(archive_io::MaxInflatedSize(10), 10 * archive_io::kMaxInflateRatio);
}

}  // namespace
