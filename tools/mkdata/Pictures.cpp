// Pictures.cpp: the installation's pictures (Textures\): the can label, the wrap patterns and the
// backgrounds, drawn in memory from fixed formulas and written as 24-, 8- and 4-bit BMP files.
#include <cstdio>
#include <cstring>

#include "app.h"
#include "mkdata.h"
#include "vxmMath.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
  int r, g, b;
};

uint32_t rgbValue(Rgb c) {
  auto clamp = [](int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); };
  return (uint32_t)clamp(c.r) << 16 | (uint32_t)clamp(c.g) << 8 | (uint32_t)clamp(c.b);
}

Rgb mix(Rgb a, Rgb b, double t) {
  return {vxmMathRound(a.r + (b.r - a.r) * t), vxmMathRound(a.g + (b.g - a.g) * t), vxmMathRound(a.b + (b.b - a.b) * t)};
}

double clamp01(double t) { return t < 0 ? 0 : (t > 1 ? 1 : t); }
double smoothstep(double low, double high, double t) {
  t = clamp01((t - low) / (high - low));
  return t * t * (3 - 2 * t);
}

// Pictures are drawn with y counted from the top, as one looks at them; the bitmap keeps the
// bottom row first.
void putRgb(VxmBitmap* b, int x, int yTop, Rgb c) {
  if (x < 0 || x >= b->width || yTop < 0 || yTop >= b->height) return;
  uint8_t* p = b->lineTable[b->height - 1 - yTop] + 3 * x;
  uint32_t v = rgbValue(c);
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
  p[2] = (uint8_t)(v >> 16);
}

void putIndex(VxmBitmap* b, int x, int yTop, int index) {
  b->lineTable[b->height - 1 - yTop][x] = (uint8_t)index;
}

// --- Noise: value noise on an integer lattice that repeats every `period` cells, so that a
// picture made from it tiles without seams. ---------------------------------------------------------

double lattice(int x, int y, int period, uint32_t seed) {
  x = ((x % period) + period) % period;
  y = ((y % period) + period) % period;
  uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xFFFF) / 65535.0;
}

double valueNoise(double x, double y, int period, uint32_t seed) {
  int ix = (int)(x < 0 ? x - 1 : x), iy = (int)(y < 0 ? y - 1 : y);
  double fx = x - ix, fy = y - iy;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  double a = lattice(ix, iy, period, seed), b = lattice(ix + 1, iy, period, seed);
  double c = lattice(ix, iy + 1, period, seed), d = lattice(ix + 1, iy + 1, period, seed);
  return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

// Four octaves, 0 to 1. With `period` cells across the first octave the sum still repeats.
double fractalNoise(double x, double y, int period, uint32_t seed) {
  double sum = 0, weight = 0.5, total = 0;
  for (int octave = 0; octave < 4; ++octave) {
    sum += valueNoise(x, y, period, seed + octave) * weight;
    total += weight;
    x *= 2;
    y *= 2;
    period *= 2;
    weight *= 0.5;
  }
  return sum / total;
}

// --- Lettering: a 5 x 7 capital font for the label ------------------------------------------------

struct Glyph {
  char letter;
  const char* rows[7];
};

const Glyph kFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'I', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
};

const Glyph* findGlyph(char letter) {
  for (const Glyph& g : kFont)
    if (g.letter == letter) return &g;
  return nullptr;
}

// Text whose middle is at column centreX, top at yTop, each font pixel scaleX wide and scaleY
// high; columns wrap round the picture, because the label goes round the can.
void drawText(VxmBitmap* b, const char* text, int centreX, int yTop, int scaleX, int scaleY, Rgb colour) {
  const int advance = 6 * scaleX, width = (int)std::strlen(text) * advance - scaleX;
  int x0 = centreX - width / 2;
  for (const char* c = text; *c; ++c, x0 += advance) {
    const Glyph* g = findGlyph(*c);
    if (!g) continue;
    for (int gy = 0; gy < 7; ++gy)
      for (int gx = 0; gx < 5; ++gx)
        if (g->rows[gy][gx] == '#')
          for (int sy = 0; sy < scaleY; ++sy)
            for (int sx = 0; sx < scaleX; ++sx)
              putRgb(b, ((x0 + gx * scaleX + sx) % b->width + b->width) % b->width, yTop + gy * scaleY + sy, colour);
  }
}

