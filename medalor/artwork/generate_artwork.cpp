// Draws Medalor's artwork: the badge pictures, the background templates, the window banner and
// the about icon. Every picture is computed from geometry alone (no fonts, no input files), with
// 8 x 8 supersampling for soft edges, so the output is the same on every machine.
//
// Usage: medalor-artwork <medalor source folder>
// Writes data/Badges/*.png, data/BadgeLayout/*.png and ui/images/{banner,about_icon}.png.

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Col {
  double r = 0, g = 0, b = 0, a = 0;  // 0..1, not premultiplied
};

Col Rgb(int r, int g, int b, double a = 1.0) { return {r / 255.0, g / 255.0, b / 255.0, a}; }

Col Lerp(const Col& x, const Col& y, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
          x.a + (y.a - x.a) * t};
}

// Source-over of `top` on `bottom`.
Col Over(const Col& top, const Col& bottom) {
  const double a = top.a + bottom.a * (1 - top.a);
  if (a <= 0) return {};
  const auto ch = [&](double t, double b) { return (t * top.a + b * bottom.a * (1 - top.a)) / a; };
  return {ch(top.r, bottom.r), ch(top.g, bottom.g), ch(top.b, bottom.b), a};
}

struct Palette {
  Col light, base, dark;
};

// Lit from the top left: light there, dark at the bottom right. (u, v) run from -1 to 1.
Col Shade(const Palette& p, double u, double v) {
  const double t = std::clamp((u + v) / 2.6 + 0.5, 0.0, 1.0);
  return t < 0.5 ? Lerp(p.light, p.base, t * 2) : Lerp(p.base, p.dark, (t - 0.5) * 2);
}

const Palette kGold{Rgb(255, 238, 150), Rgb(236, 182, 40), Rgb(160, 100, 12)};
const Palette kSilver{Rgb(252, 252, 255), Rgb(196, 202, 214), Rgb(112, 118, 134)};
const Palette kBronze{Rgb(246, 190, 130), Rgb(200, 120, 50), Rgb(118, 62, 22)};
const Palette kRuby{Rgb(255, 140, 150), Rgb(214, 36, 58), Rgb(118, 8, 28)};
const Palette kEmerald{Rgb(150, 236, 176), Rgb(36, 164, 88), Rgb(12, 88, 42)};
const Palette kSapphire{Rgb(140, 190, 255), Rgb(38, 98, 208), Rgb(14, 42, 116)};
const Palette kAmethyst{Rgb(216, 170, 252), Rgb(146, 70, 200), Rgb(74, 28, 114)};
const Palette kTeal{Rgb(150, 236, 228), Rgb(26, 164, 160), Rgb(8, 86, 88)};
const Palette kOrange{Rgb(255, 206, 130), Rgb(244, 138, 30), Rgb(156, 70, 6)};
const Palette kRose{Rgb(255, 190, 220), Rgb(232, 92, 152), Rgb(132, 28, 76)};
const Palette kCharcoal{Rgb(140, 148, 164), Rgb(64, 70, 82), Rgb(26, 28, 34)};
const Palette kSky{Rgb(214, 240, 255), Rgb(120, 190, 240), Rgb(40, 100, 170)};
const Palette kWhite{Rgb(255, 255, 255), Rgb(244, 244, 240), Rgb(200, 200, 196)};

// ---- geometry -------------------------------------------------------------------------------

struct Pt {
  double x, y;
};

bool InPolygon(const std::vector<Pt>& poly, double x, double y) {
  bool inside = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    if ((poly[i].y > y) != (poly[j].y > y) &&
        x < (poly[j].x - poly[i].x) * (y - poly[i].y) / (poly[j].y - poly[i].y) + poly[i].x) {
      inside = !inside;
    }
  }
  return inside;
}

std::vector<Pt> StarPoints(double cx, double cy, double outer, double inner, int points,
                           double turn = -kPi / 2) {
  std::vector<Pt> poly;
  for (int i = 0; i < points * 2; ++i) {
    const double r = (i % 2 == 0) ? outer : inner;
    const double angle = turn + i * kPi / points;
    poly.push_back({cx + r * std::cos(angle), cy + r * std::sin(angle)});
  }
  return poly;
}

