// Half-size resampling of a sheet through FreeImage.
#pragma once

#include "medalor/picture.h"

namespace medalor {

// Replaces `sheet` by its (W div 2) x (H div 2) version, resampled with FreeImage's filter
// `filter_index` (FREE_IMAGE_FILTER order, 0-5). When FreeImage cannot read, rescale or write
// the picture (an index outside 0-5 included) the sheet stays at full size. Answers whether the
// sheet was replaced.
bool HalveSheet(TPicture& sheet, int filter_index);

}  // namespace medalor
