// BmpTestWriter.h: builds BMP files byte by byte for the bitmap tests, including the odd ones
// (top-down rows, short palettes, gaps before the pixels, wrong depths, cut-off files).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TestBmp {
  int32_t width = 0;
  int32_t height = 0;         // rows of the picture (positive)
  bool topDown = false;       // store the top row first, with a negative height in the header
  uint16_t depth = 24;
  // 24 bits: 0xRRGGBB per pixel; 4 and 8 bits: palette indices. Picture order: the top row
  // first, left to right.
  std::vector<uint32_t> pixels;
  std::vector<uint32_t> palette;  // 0xRRGGBB entries actually written after the header
  uint32_t colourCount = 0;       // biClrUsed as written
  uint32_t compression = 0;
  uint32_t infoSize = 40;         // biSize; bytes past 40 are written as zeros
  uint32_t gap = 0;               // bytes of 0xEE between palette and pixels
  bool overrideOffset = false;    // write `offset` as the pixel-data offset instead of the real one
  uint32_t offset = 0;
  bool overrideHeight = false;    // write `fileHeight` as biHeight (the rows written stay `height`)
  int32_t fileHeight = 0;
  bool overrideWidth = false;
  int32_t fileWidth = 0;
  uint8_t paddingByte = 0xCD;     // what fills row padding in the file

  // The colour of picture pixel (x, y), y counted from the top, as 0xRRGGBB.
  uint32_t colourAt(int32_t x, int32_t yFromTop) const {
    uint32_t value = pixels[(size_t)yFromTop * (size_t)width + (size_t)x];
    return depth == 24 ? value : (value < palette.size() ? palette[value] : 0);
  }
};

inline void testPut16(std::string* s, uint32_t v) {
  s->push_back((char)(v & 0xFF));
  s->push_back((char)((v >> 8) & 0xFF));
}
inline void testPut32(std::string* s, uint32_t v) {
  testPut16(s, v & 0xFFFF);
  testPut16(s, v >> 16);
}

inline uint32_t testBmpStride(int32_t width, int depth) {
  uint32_t bits = (uint32_t)width * (uint32_t)depth;
  return ((bits + 31) / 32) * 4;
}

// The whole file.
inline std::string testBmpBytes(const TestBmp& bmp) {
  const uint32_t stride = testBmpStride(bmp.width, bmp.depth);
  std::string body;
  for (int32_t i = 0; i < bmp.height; ++i) {
    const int32_t y = bmp.topDown ? i : bmp.height - 1 - i;  // picture row stored i-th
    std::string row;
    if (bmp.depth == 24) {
      for (int32_t x = 0; x < bmp.width; ++x) {
        uint32_t c = bmp.pixels[(size_t)y * bmp.width + x];
        row.push_back((char)(c & 0xFF));
        row.push_back((char)((c >> 8) & 0xFF));
        row.push_back((char)((c >> 16) & 0xFF));
      }
    } else if (bmp.depth == 8) {
      for (int32_t x = 0; x < bmp.width; ++x) row.push_back((char)bmp.pixels[(size_t)y * bmp.width + x]);
    } else if (bmp.depth == 4) {
      for (int32_t x = 0; x < bmp.width; x += 2) {
        uint32_t hi = bmp.pixels[(size_t)y * bmp.width + x] & 15;
        uint32_t lo = x + 1 < bmp.width ? bmp.pixels[(size_t)y * bmp.width + x + 1] & 15 : 0;
        row.push_back((char)(hi << 4 | lo));
      }
    } else {
      row.assign((size_t)bmp.width * bmp.depth / 8, '\x11');
    }
    while (row.size() < stride) row.push_back((char)bmp.paddingByte);
    body += row;
  }
  const uint32_t paletteBytes = (uint32_t)bmp.palette.size() * 4;
  const uint32_t offset = bmp.overrideOffset ? bmp.offset : 14 + bmp.infoSize + paletteBytes + bmp.gap;
  std::string s = "BM";
  testPut32(&s, 14 + bmp.infoSize + paletteBytes + bmp.gap + (uint32_t)body.size());
  testPut32(&s, 0);
  testPut32(&s, offset);
  testPut32(&s, bmp.infoSize);
  testPut32(&s, (uint32_t)(bmp.overrideWidth ? bmp.fileWidth : bmp.width));
  testPut32(&s, (uint32_t)(bmp.overrideHeight ? bmp.fileHeight : (bmp.topDown ? -bmp.height : bmp.height)));
  testPut16(&s, 1);
  testPut16(&s, bmp.depth);
  testPut32(&s, bmp.compression);
  testPut32(&s, (uint32_t)body.size());
  testPut32(&s, 2835);
  testPut32(&s, 2835);
  testPut32(&s, bmp.colourCount);
  testPut32(&s, 0);
  while (s.size() < 14 + bmp.infoSize) s.push_back('\0');
  for (uint32_t c : bmp.palette) testPut32(&s, c & 0xFFFFFF);
  s.append(bmp.gap, '\xEE');
  return s + body;
}

// A picture whose every pixel differs from its neighbours, so that any shifted, flipped or
// swapped row or column shows.
inline TestBmp testBmpPattern(int32_t width, int32_t height, uint16_t depth, int paletteSize = 0) {
  TestBmp bmp;
  bmp.width = width;
  bmp.height = height;
  bmp.depth = depth;
  if (depth == 4 || depth == 8) {
    int n = paletteSize ? paletteSize : (depth == 4 ? 16 : 256);
    for (int i = 0; i < n; ++i) bmp.palette.push_back((uint32_t)((i * 37 + 11) & 0xFF) << 16 | (uint32_t)((i * 91 + 5) & 0xFF) << 8 | (uint32_t)((255 - i * 13) & 0xFF));
    bmp.colourCount = paletteSize ? (uint32_t)paletteSize : 0;
  }
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      if (depth == 24) {
        bmp.pixels.push_back((uint32_t)((x * 29 + y * 3 + 1) & 0xFF) << 16 | (uint32_t)((y * 53 + x + 7) & 0xFF) << 8 | (uint32_t)((x * 7 + y * 11 + 100) & 0xFF));
      } else {
        int n = (int)bmp.palette.size();
        bmp.pixels.push_back((uint32_t)((x * 5 + y * 3) % n));
      }
    }
  return bmp;
}
