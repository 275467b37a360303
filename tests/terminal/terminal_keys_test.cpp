// Keys from the bytes terminals send: control keys, UTF-8 characters, the escape sequences of
// xterm-like terminals and the Linux console, and the starts of sequences that wait for more.
#include "setup/views/terminal/terminal_keys.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace setup_terminal {
namespace {

struct KeyCase {
  std::string bytes;
  std::vector<Key> keys;  // every key the bytes give, decoded one after another
};

void PrintTo(const KeyCase& c, std::ostream* os) {
  for (unsigned char byte : c.bytes)
    *os << (byte >= 0x21 && byte < 0x7F ? std::string(1, byte) : "\\x" + std::to_string(byte));
}

Key K(KeyCode code) { return Key{code, 0}; }
Key C(char32_t ch) { return Key{KeyCode::kChar, ch}; }

std::vector<Key> DecodeAll(const std::string& bytes) {
  std::vector<Key> keys;
  size_t at = 0;
  while (at < bytes.size()) {
    size_t used = 0;
    std::optional<Key> key = DecodeKey(std::string_view(bytes).substr(at), true, used);
    EXPECT_TRUE(key.has_value());
    EXPECT_GT(used, 0u);
    if (!key || used == 0) break;
    if (key->code != KeyCode::kIgnored) keys.push_back(*key);
    at += used;
  }
  return keys;
}

class KeyDecodingTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyDecodingTest, GivesTheKeys) { EXPECT_EQ(DecodeAll(GetParam().bytes), GetParam().keys); }

INSTANTIATE_TEST_SUITE_P(
    Sequences, KeyDecodingTest,
    ::testing::Values(
        KeyCase{"\r", {K(KeyCode::kEnter)}}, KeyCase{"\n", {K(KeyCode::kEnter)}},
        KeyCase{"\r\n", {K(KeyCode::kEnter)}},
        KeyCase{"\r\r", {K(KeyCode::kEnter), K(KeyCode::kEnter)}},
        KeyCase{"\t", {K(KeyCode::kTab)}}, KeyCase{"\x1b[Z", {K(KeyCode::kBackTab)}},
        KeyCase{"\x7f\x08", {K(KeyCode::kBackspace), K(KeyCode::kBackspace)}},
        KeyCase{"\x03\x1a\x15\x0c\x04",
                {K(KeyCode::kInterrupt), K(KeyCode::kSuspend), K(KeyCode::kClearLine),
                 K(KeyCode::kRedraw), K(KeyCode::kEndOfInput)}},
        // Arrows in normal (CSI) and application (SS3) cursor mode, with a modifier too.
        KeyCase{"\x1b[A\x1b[B\x1b[C\x1b[D",
                {K(KeyCode::kUp), K(KeyCode::kDown), K(KeyCode::kRight), K(KeyCode::kLeft)}},
        KeyCase{"\x1bOA\x1bOD\x1bOH\x1bOF",
                {K(KeyCode::kUp), K(KeyCode::kLeft), K(KeyCode::kHome), K(KeyCode::kEnd)}},
        KeyCase{"\x1b[1;5C", {K(KeyCode::kRight)}},
        // Paging and editing keys of xterm, rxvt and the Linux console.
        KeyCase{"\x1b[5~\x1b[6~", {K(KeyCode::kPageUp), K(KeyCode::kPageDown)}},
        KeyCase{"\x1b[1~\x1b[7~\x1b[H", {K(KeyCode::kHome), K(KeyCode::kHome), K(KeyCode::kHome)}},
        KeyCase{"\x1b[4~\x1b[8~\x1b[F", {K(KeyCode::kEnd), K(KeyCode::kEnd), K(KeyCode::kEnd)}},
        KeyCase{"\x1b[3~", {K(KeyCode::kDelete)}},
        // Sequences that mean nothing here are taken whole and dropped.
        KeyCase{"\x1b[2~x", {C(U'x')}}, KeyCase{"\x1b[200~", {}}, KeyCase{"\x1b[?1;2c", {}},
        // Escape alone, and before a key (Alt held): Escape, then the key.
        KeyCase{"\x1b", {K(KeyCode::kEscape)}}, KeyCase{"\x1bx", {K(KeyCode::kEscape), C(U'x')}},
        KeyCase{"\x1b\x1b[A", {K(KeyCode::kEscape), K(KeyCode::kUp)}},
        // UTF-8 characters; broken ones and C1 controls are dropped, the rest is kept.
        KeyCase{"a\xc4\x8d\xe2\x82\xac\xf0\x9f\x98\x80",
                {C(U'a'), C(U'\u010d'), C(U'\u20ac'), C(U'\U0001F600')}},
        KeyCase{"\x80z", {C(U'z')}}, KeyCase{"\xc0\xafz", {C(U'z')}},
        KeyCase{"\xe0\x80\xafz", {C(U'z')}}, KeyCase{"\xc2\x9bz", {C(U'z')}},
        KeyCase{"\xed\xa0\x80z", {C(U'z')}}, KeyCase{"\xc4z", {C(U'z')}}));

TEST(KeyDecodingTest, StartOfASequenceWaitsForItsRest) {
  for (const std::string start : {"\x1b", "\x1b[", "\x1b[5", "\x1bO", "\xe2\x82", "\xf0"}) {
    size_t used = 99;
    EXPECT_FALSE(DecodeKey(start, false, used).has_value()) << start;
    // When nothing more comes, the start is taken as it stands.
    std::optional<Key> taken = DecodeKey(start, true, used);
    ASSERT_TRUE(taken.has_value());
    EXPECT_GT(used, 0u);
    EXPECT_EQ(taken->code,
              start == "\x1b" || start == "\x1bO" ? KeyCode::kEscape : KeyCode::kIgnored)
        << start;
  }
}

TEST(KeyDecodingTest, EndlessSequenceIsCutAtItsBound) {
  const std::string endless = "\x1b[" + std::string(100, '1');
  size_t used = 0;
  std::optional<Key> key = DecodeKey(endless, false, used);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->code, KeyCode::kIgnored);
  EXPECT_GT(used, 0u);
  EXPECT_LT(used, endless.size());
}

}  // namespace
}  // namespace setup_terminal
