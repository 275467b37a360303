// Owning handles for FreeImage's bitmaps and memory streams, for the code that converts pictures
// with it (Medalor's half-size sheets); the user links FreeImage itself.
#pragma once

#include <FreeImage.h>

#include <memory>

namespace platform {

struct FreeImageBitmapUnloader {
  void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
struct FreeImageMemoryCloser {
  void operator()(FIMEMORY* memory) const { FreeImage_CloseMemory(memory); }
};
using FreeImageBitmap = std::unique_ptr<FIBITMAP, FreeImageBitmapUnloader>;
using FreeImageMemory = std::unique_ptr<FIMEMORY, FreeImageMemoryCloser>;

}  // namespace platform
