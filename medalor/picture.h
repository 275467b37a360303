// An 8-bit-per-channel RGBA picture: the one pixel type of badges, templates and sheets.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace medalor {

// Errors the editor raises by design (unreadable picture, unwritable file); the message is shown
// to the user as it is.
class SheetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TRgba {
  uint8_t r = 0, g = 0, b = 0, a = 0;
  friend bool operator==(const TRgba&, const TRgba&) = default;
};

class TPicture {
 public:
  TPicture() = default;
  // Every pixel `fill`; `has_alpha` records whether the picture carries its own alpha channel.
  TPicture(int width, int height, TRgba fill, bool has_alpha = true);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  // Whether the source carried alpha (RGBA, grey+alpha or tRNS); pictures without it read
  // alpha 255 everywhere.
  bool HasAlpha() const { return has_alpha_; }
  void SetHasAlpha(bool has_alpha) { has_alpha_ = has_alpha; }

  TRgba& At(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const TRgba& At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  TRgba* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const TRgba* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const std::vector<TRgba>& Pixels() const { return pixels_; }

  friend bool operator==(const TPicture&, const TPicture&) = default;

 private:
  int width_ = 0;
  int height_ = 0;
  bool has_alpha_ = true;
  std::vector<TRgba> pixels_;
};

static_assert(sizeof(TRgba) == 4, "pixels are handed to libpng as packed RGBA rows");

}  // namespace medalor
