#include "setup/session/rtf_reader.h"

#include <array>
#include <cctype>

#include "platform/ascii_case.h"
#include "platform/text_encoding.h"

namespace setup_session {

namespace {

constexpr size_t kMaxDepth = 256;  // deeper groups are read as plain groups without a state copy

struct CharState {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int font_size = 0;
  int colour_index = -1;
  RtfAlignment alignment = RtfAlignment::kLeft;
  int unicode_skip = 1;
  bool skip = false;          // inside a destination whose text is not shown
  bool colour_table = false;  // inside \colortbl
};

bool IsSkippedDestination(std::string_view word) {
  static constexpr std::array<std::string_view, 22> kSkipped = {
      "fonttbl", "stylesheet", "info", "pict", "object", "header", "footer", "headerl",
      "headerr", "footerl", "footerr", "footnote", "listtable", "listoverridetable", "rsidtbl",
      "generator", "xmlnstbl", "themedata", "colorschememapping", "datastore", "latentstyles",
      "fldinst"};
  for (std::string_view skipped : kSkipped) {
    if (word == skipped) return true;
  }
  return word == "filetbl" || word == "revtbl" || word == "pgdsctbl" || word == "nonshppict";
}

class Parser {
 public:
  explicit Parser(std::string_view data) : data_(data) {}

  RtfDocument Run() {
    states_.push_back(CharState{});
    while (pos_ < data_.size()) {
      char c = data_[pos_++];
      if (c == '{') {
        OpenGroup();
      } else if (c == '}') {
        CloseGroup();
      } else if (c == '\\') {
        ControlSequence();
      } else if (c == '\r' || c == '\n') {
        continue;
      } else if (State().colour_table) {
        if (c == ';') EndColour();
      } else {
        EmitByte(static_cast<unsigned char>(c));
      }
    }
    if (!paragraph_.runs.empty()) EndParagraph();
    return std::move(document_);
  }

 private:
  CharState& State() { return states_.back(); }

  void OpenGroup() {
    if (states_.size() >= kMaxDepth) {
      ++overflow_depth_;
      return;
    }
    states_.push_back(State());
  }

  void CloseGroup() {
    if (overflow_depth_ > 0) {
      --overflow_depth_;
      return;
    }
    if (states_.size() > 1) states_.pop_back();
  }