double SegmentDistance(Pt a, Pt b, double x, double y) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  const double px = a.x + t * dx - x, py = a.y + t * dy - y;
  return std::sqrt(px * px + py * py);
}

bool OnPolyline(const std::vector<Pt>& line, double width, double x, double y) {
  for (size_t i = 1; i < line.size(); ++i) {
    if (SegmentDistance(line[i - 1], line[i], x, y) <= width / 2) return true;
  }
  return false;
}

double Dist(double x, double y, double cx, double cy) { return std::hypot(x - cx, y - cy); }

// ---- emblems, in a unit space centred on the emblem, about -1..1 ----------------------------

using Shape = std::function<bool(double u, double v)>;

Shape EmblemStar() {
  const auto poly = StarPoints(0, 0.05, 1.0, 0.42, 5);
  return [poly](double u, double v) { return InPolygon(poly, u, v); };
}
Shape EmblemCross() {
  return [](double u, double v) {
    return (std::abs(u) < 0.28 && std::abs(v) < 0.9) || (std::abs(v) < 0.28 && std::abs(u) < 0.9);
  };
}
Shape EmblemChevrons() {
  return [](double u, double v) {
    return OnPolyline({{-0.8, -0.55}, {0, 0.05}, {0.8, -0.55}}, 0.34, u, v) ||
           OnPolyline({{-0.8, 0.1}, {0, 0.7}, {0.8, 0.1}}, 0.34, u, v);
  };
}
Shape EmblemBolt() {
  const std::vector<Pt> poly{{0.25, -1.0}, {-0.55, 0.12}, {-0.02, 0.12}, {-0.3, 1.0},
                             {0.6, -0.2},  {0.06, -0.2},  {0.4, -1.0}};
  return [poly](double u, double v) { return InPolygon(poly, u, v); };
}
Shape EmblemCheck() {
  return [](double u, double v) {
    return OnPolyline({{-0.7, 0.0}, {-0.2, 0.55}, {0.75, -0.55}}, 0.36, u, v);
  };
}
Shape EmblemCrown() {
  const std::vector<Pt> poly{{-0.9, 0.6},  {-0.95, -0.45}, {-0.45, 0.05}, {0, -0.75},
                             {0.45, 0.05}, {0.95, -0.45},  {0.9, 0.6}};
  return [poly](double u, double v) {
    return InPolygon(poly, u, v) || Dist(u, v, -0.95, -0.5) < 0.17 || Dist(u, v, 0, -0.8) < 0.17 ||
           Dist(u, v, 0.95, -0.5) < 0.17;
  };
}
Shape EmblemHeart() {
  return [](double u, double v) {
    const double x = u * 1.15, y = -v * 1.15 + 0.15;
    const double q = x * x + y * y - 1;
    return q * q * q - x * x * y * y * y <= 0;
  };
}
Shape EmblemCrescent() {
  return [](double u, double v) { return Dist(u, v, 0, 0) < 0.9 && Dist(u, v, 0.38, -0.22) > 0.7; };
}
Shape EmblemLaurel() {
  // Two arcs of leaves around an empty middle.
  return [](double u, double v) {
    for (int side = -1; side <= 1; side += 2) {
      for (int i = 0; i < 5; ++i) {
        const double angle = kPi * (0.62 + i * 0.13);
        const double cx = side * 0.78 * std::cos(angle) * -1, cy = 0.78 * std::sin(angle) - 0.1;
        const double rot = angle + side * 0.6;
        const double du = u - cx, dv = v - cy;
        const double a = du * std::cos(rot) + dv * std::sin(rot);
        const double b = -du * std::sin(rot) + dv * std::cos(rot);
        if ((a * a) / 0.045 + (b * b) / 0.012 <= 1) return true;
      }
    }
    return false;
  };
}
Shape EmblemNone() {
  return [](double, double) { return false; };
}

// ---- badge scenes: colour at a point of the 47 x 47 design space ----------------------------

using Scene = std::function<Col(double x, double y)>;

