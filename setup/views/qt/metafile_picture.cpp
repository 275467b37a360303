#include "setup/views/qt/metafile_picture.h"

#include <libwmf/api.h>
#include <libwmf/gd.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace setup_wizard {
namespace {

// Larger pictures are refused: a metafile's header can claim any size.
constexpr int kMaxSide = 8192;
constexpr double kScreenDpi = 96.0;

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableSize = 22;
constexpr float kPointsPerInch = 72.0f;

// The frame a placeable header gives (in points, as libwmf measures), so that the picture keeps
// its margins; nothing for a metafile without one or with a frame that makes no sense.
std::optional<wmfD_Rect> PlaceableFrame(const std::string& bytes) {
  if (bytes.size() < kPlaceableSize) return std::nullopt;
  auto u16 = [&](size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
  };
  const uint32_t key = u16(0) | static_cast<uint32_t>(u16(2)) << 16;
  if (key != kPlaceableKey) return std::nullopt;
  const auto left = static_cast<int16_t>(u16(6));
  const auto top = static_cast<int16_t>(u16(8));
  const auto right = static_cast<int16_t>(u16(10));
  const auto bottom = static_cast<int16_t>(u16(12));
  const uint16_t inch = u16(14);
  if (inch == 0 || right <= left || bottom <= top) return std::nullopt;
  const float scale = kPointsPerInch / static_cast<float>(inch);
  wmfD_Rect frame{};
  frame.TL.x = static_cast<float>(left) * scale;
  frame.TL.y = static_cast<float>(top) * scale;
  frame.BR.x = static_cast<float>(right) * scale;
  frame.BR.y = static_cast<float>(bottom) * scale;
  return frame;
}

struct ApiDestroyer {
  void operator()(wmfAPI* api) const { wmf_api_destroy(api); }
};
using ApiPtr = std::unique_ptr<wmfAPI, ApiDestroyer>;

// An API for the gd device that says nothing on stderr, with the metafile opened and scanned.
// `bytes` must outlive the API (libwmf reads from it in place).
ApiPtr OpenMetafile(const std::string& bytes, wmfD_Rect& bbox) {
  if (bytes.empty() || bytes.size() > static_cast<size_t>(LONG_MAX)) return nullptr;
  wmfAPI_Options options{};
  options.function = wmf_gd_function;
  const unsigned long flags =
      WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
  wmfAPI* raw = nullptr;
  if (wmf_api_create(&raw, flags, &options) != wmf_E_None) {
    if (raw != nullptr) wmf_api_destroy(raw);
    return nullptr;
  }
  ApiPtr api(raw);
  auto* data = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.data()));
  if (wmf_mem_open(api.get(), data, static_cast<long>(bytes.size())) != wmf_E_None) return nullptr;
  if (wmf_scan(api.get(), 0, &bbox) != wmf_E_None) return nullptr;
  return api;
}

}  // namespace

std::optional<QSize> MetafileSize(const std::string& bytes) {
  wmfD_Rect bbox{};
  ApiPtr api = OpenMetafile(bytes, bbox);
  if (!api) return std::nullopt;
  unsigned int width = 0;
  unsigned int height = 0;
  if (wmf_display_size(api.get(), &width, &height, kScreenDpi, kScreenDpi) != wmf_E_None) {
    return std::nullopt;
  }
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return std::nullopt;
  return QSize(static_cast<int>(width), static_cast<int>(height));
}

QImage RenderMetafile(const std::string& bytes, QSize size) {
  if (size.width() <= 0 || size.height() <= 0 || size.width() > kMaxSide ||
      size.height() > kMaxSide) {
    return QImage();
  }
  wmfD_Rect bbox{};
  ApiPtr api = OpenMetafile(bytes, bbox);
  if (!api) return QImage();
  // libwmf's scan answers the bounds of what is drawn; the header's frame keeps the margins the
  // picture was made with.
  bbox = PlaceableFrame(bytes).value_or(bbox);
  wmf_gd_t* device = WMF_GD_GetData(api.get());
  device->type = wmf_gd_image;
  device->bbox = bbox;
  device->width = static_cast<unsigned int>(size.width());
  device->height = static_cast<unsigned int>(size.height());
  if (wmf_play(api.get(), 0, &bbox) != wmf_E_None || device->gd_image == nullptr) return QImage();
  const int* pixels = wmf_gd_image_pixels(device->gd_image);
  if (pixels == nullptr) return QImage();
  // gd's true-colour pixels: 0x7F alpha means clear, colour in the low 24 bits; the ground
  // libwmf leaves unpainted is white.
  QImage image(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < size.width(); ++x) {
      const uint32_t pixel = static_cast<uint32_t>(pixels[y * size.width() + x]);
      line[x] = (pixel >> 24 & 0x7F) == 0x7F ? qRgb(255, 255, 255) : (0xFF000000u | pixel);
    }
  }
  return image;
}

}  // namespace setup_wizard
