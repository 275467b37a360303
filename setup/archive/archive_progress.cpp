#include "setup/archive/archive_progress.h"

#include "platform/text_encoding.h"
#include "setup/core/text_services.h"

namespace archive_io {

namespace {

std::u16string Number(int value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string Widen(const std::string& text) { return platform::Cp1252ToUtf16(text); }

std::u16string ItemProgressText(TArchiveProgress& progress, const std::string& name, int done,
                                int total) {
  std::u16string text = progress.Text(19);
  text = ReplaceAll(text, u"<%QXPNAME%>", Widen(name));
  text = ReplaceAll(text, u"<%FNUM%>", Number(done));
  return ReplaceAll(text, u"<%FTOTAL%>", Number(total));
}

std::u16string NamedText(TArchiveProgress& progress, int number, const std::string& name) {
  return ReplaceAll(progress.Text(number), u"<%QXPNAME%>", Widen(name));
}

}  // namespace archive_io