// An emblem centred at (cx, cy) of half-size s, light with a dark outline.
Col DrawEmblem(const Shape& emblem, const Palette& p, double cx, double cy, double s, double x,
               double y, Col under) {
  const double u = (x - cx) / s, v = (y - cy) / s;
  if (emblem(u, v)) {
    return Over(Lerp(p.light, Rgb(255, 255, 255), 0.35 - 0.25 * v), under);
  }
  // Outline: the emblem seen from points a little way off.
  const double o = 1.1 / s;
  if (emblem(u - o, v - o) || emblem(u + o, v + o) || emblem(u + o, v - o) ||
      emblem(u - o, v + o)) {
    return Over(Col{p.dark.r, p.dark.g, p.dark.b, 0.85}, under);
  }
  return under;
}

// A soft shadow under a round body.
Col Shadow(double d, double radius) {
  const double t = std::clamp((radius + 1.5 - d) / 2.5, 0.0, 1.0);
  return Col{0, 0, 0, 0.28 * t};
}

// Disc of radius R at (cx, cy): a bevelled rim and a lit face with an emblem and a highlight.
Col Disc(const Palette& p, const Shape& emblem, double cx, double cy, double R, double x, double y,
         Col under) {
  const double d = Dist(x, y, cx, cy);
  under = Over(Shadow(Dist(x, y, cx + 1, cy + 1.5), R), under);
  if (d > R) return under;
  const double u = (x - cx) / R, v = (y - cy) / R;
  Col c;
  if (d > R - 3) {
    c = Shade(p, -u, -v);  // the rim is lit the other way round, so it looks raised
    if (d > R - 0.8) c = Lerp(c, p.dark, 0.5);
  } else {
    c = Shade(p, u, v);
    c = DrawEmblem(emblem, p, cx, cy, (R - 4) * 0.72, x, y, c);
    // A faint gloss in the upper left.
    const double g = Dist(x, y, cx - R * 0.35, cy - R * 0.4);
    if (g < R * 0.45) c = Lerp(c, Rgb(255, 255, 255), 0.18 * (1 - g / (R * 0.45)));
  }
  return Over(c, under);
}

// Two ribbon straps from the top edge meeting behind a medal.
Col NeckRibbon(const Col& main, const Col& stripe, double x, double y, Col under) {
  for (int side = -1; side <= 1; side += 2) {
    const std::vector<Pt> strap{{23.5 + side * 2, 28},
                                {23.5 + side * 13, 1.5},
                                {23.5 + side * 21, 1.5},
                                {23.5 + side * 10, 28}};
    if (InPolygon(strap, x, y)) {
      // Stripe down the middle of the strap.
      const double t = (y - 1.5) / 26.5;
      const double mid = 23.5 + side * (17 - 11 * t);
      Col c = std::abs(x - mid) < 1.8 ? stripe : main;
      c = Lerp(c, Rgb(0, 0, 0), side > 0 ? 0.18 : 0.0);
      return Over(c, under);
    }
  }
  return under;
}

Scene Medal(const Palette& p, Shape emblem, Col ribbon, Col stripe) {
  return [=](double x, double y) {
    Col c = NeckRibbon(ribbon, stripe, x, y, Col{});
    return Disc(p, emblem, 23.5, 29.5, 15.5, x, y, c);
  };
}

Scene Star(const Palette& p) {
  const auto outer = StarPoints(23.5, 25.5, 23, 10.2, 5);
  const auto inner = StarPoints(23.5, 25.5, 18.5, 8.0, 5);
  const auto shadow = StarPoints(24.5, 27, 23, 10.2, 5);
  return [=](double x, double y) {
    Col c;
    if (InPolygon(shadow, x, y)) c = Col{0, 0, 0, 0.25};
    const double u = (x - 23.5) / 23, v = (y - 25.5) / 23;
    if (InPolygon(outer, x, y)) {
      c = Over(Shade(p, -u, -v), c);
      if (InPolygon(inner, x, y)) {
        Col face = Shade(p, u, v);
        // Facets: each arm is lighter on one side of its centre line.
        const double angle = std::atan2(y - 25.5, x - 23.5) + kPi / 2;
        const double sector = std::fmod(angle + 4 * kPi + kPi / 5, 2 * kPi / 5) - kPi / 5;
        face = Lerp(face, sector < 0 ? p.light : p.dark, 0.22);
        c = Over(face, c);
      }
    }
    return c;
  };
}

