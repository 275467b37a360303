// Fills a rich-text box from a change-log file: rich text when the bytes are rich text,
// Windows-1252 plain text otherwise.
#pragma once

#include <string>

class QTextEdit;

namespace setup_session {
struct RtfDocument;
}

namespace setup_wizard {

using setup_session::RtfDocument;

void FillRichEdit(QTextEdit* edit, const std::string& bytes);
void FillRichEdit(QTextEdit* edit, const RtfDocument& document);

}  // namespace setup_wizard
