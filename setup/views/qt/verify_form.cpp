#include "setup/views/qt/verify_form.h"

#include <QApplication>
#include <QScreen>

#include "platform/text_encoding.h"

namespace setup_wizard {

TFrmVerify::TFrmVerify() : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("FrmVerify");
  setWindowTitle("Verifying Contents");
  setFixedSize(321, 70);
  QFont window_font("MS Shell Dlg 2");
  window_font.setPointSize(8);
  window_font.setStyleHint(QFont::SansSerif);
  setFont(window_font);
  auto* label = new QLabel("Verifying contents please wait...", this);
  label->move(8, 8);
  label->adjustSize();
  status_label_ = new QLabel("Status: 0 out of 0 files verifyed", this);
  status_label_->setObjectName("StatusLabel");
  status_label_->setGeometry(8, 32, 305, 15);
  progress_bar_ = new QProgressBar(this);
  progress_bar_->setObjectName("ProgressBar1");
  progress_bar_->setGeometry(8, 48, 305, 16);
  progress_bar_->setRange(0, 100);
  progress_bar_->setTextVisible(false);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
}

void TFrmVerify::ShowNow() {
  show();
  QApplication::processEvents();
}

void TFrmVerify::SetStatus(const std::string& text, int position, int maximum) {
  status_label_->setText(QString::fromStdU16String(platform::Cp1252ToUtf16(text)));
  progress_bar_->setMaximum(maximum > 0 ? maximum : 1);
  progress_bar_->setValue(position);
  repaint();
}

}  // namespace setup_wizard
