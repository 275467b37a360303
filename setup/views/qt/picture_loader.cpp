#include "setup/views/qt/picture_loader.h"

#include <QBuffer>
#include <QImageReader>

#include "setup/core/text_services.h"
#include "setup/views/qt/jpeg_decoder.h"
#include "setup/views/qt/metafile_picture.h"

namespace setup_wizard {

namespace {

std::string ExtensionOf(const std::string& file_name) {
  const std::string lower = AsciiLower(file_name);
  const size_t dot = lower.find_last_of('.');
  return dot == std::string::npos ? std::string() : lower.substr(dot + 1);
}

}  // namespace

bool IsMetafileName(const std::string& file_name) { return ExtensionOf(file_name) == "wmf"; }

QImage LoadPictureBytes(const std::string& bytes, const std::string& file_name) {
  const std::string extension = ExtensionOf(file_name);
  if (extension == "jpg" || extension == "jpeg" || extension == "jpe") return DecodeJpeg(bytes);
  if (extension == "wmf") {
    const std::optional<QSize> size = MetafileSize(bytes);
    return size ? RenderMetafile(bytes, *size) : QImage();
  }
  if (extension == "emf") return QImage();
  QByteArray array(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&array);
  buffer.open(QIODevice::ReadOnly);
  QByteArray format = extension == "bmp" || extension == "dib" ? QByteArray("BMP")
                      : extension == "ico"                     ? QByteArray("ICO")
                                                               : QByteArray();
  QImageReader reader(&buffer, format);
  reader.setDecideFormatFromContent(format.isEmpty());
  return reader.read();
}

}  // namespace setup_wizard
