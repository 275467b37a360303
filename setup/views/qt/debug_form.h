// TFrmDebug: the hidden debug window that lists the package header, its entries and the setup
// record (reached only through the never-visible Debug button).
#pragma once

#include <QDialog>
#include <QTextEdit>

namespace setup_wizard {

class TFrmDebug : public QDialog {
  Q_OBJECT
 public:
  TFrmDebug();
  // Clears the box and writes the dump lines.
  void FillDump();
  QTextEdit* RichEdit1() const { return rich_edit_; }

 private:
  QTextEdit* rich_edit_;
};

}  // namespace setup_wizard
