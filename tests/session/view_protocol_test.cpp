// The records between the runtime and the window program: every type survives a round trip and
// any split of the stream, and a damaged stream (cut anywhere, bytes flipped, lengths that lie)
// ends in a clean refusal, never a crash or an allocation the bytes do not pay for.
#include "setup/session/view_protocol.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

namespace setup_session {
namespace {

using T = ViewRecordType;

ViewRecord Record(T type, std::vector<int32_t> numbers, std::vector<std::string> bytes = {},
                  std::vector<std::u16string> texts = {}) {
  ViewRecord record = MakeViewRecord(type, std::move(numbers));
  record.bytes = std::move(bytes);
  record.texts = std::move(texts);
  return record;
}

// One record of every type, with fields that use their whole range (negative numbers, bytes
// above 0x7F, UTF-16 units above 0xFF, empty strings).
std::vector<ViewRecord> EveryType() {
  return {
      Record(T::kVerifyStatus, {3, 5}, {"Status: 3 out of 5 files verifyed"}),
      Record(T::kVerifyEnded, {}),
      Record(T::kShowMessage, {7, 0x24}, {}, {u"Quit Setup?\rSure \u010d", u"Setup"}),
      Record(T::kFigures, {}, {"1.00 MB", "-1.00 Bytes"}),
      Record(T::kPagesUp, {1, 0}, {std::string("rec\0\xff", 5), ""}),
      Record(T::kPageSelected, {-1}),
      Record(T::kButtonsChanged, {1, 0, 1, 0, 1}, {}, {u"< Back", u"Next >", u"", u"English"}),
      Record(T::kLanguageChanged, {2}),
      Record(T::kFolderTextSet, {}, {"C:\\Program Files\\Caf\xe9\\"}),
      Record(T::kFolderChecked, {}, {"D:\\"}),
      Record(T::kSpaceTextChanged, {}, {}, {u"Space: 2.00 GB"}),
      Record(T::kPageShown, {4, 9}),
      Record(T::kRunStarted, {12}, {}, {u"Status: 0 of 12 files extracted"}),
      Record(T::kStatusText, {1, 1}, {}, {u"Extracting a.txt"}),
      Record(T::kGaugeMax, {INT32_MAX}),
      Record(T::kGaugePosition, {INT32_MIN, 0}),
      Record(T::kSessionEnded, {}),
      Record(T::kReady, {kViewProtocolRevision}),
      Record(T::kAnswer, {7, 6}),
      Record(T::kNext, {}),
      Record(T::kBack, {}),
      Record(T::kChooseLanguage, {0}),
      Record(T::kEditFolder, {}, {"/opt/tally"}),
      Record(T::kChooseOption, {2, 9}),
      Record(T::kRequestClose, {}),
  };
}

void ExpectSame(const ViewRecord& a, const ViewRecord& b) {
  EXPECT_EQ(a.type, b.type);
  EXPECT_EQ(a.numbers, b.numbers);
  EXPECT_EQ(a.bytes, b.bytes);
  EXPECT_EQ(a.texts, b.texts);
}

std::string Stream(const std::vector<ViewRecord>& records) {
  std::string bytes;
  for (const ViewRecord& record : records) bytes += EncodeViewRecord(record);
  return bytes;
}

std::vector<ViewRecord> ReadAll(ViewRecordReader& reader) {
  std::vector<ViewRecord> out;
  while (std::optional<ViewRecord> record = reader.Next()) out.push_back(std::move(*record));
  return out;
}

TEST(ViewProtocolTest, EveryTypeSurvivesTheStreamWhateverPiecesItArrivesIn) {
  const std::vector<ViewRecord> records = EveryType();
  const std::string stream = Stream(records);
  for (size_t piece : {size_t{1}, size_t{3}, size_t{7}, stream.size()}) {
    SCOPED_TRACE(piece);
    ViewRecordReader reader;
    std::vector<ViewRecord> got;
    for (size_t at = 0; at < stream.size(); at += piece) {
      reader.Append(stream.substr(at, piece));
      for (ViewRecord& record : ReadAll(reader)) got.push_back(std::move(record));
    }
    EXPECT_FALSE(reader.Damaged());
    EXPECT_EQ(reader.Pending(), 0u);
    ASSERT_EQ(got.size(), records.size());
    for (size_t i = 0; i < got.size(); ++i) ExpectSame(got[i], records[i]);
  }
}

TEST(ViewProtocolTest, ALongStreamDoesNotKeepWhatWasRead) {
  ViewRecordReader reader;
  const std::string one = EncodeViewRecord(Record(T::kStatusText, {0, 0}, {}, {u"Extracting"}));
  for (int i = 0; i < 10000; ++i) {
    reader.Append(one);
    ASSERT_TRUE(reader.Next().has_value());
  }
  EXPECT_EQ(reader.Pending(), 0u);
}

TEST(ViewProtocolTest, AStreamCutAnywhereYieldsTheWholeRecordsBeforeTheCutAndWaits) {
  const std::vector<ViewRecord> records = EveryType();
  std::vector<size_t> ends;
  std::string stream;
  for (const ViewRecord& record : records) {
    stream += EncodeViewRecord(record);
    ends.push_back(stream.size());
  }
  for (size_t cut = 0; cut < stream.size(); ++cut) {
    ViewRecordReader reader;
    reader.Append(std::string_view(stream).substr(0, cut));
    const std::vector<ViewRecord> got = ReadAll(reader);
    size_t whole = 0;
    while (whole < ends.size() && ends[whole] <= cut) ++whole;
    ASSERT_EQ(got.size(), whole) << "cut at " << cut;
    EXPECT_FALSE(reader.Damaged()) << "cut at " << cut;
  }
}

TEST(ViewProtocolTest, ABodyCutShortOrLengthenedDoesNotDecode) {
  for (const ViewRecord& record : EveryType()) {
    const std::string body = EncodeViewRecord(record).substr(4);
    ASSERT_TRUE(DecodeViewRecord(body).has_value());
    for (size_t cut = 0; cut < body.size(); ++cut) {
      EXPECT_FALSE(DecodeViewRecord(std::string_view(body).substr(0, cut)).has_value())
          << static_cast<int>(record.type) << " cut at " << cut;
    }
    EXPECT_FALSE(DecodeViewRecord(body + '\0').has_value()) << static_cast<int>(record.type);
  }
}

// Frames whose own bytes are wrong: each marks the stream damaged, and nothing after it is read.
struct DamagedFrame {
  const char* what;
  std::string bytes;
};

std::string Frame(std::string body) {
  std::string out(4, '\0');
  const uint32_t length = static_cast<uint32_t>(body.size());
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(length >> (8 * i));
  return out + body;
}

TEST(ViewProtocolTest, AFrameThatLiesAboutItselfDamagesTheStream) {
  const std::vector<DamagedFrame> frames = {
      {"length 0", std::string(4, '\0')},
      {"length above the limit", std::string("\x01\x00\x10\x00", 4) + "x"},
      {"length of 4 GB", std::string("\xff\xff\xff\xff", 4)},
      {"unknown type", Frame("\x63")},
      {"type 0", Frame(std::string(1, '\0'))},
      {"string longer than the record", Frame(std::string("\x09\xff\xff\xff\x7f", 5))},
      {"odd UTF-16 length", Frame(std::string("\x0b\x03\x00\x00\x00"
                                              "abc",
                                              8))},
      {"bytes after the fields", Frame(std::string("\x06\x01\x00\x00\x00\x00", 6))},
  };
  const std::string after = EncodeViewRecord(Record(T::kNext, {}));
  for (const DamagedFrame& frame : frames) {
    SCOPED_TRACE(frame.what);
    ViewRecordReader reader;
    reader.Append(EncodeViewRecord(Record(T::kBack, {})) + frame.bytes + after);
    const std::vector<ViewRecord> got = ReadAll(reader);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, T::kBack);
    EXPECT_TRUE(reader.Damaged());
    reader.Append(after);
    EXPECT_FALSE(reader.Next().has_value());
  }
}

TEST(ViewProtocolTest, FlippedBytesNeverCrashAndEveryRecordReadStillDecodes) {
  const std::string stream = Stream(EveryType());
  std::mt19937 random(20240611);
  int damaged = 0;
  for (int round = 0; round < 2000; ++round) {
    std::string bytes = stream;
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) {
      bytes[random() % bytes.size()] ^= static_cast<char>(1 + random() % 255);
    }
    ViewRecordReader reader;
    reader.Append(bytes);
    for (const ViewRecord& record : ReadAll(reader)) {
      // What is read is a well-formed record: it encodes back to a frame that decodes.
      EXPECT_TRUE(DecodeViewRecord(EncodeViewRecord(record).substr(4)).has_value());
    }
    damaged += reader.Damaged();
  }
  EXPECT_GT(damaged, 0);
}

TEST(ViewProtocolTest, EncodingFieldsThatDoNotMatchTheTypeIsRefused) {
  EXPECT_THROW(EncodeViewRecord(Record(T::kPageSelected, {})), std::logic_error);
  EXPECT_THROW(EncodeViewRecord(Record(T::kNext, {1})), std::logic_error);
  EXPECT_THROW(EncodeViewRecord(Record(T::kEditFolder, {}, {}, {u"text"})), std::logic_error);
  EXPECT_THROW(EncodeViewRecord(Record(static_cast<T>(200), {})), std::logic_error);
}

}  // namespace
}  // namespace setup_session
