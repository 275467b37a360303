// The keys of a terminal, decoded from the bytes it sends: printable characters (UTF-8), the
// control keys, and the escape sequences of arrows, paging and editing keys as xterm-like
// terminals and the Linux console send them.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace setup_terminal {

enum class KeyCode {
  kIgnored,  // a control byte or a sequence that means nothing here
  kChar,
  kEnter,
  kEscape,
  kTab,
  kBackTab,
  kBackspace,
  kDelete,
  kUp,
  kDown,
  kLeft,
  kRight,
  kHome,
  kEnd,
  kPageUp,
  kPageDown,
  kInterrupt,   // Ctrl-C
  kSuspend,     // Ctrl-Z
  kClearLine,   // Ctrl-U
  kRedraw,      // Ctrl-L
  kEndOfInput,  // Ctrl-D
};

struct Key {
  KeyCode code = KeyCode::kIgnored;
  char32_t ch = 0;  // the character of a kChar key
  bool operator==(const Key&) const = default;
};

// Decodes the key at the start of INPUT (not empty) and sets USED to the bytes it took. Answers
// nothing when INPUT holds only the start of a sequence and more bytes may follow; with
// COMPLETE (no more bytes came) that start is taken as it is: a lone ESC is the Escape key.
std::optional<Key> DecodeKey(std::string_view input, bool complete, size_t& used);

}  // namespace setup_terminal
