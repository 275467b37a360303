// TGradGauge: the wizard's progress gauge. A framed bar filled from the left, either in one
// colour or with a vertical gradient, with the percentage (or any caption) centred on it.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <string>

namespace setup_controls {

enum class TggBorderStyle { ggSolid = 0, ggRaised = 1, ggLowered = 2 };

// Windows' rounding multiply-divide: a * b / c rounded half away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);

// Whole per cent of the way from `min` to `max` (integer arithmetic, so 7 of 7 is 100, not 99).
int GaugePercent(int progress, int min, int max);
// Width in pixels of the filled part of a gauge `width` pixels wide.
int GaugeBarWidth(int width, int percent);

// Fills `image` from `top` (0x00BBGGRR, first rows) to `bottom` (last rows) in 256 bands.
void FillGradient(QImage& image, uint32_t top, uint32_t bottom);

class TGradGauge : public QWidget {
  Q_OBJECT
 public:
  static constexpr uint32_t kDefaultBorderColor = 0x876E5A;
  static constexpr uint32_t kDefaultColor = 0xD1AA94;

  explicit TGradGauge(QWidget* parent = nullptr);

  uint32_t Backcolor() const { return backcolor_; }
  uint32_t BorderColor() const { return border_color_; }
  TggBorderStyle BorderStyle() const { return border_style_; }
  uint32_t Color1() const { return color1_; }
  uint32_t Color2() const { return color2_; }
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Progress() const { return progress_; }
  const std::string& Caption() const { return caption_; }
  bool Autocaption() const { return autocaption_; }
  const QImage& GradientBitmap() const { return gradient_; }

  void SetBackcolor(uint32_t value);
  void SetBorderColor(uint32_t value);
  void SetBorderStyle(TggBorderStyle value);
  void SetColor1(uint32_t value);
  void SetColor2(uint32_t value);
  void SetMin(int value);
  void SetMax(int value);
  void SetProgress(int value);
  void SetCaption(const std::string& value);  // Windows-1252
  void SetAutocaption(bool value);

  QSize sizeHint() const override { return QSize(200, 40); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintNow();

  uint32_t backcolor_ = 0xFFFFFF;
  uint32_t border_color_ = kDefaultBorderColor;
  TggBorderStyle border_style_ = TggBorderStyle::ggSolid;
  uint32_t color1_ = kDefaultColor;
  uint32_t color2_ = kDefaultColor;
  int min_ = 0;
  int max_ = 100;
  int progress_ = 0;
  std::string caption_ = "0%";
  bool autocaption_ = true;
  QImage gradient_;
};

}  // namespace setup_controls
