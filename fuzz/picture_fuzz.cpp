// libFuzzer harness for the picture loaders of layout pictures: the first byte chooses the file
// name's extension (which picks the decoder: libjpeg, Qt's BMP or ICO reader, or Qt's choice by
// content), the rest are the picture's bytes. Damage must give a null image, never a crash.
#include <QGuiApplication>
#include <QImage>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setup/views/qt/picture_loader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication app(*argc, *argv);  // finds Qt's image format plugins (ICO)
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr std::array<const char*, 4> kNames = {"side.jpg", "side.bmp", "icon.ico",
                                                        "side.png"};
  if (size == 0) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const QImage image = setup_wizard::LoadPictureBytes(bytes, kNames[data[0] % kNames.size()]);
  if (!image.isNull() && (image.width() <= 0 || image.height() <= 0)) std::abort();
  return 0;
}
