// Loads a layout picture from its bytes; the format follows the file name's extension, as the
// picture loader of the original toolkit decides.
#pragma once

#include <QImage>
#include <string>

namespace setup_wizard {

// JPEG (.jpg, .jpeg) through libjpeg; bitmaps (.bmp), icons (.ico) and other formats Qt reads
// through Qt's image readers. Windows metafiles (.wmf, .emf) are not rendered (null image), as
// is anything damaged.
QImage LoadPictureBytes(const std::string& bytes, const std::string& file_name);

}  // namespace setup_wizard