// --- The pictures ---------------------------------------------------------------------------------------

// The drinks can's label, 24 bits. It wraps once round the can with column 0 at the lathe's
// first ring (on the right, +x) and columns growing towards the viewer, so column 192 faces the
// viewer before the can turns: the name goes there and the flavour on the far side.
VxmBitmap* makeCanLabel() {
  const int w = 256, h = 112, kFront = 192;
  VxmBitmap* b = vxmBitmapCreate(w, h, 24);
  if (!b) return nullptr;
  const Rgb redTop = {220, 28, 42}, redBottom = {160, 8, 26}, silver = {208, 208, 218}, rim = {95, 0, 12};
  const Rgb cream = {255, 226, 140}, white = {255, 255, 255}, shadow = {90, 0, 16};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      Rgb c = mix(redTop, redBottom, y / (double)(h - 1));
      if (y < 6 || y >= h - 6) c = mix(silver, {150, 150, 165}, (y < 6 ? y : h - 1 - y) / 8.0);
      if (y == 6 || y == h - 7) c = rim;
      const double wave = 66 + 5 * vxmMathSin(2 * kPi * x / 128.0);
      const double d = y - wave;
      if (d > -4 && d < 4) c = cream;
      if ((d > -5 && d <= -4) || (d >= 4 && d < 5)) c = mix(cream, c, 0.5);
      putRgb(b, x, y, c);
    }
  // Condensed capitals, so that the name fits the half of the can that faces the viewer.
  drawText(b, "QUIRLA", kFront + 2, 20 + 2, 3, 4, shadow);
  drawText(b, "QUIRLA", kFront, 20, 3, 4, white);
  drawText(b, "COLA", kFront - w / 2 + 2, 20 + 2, 3, 4, shadow);
  drawText(b, "COLA", kFront - w / 2, 20, 3, 4, white);
  drawText(b, "330ML", kFront, 80, 2, 2, cream);
  drawText(b, "330ML", kFront - w / 2, 80, 2, 2, cream);
  return b;
}

// Background: an evening-blue sky with soft clouds, 640 x 480, 24 bits.
VxmBitmap* makeSky() {
  const int w = 640, h = 480;
  VxmBitmap* b = vxmBitmapCreate(w, h, 24);
  if (!b) return nullptr;
  const Rgb top = {18, 52, 140}, horizon = {178, 212, 242}, cloudLight = {252, 250, 255}, cloudShade = {170, 176, 196};
  const Rgb glow = {255, 236, 190};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double t = y / (double)(h - 1);
      Rgb c = mix(top, horizon, vxmMathPow(t, 1.4));
      const double dx = x - 500.0, dy = y - 110.0;
      c = mix(c, glow, 0.55 / (1 + (dx * dx + dy * dy) / 2500.0));
      const double n = fractalNoise(x / 110.0, y / 45.0, 64, 7);
      const double cloud = smoothstep(0.52, 0.72, n) * (1 - 0.7 * t);
      const double shade = smoothstep(0.45, 0.8, fractalNoise(x / 110.0, (y - 6) / 45.0, 64, 7));
      c = mix(c, mix(cloudShade, cloudLight, shade), cloud);
      putRgb(b, x, y, c);
    }
  return b;
}

