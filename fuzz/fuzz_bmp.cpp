// fuzz_bmp.cpp: libFuzzer entry for the BMP reader. Each input is written to a file in a private
// installation folder and loaded; a bitmap that loads must be in the 24-bit working form with a
// consistent row table, every pixel is read, it is copied and stretched into a small frame, and
// freeing it must give back every block.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzFolder.h"
#include "vxmBitmap.h"
#include "vxmMem.h"

static std::string fuzzFolder;
static VxmBitmap* fuzzFrame;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzFolder = fuzzFolderSetUp("bmp", false);
  appEnableMessages(false);
  fuzzFrame = vxmBitmapCreate(17, 13, 24);
  if (!fuzzFrame) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = fuzzFolder + "/input.bmp";
  fuzzWrite(input, data, size);

  const long live = vxmMemLiveBlocks();
  VxmBitmap* bitmap = vxmBitmapLoadBMP("input.bmp");
  if (bitmap) {
    if (bitmap->depth != 24 || bitmap->palette || bitmap->width < 0 || bitmap->height < 0 ||
        bitmap->stride != ((3 * bitmap->width + 3) & ~3) || bitmap->bitsSize != bitmap->stride * bitmap->height ||
        !bitmap->lineTable || !bitmap->bits)
      std::abort();
    unsigned sum = 0;
    for (int32_t r = 0; r < bitmap->height; ++r) {
      if (bitmap->lineTable[r] != bitmap->bits + (size_t)r * bitmap->stride) std::abort();
      for (int32_t i = 0; i < 3 * bitmap->width; ++i) sum += bitmap->lineTable[r][i];
    }
    const int32_t shift = (int32_t)(sum % 23) - 11;
    vxmBitmapCopy(fuzzFrame, shift, -shift, bitmap->width, bitmap->height, bitmap, shift / 2, 0);
    if (bitmap->width > 0 && bitmap->height > 0)
      vxmBitmapStretch(fuzzFrame, shift, shift / 3, 20 + shift, 9 - shift, bitmap, 0, 0, bitmap->width, bitmap->height);
    vxmBitmapFree(bitmap);
  }
  if (vxmMemLiveBlocks() != live) std::abort();
  return 0;
}
