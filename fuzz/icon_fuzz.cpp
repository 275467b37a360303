// libFuzzer harness for the icon-to-PNG conversion of desktop icons: the directory walk, the
// bitmap reader (every depth, palette and mask) and PNG images inside icons. Damage must give
// nothing, never a crash; a PNG the runtime wrote must be one that libpng reads at the size it
// claims (a PNG image the icon held is handed on as it was).
#include <png.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "setup/core/icon_bitmap.h"
#include "setup/core/icon_png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string> png = IconToPng(bytes);
  if (!png || bytes.find(*png) != std::string_view::npos) return 0;  // nothing, or as it was
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png->data(), png->size())) std::abort();
  if (image.width == 0 || image.width > kMaxIconSide || image.height > kMaxIconSide) std::abort();
  png_image_free(&image);
  return 0;
}