bool InShield(double cx, double top, double halfw, double mid, double bottom, double x, double y) {
  // The top edge dips a little towards the middle; the lower half narrows to a point.
  const double f = (x - cx) / halfw;
  if (y < top + 1.5 * (1 - f * f) || y > bottom) return false;
  if (y <= mid) return std::abs(f) <= 1;
  const double t = (y - mid) / (bottom - mid);
  return std::abs(f) <= std::sqrt(std::max(0.0, 1 - t * t * t));
}

Scene Shield(const Palette& p, const Palette& emblem_palette, Shape emblem) {
  return [=](double x, double y) {
    Col c;
    if (InShield(24.5, 4.5, 18, 22, 45.5, x, y)) c = Col{0, 0, 0, 0.25};
    if (InShield(23.5, 3, 18, 20.5, 44, x, y)) {
      const double u = (x - 23.5) / 18, v = (y - 23.5) / 20;
      if (InShield(23.5, 6, 15, 21, 40.5, x, y)) {
        c = Over(Shade(p, u, v), c);
        c = DrawEmblem(emblem, emblem_palette, 23.5, 21.5, 10, x, y, c);
      } else {
        c = Over(Shade(kSilver, -u, -v), c);
      }
    }
    return c;
  };
}

Scene Rosette(const Palette& p, Shape emblem) {
  const auto petals = StarPoints(23.5, 18.5, 17.5, 14.8, 20);
  return [=](double x, double y) {
    Col c;
    // Tails hanging down from behind the rosette, with notched ends.
    for (int side = -1; side <= 1; side += 2) {
      const std::vector<Pt> tail{{23.5 + side * 1, 22},
                                 {23.5 + side * 11, 22},
                                 {23.5 + side * 17, 45.5},
                                 {23.5 + side * 13, 41.5},
                                 {23.5 + side * 8.5, 46.5}};
      if (InPolygon(tail, x, y)) {
        c = Over(Lerp(p.base, p.dark, side > 0 ? 0.35 : 0.1), c);
      }
    }
    if (Dist(x, y, 24.5, 20) < 18) c = Over(Shadow(Dist(x, y, 24.5, 20), 16.5), c);
    const double u = (x - 23.5) / 17.5, v = (y - 18.5) / 17.5;
    if (InPolygon(petals, x, y)) {
      Col ring = Shade(p, u, v);
      // Pleats: alternating light and dark wedges.
      const double angle = std::atan2(y - 18.5, x - 23.5);
      if (std::fmod(angle + 4 * kPi, kPi / 10) < kPi / 20) ring = Lerp(ring, p.light, 0.25);
      c = Over(ring, c);
      const double d = Dist(x, y, 23.5, 18.5);
      if (d < 11) c = Over(Shade(kWhite, u, v), c);
      if (d < 9) {
        c = Over(Shade(p, u, v), c);
        c = DrawEmblem(emblem, kGold, 23.5, 18.5, 5.5, x, y, c);
      }
    }
    return c;
  };
}

Scene Hexagon(const Palette& p, Shape emblem) {
  const auto outer = StarPoints(23.5, 23.5, 21.5, 21.5, 3);
  const auto inner = StarPoints(23.5, 23.5, 18, 18, 3);
  const auto shadow = StarPoints(24.5, 25, 21.5, 21.5, 3);
  return [=](double x, double y) {
    Col c;
    if (InPolygon(shadow, x, y)) c = Col{0, 0, 0, 0.25};
    const double u = (x - 23.5) / 22, v = (y - 23.5) / 22;
    if (InPolygon(outer, x, y)) {
      c = Over(Shade(p, -u, -v), c);
      if (InPolygon(inner, x, y)) {
        c = Over(Shade(p, u, v), c);
        c = DrawEmblem(emblem, p, 23.5, 23.5, 11, x, y, c);
      }
    }
    return c;
  };
}

