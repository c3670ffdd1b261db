// Bitmap.cpp: the picture type: creation, BMP reading into the 24-bit working form, palette
// conversion, fills, and the clipped copy and nearest-pixel stretch between bitmaps.
#include "vxmBitmap.h"

#include <cstring>

#include "app.h"
#include "vxmMem.h"

namespace {

constexpr uint16_t BMP_SIGNATURE = 0x4D42;  // "BM"
constexpr int BMP_FILE_HEADER_SIZE = 14;
constexpr int BMP_INFO_HEADER_SIZE = 40;
constexpr int BMP_QUAD_SIZE = 4;

// Row strides of the three depths the library knows, in 64 bits so that no width overflows.
constexpr int64_t bitmapStride4(int64_t width) { return ((width + 1) / 2 + 3) & ~int64_t(3); }
constexpr int64_t bitmapStride8(int64_t width) { return (width + 3) & ~int64_t(3); }
constexpr int64_t bitmapStride24(int64_t width) { return (3 * width + 3) & ~int64_t(3); }

static_assert(bitmapStride4(9) == 8, "a 4-bit row of 9 pixels is 5 bytes of data and 3 of padding");
static_assert(bitmapStride24(9) == 28, "a 24-bit row of 9 pixels is 27 bytes and 1 of padding");
static_assert(bitmapStride8(1) == 4 && bitmapStride24(1) == 4, "rows are padded to 4 bytes");

uint16_t readLE16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t readLE32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

void outOfMemory(const char* sourcePath, int line) {
  appTrace(sourcePath, line, "Out of Memory!");
  appWarning("Out of Memory!");
}
#define BITMAP_OUT_OF_MEMORY() outOfMemory(__FILE__, __LINE__)

// Replaces the row table with one for the current bits, height and stride. The old table is
// released first: it points into a block that is gone or about to go. False only when the new
// table cannot be allocated (the bitmap is then left without one); the caller reports.
bool bitmapBuildLineTable(VxmBitmap* bitmap) {
  vxmMemFree(bitmap->lineTable);
  bitmap->lineTable = nullptr;
  int32_t tableSize;
  if (!vxmMemMulSize(bitmap->height, (int64_t)sizeof(uint8_t*), &tableSize)) return false;
  uint8_t** table = (uint8_t**)vxmMemAlloc((size_t)tableSize);
  if (!table) return false;
  uint8_t* row = bitmap->bits;
  for (int32_t r = 0; r < bitmap->height; ++r, row += bitmap->stride) table[r] = row;
  bitmap->lineTable = table;
  return true;
}

// Releases palette, pixel block and row table, leaving an empty record.
void bitmapReleaseBlocks(VxmBitmap* bitmap) {
  vxmMemFree(bitmap->palette);
  vxmMemFree(bitmap->bits);
  vxmMemFree(bitmap->lineTable);
  bitmap->palette = nullptr;
  bitmap->bits = nullptr;
  bitmap->lineTable = nullptr;
  bitmap->bitsSize = 0;
}

// Turns a top-down pixel block upside down so that row 0 is the bottom row of the picture.
void bitmapFlipRows(uint8_t* bits, int32_t stride, int32_t height) {
  uint8_t* low = bits;
  uint8_t* high = bits + (size_t)stride * (size_t)(height > 0 ? height - 1 : 0);
  for (; low < high; low += stride, high -= stride)
    for (int32_t i = 0; i < stride; ++i) {
      uint8_t t = low[i];
      low[i] = high[i];
      high[i] = t;
    }
}

// The 24-bit pixel block that replaces a palette bitmap's block; null when it cannot be made
// (reported here). size receives its byte count and stride its row length.
uint8_t* bitmapAllocConverted(const VxmBitmap* bitmap, int32_t* stride, int32_t* size) {
  int64_t newStride = bitmapStride24(bitmap->width);
  if (newStride > INT32_MAX || !vxmMemMulSize(newStride, bitmap->height, size)) {
    BITMAP_OUT_OF_MEMORY();
    return nullptr;
  }
  uint8_t* block = (uint8_t*)vxmMemAlloc((size_t)*size);
  if (!block) {
    BITMAP_OUT_OF_MEMORY();
    return nullptr;
  }
  *stride = (int32_t)newStride;
  return block;
}

// Second half of both conversions: the bitmap takes over the converted block.
bool bitmapAdoptConverted(VxmBitmap* bitmap, uint8_t* block, int32_t stride, int32_t size) {
  vxmMemFree(bitmap->palette);
  vxmMemFree(bitmap->bits);
  bitmap->palette = nullptr;
  bitmap->bits = block;
  bitmap->bitsSize = size;
  bitmap->stride = stride;
  bitmap->depth = 24;
  if (!bitmapBuildLineTable(bitmap)) {
    BITMAP_OUT_OF_MEMORY();
    APP_TRACE("Failed to calculate bitmap line addresses");
    return false;
  }
  return true;
}

void putQuad(uint8_t* pixel, uint32_t quad) {
  pixel[0] = (uint8_t)quad;          // blue
  pixel[1] = (uint8_t)(quad >> 8);   // green
  pixel[2] = (uint8_t)(quad >> 16);  // red
}

// A palette entry as the file stores it (blue, green, red, reserved), whatever the host's order.
uint32_t quadFromBytes(const uint8_t* p) { return readLE32(p); }

// How the loader reads one BMP file, decided from its headers.
struct BmpLayout {
  int32_t width;
  int32_t rows;         // always positive
  bool topDown;         // the file stores its top row first (negative height)
  int32_t depth;
  int64_t stride;       // bytes per row in the file
  int32_t fullPalette;  // entries a palette of this depth holds: 16, 256, or 0 (24 bits)
  int32_t paletteSize;  // entries present in the file
  long paletteOffset;
  long bitsOffset;      // -1: beyond any file
};

// The file header ("BM") and the 40 bytes of the information header; false after tracing.
bool readBmpHeaders(FILE* file, const char* path, uint8_t* fileHeader, uint8_t* info) {
  if (std::fread(fileHeader, 1, BMP_FILE_HEADER_SIZE, file) != BMP_FILE_HEADER_SIZE) {
    APP_TRACE("Failed to read bitmap file header: %s", path);
    return false;
  }
  if (readLE16(fileHeader) != BMP_SIGNATURE) {
    APP_TRACE("File is not a valid windows bitmap: %s", path);
    return false;
  }
  if (std::fread(info, 1, BMP_INFO_HEADER_SIZE, file) != BMP_INFO_HEADER_SIZE) {
    APP_TRACE("Failed to read bitmap information heade: %s", path);
    return false;
  }
  return true;
}

// Size, row order and depth from the information header; false after tracing a depth, a
// compression or a size the loader does not take.
bool bmpLayoutFromInfo(const uint8_t* info, const char* path, BmpLayout* layout) {
  const int32_t fileHeight = (int32_t)readLE32(info + 8);
  layout->width = (int32_t)readLE32(info + 4);
  layout->topDown = fileHeight < 0;
  if (fileHeight == INT32_MIN)
    layout->rows = 0;
  else
    layout->rows = fileHeight < 0 ? -fileHeight : fileHeight;
  layout->depth = readLE16(info + 14);
  switch (layout->depth) {
    case 4: layout->stride = bitmapStride4(layout->width); layout->fullPalette = 16; break;
    case 8: layout->stride = bitmapStride8(layout->width); layout->fullPalette = 256; break;
    case 24: layout->stride = bitmapStride24(layout->width); layout->fullPalette = 0; break;
    default:
      APP_TRACE("VOXIM does not support %d-bit bitmap depths: %s", (int)layout->depth, path);
      return false;
  }
  if (readLE32(info + 16) != 0) {
    APP_TRACE("VOXIM does not support compressed bitmaps: %s", path);
    return false;
  }
  // An empty picture is no use as a texture or background, and a width of 0 would let a tiny
  // file claim billions of rows.
  if (layout->width <= 0 || layout->rows <= 0) {
    APP_TRACE("Invalid bitmap size: %s", path);
    return false;
  }
  return true;
}

// Headers of 40 bytes or more (the later Windows versions) are followed by the palette; anything
// smaller is taken for a 40-byte header.
long bmpPaletteOffset(uint32_t infoSize) {
  if (infoSize >= BMP_INFO_HEADER_SIZE && infoSize < 0x10000000) return BMP_FILE_HEADER_SIZE + (long)infoSize;
  return BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE;
}

// Where the palette is, how many entries it has and where the pixels follow it: a colour count
// of 0 or more than the depth holds means the full palette, and a pixel offset inside the
// headers or the palette cannot be right, so the pixels then follow the palette (as they do in
// every file without a gap there).
void bmpPlacePalette(const uint8_t* fileHeader, const uint8_t* info, BmpLayout* layout) {
  layout->paletteOffset = bmpPaletteOffset(readLE32(info));
  const uint32_t used = readLE32(info + 32);
  layout->paletteSize = used == 0 || used > (uint32_t)layout->fullPalette ? layout->fullPalette : (int32_t)used;
  const long paletteEnd = layout->paletteOffset + layout->paletteSize * BMP_QUAD_SIZE;
  const uint32_t dataOffset = readLE32(fileHeader + 10);
  if (dataOffset > (uint32_t)paletteEnd && dataOffset <= (uint32_t)INT32_MAX)
    layout->bitsOffset = (long)dataOffset;
  else
    layout->bitsOffset = paletteEnd;
}

// The palette of a 4- or 8-bit file: the entries present, the rest black. False after tracing.
bool readBmpPalette(FILE* file, const char* path, const BmpLayout* layout, VxmBitmap* bitmap) {
  bitmap->palette = (uint32_t*)vxmMemAlloc((size_t)layout->fullPalette * sizeof(uint32_t));
  if (!bitmap->palette) {
    BITMAP_OUT_OF_MEMORY();
    return false;
  }
  std::memset(bitmap->palette, 0, (size_t)layout->fullPalette * sizeof(uint32_t));
  uint8_t quads[256 * BMP_QUAD_SIZE];
  const size_t paletteBytes = (size_t)layout->paletteSize * BMP_QUAD_SIZE;
  if (std::fseek(file, layout->paletteOffset, SEEK_SET) != 0 || std::fread(quads, 1, paletteBytes, file) != paletteBytes) {
    APP_TRACE("Failed to read bitmap palette: %s", path);
    return false;
  }
  for (int32_t i = 0; i < layout->paletteSize; ++i) bitmap->palette[i] = quadFromBytes(quads + i * BMP_QUAD_SIZE);
  return true;
}

// The pixel rows, bottom row first in memory, and their row table. The block must fit the
// 32-bit sizes, the file of `fileSize` bytes must hold it, and its 24-bit form must fit too.
// False after tracing.
bool readBmpRows(FILE* file, const char* path, const BmpLayout* layout, long fileSize, VxmBitmap* bitmap) {
  int32_t bitsSize = 0, bitsSize24 = 0;
  if (layout->stride > INT32_MAX || !vxmMemMulSize(layout->stride, layout->rows, &bitsSize) || fileSize < 0 ||
      layout->bitsOffset < 0 || layout->bitsOffset > fileSize || bitsSize > fileSize - layout->bitsOffset) {
    APP_TRACE("Failed to read bitmap bits: %s", path);
    return false;
  }
  const int64_t stride24 = bitmapStride24(layout->width);
  if (stride24 > INT32_MAX || !vxmMemMulSize(stride24, layout->rows, &bitsSize24)) {
    BITMAP_OUT_OF_MEMORY();
    return false;
  }
  bitmap->stride = (int32_t)layout->stride;
  bitmap->bitsSize = bitsSize;
  bitmap->bits = (uint8_t*)vxmMemAlloc((size_t)bitsSize);
  if (!bitmap->bits) {
    BITMAP_OUT_OF_MEMORY();
    return false;
  }
  if (std::fseek(file, layout->bitsOffset, SEEK_SET) != 0 ||
      std::fread(bitmap->bits, 1, (size_t)bitsSize, file) != (size_t)bitsSize) {
    APP_TRACE("Failed to read bitmap bits: %s", path);
    return false;
  }
  if (layout->topDown) bitmapFlipRows(bitmap->bits, bitmap->stride, bitmap->height);
  if (!bitmapBuildLineTable(bitmap)) {
    BITMAP_OUT_OF_MEMORY();
    APP_TRACE("Failed to calculate line addresses");
    return false;
  }
  return true;
}

// Everything the loader does once the file is open; the caller closes it.
VxmBitmap* bitmapReadBMP(FILE* file, const char* path) {
  uint8_t fileHeader[BMP_FILE_HEADER_SIZE], info[BMP_INFO_HEADER_SIZE];
  if (!readBmpHeaders(file, path, fileHeader, info)) return nullptr;
  VxmBitmap* bitmap = (VxmBitmap*)vxmMemAlloc(sizeof(VxmBitmap));
  if (!bitmap) {
    BITMAP_OUT_OF_MEMORY();
    return nullptr;
  }
  *bitmap = VxmBitmap{};
  BmpLayout layout{};
  const bool usable = bmpLayoutFromInfo(info, path, &layout);
  bitmap->width = layout.width;
  bitmap->height = layout.rows;
  bitmap->depth = layout.depth;
  if (!usable) {
    vxmBitmapFree(bitmap);
    return nullptr;
  }
  // The file's own size bounds every claim it makes; nothing large is allocated before the
  // claims are known to fit in it.
  long fileSize = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) fileSize = std::ftell(file);
  bool read;
  if (layout.fullPalette) {
    bmpPlacePalette(fileHeader, info, &layout);
    read = readBmpPalette(file, path, &layout, bitmap);
  } else {
    const uint32_t dataOffset = readLE32(fileHeader + 10);
    layout.bitsOffset = dataOffset <= (uint32_t)INT32_MAX ? (long)dataOffset : -1;
    read = true;
  }
  if (!read || !readBmpRows(file, path, &layout, fileSize, bitmap)) {
    vxmBitmapFree(bitmap);
    return nullptr;
  }
  return bitmap;
}

}  // namespace

