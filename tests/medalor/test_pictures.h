// Shared pieces of the composition tests: scratch folders and pictures written to them.
#pragma once

#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/file_bytes.h"
#include "common/scoped_env.h"
#include "medalor/picture.h"
#include "medalor/png_codec.h"

namespace medalor::testing {

// A fresh folder under the temporary folder, removed with everything in it at the end.
using TempFolder = setupkit_test::TempFolder;
using setupkit_test::WriteBytes;

inline void WritePicture(const std::filesystem::path& path, const TPicture& picture) {
  WriteBytes(path, EncodePng(picture));
}

// A picture whose every pixel differs: useful to see where pieces of it end up.
inline TPicture Gradient(int width, int height, uint8_t alpha = 255) {
  TPicture p(width, height, TRgba{}, true);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      p.At(x, y) = TRgba{static_cast<uint8_t>(x), static_cast<uint8_t>(y),
                         static_cast<uint8_t>((x * 7 + y * 13) & 0xFF), alpha};
    }
  }
  return p;
}

// Builds a PNG from raw (already unfiltered) rows, one filter byte 0 is added per row.
class PngBuilder {
 public:
  PngBuilder(uint32_t width, uint32_t height, uint8_t bit_depth, uint8_t colour_type)
      : width_(width), height_(height), bit_depth_(bit_depth), colour_type_(colour_type) {}
  void Chunk(const std::string& type, const std::string& data) { extra_ += Encode(type, data); }
  std::string Build(const std::vector<std::string>& rows) const {
    std::string raw;
    for (const std::string& row : rows) raw += '\0' + row;
    uLongf size = compressBound(raw.size());
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(raw.data()), raw.size());
    packed.resize(size);
    std::string ihdr = Be32(width_) + Be32(height_);
    ihdr += static_cast<char>(bit_depth_);
    ihdr += static_cast<char>(colour_type_);
    ihdr += std::string(3, '\0');
    return std::string("\x89PNG\r\n\x1a\n", 8) + Encode("IHDR", ihdr) + extra_ +
           Encode("IDAT", packed) + Encode("IEND", "");
  }

 private:
  static std::string Be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
  }
  static std::string Encode(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    return Be32(static_cast<uint32_t>(data.size())) + body + Be32(crc);
  }
  uint32_t width_, height_;
  uint8_t bit_depth_, colour_type_;
  std::string extra_;
};

}  // namespace medalor::testing
