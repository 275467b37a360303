#include "setup/archive/archive_progress.h"

#include "platform/text_encoding.h"

namespace archive_io {

namespace {

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; }

size_t FindIgnoringCase(const std::u16string& text, const std::u16string& what, size_t from) {
  if (what.empty() || what.size() > text.size()) return std::u16string::npos;
  for (size_t i = from; i + what.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < what.size() && FoldAscii(text[i + k]) == FoldAscii(what[k])) ++k;
    if (k == what.size()) return i;
  }
  return std::u16string::npos;
}

std::u16string Number(int value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string ReplaceIgnoringCase(std::u16string text, const std::u16string& from,
                                   const std::u16string& to) {
  size_t at = FindIgnoringCase(text, from, 0);
  while (at != std::u16string::npos) {
    text.replace(at, from.size(), to);
    at = FindIgnoringCase(text, from, at + to.size());
  }
  return text;
}

std::u16string Widen(const std::string& text) { return platform::Cp1252ToUtf16(text); }

std::u16string ItemProgressText(TArchiveProgress& progress, const std::string& name, int done,
                                int total) {
  std::u16string text = progress.Text(19);
  text = ReplaceIgnoringCase(std::move(text), u"<%QXPNAME%>", Widen(name));
  text = ReplaceIgnoringCase(std::move(text), u"<%FNUM%>", Number(done));
  return ReplaceIgnoringCase(std::move(text), u"<%FTOTAL%>", Number(total));
}

std::u16string NamedText(TArchiveProgress& progress, int number, const std::string& name) {
  return ReplaceIgnoringCase(progress.Text(number), u"<%QXPNAME%>", Widen(name));
}

}  // namespace archive_io