VxmBitmap* vxmBitmapCreate(int32_t width, int32_t height, int32_t depth) {
  if (width < 0 || height < 0 || depth < 1) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  VxmBitmap* bitmap = (VxmBitmap*)vxmMemAlloc(sizeof(VxmBitmap));
  if (!bitmap) {
    BITMAP_OUT_OF_MEMORY();
    return nullptr;
  }
  *bitmap = VxmBitmap{};
  if (!vxmBitmapSetSize(bitmap, width, height, depth)) {
    APP_TRACE("Failed to initialise bitmap");
    vxmBitmapFree(bitmap);
    return nullptr;
  }
  return bitmap;
}

void vxmBitmapFree(VxmBitmap* bitmap) {
  if (!bitmap) return;
  bitmapReleaseBlocks(bitmap);
  vxmMemFree(bitmap);
}

bool vxmBitmapSetSize(VxmBitmap* bitmap, int32_t width, int32_t height, int32_t depth) {
  if (!bitmap || width < 0 || height < 0 || depth <= 0) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  bitmap->width = width;
  bitmap->height = height;
  bitmap->depth = depth;
  // The old row table goes with the block it points into.
  bitmapReleaseBlocks(bitmap);
  int64_t stride;
  if (depth == 8) {
    stride = bitmapStride8(width);
  } else if (depth == 24) {
    stride = bitmapStride24(width);
  } else {
    bitmap->stride = 0;
    return false;
  }
  int32_t bitsSize = 0;
  if (stride > INT32_MAX || !vxmMemMulSize(stride, height, &bitsSize)) {
    // Sizes beyond the 32-bit fields can never be allocated.
    bitmap->stride = 0;
    BITMAP_OUT_OF_MEMORY();
    return false;
  }
  bitmap->stride = (int32_t)stride;
  if (depth == 8) {
    bitmap->palette = (uint32_t*)vxmMemAlloc(256 * sizeof(uint32_t));
    if (!bitmap->palette) {
      BITMAP_OUT_OF_MEMORY();
      return false;
    }
  }
  bitmap->bits = (uint8_t*)vxmMemAlloc((size_t)bitsSize);
  if (!bitmap->bits) {
    BITMAP_OUT_OF_MEMORY();
    bitmapReleaseBlocks(bitmap);
    return false;
  }
  bitmap->bitsSize = bitsSize;
  if (!bitmapBuildLineTable(bitmap)) {
    BITMAP_OUT_OF_MEMORY();
    APP_TRACE("Failed to calculate bitmap line addresses");
    bitmapReleaseBlocks(bitmap);
    return false;
  }
  return true;
}

