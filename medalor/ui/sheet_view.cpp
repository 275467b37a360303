#include "medalor/ui/sheet_view.h"

#include <QPainter>
#include <cstring>

namespace medalor {

QImage ToQImage(const TPicture& picture) {
  QImage image(picture.Width(), picture.Height(), QImage::Format_RGBA8888);
  for (int y = 0; y < picture.Height(); ++y) {
    std::memcpy(image.scanLine(y), picture.Row(y), static_cast<size_t>(picture.Width()) * 4);
  }
  return image;
}

TSheetView::TSheetView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TSheetView::SetSheet(QImage sheet) {
  sheet_ = std::move(sheet);
  update();
}

QPoint TSheetView::SheetOrigin() const {
  return QPoint((width() - sheet_.width()) / 2, (height() - sheet_.height()) / 2);
}

void TSheetView::paintEvent(QPaintEvent*) {
  if (sheet_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(SheetOrigin(), sheet_);
}

}  // namespace medalor
