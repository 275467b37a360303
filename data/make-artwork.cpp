// Draws the stock page sets' artwork: the 176 x 376 side picture (JPEG) and icon.ico of the
// install and uninstall page sets. Everything is computed here; no outside picture is used.
//
// Build and run from the repository root:
//   g++ -O2 -std=c++20 data/make-artwork.cpp -ljpeg -o /tmp/make-artwork && /tmp/make-artwork data/layout
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Rgb {
  float r, g, b;
};

Rgb Mix(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Hex(uint32_t v) {
  return {((v >> 16) & 0xFF) / 255.0f, ((v >> 8) & 0xFF) / 255.0f, (v & 0xFF) / 255.0f};
}

struct Canvas {
  int width, height;
  std::vector<Rgb> pixels;
  std::vector<float> alpha;  // for icons
  Canvas(int w, int h) : width(w), height(h), pixels(w * h, Rgb{0, 0, 0}), alpha(w * h, 0) {}
  void Blend(int x, int y, Rgb c, float a) {
    if (x < 0 || y < 0 || x >= width || y >= height || a <= 0) return;
    Rgb& p = pixels[y * width + x];
    float& pa = alpha[y * width + x];
    float out = a + pa * (1 - a);
    if (out > 0) {
      p.r = (c.r * a + p.r * pa * (1 - a)) / out;
      p.g = (c.g * a + p.g * pa * (1 - a)) / out;
      p.b = (c.b * a + p.b * pa * (1 - a)) / out;
    }
    pa = out;
  }
};

// Signed distance to a rounded rectangle centred at (cx, cy).
float RoundRect(float x, float y, float cx, float cy, float hw, float hh, float r) {
  float qx = std::fabs(x - cx) - hw + r;
  float qy = std::fabs(y - cy) - hh + r;
  float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - r;
}

float Segment(float x, float y, float ax, float ay, float bx, float by) {
  float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
  float t = std::clamp((px * dx + py * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
  float ex = px - dx * t, ey = py - dy * t;
  return std::sqrt(ex * ex + ey * ey);
}

// The emblem: a package box seen from the front with an arrow through its lid (down for
// install, up for uninstall). `d` answers the shape's signed distance at (x, y); unit size 1.
float Emblem(float x, float y, bool up) {
  // Box body outline.
  float body = std::fabs(RoundRect(x, y, 0, 0.18f, 0.62f, 0.46f, 0.10f)) - 0.055f;
  // Lid line.
  float lid = Segment(x, y, -0.62f, -0.12f, 0.62f, -0.12f) - 0.055f;
  // Arrow shaft and head.
  float tip = up ? -0.95f : 0.42f;
  float tail = up ? 0.42f : -0.95f;
  float head = up ? -0.65f : 0.12f;
  float shaft = Segment(x, y, 0, tail, 0, tip) - 0.07f;
  float wing1 = Segment(x, y, 0, tip, -0.28f, head) - 0.07f;
  float wing2 = Segment(x, y, 0, tip, 0.28f, head) - 0.07f;
  // Cut the outline where the arrow passes so the arrow reads clearly.
  float gap = RoundRect(x, y, 0, up ? -0.38f : -0.3f, 0.16f, 0.28f, 0.02f);
  float frame = std::max(std::min(body, lid), -gap);
  return std::min({frame, shaft, wing1, wing2});
}

void DrawEmblem(Canvas& c, float cx, float cy, float scale, Rgb colour, float opacity, bool up) {
  const int ss = 4;
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      int inside = 0;
      for (int sy = 0; sy < ss; ++sy) {
        for (int sx = 0; sx < ss; ++sx) {
          float px = (x + (sx + 0.5f) / ss - cx) / scale;
          float py = (y + (sy + 0.5f) / ss - cy) / scale;
          if (Emblem(px, py, up) <= 0) ++inside;
        }
      }
      if (inside) c.Blend(x, y, colour, opacity * inside / float(ss * ss));
    }
  }
}

void SideBackground(Canvas& c, Rgb top, Rgb bottom, Rgb glow) {
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      float t = float(y) / (c.height - 1);
      Rgb p = Mix(top, bottom, t * t * (3 - 2 * t));
      // Two broad, soft light discs give depth without drawing attention.
      auto disc = [&](float cx, float cy, float r, float s) {
        float d = std::hypot(x - cx, y - cy) / r;
        return d < 1 ? s * (1 - d) * (1 - d) : 0.0f;
      };
      float light = disc(150, 40, 190, 0.30f) + disc(-20, 330, 160, 0.22f);
      p = Mix(p, glow, std::min(light, 1.0f));
      // Faint diagonal bands.
      float band = std::sin((x + y * 0.55f) * 0.045f);
      p = Mix(p, Rgb{1, 1, 1}, band > 0.92f ? 0.035f : 0.0f);
      c.pixels[y * c.width + x] = p;
      c.alpha[y * c.width + x] = 1;
    }
  }
  // A thin light rule near the bottom, like a baseline under the artwork.
  for (int x = 24; x < c.width - 24; ++x) {
    float edge = std::min(x - 24, c.width - 24 - x) / 24.0f;
    c.Blend(x, c.height - 52, Rgb{1, 1, 1}, 0.35f * std::min(edge, 1.0f));
  }
}

