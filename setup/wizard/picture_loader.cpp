#include "setup/wizard/picture_loader.h"

#include <QBuffer>
#include <QImageReader>

#include "setup/core/text_services.h"
#include "setup/wizard/jpeg_decoder.h"

namespace setup_wizard {

QImage LoadPictureBytes(const std::string& bytes, const std::string& file_name) {
  std::string lower = AsciiLower(file_name);
  size_t dot = lower.find_last_of('.');
  std::string extension = dot == std::string::npos ? std::string() : lower.substr(dot + 1);
  if (extension == "jpg" || extension == "jpeg" || extension == "jpe") return DecodeJpeg(bytes);
  if (extension == "wmf" || extension == "emf") return QImage();
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
