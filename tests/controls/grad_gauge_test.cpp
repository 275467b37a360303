#include "setup/controls/grad_gauge.h"

#include <gtest/gtest.h>

#include <QImage>

#include "common/qt_test_app.h"

namespace setup_controls {
namespace {

class GradGaugeTest : public ::testing::Test {
 protected:
  void SetUp() override { TestApp(); }

  // Renders the gauge on a magenta background so unpainted pixels show.
  static QImage Render(TGradGauge& gauge) {
    QImage image(gauge.size(), QImage::Format_RGB32);
    image.fill(QColor(255, 0, 255));
    gauge.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
  }
};

TEST_F(GradGaugeTest, PercentAndBarUseIntegerArithmetic) {
  EXPECT_EQ(GaugePercent(7, 0, 7), 100);  // floating point would give 99
  EXPECT_EQ(GaugePercent(1, 0, 3), 33);
  EXPECT_EQ(GaugePercent(2, 0, 3), 66);
  EXPECT_EQ(GaugePercent(0, -50, 50), 50);
  EXPECT_EQ(GaugePercent(2000000000, 0, 2000000000), 100);  // no overflow
  EXPECT_EQ(GaugeBarWidth(200, 33), 65);                    // (200 - 3) * 33 div 100
  EXPECT_EQ(GaugeBarWidth(200, 100), 197);
  EXPECT_EQ(MulDiv(1, 3, 2), 2);    // halves round away from zero
  EXPECT_EQ(MulDiv(-1, 3, 2), -2);
  EXPECT_EQ(MulDiv(5, 7, 0), -1);
}

TEST_F(GradGaugeTest, NewGaugeShowsZeroPercentInASolidFrame) {
  TGradGauge gauge;
  EXPECT_EQ(gauge.size(), QSize(200, 40));
  EXPECT_EQ(gauge.Caption(), "0%");
  EXPECT_EQ(gauge.GradientBitmap().size(), QSize(200, 35));
  QImage image = Render(gauge);
  const QColor frame(0x5A, 0x6E, 0x87);  // 876E5A as 0x00BBGGRR
  EXPECT_EQ(QColor(image.pixel(1, 20)), frame);
  EXPECT_EQ(QColor(image.pixel(100, 1)), frame);
  EXPECT_EQ(QColor(image.pixel(199, 20)), frame);
  EXPECT_EQ(QColor(image.pixel(10, 10)), QColor(Qt::white));
  EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(255, 0, 255));  // outside the frame: the parent
}

TEST_F(GradGaugeTest, ProgressClampsAndCaptionFollows) {
  TGradGauge gauge;
  gauge.SetMax(3);
  gauge.SetProgress(1);
  EXPECT_EQ(gauge.Caption(), "33%");
  gauge.SetMax(7);
  gauge.SetProgress(7);
  EXPECT_EQ(gauge.Caption(), "100%");
  gauge.SetProgress(150);
  EXPECT_EQ(gauge.Progress(), 7);
  gauge.SetProgress(-4);
  EXPECT_EQ(gauge.Progress(), 0);
  EXPECT_EQ(gauge.Caption(), "0%");
}

TEST_F(GradGaugeTest, BoundsThatWouldCrossAreIgnored) {
  TGradGauge gauge;
  gauge.SetMax(0);  // not above Min
  EXPECT_EQ(gauge.Max(), 100);
  gauge.SetMin(100);  // not below Max
  EXPECT_EQ(gauge.Min(), 0);
  gauge.SetProgress(80);
  gauge.SetMax(40);  // lowers the progress with it and recomputes the caption
  EXPECT_EQ(gauge.Progress(), 40);
  EXPECT_EQ(gauge.Caption(), "100%");
  gauge.SetMin(20);
  EXPECT_EQ(gauge.Caption(), "100%");
  gauge.SetProgress(30);
  EXPECT_EQ(gauge.Caption(), "50%");
}

TEST_F(GradGaugeTest, ManualCaptionStaysUntilAutocaptionReturns) {
  TGradGauge gauge;
  gauge.SetAutocaption(false);
  gauge.SetCaption("Copying");
  gauge.SetProgress(50);
  EXPECT_EQ(gauge.Caption(), "Copying");
  gauge.SetAutocaption(true);
  EXPECT_EQ(gauge.Caption(), "50%");
}

TEST_F(GradGaugeTest, FullBarLeavesNoBackgroundAndSolidColourFillsIt) {
  TGradGauge gauge;
  gauge.SetColor1(0x0000FF);  // red
  gauge.SetColor2(0x0000FF);
  gauge.SetProgress(100);
  QImage image = Render(gauge);
  EXPECT_EQ(QColor(image.pixel(5, 5)), QColor(255, 0, 0));
  EXPECT_EQ(QColor(image.pixel(197, 36)), QColor(255, 0, 0));
}

TEST_F(GradGaugeTest, BarCoversItsShareOfTheWidth) {
  TGradGauge gauge;
  gauge.SetColor1(0x00FF00);
  gauge.SetColor2(0x00FF00);
  gauge.SetMax(3);
  gauge.SetProgress(1);  // 33 %: bar 65 pixels from x = 2
  QImage image = Render(gauge);
  EXPECT_EQ(QColor(image.pixel(2 + 64, 5)), QColor(0, 255, 0));
  EXPECT_EQ(QColor(image.pixel(2 + 65, 5)), QColor(Qt::white));
}

TEST_F(GradGaugeTest, GradientRowsRunFromColor1ToColor2) {
  QImage image(4, 256, QImage::Format_RGB32);
  FillGradient(image, 0x000000, 0xFFFFFF);
  EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(0, 0, 0));
  EXPECT_EQ(QColor(image.pixel(3, 255)), QColor(255, 255, 255));
  EXPECT_EQ(QColor(image.pixel(0, 128)).red(), 128);
  // Rows only ever get lighter, and red and blue move together.
  for (int y = 1; y < 256; ++y) {
    EXPECT_GE(QColor(image.pixel(0, y)).red(), QColor(image.pixel(0, y - 1)).red());
    EXPECT_EQ(QColor(image.pixel(0, y)).red(), QColor(image.pixel(0, y)).blue());
  }
  // A short bitmap: the first band wide enough to cover row 0 is band 3 (rows 0 to 1 after
  // rounding), so the first row is (255 - 3, 0, 3); the last row is near the second colour.
  QImage small(2, 35, QImage::Format_RGB32);
  FillGradient(small, 0x0000FF, 0xFF0000);  // red to blue
  EXPECT_EQ(QColor(small.pixel(0, 0)), QColor(252, 0, 3));
  EXPECT_GT(QColor(small.pixel(0, 34)).blue(), 240);
}

TEST_F(GradGaugeTest, DifferentColoursPaintTheGradientStretched) {
  TGradGauge gauge;
  gauge.SetColor1(0x000000);
  gauge.SetColor2(0xFFFFFF);
  gauge.SetProgress(100);
  QImage image = Render(gauge);
  EXPECT_LT(QColor(image.pixel(50, 3)).red(), 40);
  EXPECT_GT(QColor(image.pixel(50, 37)).red(), 200);
}

}  // namespace
}  // namespace setup_controls
