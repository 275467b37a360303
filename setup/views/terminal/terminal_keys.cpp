#include "setup/views/terminal/terminal_keys.h"

namespace setup_terminal {

namespace {

// Longest CSI sequence read as one key; longer ones (no terminal sends them for a key) are
// skipped byte by byte.
constexpr size_t kMaxSequence = 16;

Key Code(KeyCode code) { return Key{code, 0}; }

Key ControlByte(unsigned char byte) {
  switch (byte) {
    case '\r':
    case '\n':
      return Code(KeyCode::kEnter);
    case '\t':
      return Code(KeyCode::kTab);
    case 0x7F:
    case 0x08:
      return Code(KeyCode::kBackspace);
    case 0x03:
      return Code(KeyCode::kInterrupt);
    case 0x1A:
      return Code(KeyCode::kSuspend);
    case 0x15:
      return Code(KeyCode::kClearLine);
    case 0x0C:
      return Code(KeyCode::kRedraw);
    case 0x04:
      return Code(KeyCode::kEndOfInput);
  }
  return Code(KeyCode::kIgnored);
}

// The key a final byte of a CSI or SS3 sequence names (arrows, Home, End, Shift-Tab).
Key FinalKey(char final_byte) {
  switch (final_byte) {
    case 'A':
      return Code(KeyCode::kUp);
    case 'B':
      return Code(KeyCode::kDown);
    case 'C':
      return Code(KeyCode::kRight);
    case 'D':
      return Code(KeyCode::kLeft);
    case 'H':
      return Code(KeyCode::kHome);
    case 'F':
      return Code(KeyCode::kEnd);
    case 'Z':
      return Code(KeyCode::kBackTab);
  }
  return Code(KeyCode::kIgnored);
}

// "ESC [ n ~" keys by their first parameter.
Key TildeKey(std::string_view params) {
  int number = 0;
  for (char c : params) {
    if (c < '0' || c > '9') break;
    number = number * 10 + (c - '0');
    if (number > 100) break;
  }
  switch (number) {
    case 1:
    case 7:
      return Code(KeyCode::kHome);
    case 4:
    case 8:
      return Code(KeyCode::kEnd);
    case 3:
      return Code(KeyCode::kDelete);
    case 5:
      return Code(KeyCode::kPageUp);
    case 6:
      return Code(KeyCode::kPageDown);
  }
  return Code(KeyCode::kIgnored);
}

std::optional<Key> DecodeEscape(std::string_view input, bool complete, size_t& used) {
  if (input.size() < 2) {
    if (!complete) return std::nullopt;
    used = 1;
    return Code(KeyCode::kEscape);
  }
  const char kind = input[1];
  if (kind == 'O') {  // SS3: ESC O final
    if (input.size() < 3) {
      if (!complete) return std::nullopt;
      used = 1;
      return Code(KeyCode::kEscape);
    }
    used = 3;
    return FinalKey(input[2]);
  }
  if (kind != '[') {
    // ESC before another key (Alt held, or Esc typed quickly before it): the Escape key; the
    // other key follows on its own.
    used = 1;
    return Code(KeyCode::kEscape);
  }
  // CSI: parameter and intermediate bytes (0x20-0x3F), then a final byte (0x40-0x7E).
  for (size_t i = 2; i < input.size() && i < kMaxSequence; ++i) {
    const unsigned char c = static_cast<unsigned char>(input[i]);
    if (c >= 0x40 && c <= 0x7E) {
      used = i + 1;
      return c == '~' ? TildeKey(input.substr(2, i - 2)) : FinalKey(static_cast<char>(c));
    }
    if (c < 0x20 || c > 0x3F) {
      used = i;  // a broken sequence: skipped up to the byte that broke it
      return Code(KeyCode::kIgnored);
    }
  }
  if (input.size() < kMaxSequence && !complete) return std::nullopt;
  used = input.size() < kMaxSequence ? input.size() : kMaxSequence;
  return Code(KeyCode::kIgnored);
}

std::optional<Key> DecodeUtf8(std::string_view input, bool complete, size_t& used) {
  const unsigned char lead = static_cast<unsigned char>(input[0]);
  size_t length = 0;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    used = 1;  // a continuation byte or an invalid lead
    return Code(KeyCode::kIgnored);
  }
  for (size_t i = 1; i < length; ++i) {
    if (i >= input.size()) {
      if (!complete) return std::nullopt;
      used = i;
      return Code(KeyCode::kIgnored);
    }
    const unsigned char c = static_cast<unsigned char>(input[i]);
    if ((c & 0xC0) != 0x80) {
      used = i;
      return Code(KeyCode::kIgnored);
    }
    value = (value << 6) | (c & 0x3F);
  }
  used = length;
  const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
  if (overlong || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) ||
      (value >= 0x80 && value < 0xA0)) {
    return Code(KeyCode::kIgnored);
  }
  return Key{KeyCode::kChar, value};
}

}  // namespace

std::optional<Key> DecodeKey(std::string_view input, bool complete, size_t& used) {
  used = 0;
  if (input.empty()) return std::nullopt;
  const unsigned char first = static_cast<unsigned char>(input[0]);
  if (first == 0x1B) return DecodeEscape(input, complete, used);
  if (first < 0x20 || first == 0x7F) {
    used = 1;
    // CR LF from a terminal that sends both is one Enter.
    if (first == '\r' && input.size() > 1 && input[1] == '\n') used = 2;
    return ControlByte(first);
  }
  if (first < 0x80) {
    used = 1;
    return Key{KeyCode::kChar, first};
  }
  return DecodeUtf8(input, complete, used);
}

}  // namespace setup_terminal
