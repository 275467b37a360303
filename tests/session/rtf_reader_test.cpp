#include "setup/session/rtf_reader.h"

#include <gtest/gtest.h>

#include <random>

namespace setup_session {
namespace {

TEST(RtfReaderTest, FormattingRunsAndParagraphs) {
  std::optional<RtfDocument> doc = ParseRtf(
      "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl ;\\red255\\green0\\blue0;}"
      "\\f0\\fs20 Plain {\\b bold} {\\i\\ul both\\ulnone  no}\\par"
      "\\qc\\cf1\\fs32 Big red\\cf0\\par}");
  ASSERT_TRUE(doc.has_value());
  ASSERT_EQ(doc->paragraphs.size(), 2u);
  const RtfParagraph& first = doc->paragraphs[0];
  EXPECT_EQ(first.PlainText(), u"Plain bold both no");
  ASSERT_GE(first.runs.size(), 4u);
  EXPECT_EQ(first.runs[0].text, u"Plain ");
  EXPECT_EQ(first.runs[0].font_size_half_points, 20);
  EXPECT_EQ(first.runs[1].text, u"bold");
  EXPECT_TRUE(first.runs[1].bold);
  EXPECT_FALSE(first.runs[2].bold);  // the group ended the bold
  bool saw_italic_underline = false;
  for (const RtfRun& run : first.runs) {
    if (run.text == u"both") saw_italic_underline = run.italic && run.underline;
  }
  EXPECT_TRUE(saw_italic_underline);
  const RtfParagraph& second = doc->paragraphs[1];
  EXPECT_EQ(second.alignment, RtfAlignment::kCentre);
  ASSERT_FALSE(second.runs.empty());
  EXPECT_EQ(second.runs[0].colour, std::optional<uint32_t>(0xFF0000));
  EXPECT_EQ(second.runs[0].font_size_half_points, 32);
  EXPECT_EQ(doc->PlainText(), u"Plain bold both no\nBig red");
}

TEST(RtfReaderTest, EscapesAndUnicodeCharacters) {
  std::optional<RtfDocument> doc = ParseRtf(
      "{\\rtf1 caf\\'e9 \\{x\\} back\\\\slash \\u268?esky \\uc2\\u8364 ??EUR"
      "\\emdash\\bullet\\~end}");
  ASSERT_TRUE(doc.has_value());
  EXPECT_EQ(doc->PlainText(),
            u"caf\u00e9 {x} back\\slash \u010cesky \u20acEUR\u2014\u2022\u00a0end");
}

TEST(RtfReaderTest, SkippedDestinationsShowNothing) {
  std::optional<RtfDocument> doc = ParseRtf(
      "{\\rtf1{\\fonttbl{\\f0 Times;}}{\\stylesheet{\\s0 Normal;}}{\\info{\\title Secret}}"
      "{\\*\\generator Writer;}{\\pict\\pngblip 89504e47}visible}");
  ASSERT_TRUE(doc.has_value());
  EXPECT_EQ(doc->PlainText(), u"visible");
}

TEST(RtfReaderTest, PlainTextIsNoRtf) {
  EXPECT_FALSE(ParseRtf("Version 1.0\r\nFirst release").has_value());
  EXPECT_TRUE(LooksLikeRtf("\r\n  {\\rtf1 x}"));
  EXPECT_FALSE(LooksLikeRtf("{\\rt"));
}

TEST(RtfReaderTest, DamagedInputStillYieldsWhatWasRead) {
  std::optional<RtfDocument> doc = ParseRtf("{\\rtf1 {\\b open \\'4");
  ASSERT_TRUE(doc.has_value());
  EXPECT_EQ(doc->PlainText(), u"open \u0004");
  // Unbalanced closing braces and very deep nesting.
  std::string deep =
      "{\\rtf1 " + std::string(100000, '{') + "deep" + std::string(100000, '}') + "}}}} after";
  doc = ParseRtf(deep);
  ASSERT_TRUE(doc.has_value());
  EXPECT_EQ(doc->PlainText(), u" after");  // text past the nesting limit is dropped
  // Random bytes after the header never crash the reader (seeded).
  std::mt19937 random(1234);
  const std::string alphabet = "{}\\'abu0123456789- ;\r\n";
  for (int round = 0; round < 200; ++round) {
    std::string text = "{\\rtf1 ";
    for (int i = 0; i < 300; ++i) text += alphabet[random() % alphabet.size()];
    EXPECT_TRUE(ParseRtf(text).has_value());
  }
}

}  // namespace
}  // namespace setup_session
