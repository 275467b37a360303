#include "setup/views/qt/rich_text.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>

#include "platform/text_encoding.h"
#include "setup/session/rtf_reader.h"

namespace setup_wizard {

using setup_session::ParseRtf;
using setup_session::RtfParagraph;
using setup_session::RtfRun;
using setup_session::RtfAlignment;

void FillRichEdit(QTextEdit* edit, const RtfDocument& document) {
  edit->clear();
  QTextCursor cursor(edit->document());
  const QFont base = edit->font();
  for (size_t p = 0; p < document.paragraphs.size(); ++p) {
    const RtfParagraph& paragraph = document.paragraphs[p];
    QTextBlockFormat block;
    switch (paragraph.alignment) {
      case RtfAlignment::kCentre: block.setAlignment(Qt::AlignHCenter); break;
      case RtfAlignment::kRight: block.setAlignment(Qt::AlignRight); break;
      case RtfAlignment::kJustify: block.setAlignment(Qt::AlignJustify); break;
      case RtfAlignment::kLeft: block.setAlignment(Qt::AlignLeft); break;
    }
    if (p == 0) {
      cursor.setBlockFormat(block);
    } else {
      cursor.insertBlock(block);
    }
    for (const RtfRun& run : paragraph.runs) {
      QTextCharFormat format;
      format.setFontFamilies({base.family()});
      format.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
      format.setFontItalic(run.italic);
      format.setFontUnderline(run.underline);
      format.setFontPointSize(run.font_size_half_points > 0 ? run.font_size_half_points / 2.0
                                                            : base.pointSizeF());
      if (run.colour) {
        uint32_t c = *run.colour;
        format.setForeground(QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
      }
      cursor.insertText(QString::fromStdU16String(run.text), format);
    }
  }
  edit->moveCursor(QTextCursor::Start);
}

void FillRichEdit(QTextEdit* edit, const std::string& bytes) {
  if (std::optional<RtfDocument> document = ParseRtf(bytes)) {
    FillRichEdit(edit, *document);
    return;
  }
  QString text = QString::fromStdU16String(platform::Cp1252ToUtf16(bytes));
  text.replace("\r\n", "\n");
  text.replace('\r', '\n');
  edit->setPlainText(text);
}

}  // namespace setup_wizard