VxmBitmap* vxmBitmapLoadBMP(const char* fileName) {
  if (!fileName) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  char path[APP_PATH_LENGTH];
  if (!appLocateFile(fileName, path)) {
    APP_TRACE("Failed to validate file: %s", fileName);
    return nullptr;
  }
  FILE* file = appFileOpen(path, "rb");
  if (!file) {
    APP_TRACE("Failed to open file: %s", path);
    return nullptr;
  }
  VxmBitmap* bitmap = bitmapReadBMP(file, path);
  std::fclose(file);
  if (!bitmap) return nullptr;
  if (bitmap->depth == 4 && !vxmBitmapConvert4To24(bitmap)) {
    APP_TRACE("Failed to convert bitmap from 4 bit to 24 bit");
    vxmBitmapFree(bitmap);
    return nullptr;
  }
  if (bitmap->depth == 8 && !vxmBitmapConvert8To24(bitmap)) {
    APP_TRACE("Failed to convert bitmap from 8 bit to 24 bit");
    vxmBitmapFree(bitmap);
    return nullptr;
  }
  return bitmap;
}

bool vxmBitmapConvert8To24(VxmBitmap* bitmap) {
  if (!bitmap) {
    APP_TRACE("Invalid parameters");
    return false;
  }
  if (bitmap->depth != 8) {
    APP_TRACE("Attempt to convert bitmap which is not 8-bit");
    return false;
  }
  if (!bitmap->palette || !bitmap->bits) {
    APP_TRACE("Invalid bitmap");
    return false;
  }
  int32_t stride, size;
  uint8_t* block = bitmapAllocConverted(bitmap, &stride, &size);
  if (!block) return false;
  for (int32_t r = 0; r < bitmap->height; ++r) {
    const uint8_t* from = bitmap->bits + (size_t)r * (size_t)bitmap->stride;
    uint8_t* to = block + (size_t)r * (size_t)stride;
    for (int32_t x = 0; x < bitmap->width; ++x, to += 3) putQuad(to, bitmap->palette[from[x]]);
    std::memset(to, 0, (size_t)(stride - 3 * bitmap->width));
  }
  return bitmapAdoptConverted(bitmap, block, stride, size);
}

