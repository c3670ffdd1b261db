// vxmBitmap.h: the one picture type (module Bitmap): frames, textures and backgrounds in the
// 24-bit working form (blue, green, red; rows padded to four bytes; row 0 at the bottom).
#pragma once

#include <cstdint>

struct VxmBitmap {
  uint32_t* palette;     // 16 or 256 BMP colour quads while the depth is 4 or 8, else null
  uint8_t* bits;         // the pixel block, bitsSize bytes
  int32_t bitsSize;      // stride * height
  uint8_t** lineTable;   // height row addresses: entry r = bits + r * stride
  int32_t width;
  int32_t height;
  int32_t stride;        // bytes from one row to the next, a multiple of 4
  int32_t depth;         // 24 in the working form
};

VxmBitmap* vxmBitmapCreate(int32_t width, int32_t height, int32_t depth);
void vxmBitmapFree(VxmBitmap* bitmap);
bool vxmBitmapSetSize(VxmBitmap* bitmap, int32_t width, int32_t height, int32_t depth);
VxmBitmap* vxmBitmapLoadBMP(const char* fileName);
// A 24-bit bitmap as a BMP file: its headers, after which the pixel block follows as it is kept.
enum { VXM_BMP_HEADERS = 54 };
void vxmBitmapBmpHeaders(const VxmBitmap* bitmap, uint8_t headers[VXM_BMP_HEADERS]);
// Writes a 24-bit bitmap as a BMP file by a safe save (the old file stays whole on failure);
// false, traced, when it cannot.
bool vxmBitmapSaveBMP(const VxmBitmap* bitmap, const char* fileName);
void vxmBitmapFill(VxmBitmap* bitmap, const uint8_t* colour);  // colour: blue, green, red or null
bool vxmBitmapCopy(VxmBitmap* dst, int32_t dx, int32_t dy, int32_t w, int32_t h,
                   const VxmBitmap* src, int32_t sx, int32_t sy);
bool vxmBitmapStretch(VxmBitmap* dst, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                      const VxmBitmap* src, int32_t sx, int32_t sy, int32_t sw, int32_t sh);
bool vxmBitmapConvert8To24(VxmBitmap* bitmap);
bool vxmBitmapConvert4To24(VxmBitmap* bitmap);
// The system colour dialog (Windows build only): colour is blue, green, red, read and written.
int vxmChooseColour(void* owner, uint8_t* colour);