  void ControlSequence() {
    if (pos_ >= data_.size()) return;
    char c = data_[pos_];
    if (!platform::IsAsciiLetter(c)) {
      ++pos_;
      ControlSymbol(c);
      return;
    }
    size_t start = pos_;
    while (pos_ < data_.size() && platform::IsAsciiLetter(data_[pos_])) ++pos_;
    std::string_view word = data_.substr(start, pos_ - start);
    bool has_param = false;
    bool negative = false;
    long param = 0;
    if (pos_ < data_.size() && data_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    while (pos_ < data_.size() && std::isdigit(static_cast<unsigned char>(data_[pos_]))) {
      has_param = true;
      if (param < 1000000) param = param * 10 + (data_[pos_] - '0');
      ++pos_;
    }
    if (negative) param = -param;
    if (pos_ < data_.size() && data_[pos_] == ' ') ++pos_;
    ControlWord(word, has_param, param);
  }

  void ControlSymbol(char c) {
    switch (c) {
      case '\\':
      case '{':
      case '}':
        EmitByte(static_cast<unsigned char>(c));
        break;
      case '\'': {
        int value = 0;
        int digits = 0;
        while (digits < 2 && pos_ < data_.size() &&
               std::isxdigit(static_cast<unsigned char>(data_[pos_]))) {
          char h = static_cast<char>(std::tolower(static_cast<unsigned char>(data_[pos_++])));
          value = value * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
          ++digits;
        }
        if (digits > 0) EmitByte(static_cast<unsigned char>(value));
        break;
      }
      case '~': EmitChar(0x00A0); break;
      case '_': EmitChar(0x2011); break;
      case '*':
        // An ignorable destination: its text is not shown.
        State().skip = true;
        break;
      case '\r':
      case '\n':
        Paragraph();
        break;
      default:
        break;
    }
  }

  void ControlWord(std::string_view word, bool has_param, long param) {
    CharState& s = State();
    if (IsSkippedDestination(word)) {
      s.skip = true;
    } else if (word == "colortbl") {
      s.colour_table = true;
      s.skip = true;
      colours_.clear();
      red_ = green_ = blue_ = 0;
      colour_set_ = false;
    } else if (s.colour_table) {
      if (word == "red") red_ = static_cast<int>(param) & 0xFF, colour_set_ = true;
      if (word == "green") green_ = static_cast<int>(param) & 0xFF, colour_set_ = true;
      if (word == "blue") blue_ = static_cast<int>(param) & 0xFF, colour_set_ = true;
    } else if (word == "par") {
      Paragraph();
    } else if (word == "line") {
      EmitChar(0x2028);
    } else if (word == "tab") {
      EmitChar('\t');
    } else if (word == "b") {
      s.bold = !has_param || param != 0;
    } else if (word == "i") {
      s.italic = !has_param || param != 0;
    } else if (word == "ul") {
      s.underline = !has_param || param != 0;
    } else if (word == "ulnone") {
      s.underline = false;
    } else if (word == "fs") {
      s.font_size = has_param && param > 0 && param < 2000 ? static_cast<int>(param) : 0;
    } else if (word == "cf") {
      s.colour_index = has_param ? static_cast<int>(param) : -1;
    } else if (word == "plain") {
      s.bold = s.italic = s.underline = false;
      s.font_size = 0;
      s.colour_index = -1;
    } else if (word == "pard") {
      s.alignment = RtfAlignment::kLeft;
    } else if (word == "ql") {
      s.alignment = RtfAlignment::kLeft;
    } else if (word == "qc") {
      s.alignment = RtfAlignment::kCentre;
    } else if (word == "qr") {
      s.alignment = RtfAlignment::kRight;
    } else if (word == "qj") {
      s.alignment = RtfAlignment::kJustify;
    } else if (word == "uc") {
      s.unicode_skip = has_param && param >= 0 && param < 16 ? static_cast<int>(param) : 1;
    } else if (word == "u" && has_param) {
      EmitChar(static_cast<char16_t>(param < 0 ? param + 65536 : param));
      pending_skip_ = s.unicode_skip;
    } else if (word == "emdash") {
      EmitChar(0x2014);
    } else if (word == "endash") {
      EmitChar(0x2013);
    } else if (word == "bullet") {
      EmitChar(0x2022);
    } else if (word == "lquote") {
      EmitChar(0x2018);
    } else if (word == "rquote") {
      EmitChar(0x2019);
    } else if (word == "ldblquote") {
      EmitChar(0x201C);
    } else if (word == "rdblquote") {
      EmitChar(0x201D);
    }
  }

  void EndColour() {
    if (colour_set_) {
      colours_.push_back(static_cast<uint32_t>((red_ << 16) | (green_ << 8) | blue_));
    } else {
      colours_.push_back(std::nullopt);  // "auto": the box's own colour
    }
    red_ = green_ = blue_ = 0;
    colour_set_ = false;
  }

  // A byte of text in the document's code page (Windows-1252).
  void EmitByte(unsigned char byte) {
    if (pending_skip_ > 0) {
      --pending_skip_;
      return;
    }
    std::u16string wide = platform::Cp1252ToUtf16(std::string(1, static_cast<char>(byte)));
    if (!wide.empty()) EmitChar(wide[0]);
  }

  void EmitChar(char16_t c) {
    const CharState& s = State();
    if (s.skip || overflow_depth_ > 0) return;
    std::optional<uint32_t> colour;
    if (s.colour_index >= 0 && static_cast<size_t>(s.colour_index) < colours_.size()) {
      colour = colours_[s.colour_index];
    }
    if (paragraph_.runs.empty() || !SameFormat(paragraph_.runs.back(), s, colour)) {
      RtfRun run;
      run.bold = s.bold;
      run.italic = s.italic;
      run.underline = s.underline;
      run.font_size_half_points = s.font_size;
      run.colour = colour;
      paragraph_.runs.push_back(std::move(run));
    }
    paragraph_.runs.back().text.push_back(c);
  }

  static bool SameFormat(const RtfRun& run, const CharState& s,
                         const std::optional<uint32_t>& colour) {
    return run.bold == s.bold && run.italic == s.italic && run.underline == s.underline &&
           run.font_size_half_points == s.font_size && run.colour == colour;
  }

  void Paragraph() {
    if (State().skip || overflow_depth_ > 0) return;
    EndParagraph();
  }

  void EndParagraph() {
    paragraph_.alignment = State().alignment;
    document_.paragraphs.push_back(std::move(paragraph_));
    paragraph_ = RtfParagraph{};
  }

  std::string_view data_;
  size_t pos_ = 0;
  std::vector<CharState> states_;
  size_t overflow_depth_ = 0;
  int pending_skip_ = 0;
  std::vector<std::optional<uint32_t>> colours_;
  int red_ = 0, green_ = 0, blue_ = 0;
  bool colour_set_ = false;
  RtfParagraph paragraph_;
  RtfDocument document_;
};

}  // namespace

std::u16string RtfParagraph::PlainText() const {
  std::u16string text;
  for (const RtfRun& run : runs) text += run.text;
  return text;
}

std::u16string RtfDocument::PlainText() const {
  std::u16string text;
  for (size_t i = 0; i < paragraphs.size(); ++i) {
    if (i > 0) text += u'\n';
    text += paragraphs[i].PlainText();
  }
  return text;
}

bool LooksLikeRtf(std::string_view data) {
  size_t i = 0;
  while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' ||
                             data[i] == '\n')) {
    ++i;
  }
  return data.substr(i, 5) == "{\\rtf";
}

std::optional<RtfDocument> ParseRtf(std::string_view data) {
  if (!LooksLikeRtf(data)) return std::nullopt;
  return Parser(data).Run();
}

}  // namespace setup_session