bool vxmBitmapConvert4To24(VxmBitmap* bitmap) {
  if (!bitmap) {
    APP_TRACE("Invalid parameters");
    return false;
  }
  if (bitmap->depth != 4) {
    APP_TRACE("Attempt to convert bitmap which is not 4-bit");
    return false;
  }
  if (!bitmap->palette || !bitmap->bits) {
    APP_TRACE("Invalid bitmap");
    return false;
  }
  int32_t stride, size;
  uint8_t* block = bitmapAllocConverted(bitmap, &stride, &size);
  if (!block) return false;
  for (int32_t r = 0; r < bitmap->height; ++r) {
    const uint8_t* from = bitmap->bits + (size_t)r * (size_t)bitmap->stride;
    uint8_t* to = block + (size_t)r * (size_t)stride;
    for (int32_t x = 0; x < bitmap->width; ++x, to += 3) {
      const uint8_t pair = from[x >> 1];
      putQuad(to, bitmap->palette[(x & 1) ? (pair & 0x0F) : (pair >> 4)]);
    }
    std::memset(to, 0, (size_t)(stride - 3 * bitmap->width));
  }
  return bitmapAdoptConverted(bitmap, block, stride, size);
}

void vxmBitmapFill(VxmBitmap* bitmap, const uint8_t* colour) {
  if (!bitmap) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  if (!bitmap->bits) {
    APP_TRACE("Invalid Bitmap");
    return;
  }
  if (!colour || (colour[0] == 0 && colour[1] == 0 && colour[2] == 0)) {
    uint32_t* word = (uint32_t*)bitmap->bits;
    for (int32_t n = bitmap->bitsSize / 4; n > 0; --n) *word++ = 0;
    return;
  }
  // Three bytes a pixel fit only the rows of the 24-bit form.
  if (bitmap->depth != 24) {
    APP_TRACE("Invalid Bitmap");
    return;
  }
  for (int32_t r = 0; r < bitmap->height; ++r) {
    uint8_t* pixel = bitmap->bits + (size_t)r * (size_t)bitmap->stride;
    for (int32_t x = 0; x < bitmap->width; ++x, pixel += 3) {
      pixel[0] = colour[0];
      pixel[1] = colour[1];
      pixel[2] = colour[2];
    }
  }
}

