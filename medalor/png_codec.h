// PNG decoding and encoding with libpng, from and to memory.
#pragma once

#include <string>
#include <string_view>

#include "medalor/picture.h"

namespace medalor {

// Decodes any PNG into 8-bit RGBA: RGB and RGBA at 8 bits are taken as they are; greyscale,
// palette, 16-bit and tRNS pictures are converted. Throws SheetError with the decoder's message
// (prefixed by `what`, usually the file name) when the bytes are no valid PNG.
TPicture DecodePng(std::string_view bytes, const std::string& what);

// Encodes the picture as an 8-bit RGBA (colour type 6), non-interlaced PNG.
// Throws SheetError when the encoder fails.
std::string EncodePng(const TPicture& picture);

}  // namespace medalor
