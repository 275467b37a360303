// Base64 decoding: only the exact padded form of some bytes is taken.
#include "setup/core/base64.h"

#include <gtest/gtest.h>

namespace {

TEST(Base64Test, DecodesThePaddedFormAndRefusesEveryOther) {
  const std::pair<const char*, std::string> good[] = {
      {"", ""},        {"Zg==", "f"},        {"Zm8=", "fo"},
      {"Zm9v", "foo"}, {"Zm9vYg==", "foob"}, {"+/+/", "\xfb\xff\xbf"},
  };
  for (const auto& [text, bytes] : good) EXPECT_EQ(DecodeBase64(text), bytes) << text;
  const char* bad[] = {
      "Zg",        // no padding
      "Zg=",       // short padding
      "Zg===",     // too much
      "Zh==",      // bits set past the last byte
      "Zm9=",      // the same with one '='
      "Z===",      // a group of one character
      "Zg==Zg==",  // padding inside
      "Zm9v\n",    // a character outside the alphabet
      "Zm-v",      // the URL-safe alphabet
  };
  for (const char* text : bad) EXPECT_FALSE(DecodeBase64(text)) << text;
}

}  // namespace
