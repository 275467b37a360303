#include "medalor/half_size.h"

#include <string>
#include <string_view>

#include "medalor/png_codec.h"
#include "platform/free_image_handles.h"

namespace medalor {
namespace {

using BitmapPtr = platform::FreeImageBitmap;
using MemoryPtr = platform::FreeImageMemory;

}  // namespace

bool HalveSheet(TPicture& sheet, int filter_index) {
  if (sheet.Empty()) return false;
  std::string encoded = EncodePng(sheet);
  MemoryPtr input(FreeImage_OpenMemory(reinterpret_cast<BYTE*>(encoded.data()),
                                       static_cast<DWORD>(encoded.size())));
  if (!input) return false;
  const FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(input.get(), 0);
  if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) return false;
  BitmapPtr image(FreeImage_LoadFromMemory(format, input.get(), 0));
  if (!image) return false;

  // FreeImage_Rescale answers nothing for an unknown filter; refuse it before the call all the
  // same, since the enum is not range-checked on every build.
  if (filter_index < FILTER_BOX || filter_index > FILTER_LANCZOS3) return false;
  const int width = sheet.Width() / 2;
  const int height = sheet.Height() / 2;
  if (width < 1 || height < 1) return false;
  BitmapPtr halved(
      FreeImage_Rescale(image.get(), width, height, static_cast<FREE_IMAGE_FILTER>(filter_index)));
  if (!halved) return false;

  const unsigned bpp = FreeImage_GetBPP(halved.get());
  if (!FreeImage_FIFSupportsWriting(FIF_PNG) || !FreeImage_FIFSupportsExportBPP(FIF_PNG, bpp)) {
    return false;
  }
  MemoryPtr output(FreeImage_OpenMemory());
  if (!output || !FreeImage_SaveToMemory(FIF_PNG, halved.get(), output.get(), 0)) return false;
  BYTE* data = nullptr;
  DWORD size = 0;
  if (!FreeImage_AcquireMemory(output.get(), &data, &size) || !data) return false;
  TPicture result =
      DecodePng(std::string_view(reinterpret_cast<const char*>(data), size), "half-size sheet");
  result.SetHasAlpha(true);
  sheet = std::move(result);
  return true;
}

}  // namespace medalor
