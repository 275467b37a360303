#include "setup/controls/grad_gauge.h"

#include <QPainter>
#include <cstdlib>

#include "platform/text_encoding.h"
#include "setup/controls/colour.h"

namespace setup_controls {

namespace {

// Makes the next Progress assignment take effect even when the value is unchanged. One flag
// serves every gauge; all of them live on the window thread.
bool force_progress = false;

int Component(uint32_t colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

}  // namespace

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  int64_t product = static_cast<int64_t>(a) * b;
  int64_t quotient = product / c;
  int64_t remainder = product % c;
  // Round half away from zero.
  if (std::llabs(remainder) * 2 >= std::llabs(static_cast<int64_t>(c))) {
    quotient += ((product < 0) != (c < 0)) ? -1 : 1;
  }
  return static_cast<int>(quotient);
}

int GaugePercent(int progress, int min, int max) {
  if (max <= min) return 0;
  int64_t span = static_cast<int64_t>(max) - min;
  int64_t done = static_cast<int64_t>(progress) - min;
  return static_cast<int>(done * 100 / span);
}

int GaugeBarWidth(int width, int percent) {
  return static_cast<int>(static_cast<int64_t>(width - 3) * percent / 100);
}

void FillGradient(QImage& image, uint32_t top, uint32_t bottom) {
  if (image.isNull()) return;
  const int r1 = Component(top, 0), g1 = Component(top, 8), b1 = Component(top, 16);
  const int dr = Component(bottom, 0) - r1;
  const int dg = Component(bottom, 8) - g1;
  const int db = Component(bottom, 16) - b1;
  const int height = image.height();
  QPainter painter(&image);
  for (int k = 0; k <= 255; ++k) {
    int from = MulDiv(k, height, 256);
    int to = MulDiv(k + 1, height, 256);
    if (to <= from) continue;
    QColor colour((r1 + MulDiv(k, dr, 255)) & 0xFF, (g1 + MulDiv(k, dg, 255)) & 0xFF,
                  (b1 + MulDiv(k, db, 255)) & 0xFF);
    painter.fillRect(QRect(0, from, image.width(), to - from), colour);
  }
}

TGradGauge::TGradGauge(QWidget* parent) : QWidget(parent) {
  resize(200, 40);
  gradient_ = QImage(width(), height() - 5, QImage::Format_RGB32);
  FillGradient(gradient_, color1_, color2_);
}

void TGradGauge::PaintNow() {
  if (isVisible()) repaint();
}

void TGradGauge::SetProgress(int value) {
  if (value < min_) value = min_;
  if (value > max_) value = max_;
  if (value == progress_ && !force_progress) return;
  progress_ = value;
  if (autocaption_) {
    caption_ = std::to_string(max_ > min_ ? GaugePercent(progress_, min_, max_) : 0) + "%";
  }
  force_progress = false;
  PaintNow();
}

void TGradGauge::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  PaintNow();
}

void TGradGauge::SetMin(int value) {
  if (value == min_ || value >= max_) return;
  min_ = value;
  if (progress_ < value) progress_ = value;
  if (autocaption_) {
    force_progress = true;
    SetProgress(progress_);
  }
  update();
}

void TGradGauge::SetMax(int value) {
  if (value == max_ || value <= min_) return;
  max_ = value;
  if (progress_ > value) progress_ = value;
  if (autocaption_) {
    force_progress = true;
    SetProgress(progress_);
  }
  update();
}

void TGradGauge::SetColor1(uint32_t value) {
  if (value == color1_) return;
  color1_ = value;
  FillGradient(gradient_, color1_, color2_);
  update();
}

void TGradGauge::SetColor2(uint32_t value) {
  if (value == color2_) return;
  color2_ = value;
  FillGradient(gradient_, color1_, color2_);
  update();
}

void TGradGauge::SetBackcolor(uint32_t value) {
  if (value == backcolor_) return;
  backcolor_ = value;
  update();
}

void TGradGauge::SetBorderColor(uint32_t value) {
  if (value == border_color_) return;
  border_color_ = value;
  update();
}

void TGradGauge::SetBorderStyle(TggBorderStyle value) {
  if (value == border_style_) return;
  border_style_ = value;
  update();
}

void TGradGauge::SetAutocaption(bool value) {
  if (value == autocaption_) return;
  autocaption_ = value;
  if (value) {
    force_progress = true;
    SetProgress(progress_);
  }
  update();
}

void TGradGauge::paintEvent(QPaintEvent*) {
  const int w = width();
  const int h = height();
  QPainter painter(this);
  const QColor border = ColourFromBgr(border_color_);
  // Lines are drawn pixel-inclusive here; the end points below leave out the last pixel the
  // way a Windows LineTo does.
  auto line = [&](const QColor& colour, int x1, int y1, int x2, int y2) {
    painter.setPen(QPen(colour, 1));
    painter.drawLine(x1, y1, x2, y2);
  };
  switch (border_style_) {
    case TggBorderStyle::ggSolid:
      line(border, 1, 1, w - 1, 1);
      line(border, w - 1, 1, w - 1, h - 1);
      line(border, w - 1, h - 1, 1, h - 1);
      line(border, 1, h - 1, 1, 1);
      break;
    case TggBorderStyle::ggRaised:
    case TggBorderStyle::ggLowered: {
      const bool raised = border_style_ == TggBorderStyle::ggRaised;
      const QColor light = raised ? QColor(Qt::white) : border;
      const QColor dark = raised ? border : QColor(Qt::white);
      line(light, 1, h - 1, 1, 1);
      line(light, 1, 1, w - 2, 1);
      line(dark, w - 1, 1, w - 1, h - 2);
      line(dark, w - 1, h - 1, 1, h - 1);
      break;
    }
  }
  const int percent = GaugePercent(progress_, min_, max_);
  const int bar = GaugeBarWidth(w, percent);
  const QRect bar_rect(2, 2, bar, h - 3);
  if (bar > 0) {
    if (color1_ == color2_) {
      painter.fillRect(bar_rect, ColourFromBgr(color1_));
    } else {
      painter.drawImage(bar_rect, gradient_);
    }
  }
  if (percent < 100) {
    painter.fillRect(QRect(bar + 2, 2, w - 3 - bar, h - 3), ColourFromBgr(backcolor_));
  }
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(QRect(0, 0, w, h), Qt::AlignCenter | Qt::TextSingleLine,
                   QString::fromStdU16String(platform::Cp1252ToUtf16(caption_)));
}

}  // namespace setup_controls