bool vxmBitmapCopy(VxmBitmap* dst, int32_t dx, int32_t dy, int32_t w, int32_t h,
                   const VxmBitmap* src, int32_t sx, int32_t sy) {
  if (!dst || !src || dst->depth != 24 || src->depth != 24) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  // 64-bit arithmetic: a far-off rectangle must not wrap round into the bitmaps.
  int64_t cw = w, ch = h, csx = sx, csy = sy, cdx = dx, cdy = dy;
  if (cw <= 0 || ch <= 0 || csx + cw <= 0 || csy + ch <= 0 || csx >= src->width || csy >= src->height ||
      cdx + cw <= 0 || cdy + ch <= 0 || cdx >= dst->width || cdy >= dst->height)
    return true;
  if (csx < 0) {
    cw += csx;
    cdx -= csx;
    csx = 0;
  }
  if (csy < 0) {
    ch += csy;
    cdy -= csy;
    csy = 0;
  }
  if (cw > src->width - csx) cw = src->width - csx;
  if (ch > src->height - csy) ch = src->height - csy;
  if (cdx < 0) {
    cw += cdx;
    csx -= cdx;
    cdx = 0;
  }
  if (cdy < 0) {
    ch += cdy;
    csy -= cdy;
    cdy = 0;
  }
  if (cw > dst->width - cdx) cw = dst->width - cdx;
  if (ch > dst->height - cdy) ch = dst->height - cdy;
  if (!dst->lineTable || !src->lineTable) {
    APP_TRACE("Invalid bitmap line addresses");
    return false;
  }
  if (cw <= 0 || ch <= 0) return true;
  const size_t run = (size_t)(3 * cw);
  // Within one bitmap the rows are taken in the order that never reads a row already written.
  if (dst == src && cdy > csy) {
    for (int64_t i = ch - 1; i >= 0; --i)
      std::memmove(dst->lineTable[cdy + i] + 3 * cdx, src->lineTable[csy + i] + 3 * csx, run);
  } else {
    for (int64_t i = 0; i < ch; ++i)
      std::memmove(dst->lineTable[cdy + i] + 3 * cdx, src->lineTable[csy + i] + 3 * csx, run);
  }
  return true;
}

