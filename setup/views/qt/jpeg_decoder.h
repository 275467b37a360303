// Decoding the JPEG pictures that layouts name (the side picture) with libjpeg.
#pragma once

#include <QImage>
#include <string>

namespace setup_wizard {

// The decoded picture, or a null image when the data are no JPEG or are damaged.
QImage DecodeJpeg(const std::string& bytes);

}  // namespace setup_wizard
