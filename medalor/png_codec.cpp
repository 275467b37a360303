#include "medalor/png_codec.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace medalor {
namespace {

// Pictures larger than this in either direction, or in pixels, are refused before allocating.
constexpr png_uint_32 kMaxSide = 1u << 20;
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;

// Plain data shared with the libpng callbacks; nothing here has a destructor, because libpng
// leaves a failing step by longjmp.
struct PngContext {
  const unsigned char* data = nullptr;  // reading: the input bytes
  size_t size = 0;
  size_t pos = 0;
  std::string* out = nullptr;  // writing: where the bytes go
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  bool has_alpha = false;
  size_t row_bytes = 0;
  png_bytep* rows = nullptr;
  char message[200] = {};
};

void OnError(png_structp png, png_const_charp text) {
  auto* ctx = static_cast<PngContext*>(png_get_error_ptr(png));
  std::snprintf(ctx->message, sizeof ctx->message, "%s", text ? text : "PNG error");
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep out, size_t length) {
  auto* ctx = static_cast<PngContext*>(png_get_io_ptr(png));
  if (length > ctx->size - ctx->pos) png_error(png, "unexpected end of PNG data");
  std::memcpy(out, ctx->data + ctx->pos, length);
  ctx->pos += length;
}

void OnWrite(png_structp png, png_bytep data, size_t length) {
  auto* ctx = static_cast<PngContext*>(png_get_io_ptr(png));
  bool stored = true;
  try {
    ctx->out->append(reinterpret_cast<const char*>(data), length);
  } catch (const std::bad_alloc&) {
    stored = false;
  }
  if (!stored) png_error(png, "out of memory while encoding PNG");
}

void OnFlush(png_structp) {}

using PngStep = void (*)(png_structp, png_infop, PngContext*);

// The only place that catches libpng's longjmp: runs one step, answers false when it failed.
// Steps keep only plain data on their stack, so leaving them by longjmp skips no destructor.
bool RunPngStep(png_structp png, png_infop info, PngStep step, PngContext* ctx) {
  if (setjmp(png_jmpbuf(png))) return false;
  step(png, info, ctx);
  return true;
}

// Reads the header and sets up the conversions to 8-bit RGBA.
void ReadHeaderStep(png_structp png, png_infop info, PngContext* ctx) {
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_read_info(png, info);
  const int colour_type = png_get_color_type(png, info);
  const int bit_depth = png_get_bit_depth(png, info);
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  ctx->has_alpha = (colour_type & PNG_COLOR_MASK_ALPHA) != 0 || trns;
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (trns) png_set_tRNS_to_alpha(png);
  if (bit_depth == 16) png_set_scale_16(png);
  if ((colour_type & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  if (!ctx->has_alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  ctx->width = png_get_image_width(png, info);
  ctx->height = png_get_image_height(png, info);
  ctx->row_bytes = png_get_rowbytes(png, info);
}

void ReadImageStep(png_structp png, png_infop, PngContext* ctx) {
  png_read_image(png, ctx->rows);
  png_read_end(png, nullptr);
}

void WriteStep(png_structp png, png_infop info, PngContext* ctx) {
  png_set_IHDR(png, info, ctx->width, ctx->height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, ctx->rows);
  png_write_end(png, nullptr);
}

struct ReadStruct {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~ReadStruct() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

struct WriteStruct {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~WriteStruct() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

}  // namespace

TPicture DecodePng(std::string_view bytes, const std::string& what) {
  PngContext ctx;
  ctx.data = reinterpret_cast<const unsigned char*>(bytes.data());
  ctx.size = bytes.size();
  if (bytes.size() < 8 || png_sig_cmp(ctx.data, 0, 8) != 0) {
    throw SheetError(what + ": not a PNG picture");
  }
  ReadStruct rs;
  rs.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, OnError, OnWarning);
  if (!rs.png) throw std::bad_alloc();
  rs.info = png_create_info_struct(rs.png);
  if (!rs.info) throw std::bad_alloc();
  png_set_read_fn(rs.png, &ctx, OnRead);
  if (!RunPngStep(rs.png, rs.info, ReadHeaderStep, &ctx)) {
    throw SheetError(what + ": " + ctx.message);
  }
  if (ctx.width == 0 || ctx.height == 0 || ctx.width > kMaxSide || ctx.height > kMaxSide ||
      uint64_t{ctx.width} * ctx.height > kMaxPixels || ctx.row_bytes != size_t{ctx.width} * 4) {
    throw SheetError(what + ": unsupported PNG picture size or format");
  }
  TPicture picture(static_cast<int>(ctx.width), static_cast<int>(ctx.height), TRgba{},
                   ctx.has_alpha);
  std::vector<png_bytep> rows(ctx.height);
  for (png_uint_32 y = 0; y < ctx.height; ++y) {
    rows[y] = reinterpret_cast<png_bytep>(picture.Row(static_cast<int>(y)));
  }
  ctx.rows = rows.data();
  if (!RunPngStep(rs.png, rs.info, ReadImageStep, &ctx)) {
    throw SheetError(what + ": " + ctx.message);
  }
  return picture;
}

std::string EncodePng(const TPicture& picture) {
  if (picture.Empty()) throw SheetError("cannot encode an empty picture as PNG");
  std::string out;
  PngContext ctx;
  ctx.out = &out;
  ctx.width = static_cast<png_uint_32>(picture.Width());
  ctx.height = static_cast<png_uint_32>(picture.Height());
  std::vector<png_bytep> rows(ctx.height);
  for (int y = 0; y < picture.Height(); ++y) {
    // libpng only reads the rows it is given to write.
    rows[y] = reinterpret_cast<png_bytep>(const_cast<TRgba*>(picture.Row(y)));
  }
  ctx.rows = rows.data();
  WriteStruct ws;
  ws.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, OnError, OnWarning);
  if (!ws.png) throw std::bad_alloc();
  ws.info = png_create_info_struct(ws.png);
  if (!ws.info) throw std::bad_alloc();
  png_set_write_fn(ws.png, &ctx, OnWrite, OnFlush);
  if (!RunPngStep(ws.png, ws.info, WriteStep, &ctx)) {
    throw SheetError(std::string("PNG encoding failed: ") + ctx.message);
  }
  return out;
}

}  // namespace medalor