bool vxmBitmapStretch(VxmBitmap* dst, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                      const VxmBitmap* src, int32_t sx, int32_t sy, int32_t sw, int32_t sh) {
  if (!dst || !src || dst->depth != 24 || src->depth != 24) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (sx < 0 || sy < 0 || sw <= 0 || sh <= 0 || (int64_t)sx + sw > src->width || (int64_t)sy + sh > src->height) {
    APP_TRACE("Attempt to stretch blit bitmap with invalid source parameters");
    return false;
  }
  if (dw <= 0 || dh <= 0 || (int64_t)dx + dw < 0 || (int64_t)dy + dh < 0 || dx >= dst->width || dy >= dst->height)
    return true;
  // Steps in 12-bit fixed point; 64 bits hold any ratio of two 32-bit sizes.
  const int64_t xStep = ((int64_t)sw << 12) / dw;
  const int64_t yStep = ((int64_t)sh << 12) / dh;
  int64_t startColumn = sx, startRow = sy;
  int64_t x = dx, y = dy, visibleWidth = dw, visibleHeight = dh;
  if (x < 0) {
    startColumn += (xStep * -x) >> 12;
    visibleWidth += x;
    x = 0;
  }
  if (y < 0) {
    startRow += (yStep * -y) >> 12;
    visibleHeight += y;
    y = 0;
  }
  if (visibleWidth > dst->width - x) visibleWidth = dst->width - x;
  if (visibleHeight > dst->height - y) visibleHeight = dst->height - y;
  if (!dst->lineTable || !src->lineTable) {
    APP_TRACE("Invalid bitmap line addresses");
    return false;
  }
  int64_t rowAccumulator = 0;
  for (int64_t i = 0; i < visibleHeight; ++i, rowAccumulator += yStep) {
    const uint8_t* from = src->lineTable[startRow + (rowAccumulator >> 12)];
    uint8_t* to = dst->lineTable[y + i] + 3 * x;
    int64_t column = startColumn, fraction = 0;
    for (int64_t j = 0; j < visibleWidth; ++j, to += 3) {
      const uint8_t* texel = from + 3 * column;
      to[0] = texel[0];
      to[1] = texel[1];
      to[2] = texel[2];
      fraction += xStep;
      column += fraction >> 12;
      fraction &= 0xFFF;
    }
  }
  return true;
}