bool WriteJpeg(const Canvas& c, const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = c.width;
  cinfo.image_height = c.height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 92, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(c.width * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    int y = cinfo.next_scanline;
    for (int x = 0; x < c.width; ++x) {
      const Rgb& p = c.pixels[y * c.width + x];
      row[x * 3] = static_cast<unsigned char>(std::clamp(p.r, 0.0f, 1.0f) * 255 + 0.5f);
      row[x * 3 + 1] = static_cast<unsigned char>(std::clamp(p.g, 0.0f, 1.0f) * 255 + 0.5f);
      row[x * 3 + 2] = static_cast<unsigned char>(std::clamp(p.b, 0.0f, 1.0f) * 255 + 0.5f);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(f);
  return true;
}

void Put16(std::string& s, uint16_t v) { s.push_back(char(v & 0xFF)), s.push_back(char(v >> 8)); }
void Put32(std::string& s, uint32_t v) {
  Put16(s, uint16_t(v & 0xFFFF));
  Put16(s, uint16_t(v >> 16));
}

// One icon image in the classic form: BITMAPINFOHEADER, 32-bit BGRA rows bottom-up, AND mask.
std::string IconImage(const Canvas& c) {
  std::string s;
  Put32(s, 40);
  Put32(s, c.width);
  Put32(s, c.height * 2);
  Put16(s, 1);
  Put16(s, 32);
  Put32(s, 0);
  Put32(s, 0);
  Put32(s, 0);
  Put32(s, 0);
  Put32(s, 0);
  Put32(s, 0);
  for (int y = c.height - 1; y >= 0; --y) {
    for (int x = 0; x < c.width; ++x) {
      const Rgb& p = c.pixels[y * c.width + x];
      float a = c.alpha[y * c.width + x];
      s.push_back(char(std::clamp(p.b, 0.0f, 1.0f) * 255 + 0.5f));
      s.push_back(char(std::clamp(p.g, 0.0f, 1.0f) * 255 + 0.5f));
      s.push_back(char(std::clamp(p.r, 0.0f, 1.0f) * 255 + 0.5f));
      s.push_back(char(std::clamp(a, 0.0f, 1.0f) * 255 + 0.5f));
    }
  }
  int mask_row = ((c.width + 31) / 32) * 4;
  for (int y = c.height - 1; y >= 0; --y) {
    std::string row(mask_row, '\0');
    for (int x = 0; x < c.width; ++x) {
      if (c.alpha[y * c.width + x] < 0.5f) row[x / 8] |= char(0x80 >> (x % 8));
    }
    s += row;
  }
  return s;
}

Canvas IconCanvas(int size, Rgb top, Rgb bottom, bool up) {
  Canvas c(size, size);
  // Rounded tile with the gradient, then the emblem in white.
  const int ss = 4;
  float r = size * 0.2f;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      int inside = 0;
      for (int sy = 0; sy < ss; ++sy)
        for (int sx = 0; sx < ss; ++sx)
          if (RoundRect(x + (sx + 0.5f) / ss, y + (sy + 0.5f) / ss, size / 2.0f, size / 2.0f,
                        size / 2.0f - 0.5f, size / 2.0f - 0.5f, r) <= 0)
            ++inside;
      if (inside) c.Blend(x, y, Mix(top, bottom, float(y) / (size - 1)), inside / 16.0f);
    }
  }
  DrawEmblem(c, size / 2.0f, size / 2.0f + size * 0.02f, size * 0.36f, Rgb{1, 1, 1}, 1, up);
  return c;
}

bool WriteIcon(const std::string& path, Rgb top, Rgb bottom, bool up) {
  std::vector<std::string> images;
  std::vector<int> sizes = {32, 16, 48};
  for (int size : sizes) images.push_back(IconImage(IconCanvas(size, top, bottom, up)));
  std::string s;
  Put16(s, 0);
  Put16(s, 1);
  Put16(s, uint16_t(images.size()));
  uint32_t offset = 6 + 16 * images.size();
  for (size_t i = 0; i < images.size(); ++i) {
    s.push_back(char(sizes[i]));
    s.push_back(char(sizes[i]));
    s.push_back(0);
    s.push_back(0);
    Put16(s, 1);
    Put16(s, 32);
    Put32(s, uint32_t(images[i].size()));
    Put32(s, offset);
    offset += images[i].size();
  }
  for (const std::string& image : images) s += image;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(s.data(), 1, s.size(), f) == s.size();
  return std::fclose(f) == 0 && ok;
}

bool MakeSet(const std::string& folder, Rgb top, Rgb bottom, Rgb glow, bool up) {
  Canvas side(176, 376);
  SideBackground(side, top, bottom, glow);
  // Soft shadow, then the emblem.
  DrawEmblem(side, 88 + 2, 112 + 3, 40, Rgb{0, 0, 0}, 0.18f, up);
  DrawEmblem(side, 88, 112, 40, Rgb{1, 1, 1}, 0.95f, up);
  return WriteJpeg(side, folder + "/side.jpg") && WriteIcon(folder + "/icon.ico", top, bottom, up);
}

}  // namespace

int main(int argc, char** argv) {
  std::string root = argc > 1 ? argv[1] : "data/layout";
  bool ok = MakeSet(root + "/install", Hex(0x123A7A), Hex(0x0F8A8F), Hex(0x7FD6E0), false) &&
            MakeSet(root + "/uninstall", Hex(0x2B2F5E), Hex(0x6A3E7C), Hex(0xC9A3E6), true);
  if (!ok) std::fprintf(stderr, "make-artwork: could not write into %s\n", root.c_str());
  return ok ? 0 : 1;
}