Scene Heart(const Palette& p) {
  const Shape heart = EmblemHeart();
  return [=](double x, double y) {
    Col c;
    if (heart((x - 24.5) / 20, (y - 25) / 20)) c = Col{0, 0, 0, 0.25};
    const double u = (x - 23.5) / 20, v = (y - 23.5) / 20;
    if (heart(u, v)) {
      c = Over(Shade(p, -u, -v), c);
      if (heart(u * 1.16, v * 1.16 + 0.02)) {
        c = Over(Shade(p, u, v), c);
        const double g = Dist(x, y, 15, 14);
        if (g < 6) c = Lerp(c, Rgb(255, 255, 255, c.a), 0.45 * (1 - g / 6));
      }
    }
    return c;
  };
}

Scene Sun(const Palette& p) {
  const auto rays = StarPoints(23.5, 23.5, 22.5, 13.5, 12);
  return [=](double x, double y) {
    Col c;
    const double u = (x - 23.5) / 22, v = (y - 23.5) / 22;
    if (InPolygon(rays, x, y)) c = Over(Shade(p, -u * 0.5, -v * 0.5), c);
    return Disc(p, EmblemNone(), 23.5, 23.5, 12.5, x, y, c);
  };
}

// ---- rendering and files -------------------------------------------------------------------

struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;
};

// Averages 8 x 8 samples per pixel in premultiplied form. `scale` maps output pixels onto the
// scene's own units (47-wide badges drawn at 32 pixels use 47 / 32).
Image Render(const Scene& scene, int width, int height, double scale = 1.0, double ox = 0,
             double oy = 0) {
  constexpr int kSamples = 8;
  Image image{width, height, std::vector<unsigned char>(size_t(width) * height * 4)};
  for (int py = 0; py < height; ++py) {
    for (int px = 0; px < width; ++px) {
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double x = (px + (sx + 0.5) / kSamples) * scale + ox;
          const double y = (py + (sy + 0.5) / kSamples) * scale + oy;
          const Col c = scene(x, y);
          r += c.r * c.a;
          g += c.g * c.a;
          b += c.b * c.a;
          a += c.a;
        }
      }
      unsigned char* out = &image.rgba[(size_t(py) * width + px) * 4];
      const double n = kSamples * kSamples;
      if (a <= 0) {
        out[0] = out[1] = out[2] = out[3] = 0;
        continue;
      }
      const auto to8 = [](double v) {
        return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
      };
      out[0] = to8(r / a);
      out[1] = to8(g / a);
      out[2] = to8(b / a);
      out[3] = to8(a / n);
    }
  }
  return image;
}

bool WritePng(const std::filesystem::path& path, const Image& image) {
  png_image out{};
  out.version = PNG_IMAGE_VERSION;
  out.width = image.width;
  out.height = image.height;
  out.format = PNG_FORMAT_RGBA;
  const bool ok = png_image_write_to_file(&out, path.c_str(), 0, image.rgba.data(), 0, nullptr);
  if (!ok) std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), out.message);
  png_image_free(&out);
  return ok;
}

// A 273 x 57 template: a bevelled border 5 pixels deep at top and bottom and 15 wide at left and
// right, lit from the top left, with a stud in each corner, around a flat middle.
Image Template(const Palette& frame, const Col& middle) {
  const int w = 273, h = 57;
  const Scene scene = [=](double x, double y) {
    const bool in_middle = x >= 15 && x < w - 15 && y >= 5 && y < h - 5;
    if (in_middle) return middle;
    // Which side of the border: the one whose inner edge is nearest, by depth fraction.
    const double fl = x / 15, fr = (w - x) / 15, ft = y / 5, fb = (h - y) / 5;
    const double m = std::min({fl, fr, ft, fb});
    Col c;
    double depth;
    if (m == ft) {
      c = frame.light;
      depth = ft;
    } else if (m == fl) {
      c = Lerp(frame.light, frame.base, 0.45);
      depth = fl;
    } else if (m == fr) {
      c = Lerp(frame.base, frame.dark, 0.55);
      depth = fr;
    } else {
      c = frame.dark;
      depth = fb;
    }
    // A ridge across the depth of the border.
    c = Lerp(c, frame.base, 0.35 * std::sin(depth * kPi));
    if (depth < 0.12) c = Lerp(c, frame.dark, 0.5);
    // Studs in the corners, inside the side bands.
    for (double sx : {7.5, w - 7.5}) {
      for (double sy : {12.5, h - 12.5}) {
        const double d = Dist(x, y, sx, sy);
        if (d < 3.2) {
          const double u = (x - sx) / 3.2, v = (y - sy) / 3.2;
          c = d > 2.4 ? frame.dark : Shade(kSilver, u, v);
        }
      }
    }
    return c;
  };
  return Render(scene, w, h);
}

