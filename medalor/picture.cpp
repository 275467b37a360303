#include "medalor/picture.h"

namespace medalor {

TPicture::TPicture(int width, int height, TRgba fill, bool has_alpha)
    : width_(width < 0 ? 0 : width),
      height_(height < 0 ? 0 : height),
      has_alpha_(has_alpha),
      pixels_(static_cast<size_t>(width_) * height_, fill) {}

}  // namespace medalor