// Background tile, 8 bits: four terracotta tiles with grout, seamless when tiled.
VxmBitmap* makeTiles() {
  const int size = 64;
  VxmBitmap* b = vxmBitmapCreate(size, size, 8);
  if (!b) return nullptr;
  for (int i = 0; i < 200; ++i) b->palette[i] = rgbValue(mix({112, 44, 26}, {222, 128, 84}, i / 199.0));
  for (int i = 200; i < 256; ++i) b->palette[i] = rgbValue(mix({150, 140, 128}, {206, 198, 186}, (i - 200) / 55.0));
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const int tx = x % 32, ty = y % 32;
      const double grain = fractalNoise(x / 8.0, y / 8.0, 8, 3);
      if (tx < 2 || ty < 2) {
        putIndex(b, x, y, 200 + vxmMathRound(grain * 55));
        continue;
      }
      const double tile = lattice(x / 32, y / 32, 2, 11);
      double shade = 0.35 + 0.3 * tile + 0.3 * (grain - 0.5);
      if (tx < 4 || ty < 4) shade += 0.18;   // lit bevel, top and left
      if (tx > 29 || ty > 29) shade -= 0.2;  // shaded bevel, bottom and right
      putIndex(b, x, y, vxmMathRound(clamp01(shade) * 199));
    }
  return b;
}

// Background tile, 4 bits: a navy and cream chequer with bevelled squares.
VxmBitmap* makeChecker() {
  const int size = 64, square = 16;
  VxmBitmap* b = vxmBitmapCreate(size, size, 8);
  if (!b) return nullptr;
  const Rgb tones[6] = {{34, 44, 96}, {70, 84, 150}, {16, 20, 52}, {232, 220, 188}, {252, 246, 226}, {176, 162, 128}};
  std::memset(b->palette, 0, 256 * sizeof(uint32_t));
  for (int i = 0; i < 6; ++i) b->palette[i] = rgbValue(tones[i]);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const int sx = x % square, sy = y % square;
      int base = ((x / square + y / square) % 2) ? 3 : 0;
      int index = base;
      if (sx < 2 || sy < 2) index = base + 1;
      if (sx >= square - 2 || sy >= square - 2) index = base + 2;
      putIndex(b, x, y, index);
    }
  return b;
}

// Wrap pattern, 8 bits: white marble with grey-green veins, seamless in both directions.
VxmBitmap* makeMarble() {
  const int size = 128;
  VxmBitmap* b = vxmBitmapCreate(size, size, 8);
  if (!b) return nullptr;
  for (int i = 0; i < 256; ++i) b->palette[i] = rgbValue(mix({70, 96, 86}, {246, 246, 240}, i / 255.0));
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const double turbulence = fractalNoise(x / 32.0, y / 32.0, 4, 21);
      const double m = vxmMathSin(2 * kPi * (x + y) / 64.0 + 9 * turbulence);
      const double vein = vxmMathPow(m < 0 ? -m : m, 0.35);
      const double cloud = 0.85 + 0.15 * fractalNoise(x / 16.0, y / 16.0, 8, 5);
      putIndex(b, x, y, vxmMathRound(clamp01(vein * cloud) * 255));
    }
  return b;
}

// Wrap pattern, 4 bits: a mosaic of glazed blue, teal, white and gold stones with grey grout.
VxmBitmap* makeMosaic() {
  const int size = 64, cell = 8;
  VxmBitmap* b = vxmBitmapCreate(size, size, 8);
  if (!b) return nullptr;
  const Rgb stones[16] = {{128, 128, 124}, {18, 44, 128}, {30, 70, 170}, {50, 100, 200}, {80, 140, 220},
                          {20, 120, 130}, {40, 160, 160}, {90, 190, 180}, {236, 236, 230}, {200, 210, 225},
                          {212, 168, 50},  {236, 200, 90},  {12, 30, 80},   {60, 60, 140},  {160, 200, 240},
                          {100, 100, 96}};
  std::memset(b->palette, 0, 256 * sizeof(uint32_t));
  for (int i = 0; i < 16; ++i) b->palette[i] = rgbValue(stones[i]);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const int cx = x / cell, cy = y / cell;
      int index;
      if (x % cell == 0 || y % cell == 0) {
        index = (x + y) % 5 == 0 ? 15 : 0;
      } else {
        // A band of gold and white through the blues.
        const int band = (cy + cx / 2) % 4;
        const double pick = lattice(cx, cy, 8, 99);
        index = band == 0 ? (pick < 0.5 ? 10 : 11) : (band == 2 ? (pick < 0.5 ? 8 : 9) : 1 + (int)(pick * 7) % 7);
        if (index == 5 && pick > 0.9) index = 12;
      }
      putIndex(b, x, y, index);
    }
  return b;
}

