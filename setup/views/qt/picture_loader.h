// Loads a layout picture from its bytes; the format follows the file name's extension, as the
// picture loader of the original toolkit decides.
#pragma once

#include <QImage>
#include <string>

namespace setup_wizard {

// JPEG (.jpg, .jpeg) through libjpeg; Windows metafiles (.wmf) through libwmf at their own size;
// bitmaps (.bmp), icons (.ico) and other formats Qt reads through Qt's image readers. Enhanced
// metafiles (.emf) are not drawn (null image), nor is anything damaged.
QImage LoadPictureBytes(const std::string& bytes, const std::string& file_name);

// Whether the name's extension is .wmf (a picture drawn from its records).
bool IsMetafileName(const std::string& file_name);

}  // namespace setup_wizard
