// Windows metafile pictures (.wmf) of the layouts, drawn through libwmf. Enhanced metafiles
// (.emf) are not drawn: no maintained Debian library renders them (libwmf reads only WMF,
// libEMF only writes EMF, libUEMF decodes records but draws nothing). libwmf needs its fonts
// (Debian's fonts-urw-base35) even for pictures without text; without them nothing is drawn.
#pragma once

#include <QImage>
#include <QSize>
#include <optional>
#include <string>

namespace setup_wizard {

// The picture's own size in pixels at 96 dots per inch (from the placeable header's units per
// inch, else libwmf's default scale); nothing when libwmf cannot read the bytes.
std::optional<QSize> MetafileSize(const std::string& bytes);

// Draws the metafile scaled to `size` on a white ground (opaque RGB, so the picture box's
// `transparent` key keys out the ground as for a bitmap). A null image when libwmf cannot
// read or play the bytes, or the size is empty or unreasonably large.
QImage RenderMetafile(const std::string& bytes, QSize size);

}  // namespace setup_wizard
