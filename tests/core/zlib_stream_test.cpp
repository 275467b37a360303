// The one zlib module: its streams read back through zlib itself (the format every reader of a
// package accepts), zlib's streams inflate through it, the output does not depend on the
// compressor's history, and every way a stream can disagree with its recorded size is told apart.
#include "setup/io/zlib_stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <optional>
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

// zlib's own answer: the stream's output length when zlib inflates it to its end, else nothing.
std::optional<uint64_t> ZlibCounts(const std::string& stream) {
  z_stream z{};
  inflateInit(&z);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  unsigned char scratch[4096];
  int result = Z_OK;
  while (result == Z_OK) {
    z.next_out = scratch;
    z.avail_out = sizeof scratch;
    result = inflate(&z, Z_NO_FLUSH);
  }
  const uint64_t produced = z.total_out;
  inflateEnd(&z);
  return result == Z_STREAM_END ? std::optional<uint64_t>(produced) : std::nullopt;
}

std::string ZlibStream(const std::string& data, int level, int window_bits, int strategy) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, window_bits, 8, strategy);
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

TEST(ZlibStreamTest, LengthsAreCountedAsZlibCountsThem) {
  // Stored, fixed and dynamic blocks, small windows, run-length and Huffman-only streams; then
  // each of them damaged at many places: the counter must agree with zlib on every one, giving
  // the same length or, like zlib, none.
  struct Shape {
    int level, window_bits, strategy;
  };
  const std::vector<Shape> shapes = {{0, 15, Z_DEFAULT_STRATEGY},
                                     {1, 15, Z_DEFAULT_STRATEGY},
                                     {6, 9, Z_DEFAULT_STRATEGY},
                                     {9, 15, Z_DEFAULT_STRATEGY},
                                     {9, 15, Z_FIXED},
                                     {9, 15, Z_RLE},
                                     {9, 15, Z_HUFFMAN_ONLY}};
  std::mt19937 random(99);
  for (const Shape& shape : shapes) {
    for (const size_t size : {size_t{0}, size_t{40}, size_t{30000}}) {
      const std::string data = Sample(size, static_cast<unsigned>(size + shape.level));
      const std::string stream = ZlibStream(data, shape.level, shape.window_bits, shape.strategy);
      ASSERT_EQ(archive_io::ZlibInflatedLength(stream), size) << shape.level << " " << size;
      for (int flip = 0; flip < 40; ++flip) {
        std::string damaged = stream;
        damaged[random() % damaged.size()] ^= static_cast<char>(1 + random() % 255);
        ASSERT_EQ(archive_io::ZlibInflatedLength(damaged), ZlibCounts(damaged))
            << shape.level << " " << size << " flip " << flip;
      }
    }
  }
  // A preset dictionary is refused, as zlib asks for one it does not have.
  std::string with_dictionary = ZlibStream("abc", 6, 15, Z_DEFAULT_STRATEGY);
  const int flags = 0x20;  // FDICT, with the check bits that make the header valid
  const int header = (with_dictionary[0] & 0xff) * 256 + flags;
  with_dictionary[1] = static_cast<char>(flags + (31 - header % 31) % 31);
  ASSERT_EQ(ZlibCounts(with_dictionary), std::nullopt);
  EXPECT_FALSE(archive_io::ZlibInflatedLength(with_dictionary).has_value());
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
