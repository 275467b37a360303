// Script text to words: line splitting, quoting, labels and comments.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/text_encoding.h"
#include "setup/commands/script_compiler.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Blanks and control characters, as Trim removes them.
bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  while (end > begin && IsTrimmed(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// True when the bytes are valid UTF-8 and hold at least one multi-byte sequence.
bool IsUtf8WithNonAscii(const std::string& text) {
  bool non_ascii = false;
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
    } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
      extra = 3;
    } else {
      return false;
    }
    if (extra > text.size() - i - 1) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    non_ascii = true;
    i += extra + 1;
  }
  return non_ascii;
}

}  // namespace

std::string StripQuotes(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (c != '"') result.push_back(c);
  }
  return result;
}

void SplitFirstWord(const std::string& text, std::string& word, std::string& rest) {
  const std::string trimmed = Trim(text);
  bool quoted = false;
  for (size_t i = 0; i < trimmed.size(); ++i) {
    const char c = trimmed[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && IsBlank(c)) {
      word = StripQuotes(trimmed.substr(0, i));
      rest = trimmed.substr(i);
      return;
    }
  }
  word = StripQuotes(trimmed);
  rest.clear();
}

std::vector<std::string> SplitScriptWords(const std::string& line) {
  std::vector<std::string> words;
  std::string rest = line;
  std::string word;
  // Each round takes one word off the front; a quoted empty word ("") still counts as a word.
  while (!Trim(rest).empty()) {
    std::string next;
    SplitFirstWord(rest, word, next);
    words.push_back(word);
    rest = next;
  }
  return words;
}

namespace {

// The line up to its comment: a ';' outside quotes that starts the line or follows a blank
// begins a comment running to the end of the line (a ';' inside a word or quotes stays text).
// `unclosed` tells whether a quote opened before the comment or the end is never closed.
std::string WithoutComment(const std::string& line, bool& unclosed) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ';' && !quoted && (i == 0 || IsBlank(line[i - 1]))) {
      unclosed = false;
      return line.substr(0, i);
    }
  }
  unclosed = quoted;
  return line;
}

}  // namespace

TScriptLine ParseScriptLine(const std::string& line) {
  TScriptLine result;
  const std::string whole = Trim(line);
  if (whole.empty() || whole[0] == ';' || whole[0] == '#') return result;
  const std::string trimmed = Trim(WithoutComment(whole, result.unclosed_quote));
  if (trimmed.empty()) return result;
  std::vector<std::string> words = SplitScriptWords(trimmed);
  if (words.empty()) return result;
  // A label is one unquoted word ending in ':' ("start:").
  if (words.size() == 1 && trimmed.find('"') == std::string::npos && words[0].size() > 1 &&
      words[0].back() == ':') {
    result.kind = TScriptLine::Kind::kLabel;
    result.words = {words[0].substr(0, words[0].size() - 1)};
    return result;
  }
  result.kind = TScriptLine::Kind::kCommand;
  result.words = std::move(words);
  return result;
}

std::u16string TextFileToUtf16(const std::string& bytes) {
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    return platform::Utf8ToUtf16(bytes.substr(3));
  }
  return IsUtf8WithNonAscii(bytes) ? platform::Utf8ToUtf16(bytes) : platform::Cp1252ToUtf16(bytes);
}

std::vector<TScriptLine> ParseScriptText(const std::string& text) {
  std::string bytes = text;
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    bytes = platform::Utf8ToCp1252(bytes.substr(3));
  } else if (IsUtf8WithNonAscii(bytes)) {
    bytes = platform::Utf8ToCp1252(bytes);
  }
  std::vector<TScriptLine> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      lines.push_back(ParseScriptLine(bytes.substr(start, i - start)));
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < bytes.size()) lines.push_back(ParseScriptLine(bytes.substr(start)));
  return lines;
}