struct PictureFile {
  const char* name;
  int depth;
  VxmBitmap* (*make)(void);
};

const PictureFile kPictures[] = {
    {"Textures/canlabel.bmp", 24, makeCanLabel}, {"Textures/sky.bmp", 24, makeSky},
    {"Textures/tiles.bmp", 8, makeTiles},        {"Textures/checker.bmp", 4, makeChecker},
    {"Textures/marble.bmp", 8, makeMarble},      {"Textures/mosaic.bmp", 4, makeMosaic},
};

void put16(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v & 0xFFFF);
  put16(p + 2, v >> 16);
}

}  // namespace

bool mkWriteBMP(const VxmBitmap* bitmap, int fileDepth, const char* path) {
  const bool paletted = fileDepth == 4 || fileDepth == 8;
  if (!bitmap || !path || (fileDepth != 24 && !paletted) || bitmap->depth != (paletted ? 8 : 24)) return false;
  const int colours = fileDepth == 4 ? 16 : (fileDepth == 8 ? 256 : 0);
  const uint32_t stride = (((uint32_t)bitmap->width * (uint32_t)fileDepth + 31) / 32) * 4;
  const uint32_t offset = 14 + 40 + 4 * colours, pixelBytes = stride * (uint32_t)bitmap->height;
  uint8_t header[54] = {'B', 'M'};
  put32(header + 2, offset + pixelBytes);
  put32(header + 10, offset);
  put32(header + 14, 40);
  put32(header + 18, (uint32_t)bitmap->width);
  put32(header + 22, (uint32_t)bitmap->height);
  put16(header + 26, 1);
  put16(header + 28, (uint32_t)fileDepth);
  put32(header + 34, pixelBytes);
  put32(header + 38, 2835);  // 72 dots per inch
  put32(header + 42, 2835);
  AppSave save;
  if (stride > 4096 || !appSaveBegin(&save, path, false)) return false;
  appSaveBytes(&save, header, sizeof header);
  for (int i = 0; i < colours; ++i) {
    uint8_t quad[4];
    put32(quad, bitmap->palette[i] & 0xFFFFFF);
    appSaveBytes(&save, quad, 4);
  }
  uint8_t row[4096];
  for (int32_t r = 0; r < bitmap->height; ++r) {
    std::memset(row, 0, stride);
    const uint8_t* from = bitmap->lineTable[r];
    if (fileDepth == 4) {
      for (int32_t x = 0; x < bitmap->width; ++x) row[x / 2] |= (uint8_t)((from[x] & 15) << ((x & 1) ? 0 : 4));
    } else {
      std::memcpy(row, from, (size_t)(fileDepth == 8 ? bitmap->width : 3 * bitmap->width));
    }
    appSaveBytes(&save, row, stride);
  }
  return appSaveFinish(&save);
}

bool mkPictures(const char* root) {
  for (const PictureFile& picture : kPictures) {
    char path[APP_PATH_LENGTH];
    VxmBitmap* bitmap = picture.make();
    const bool ok = bitmap && mkJoin(root, picture.name, path) && mkWriteBMP(bitmap, picture.depth, path);
    vxmBitmapFree(bitmap);
    if (!ok) {
      std::fprintf(stderr, "mkdata: could not make %s\n", picture.name);
      return false;
    }
  }
  return true;
}