// Strokes of the word on a 4 x 6 grid per letter.
std::vector<std::vector<Pt>> Letter(char ch) {
  switch (ch) {
    case 'M':
      return {{{0, 6}, {0, 0}, {2, 3.2}, {4, 0}, {4, 6}}};
    case 'E':
      return {{{4, 0}, {0, 0}, {0, 6}, {4, 6}}, {{0, 3}, {3, 3}}};
    case 'D':
      return {{{0, 0}, {0, 6}, {2.4, 6}, {4, 4.4}, {4, 1.6}, {2.4, 0}, {0, 0}}};
    case 'A':
      return {{{0, 6}, {2, 0}, {4, 6}}, {{0.8, 3.8}, {3.2, 3.8}}};
    case 'L':
      return {{{0, 0}, {0, 6}, {4, 6}}};
    case 'O':
      return {{{1.3, 0},
               {2.7, 0},
               {4, 1.3},
               {4, 4.7},
               {2.7, 6},
               {1.3, 6},
               {0, 4.7},
               {0, 1.3},
               {1.3, 0}}};
    case 'R':
      return {{{0, 6}, {0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {0, 3}}, {{2, 3}, {4, 6}}};
    default:
      return {};
  }
}

Image Banner(const std::vector<Scene>& medals) {
  const int w = 330, h = 65;
  const std::string word = "MEDALOR";
  const Scene scene = [=](double x, double y) {
    // Deep blue to violet, darker at the bottom.
    Col c = Lerp(Lerp(Rgb(28, 52, 112), Rgb(88, 40, 120), x / w), Rgb(12, 16, 40), y / h * 0.5);
    // A ribbon band across the lower part.
    if (y > 44 && y < 52) c = Lerp(c, Rgb(236, 182, 40), 0.85 - 0.3 * std::abs(y - 48) / 4);
    // Three medals on the left, overlapping.
    for (int i = 2; i >= 0; --i) {
      const double mx = 8 + i * 26, my = 7;
      const double u = (x - mx) / 1.1, v = (y - my) / 1.1;
      if (u >= 0 && v >= 0 && u < 47 && v < 47) {
        const Col m = medals[i](u, v);
        if (m.a > 0) c = Over(m, c);
      }
    }
    // The word in gold strokes with a dark edge.
    const double scale = 5.2, left = 118, top = 12;
    for (size_t i = 0; i < word.size(); ++i) {
      const double lx = (x - (left + i * 6.0 * scale * 0.95)) / scale, ly = (y - top) / scale;
      if (lx < -1 || lx > 5 || ly < -1 || ly > 7) continue;
      for (const auto& stroke : Letter(word[i])) {
        if (OnPolyline(stroke, 1.35, lx, ly)) return Lerp(kGold.light, kGold.base, ly / 6);
        if (OnPolyline(stroke, 1.75, lx - 0.12, ly - 0.12)) c = Lerp(c, Rgb(0, 0, 0), 0.6);
      }
    }
    return c;
  };
  return Render(scene, w, h);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: medalor-artwork <medalor source folder>\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  const auto badges_dir = root / "data" / "Badges";
  const auto layout_dir = root / "data" / "BadgeLayout";
  const auto ui_dir = root / "ui" / "images";
  for (const auto& dir : {badges_dir, layout_dir, ui_dir}) std::filesystem::create_directories(dir);

  const Col white = Rgb(255, 255, 255), red = Rgb(200, 30, 50), blue = Rgb(30, 70, 170);
  const Col green = Rgb(30, 130, 70), navy = Rgb(20, 30, 80), purple = Rgb(110, 40, 150);
  struct Named {
    const char* name;
    Scene scene;
  };
  const std::vector<Named> badges{
      {"gold-medal", Medal(kGold, EmblemStar(), red, white)},
      {"silver-medal", Medal(kSilver, EmblemStar(), blue, white)},
      {"bronze-medal", Medal(kBronze, EmblemStar(), green, white)},
      {"laurel-medal", Medal(kGold, EmblemLaurel(), navy, Rgb(236, 182, 40))},
      {"ruby-medal", Medal(kRuby, EmblemHeart(), purple, white)},
      {"emerald-medal", Medal(kEmerald, EmblemCross(), white, red)},
      {"sapphire-medal", Medal(kSapphire, EmblemBolt(), Rgb(240, 200, 40), navy)},
      {"gold-star", Star(kGold)},
      {"silver-star", Star(kSilver)},
      {"ruby-star", Star(kRuby)},
      {"sapphire-star", Star(kSapphire)},
      {"emerald-star", Star(kEmerald)},
      {"amethyst-star", Star(kAmethyst)},
      {"blue-shield", Shield(kSapphire, kGold, EmblemChevrons())},
      {"red-shield", Shield(kRuby, kWhite, EmblemCross())},
      {"green-shield", Shield(kEmerald, kGold, EmblemStar())},
      {"black-shield", Shield(kCharcoal, kGold, EmblemCrown())},
      {"blue-rosette", Rosette(kSapphire, EmblemStar())},
      {"red-rosette", Rosette(kRuby, EmblemStar())},
      {"gold-rosette", Rosette(kGold, EmblemCheck())},
      {"purple-rosette", Rosette(kAmethyst, EmblemCrown())},
      {"teal-hexagon", Hexagon(kTeal, EmblemCheck())},
      {"orange-hexagon", Hexagon(kOrange, EmblemBolt())},
      {"slate-hexagon", Hexagon(kCharcoal, EmblemCrown())},
      {"rose-heart", Heart(kRose)},
      {"sun-disc", Sun(kOrange)},
      {"moon-disc",
       [](double x, double y) {
         return Disc(kSky, EmblemCrescent(), 23.5, 23.5, 21.5, x, y, Col{});
       }},
      {"sky-medal", Medal(kSky, EmblemCrescent(), navy, Rgb(240, 200, 40))},
  };
  bool ok = true;
  for (const Named& badge : badges) {
    ok &= WritePng(badges_dir / (std::string(badge.name) + ".png"), Render(badge.scene, 47, 47));
  }

  // "None": fully transparent white, so a sheet on it keeps only its badges.
  Image none{273, 57, {}};
  for (int i = 0; i < 273 * 57; ++i) none.rgba.insert(none.rgba.end(), {255, 255, 255, 0});
  ok &= WritePng(layout_dir / "none.png", none);
  const Palette walnut{Rgb(196, 146, 96), Rgb(128, 82, 44), Rgb(66, 38, 18)};
  const Palette slate{Rgb(150, 164, 186), Rgb(78, 90, 110), Rgb(30, 36, 48)};
  const Palette meadow{Rgb(170, 214, 140), Rgb(82, 142, 64), Rgb(32, 70, 26)};
  const Palette frost{Rgb(236, 246, 255), Rgb(150, 186, 220), Rgb(70, 104, 140)};
  ok &= WritePng(layout_dir / "Walnut.png", Template(walnut, Rgb(246, 236, 214)));
  ok &= WritePng(layout_dir / "Slate.png", Template(slate, Rgb(46, 54, 68)));
  ok &= WritePng(layout_dir / "Meadow.png", Template(meadow, Rgb(226, 240, 214)));
  ok &= WritePng(layout_dir / "Regal.png", Template(kGold, Rgb(74, 26, 60)));
  ok &= WritePng(layout_dir / "Frost.png", Template(frost, Rgb(214, 232, 250, 0.5)));

  std::vector<Scene> banner_medals{badges[1].scene, badges[0].scene, badges[2].scene};
  ok &= WritePng(ui_dir / "banner.png", Banner(banner_medals));
  ok &= WritePng(ui_dir / "about_icon.png", Render(badges[0].scene, 32, 32, 47.0 / 32));
  return ok ? 0 : 1;
}
