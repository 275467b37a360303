#include "setup/views/qt/picture_box.h"

#include <QPainter>

#include "setup/views/qt/metafile_picture.h"

namespace setup_wizard {

TPictureBox::TPictureBox(QWidget* parent) : QWidget(parent) { resize(105, 105); }

void TPictureBox::SetPicture(const QImage& picture) {
  picture_ = picture;
  metafile_.clear();
  drawn_metafile_ = QImage();
  update();
}

void TPictureBox::SetMetafile(const std::string& bytes) {
  metafile_ = bytes;
  drawn_metafile_ = QImage();
  update();
}

QImage TPictureBox::ShownPicture() const {
  if (stretch_ && !metafile_.empty() && !size().isEmpty()) {
    if (drawn_metafile_.size() != size()) drawn_metafile_ = RenderMetafile(metafile_, size());
    if (!drawn_metafile_.isNull()) return drawn_metafile_;
  }
  return picture_;
}

void TPictureBox::SetStretch(bool value) {
  stretch_ = value;
  update();
}

void TPictureBox::SetCenter(bool value) {
  center_ = value;
  update();
}

void TPictureBox::SetTransparent(bool value) {
  transparent_ = value;
  update();
}

void TPictureBox::Tile() {
  if (picture_.isNull() || width() <= 0 || height() <= 0) return;
  const QImage tile = picture_.convertToFormat(QImage::Format_ARGB32);
  QImage filled(width(), height(), QImage::Format_ARGB32);
  filled.fill(Qt::transparent);
  QPainter painter(&filled);
  for (int a = 0; a <= width() / tile.width(); ++a) {
    for (int b = 0; b <= height() / tile.height(); ++b) {
      painter.drawImage(a * tile.width(), b * tile.height(), tile);
    }
  }
  painter.end();
  SetPicture(filled);
}

void TPictureBox::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QImage shown = ShownPicture();
  if (transparent_ && !shown.hasAlphaChannel()) {
    // The bottom-left pixel's colour is the transparent colour, as for a bitmap.
    QRgb key = shown.pixel(0, shown.height() - 1);
    shown = shown.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < shown.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(shown.scanLine(y));
      for (int x = 0; x < shown.width(); ++x) {
        if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF)) line[x] = 0;
      }
    }
  }
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  if (stretch_) {
    painter.drawImage(rect(), shown);
  } else if (center_) {
    painter.drawImage((width() - shown.width()) / 2, (height() - shown.height()) / 2, shown);
  } else {
    painter.drawImage(0, 0, shown);
  }
}

}  // namespace setup_wizard