// --- Writing BMP files ---------------------------------------------------------------------------

static void putLittle(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = (uint8_t)(value >> (8 * i));
}

void vxmBitmapBmpHeaders(const VxmBitmap* bitmap, uint8_t headers[VXM_BMP_HEADERS]) {
  std::memset(headers, 0, VXM_BMP_HEADERS);
  headers[0] = 'B';
  headers[1] = 'M';
  putLittle(headers + 2, (uint32_t)(VXM_BMP_HEADERS + bitmap->bitsSize), 4);
  putLittle(headers + 10, VXM_BMP_HEADERS, 4);
  putLittle(headers + 14, 40, 4);
  putLittle(headers + 18, (uint32_t)bitmap->width, 4);
  putLittle(headers + 22, (uint32_t)bitmap->height, 4);
  putLittle(headers + 26, 1, 2);
  putLittle(headers + 28, 24, 2);
  putLittle(headers + 34, (uint32_t)bitmap->bitsSize, 4);
  putLittle(headers + 38, 2835, 4);  // 72 dots per inch
  putLittle(headers + 42, 2835, 4);
}

bool vxmBitmapSaveBMP(const VxmBitmap* bitmap, const char* fileName) {
  if (!bitmap || !fileName || bitmap->depth != 24 || !bitmap->bits) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  uint8_t headers[VXM_BMP_HEADERS];
  vxmBitmapBmpHeaders(bitmap, headers);
  AppSave save;
  if (!appSaveBegin(&save, fileName, false)) return false;
  appSaveBytes(&save, headers, sizeof headers);
  appSaveBytes(&save, bitmap->bits, (size_t)bitmap->bitsSize);
  return appSaveFinish(&save);  // traced there when it fails
}
