#include "setup/core/icon_png.h"

#include "platform/free_image_handles.h"
#include "setup/core/buffer_manager.h"

namespace {

constexpr size_t kIconHeaderSize = 6;
constexpr size_t kIconEntrySize = 16;
constexpr uint16_t kIconType = 1;
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

using BitmapPtr = platform::FreeImageBitmap;
using MemoryPtr = platform::FreeImageMemory;

// A one-image icon holding the largest image of `bytes` (the first of equal ones); nothing when
// the directory is damaged or an image lies outside the data.
std::optional<std::string> LargestImageAsIcon(std::string_view bytes) {
  TBufferManager in(bytes);
  if (in.ReadUInt16() != 0 || in.ReadUInt16() != kIconType) return std::nullopt;
  const uint16_t count = in.ReadUInt16();
  if (count == 0 || count > (bytes.size() - kIconHeaderSize) / kIconEntrySize) return std::nullopt;
  std::string best_entry;
  uint32_t best_pixels = 0;
  std::string_view best_image;
  for (uint16_t i = 0; i < count; ++i) {
    const size_t at = kIconHeaderSize + i * kIconEntrySize;
    std::string entry(bytes.substr(at, kIconEntrySize));
    TBufferManager fields(entry);
    const uint32_t width = fields.ReadByte();
    const uint32_t height = fields.ReadByte();
    fields.SetPosition(8);
    const uint32_t size = fields.ReadUInt32();
    const uint32_t offset = fields.ReadUInt32();
    if (size == 0 || offset > bytes.size() || size > bytes.size() - offset) return std::nullopt;
    const uint32_t pixels = (width == 0 ? 256 : width) * (height == 0 ? 256 : height);
    if (pixels > best_pixels) {
      best_pixels = pixels;
      best_entry = std::move(entry);
      best_image = bytes.substr(offset, size);
    }
  }
  // A one-image icon: header, the chosen entry pointing just behind the directory, the image.
  TBufferWriter out;
  out.WriteUInt16(0);
  out.WriteUInt16(kIconType);
  out.WriteUInt16(1);
  std::string icon = out.Take();
  best_entry.replace(12, 4, std::string("\x16\0\0\0", 4));  // offset 22
  icon += best_entry;
  icon += best_image;
  return icon;
}

}  // namespace

std::optional<std::string> IconToPng(std::string_view icon_bytes) {
  if (icon_bytes.substr(0, kPngSignature.size()) == kPngSignature) return std::string(icon_bytes);
  if (icon_bytes.size() < kIconHeaderSize + kIconEntrySize) return std::nullopt;
  std::optional<std::string> icon = LargestImageAsIcon(icon_bytes);
  if (!icon) return std::nullopt;
  MemoryPtr input(FreeImage_OpenMemory(reinterpret_cast<BYTE*>(icon->data()),
                                       static_cast<DWORD>(icon->size())));
  if (!input) return std::nullopt;
  BitmapPtr image(FreeImage_LoadFromMemory(FIF_ICO, input.get(), 0));
  if (!image) return std::nullopt;
  BitmapPtr rgba(FreeImage_ConvertTo32Bits(image.get()));
  if (!rgba) return std::nullopt;
  MemoryPtr output(FreeImage_OpenMemory());
  if (!output || !FreeImage_SaveToMemory(FIF_PNG, rgba.get(), output.get(), 0)) {
    return std::nullopt;
  }
  BYTE* data = nullptr;
  DWORD size = 0;
  if (!FreeImage_AcquireMemory(output.get(), &data, &size) || !data) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(data), size);
}
