// bmp_imagemagick_test.cpp: the BMP reader against an independent decoder. Files of 4, 8 and 24
// bits (odd widths, top-down rows, short palettes, gaps before the pixels) are decoded by
// ImageMagick's `convert file.bmp rgb:-` and by vxmBitmapLoadBMP, and every pixel must agree.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../voxim/BmpTestWriter.h"
#include "TestSupport.h"
#include "vxmBitmap.h"
#include "vxmMem.h"

namespace {

// ImageMagick's picture, top row first, three bytes red, green, blue a pixel; empty on failure.
std::string imageMagickDecode(const std::string& path) {
  std::string command = "convert '" + path + "' -depth 8 rgb:- 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {};
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  return pclose(pipe) == 0 ? out : std::string();
}

bool haveImageMagick() {
  static const int found = std::system("convert -version >/dev/null 2>&1") == 0 ? 1 : 0;
  return found == 1;
}

struct Variant {
  uint16_t depth;
  int width, height;
  bool topDown;
  int paletteSize;  // 0: full
  uint32_t gap;
};

std::string describe(const Variant& v) {
  return std::to_string(v.depth) + "-bit " + std::to_string(v.width) + "x" + std::to_string(v.height) +
         (v.topDown ? " top-down" : "") + (v.paletteSize ? " palette " + std::to_string(v.paletteSize) : "") +
         (v.gap ? " gap " + std::to_string(v.gap) : "");
}

TEST(BmpImageMagick, EveryPixelAgreesWithAnIndependentDecoder) {
  if (!haveImageMagick()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  TraceCapture trace;  // also gives the services an empty installation folder: names as given
  const std::string dir = testScratchDir("bmp-imagemagick");
  std::vector<Variant> variants;
  for (uint16_t depth : {4, 8, 24})
    for (int width : {1, 2, 3, 5, 9, 31})
      for (bool topDown : {false, true}) {
        const int height = 1 + (width * 3 + depth) % 6;
        variants.push_back({depth, width, height, topDown, 0, 0});
        variants.push_back({depth, width, height, topDown, depth == 24 ? 0 : 5, (uint32_t)(width % 4) * 3 + 1});
      }
  variants.push_back({8, 64, 48, false, 200, 0});
  variants.push_back({8, 17, 33, true, 2, 64});
  variants.push_back({4, 40, 21, false, 16, 11});
  variants.push_back({24, 101, 7, true, 0, 200});

  int index = 0;
  for (const Variant& v : variants) {
    SCOPED_TRACE(describe(v));
    TestBmp bmp = testBmpPattern(v.width, v.height, v.depth, v.paletteSize);
    bmp.topDown = v.topDown;
    bmp.gap = v.gap;
    const std::string path = testJoin(dir, "v" + std::to_string(index++) + ".bmp");
    ASSERT_TRUE(testWriteFile(path, testBmpBytes(bmp)));

    const std::string theirs = imageMagickDecode(path);
    ASSERT_EQ(theirs.size(), (size_t)v.width * v.height * 3) << "ImageMagick could not decode " << path;
    const long live = vxmMemLiveBlocks();
    VxmBitmap* ours = vxmBitmapLoadBMP(path.c_str());
    ASSERT_NE(ours, nullptr);
    ASSERT_EQ(ours->width, v.width);
    ASSERT_EQ(ours->height, v.height);
    int wrong = 0;
    for (int y = 0; y < v.height; ++y)
      for (int x = 0; x < v.width; ++x) {
        const uint8_t* mine = ours->lineTable[v.height - 1 - y] + 3 * x;  // row 0 is the bottom
        const unsigned char* im = (const unsigned char*)theirs.data() + ((size_t)y * v.width + x) * 3;
        if ((mine[2] != im[0] || mine[1] != im[1] || mine[0] != im[2]) && wrong++ < 3)
          ADD_FAILURE() << "pixel " << x << "," << y << " from the top: ours " << (int)mine[2] << "," << (int)mine[1]
                        << "," << (int)mine[0] << " ImageMagick " << (int)im[0] << "," << (int)im[1] << "," << (int)im[2];
        // And both agree with the picture the file was made from.
        const uint32_t meant = bmp.colourAt(x, y);
        if (((uint32_t)im[0] << 16 | (uint32_t)im[1] << 8 | im[2]) != meant && wrong++ < 3)
          ADD_FAILURE() << "pixel " << x << "," << y << " is not the picture's " << std::hex << meant;
      }
    vxmBitmapFree(ours);
    EXPECT_EQ(vxmMemLiveBlocks(), live);
  }
  EXPECT_TRUE(trace.lines.empty());
}

}  // namespace
