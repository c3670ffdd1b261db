// bitmap_test.cpp: the picture type: creation and sizing, BMP reading (good, odd and hostile
// files), palette conversion, fill, clipped copy and stretch, and every failure with its message.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "BmpTestWriter.h"
#include "TestSupport.h"
#include "app.h"
#include "appPlatform.h"
#include "vxmBitmap.h"
#include "vxmMem.h"
#if !defined(_WIN32)
#include "appHost.h"
#endif

namespace {

using Messages = std::vector<std::string>;

std::string fileName(const char* stem, int number) {
  std::string name = stem;
  name += std::to_string(number);
  name += ".bmp";
  return name;
}

// The colour of a working-form pixel as 0xRRGGBB, row counted in line-table order.
uint32_t pixelAt(const VxmBitmap* b, int x, int row) {
  const uint8_t* p = b->lineTable[row] + 3 * x;
  return (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

void setPixel(VxmBitmap* b, int x, int row, uint32_t c) {
  uint8_t* p = b->lineTable[row] + 3 * x;
  p[0] = (uint8_t)c;
  p[1] = (uint8_t)(c >> 8);
  p[2] = (uint8_t)(c >> 16);
}

// A bitmap whose every pixel names its own position.
VxmBitmap* makeNumbered(int w, int h, uint32_t tag) {
  VxmBitmap* b = vxmBitmapCreate(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) setPixel(b, x, y, tag << 16 | (uint32_t)y << 8 | (uint32_t)x);
  return b;
}

// Every row table entry points at its row of the pixel block.
void expectConsistent(const VxmBitmap* b) {
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->stride % 4, 0);
  EXPECT_EQ(b->bitsSize, b->stride * b->height);
  ASSERT_NE(b->lineTable, nullptr);
  for (int r = 0; r < b->height; ++r) EXPECT_EQ(b->lineTable[r], b->bits + r * b->stride) << "row " << r;
}

class BitmapTest : public ::testing::Test {
 protected:
  TraceCapture trace;
  long liveAtStart = 0;
  std::string dir;
  void SetUp() override {
    liveAtStart = vxmMemLiveBlocks();
    dir = testScratchDir(std::string("bitmap-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
#if defined(_WIN32)
    // No boxes under the test runner; names are looked up as given unless a test says otherwise.
    appEnableMessages(false);
    appSetInstallFolder("");
#endif
  }
  void TearDown() override {
    vxmMemFailAfter(-1);
    EXPECT_EQ(vxmMemLiveBlocks(), liveAtStart) << "blocks leaked";
#if defined(_WIN32)
    appEnableMessages(true);
#endif
  }
  void useInstallFolder(const std::string& folder) {
#if defined(_WIN32)
    appSetInstallFolder((folder + "\\").c_str());
#else
    appHostSetInstallPath(folder.c_str());
#endif
  }
  std::string write(const std::string& name, const std::string& bytes) {
    std::string path = testJoin(dir, name);
    EXPECT_TRUE(testWriteFile(path, bytes));
    return path;
  }
  std::string write(const std::string& name, const TestBmp& bmp) { return write(name, testBmpBytes(bmp)); }

  // Loads the file and checks that every pixel is the picture's, with row 0 at the bottom.
  void expectLoadsAs(const std::string& path, const TestBmp& bmp) {
    VxmBitmap* b = vxmBitmapLoadBMP(path.c_str());
    ASSERT_NE(b, nullptr) << testing::PrintToString(trace.messages());
    EXPECT_EQ(b->depth, 24);
    EXPECT_EQ(b->width, bmp.width);
    EXPECT_EQ(b->height, bmp.height);
    EXPECT_EQ(b->palette, nullptr);
    EXPECT_EQ(b->stride, (3 * bmp.width + 3) / 4 * 4);
    expectConsistent(b);
    int wrong = 0;
    for (int y = 0; y < bmp.height; ++y)
      for (int x = 0; x < bmp.width; ++x)
        if (pixelAt(b, x, bmp.height - 1 - y) != bmp.colourAt(x, y) && wrong++ < 5)
          ADD_FAILURE() << "pixel " << x << "," << y << " from the top: " << std::hex << pixelAt(b, x, bmp.height - 1 - y)
                        << " instead of " << bmp.colourAt(x, y);
    vxmBitmapFree(b);
  }

  // Loading fails with one trace line, which names the file as located, and leaves nothing
  // allocated.
  void expectLoadFails(const std::string& name, const std::string& located = "") {
    trace.clear();
    EXPECT_EQ(vxmBitmapLoadBMP(name.c_str()), nullptr) << name;
    ASSERT_EQ(trace.lines.size(), 1u) << name;
    const std::string tail = ": " + (located.empty() ? name : located) + "\n";
    EXPECT_EQ(trace.lines[0].compare(trace.lines[0].size() - tail.size(), tail.size(), tail), 0) << trace.lines[0];
    EXPECT_EQ(vxmMemLiveBlocks(), liveAtStart);
  }
};

// --- Create, SetSize, Free -------------------------------------------------------------------------

TEST_F(BitmapTest, CreateLaysOutRowsForBothDepths) {
  VxmBitmap* b = vxmBitmapCreate(5, 3, 24);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->width, 5);
  EXPECT_EQ(b->height, 3);
  EXPECT_EQ(b->depth, 24);
  EXPECT_EQ(b->stride, 16);
  EXPECT_EQ(b->bitsSize, 48);
  EXPECT_EQ(b->palette, nullptr);
  expectConsistent(b);
  vxmBitmapFree(b);

  b = vxmBitmapCreate(5, 3, 8);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->stride, 8);
  EXPECT_EQ(b->bitsSize, 24);
  EXPECT_NE(b->palette, nullptr);
  b->palette[255] = 0x123456;  // the palette holds 256 entries
  expectConsistent(b);
  vxmBitmapFree(b);

  b = vxmBitmapCreate(0, 0, 24);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->bitsSize, 0);
  vxmBitmapFree(b);
  EXPECT_TRUE(trace.lines.empty());
  vxmBitmapFree(nullptr);
}

TEST_F(BitmapTest, CreateRefusesBadArguments) {
  EXPECT_EQ(vxmBitmapCreate(-1, 4, 24), nullptr);
  EXPECT_EQ(vxmBitmapCreate(4, -1, 24), nullptr);
  EXPECT_EQ(vxmBitmapCreate(4, 4, 0), nullptr);
  EXPECT_EQ(trace.messages(), Messages(3, "Invalid Parameters"));
  trace.clear();
  // A depth the working form does not know fails silently inside, then reports here.
  EXPECT_EQ(vxmBitmapCreate(4, 4, 4), nullptr);
  EXPECT_EQ(vxmBitmapCreate(4, 4, 32), nullptr);
  EXPECT_EQ(trace.messages(), Messages(2, "Failed to initialise bitmap"));
}

TEST_F(BitmapTest, CreateOfAnImpossibleSizeIsOutOfMemoryWithoutAllocating) {
  long before = vxmMemAllocations();
  EXPECT_EQ(vxmBitmapCreate(INT32_MAX, 2, 24), nullptr);
  EXPECT_EQ(vxmBitmapCreate(70000, 70000, 24), nullptr);
  EXPECT_EQ(vxmBitmapCreate(INT32_MAX - 1, 1, 8), nullptr);
  EXPECT_TRUE(trace.has("Out of Memory!"));
  EXPECT_EQ(vxmMemAllocations() - before, 3) << "only the three records";
#if !defined(_WIN32)
  ASSERT_NE(appHostLastBox(), nullptr);
  EXPECT_STREQ(appHostLastBox()->title, "Warning");
  EXPECT_STREQ(appHostLastBox()->text, "Out of Memory!");
#endif
}

TEST_F(BitmapTest, CreateOutOfMemoryAtEveryAllocation) {
  // The record, the pixels and the row table; an 8-bit bitmap has its palette too.
  for (int depth : {24, 8}) {
    const long used = testEachAllocationFails(&trace, [depth] {
      VxmBitmap* b = vxmBitmapCreate(7, 5, depth);
      vxmBitmapFree(b);
      return b != nullptr;
    });
    EXPECT_EQ(used, depth == 8 ? 4 : 3);
  }
}

TEST_F(BitmapTest, SetSizeReplacesEverythingAndKeepsTheRecord) {
  VxmBitmap* b = vxmBitmapCreate(2, 2, 8);
  long live = vxmMemLiveBlocks();
  ASSERT_TRUE(vxmBitmapSetSize(b, 9, 4, 24));
  EXPECT_EQ(b->palette, nullptr);
  EXPECT_EQ(b->stride, 28);
  EXPECT_EQ(b->depth, 24);
  expectConsistent(b);
  EXPECT_EQ(vxmMemLiveBlocks(), live - 1) << "the palette went";
  ASSERT_TRUE(vxmBitmapSetSize(b, 3, 1, 8));
  EXPECT_EQ(b->stride, 4);
  EXPECT_NE(b->palette, nullptr);
  expectConsistent(b);
  EXPECT_TRUE(trace.lines.empty());

  // An unknown depth fails without a message and leaves no stale row table behind.
  EXPECT_FALSE(vxmBitmapSetSize(b, 3, 1, 16));
  EXPECT_TRUE(trace.lines.empty());
  EXPECT_EQ(b->bits, nullptr);
  EXPECT_EQ(b->palette, nullptr);
  EXPECT_EQ(b->lineTable, nullptr);
  EXPECT_EQ(b->bitsSize, 0);
  EXPECT_EQ(b->depth, 16);

  EXPECT_FALSE(vxmBitmapSetSize(nullptr, 1, 1, 24));
  EXPECT_FALSE(vxmBitmapSetSize(b, -1, 1, 24));
  EXPECT_FALSE(vxmBitmapSetSize(b, 1, -1, 24));
  EXPECT_FALSE(vxmBitmapSetSize(b, 1, 1, 0));
  EXPECT_EQ(trace.messages(), Messages(4, "Invalid Parameters"));
  vxmBitmapFree(b);
}

TEST_F(BitmapTest, SetSizeOutOfMemoryLeavesAnEmptyRecord) {
  VxmBitmap* b = vxmBitmapCreate(4, 4, 24);
  for (long failAt : {0L, 1L}) {
    trace.clear();
    vxmMemFailAfter(failAt);
    EXPECT_FALSE(vxmBitmapSetSize(b, 6, 6, 24));
    vxmMemFailAfter(-1);
    EXPECT_TRUE(trace.has("Out of Memory!"));
    EXPECT_EQ(b->bits, nullptr);
    EXPECT_EQ(b->lineTable, nullptr);
    EXPECT_EQ(b->palette, nullptr);
    EXPECT_EQ(vxmMemLiveBlocks(), liveAtStart + 1) << "only the record";
    ASSERT_TRUE(vxmBitmapSetSize(b, 4, 4, 24));
  }
  vxmBitmapFree(b);
}

// --- Loading: good files ------------------------------------------------------------------------------

TEST_F(BitmapTest, Loads24BitRowsBottomUpWithOddWidths) {
  for (int w : {1, 2, 3, 5, 8}) {
    TestBmp bmp = testBmpPattern(w, 3, 24);
    expectLoadsAs(write(fileName("w", w), bmp), bmp);
  }
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(BitmapTest, RowZeroIsTheBottomRowOfThePicture) {
  TestBmp bmp;
  bmp.width = 2;
  bmp.height = 2;
  bmp.pixels = {0xFF0000, 0x00FF00,   // top row: red, green
                0x0000FF, 0xFFFFFF};  // bottom row: blue, white
  VxmBitmap* b = vxmBitmapLoadBMP(write("tiny.bmp", bmp).c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(pixelAt(b, 0, 0), 0x0000FFu);
  EXPECT_EQ(pixelAt(b, 1, 0), 0xFFFFFFu);
  EXPECT_EQ(pixelAt(b, 0, 1), 0xFF0000u);
  EXPECT_EQ(pixelAt(b, 1, 1), 0x00FF00u);
  EXPECT_EQ(b->bits[0], 0xFF) << "blue first in memory";
  EXPECT_EQ(b->bits[2], 0x00);
  vxmBitmapFree(b);
}

TEST_F(BitmapTest, HonoursThe24BitPixelDataOffset) {
  TestBmp bmp = testBmpPattern(3, 4, 24);
  bmp.gap = 37;
  expectLoadsAs(write("gap.bmp", bmp), bmp);
  // The later Windows headers (108 bytes) push the pixels further; the offset finds them.
  bmp.gap = 0;
  bmp.infoSize = 108;
  expectLoadsAs(write("v4.bmp", bmp), bmp);
}

TEST_F(BitmapTest, Loads8BitThroughTheFullPalette) {
  TestBmp bmp = testBmpPattern(7, 5, 8);
  for (int i = 0; i < 35; ++i) bmp.pixels[i] = (uint32_t)(i * 7 + 3);  // indices across the palette
  bmp.pixels[0] = 255;
  expectLoadsAs(write("p8.bmp", bmp), bmp);
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(BitmapTest, Loads4BitWidthNineAsStride28) {
  TestBmp bmp = testBmpPattern(9, 3, 4);
  EXPECT_EQ(testBmpStride(9, 4), 8u);
  bmp.paddingByte = 0xFF;  // padding nibbles would index entry 15 if they were read
  std::string bytes = testBmpBytes(bmp);
  EXPECT_EQ(bytes.size(), 14u + 40 + 64 + 3 * 8);
  VxmBitmap* b = vxmBitmapLoadBMP(write("p4.bmp", bytes).c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->stride, 28);
  EXPECT_EQ(b->width, 9);
  vxmBitmapFree(b);
  expectLoadsAs(testJoin(dir, "p4.bmp"), bmp);
}

TEST_F(BitmapTest, Loads4BitHighNibbleFirst) {
  TestBmp bmp;
  bmp.depth = 4;
  bmp.width = 3;
  bmp.height = 1;
  for (int i = 0; i < 16; ++i) bmp.palette.push_back((uint32_t)i * 0x111111);
  bmp.pixels = {0xA, 0x3, 0xF};
  VxmBitmap* b = vxmBitmapLoadBMP(write("nibbles.bmp", bmp).c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(pixelAt(b, 0, 0), 0xAAAAAAu);
  EXPECT_EQ(pixelAt(b, 1, 0), 0x333333u);
  EXPECT_EQ(pixelAt(b, 2, 0), 0xFFFFFFu);
  vxmBitmapFree(b);
}

TEST_F(BitmapTest, ReadsTopDownFilesWithRowZeroAtTheBottom) {
  for (uint16_t depth : {4, 8, 24}) {
    for (int w : {1, 4, 5}) {
      TestBmp bmp = testBmpPattern(w, 5, depth);
      bmp.topDown = true;
      expectLoadsAs(write(fileName("td", depth * 100 + w), bmp), bmp);
    }
  }
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(BitmapTest, ReadsShortPalettesAndTheirPixelOffset) {
  for (uint16_t depth : {4, 8}) {
    TestBmp bmp = testBmpPattern(6, 4, depth, 3);
    expectLoadsAs(write(fileName("short", depth), bmp), bmp);
    bmp.gap = 9;
    bmp.topDown = true;
    expectLoadsAs(write(fileName("shortgap", depth), bmp), bmp);
  }
  // A pixel index past the short palette shows black rather than bytes from elsewhere.
  TestBmp bmp = testBmpPattern(2, 1, 8, 2);
  bmp.pixels = {1, 200};
  VxmBitmap* b = vxmBitmapLoadBMP(write("beyond.bmp", bmp).c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(pixelAt(b, 0, 0), bmp.palette[1]);
  EXPECT_EQ(pixelAt(b, 1, 0), 0u);
  vxmBitmapFree(b);
}

TEST_F(BitmapTest, PaletteFollowsALongerInformationHeader) {
  TestBmp bmp = testBmpPattern(5, 3, 8, 20);
  bmp.infoSize = 124;
  expectLoadsAs(write("v5.bmp", bmp), bmp);
}

TEST_F(BitmapTest, FullPaletteFilesWithoutAGoodOffsetStillReadAfterThePalette) {
  // The pixels of a full-palette file follow the palette; an offset of 0 in the header does not
  // send the reader back into the headers.
  TestBmp bmp = testBmpPattern(5, 3, 8);
  bmp.overrideOffset = true;
  bmp.offset = 0;
  expectLoadsAs(write("zero8.bmp", bmp), bmp);
  bmp = testBmpPattern(5, 3, 4);
  bmp.overrideOffset = true;
  bmp.offset = 54;
  expectLoadsAs(write("fiftyfour4.bmp", bmp), bmp);
}

TEST_F(BitmapTest, FindsFilesBelowTheInstallationFolderFirst) {
  TestBmp there = testBmpPattern(2, 2, 24);
  write("x.bmp", there);
  useInstallFolder(dir);
  VxmBitmap* b = vxmBitmapLoadBMP("x.bmp");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(pixelAt(b, 1, 1), there.colourAt(1, 0));
  vxmBitmapFree(b);
  // Messages name the located path, not the name given.
  write("bad.bmp", std::string(62, 'X'));
  expectLoadFails("bad.bmp", testJoin(dir, "bad.bmp"));
}

// --- Loading: failures ------------------------------------------------------------------------------------

TEST_F(BitmapTest, LoadFailsOnMissingNamesAndArguments) {
  expectLoadFails(testJoin(dir, "missing.bmp"));
  trace.clear();
  EXPECT_EQ(vxmBitmapLoadBMP(nullptr), nullptr);
  EXPECT_EQ(trace.messages(), Messages{"Invalid Parameters"});
}

TEST_F(BitmapTest, LoadFailsOnAFolder) {
  std::string folder = testJoin(dir, "folder.bmp");
  testScratchDir(std::string("bitmap-LoadFailsOnAFolder/folder.bmp"));
  expectLoadFails(folder);
}

TEST_F(BitmapTest, LoadFailsOnEveryKindOfBrokenHeader) {
  const std::string good = testBmpBytes(testBmpPattern(3, 2, 24));
  std::string p;
  p = write("empty.bmp", "");
  expectLoadFails(p);
  p = write("short.bmp", good.substr(0, 13));
  expectLoadFails(p);
  std::string swapped = good;
  std::swap(swapped[0], swapped[1]);
  p = write("mb.bmp", swapped);
  expectLoadFails(p);
  p = write("text.bmp", std::string("hello, this is not a picture at all, not even close...."));
  expectLoadFails(p);
  p = write("info.bmp", good.substr(0, 14 + 39));
  expectLoadFails(p);
  for (uint16_t depth : {1, 16, 32, 0}) {
    TestBmp bmp = testBmpPattern(4, 2, 24);
    bmp.depth = depth;
    p = write(fileName("d", depth), bmp);
    expectLoadFails(p);
  }
  // A 32-bit file with bit fields names its depth, not its compression.
  TestBmp fields = testBmpPattern(4, 2, 24);
  fields.depth = 32;
  fields.compression = 3;
  p = write("bitfields.bmp", fields);
  expectLoadFails(p);
  EXPECT_TRUE(trace.has("VOXIM does not support 32-bit bitmap depths: " + p));
}

TEST_F(BitmapTest, RefusesCompressedFiles) {
  struct {
    uint16_t depth;
    uint32_t compression;
  } cases[] = {{8, 1}, {4, 2}, {24, 3}, {24, 4}};
  for (auto c : cases) {
    TestBmp bmp = testBmpPattern(4, 2, c.depth);
    bmp.compression = c.compression;
    std::string p = write(fileName("rle", (int)c.compression), bmp);
    expectLoadFails(p);
  }
}

TEST_F(BitmapTest, FailsOnCutPalettesAndPixels) {
  std::string bytes = testBmpBytes(testBmpPattern(4, 2, 8));
  std::string p = write("pal.bmp", bytes.substr(0, 54 + 1023));
  expectLoadFails(p);
  p = write("bits8.bmp", bytes.substr(0, bytes.size() - 1));
  expectLoadFails(p);
  bytes = testBmpBytes(testBmpPattern(4, 2, 24));
  p = write("bits24.bmp", bytes.substr(0, bytes.size() - 1));
  expectLoadFails(p);
  // A short palette whose count is believed still has to be there.
  TestBmp shortPalette = testBmpPattern(4, 2, 4, 5);
  p = write("pal4.bmp", testBmpBytes(shortPalette).substr(0, 54 + 19));
  expectLoadFails(p);
  // A pixel offset past the end of the file.
  TestBmp far = testBmpPattern(4, 2, 24);
  far.overrideOffset = true;
  far.offset = 0x7FFFFFF0;
  p = write("far.bmp", far);
  expectLoadFails(p);
  far.offset = 0xFFFFFFF0;
  p = write("farther.bmp", far);
  expectLoadFails(p);
}

TEST_F(BitmapTest, ImpossibleSizesFailBeforeAnyLargeAllocation) {
  // Sizes beyond the file are refused after the record and palette only; empty, negative and
  // lowest sizes after the record alone.
  struct {
    uint16_t depth;
    int32_t width, height;
    long allocations;
  } claims[] = {
      {24, 100000, 100000, 1},      // 30 GB: more than 32 bits
      {24, 0x7FFFFFFF, 1, 1},       // a row longer than 32 bits
      {24, 0x55555555, 1, 1},       // 3 x width wraps to almost nothing in 32 bits
      {8, 0x7FFFFFFF, 0x7FFFFFFF, 2},
      {4, 0x7FFFFFFF, -0x7FFFFFFF, 2},
      {24, 1000, 1000, 1},          // fits 32 bits, but the file holds 18 bytes of pixels
      {8, 16, -100, 2},
      {24, -2, 2, 1}, {8, 2, INT32_MIN, 1}, {24, 0, 3, 1}, {8, 4, 0, 1}, {4, 0, 0, 1}, {24, 0, 0x7FFFFFFF, 1},
      {8, 0, -0x7FFFFFFF, 1},
  };
  for (auto c : claims) {
    TestBmp bmp = testBmpPattern(2, 2, c.depth);
    bmp.overrideWidth = true;
    bmp.fileWidth = c.width;
    bmp.overrideHeight = true;
    bmp.fileHeight = c.height;
    std::string p = write("huge.bmp", bmp);
    long before = vxmMemAllocations();
    expectLoadFails(p);
    EXPECT_EQ(vxmMemAllocations() - before, c.allocations) << c.width << " x " << c.height;
  }
}

TEST_F(BitmapTest, LoadOutOfMemoryAtEveryAllocation) {
  for (int depth : {24, 8, 4}) {
    const std::string p = write(fileName("oom", depth), testBmpPattern(5, 3, depth));
    testEachAllocationFails(&trace, [&p] {
      VxmBitmap* b = vxmBitmapLoadBMP(p.c_str());
      vxmBitmapFree(b);
      return b != nullptr;
    });
  }
}

// --- Conversion --------------------------------------------------------------------------------------------

TEST_F(BitmapTest, Convert8To24MapsEveryPixelThroughThePalette) {
  VxmBitmap* b = vxmBitmapCreate(3, 2, 8);
  for (int i = 0; i < 256; ++i) b->palette[i] = 0xEE000000u | (uint32_t)i * 0x010203u;
  const uint8_t index[2][3] = {{0, 1, 255}, {7, 128, 2}};
  for (int r = 0; r < 2; ++r)
    for (int x = 0; x < 3; ++x) b->lineTable[r][x] = index[r][x];
  ASSERT_TRUE(vxmBitmapConvert8To24(b));
  EXPECT_EQ(b->depth, 24);
  EXPECT_EQ(b->stride, 12);
  EXPECT_EQ(b->palette, nullptr);
  expectConsistent(b);
  for (int r = 0; r < 2; ++r)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(pixelAt(b, x, r), (index[r][x] * 0x010203u) & 0xFFFFFF) << x << "," << r;
  EXPECT_TRUE(trace.lines.empty());
  vxmBitmapFree(b);
}

TEST_F(BitmapTest, ConvertersRefuseWrongBitmaps) {
  EXPECT_FALSE(vxmBitmapConvert8To24(nullptr));
  EXPECT_FALSE(vxmBitmapConvert4To24(nullptr));
  EXPECT_EQ(trace.messages(), Messages(2, "Invalid parameters"));
  trace.clear();
  VxmBitmap* b = vxmBitmapCreate(2, 2, 24);
  EXPECT_FALSE(vxmBitmapConvert8To24(b));
  EXPECT_FALSE(vxmBitmapConvert4To24(b));
  EXPECT_EQ(trace.messages(), (Messages{"Attempt to convert bitmap which is not 8-bit", "Attempt to convert bitmap which is not 4-bit"}));
  trace.clear();
  b->depth = 8;  // no palette
  EXPECT_FALSE(vxmBitmapConvert8To24(b));
  b->depth = 4;
  EXPECT_FALSE(vxmBitmapConvert4To24(b));
  EXPECT_EQ(trace.messages(), Messages(2, "Invalid bitmap"));
  b->depth = 24;
  vxmBitmapFree(b);
}

TEST_F(BitmapTest, Convert4To24UsesExactlyWidthPixelsPerRow) {
  // A 4-bit bitmap as the loader holds it: 5 pixels in 3 bytes, rows of 4 bytes.
  VxmBitmap* b = vxmBitmapCreate(8, 2, 8);
  b->width = 5;
  b->stride = 4;
  b->depth = 4;
  b->bitsSize = 8;
  vxmMemFree(b->lineTable);
  b->lineTable = nullptr;  // the converter does not need the old row table
  for (int i = 0; i < 16; ++i) b->palette[i] = (uint32_t)(i + 1) * 0x0F0F0Fu;
  const uint8_t raw[8] = {0x01, 0x23, 0x4F, 0xFF, 0xFE, 0xDC, 0xBA, 0x99};
  std::memcpy(b->bits, raw, 8);
  ASSERT_TRUE(vxmBitmapConvert4To24(b));
  EXPECT_EQ(b->stride, 16);
  expectConsistent(b);
  const int expected[2][5] = {{0, 1, 2, 3, 4}, {15, 14, 13, 12, 11}};
  for (int r = 0; r < 2; ++r)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(pixelAt(b, x, r), (uint32_t)(expected[r][x] + 1) * 0x0F0F0Fu) << x << "," << r;
  vxmBitmapFree(b);
}

TEST_F(BitmapTest, ConvertOutOfMemoryKeepsOrAdoptsTheBlockAsDocumented) {
  VxmBitmap* b = vxmBitmapCreate(3, 2, 8);
  std::memset(b->bits, 1, (size_t)b->bitsSize);
  uint8_t* oldBits = b->bits;
  uint32_t* oldPalette = b->palette;
  vxmMemFailAfter(0);
  EXPECT_FALSE(vxmBitmapConvert8To24(b));
  EXPECT_TRUE(trace.has("Out of Memory!"));
  EXPECT_EQ(b->depth, 8);
  EXPECT_EQ(b->bits, oldBits);
  EXPECT_EQ(b->palette, oldPalette);
  expectConsistent(b);

  trace.clear();
  vxmMemFailAfter(1);
  EXPECT_FALSE(vxmBitmapConvert8To24(b));
  vxmMemFailAfter(-1);
  EXPECT_TRUE(trace.has("Out of Memory!"));
  EXPECT_EQ(b->depth, 24);
  EXPECT_EQ(b->palette, nullptr);
  EXPECT_EQ(b->lineTable, nullptr);
  EXPECT_EQ(b->stride, 12);
  EXPECT_EQ(b->bitsSize, 24);
  // Without a row table a copy refuses rather than following stale addresses.
  trace.clear();
  VxmBitmap* other = vxmBitmapCreate(3, 2, 24);
  EXPECT_FALSE(vxmBitmapCopy(other, 0, 0, 3, 2, b, 0, 0));
  EXPECT_EQ(trace.messages(), Messages{"Invalid bitmap line addresses"});
  vxmBitmapFree(other);
  vxmBitmapFree(b);
}

// --- Fill ---------------------------------------------------------------------------------------------------

TEST_F(BitmapTest, FillWithBlackOrNothingClearsPaddingToo) {
  for (bool useNull : {true, false}) {
    VxmBitmap* b = vxmBitmapCreate(5, 3, 24);  // 15 bytes of pixels and 1 of padding a row
    std::memset(b->bits, 0xAB, (size_t)b->bitsSize);
    const uint8_t black[3] = {0, 0, 0};
    vxmBitmapFill(b, useNull ? nullptr : black);
    for (int i = 0; i < b->bitsSize; ++i) ASSERT_EQ(b->bits[i], 0) << i;
    vxmBitmapFree(b);
  }
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(BitmapTest, FillWithAColourLeavesPaddingAlone) {
  VxmBitmap* b = vxmBitmapCreate(5, 3, 24);
  std::memset(b->bits, 0xAB, (size_t)b->bitsSize);
  const uint8_t colour[3] = {0x01, 0x00, 0x00};  // blue 1: not black
  vxmBitmapFill(b, colour);
  for (int r = 0; r < 3; ++r) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(pixelAt(b, x, r), 0x000001u);
    EXPECT_EQ(b->lineTable[r][15], 0xAB) << "padding of row " << r;
  }
  const uint8_t colour2[3] = {0x10, 0x20, 0x30};
  vxmBitmapFill(b, colour2);
  EXPECT_EQ(pixelAt(b, 4, 2), 0x302010u);
  vxmBitmapFree(b);
}

TEST_F(BitmapTest, FillRefusesMissingBitmapsAndPaletteRows) {
  vxmBitmapFill(nullptr, nullptr);
  VxmBitmap* b = vxmBitmapCreate(3, 3, 24);
  vxmBitmapSetSize(b, 3, 3, 16);  // leaves the record without pixels
  vxmBitmapFill(b, nullptr);
  EXPECT_EQ(trace.messages(), (Messages{"Invalid Parameters", "Invalid Bitmap"}));
  // Three bytes a pixel would run past the rows of an 8-bit bitmap.
  trace.clear();
  vxmBitmapSetSize(b, 3, 3, 8);
  std::memset(b->bits, 0x55, (size_t)b->bitsSize);
  const uint8_t colour[3] = {1, 2, 3};
  vxmBitmapFill(b, colour);
  EXPECT_EQ(trace.messages(), Messages{"Invalid Bitmap"});
  for (int i = 0; i < b->bitsSize; ++i) EXPECT_EQ(b->bits[i], 0x55);
  vxmBitmapFill(b, nullptr);  // clearing is byte-blind
  for (int i = 0; i < b->bitsSize; ++i) EXPECT_EQ(b->bits[i], 0);
  vxmBitmapFree(b);
}

// --- Copy ---------------------------------------------------------------------------------------------------

// What the copy must leave in a destination pixel, worked out pixel by pixel: the destination
// pixel (x, y) comes from source (x - dx + sx, y - dy + sy) when that lies in the source
// rectangle and in the source, and (x, y) lies in the destination rectangle.
uint32_t expectedCopy(const VxmBitmap* dst, const VxmBitmap* src, int x, int y, int dx, int dy, int w, int h, int sx, int sy) {
  const int64_t fx = (int64_t)x - dx + sx, fy = (int64_t)y - dy + sy;
  const bool inside = x >= dx && x < (int64_t)dx + w && y >= dy && y < (int64_t)dy + h && fx >= 0 &&
                      fx < src->width && fy >= 0 && fy < src->height && fx >= sx && fy >= sy;
  return inside ? pixelAt(src, (int)fx, (int)fy) : pixelAt(dst, x, y);
}

TEST_F(BitmapTest, CopyClipsToBothBitmapsExactly) {
  VxmBitmap* src = makeNumbered(7, 5, 0xA0);
  const int values[] = {-9, -3, -1, 0, 1, 2, 4, 6, 8};
  const int sizes[] = {-1, 0, 1, 3, 6, 20};
  int cases = 0;
  for (int dx : values)
    for (int dy : {-4, -1, 0, 2, 5})
      for (int sx : values)
        for (int sy : {-2, 0, 3, 5})
          for (int w : sizes)
            for (int h : {0, 2, 9}) {
              VxmBitmap* dst = makeNumbered(6, 4, 0xB0);
              VxmBitmap* before = makeNumbered(6, 4, 0xB0);
              ASSERT_TRUE(vxmBitmapCopy(dst, dx, dy, w, h, src, sx, sy));
              for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 6; ++x)
                  ASSERT_EQ(pixelAt(dst, x, y), expectedCopy(before, src, x, y, dx, dy, w, h, sx, sy))
                      << "pixel " << x << "," << y << " copying " << w << "x" << h << " from " << sx << "," << sy
                      << " to " << dx << "," << dy;
              vxmBitmapFree(before);
              vxmBitmapFree(dst);
              ++cases;
            }
  EXPECT_GT(cases, 10000);
  EXPECT_TRUE(trace.lines.empty());
  vxmBitmapFree(src);
}

TEST_F(BitmapTest, CopyWithinOneBitmapMovesOverlappingRows) {
  VxmBitmap* b = makeNumbered(5, 6, 0xC0);
  VxmBitmap* ref = makeNumbered(5, 6, 0xC0);
  ASSERT_TRUE(vxmBitmapCopy(b, 1, 2, 4, 4, b, 0, 0));  // up and right over itself
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 5; ++x) {
      bool moved = x >= 1 && y >= 2;
      EXPECT_EQ(pixelAt(b, x, y), moved ? pixelAt(ref, x - 1, y - 2) : pixelAt(ref, x, y)) << x << "," << y;
    }
  vxmBitmapFree(b);
  b = makeNumbered(5, 6, 0xC0);
  ASSERT_TRUE(vxmBitmapCopy(b, 0, 0, 5, 5, b, 0, 1));  // down by one row
  for (int y = 0; y < 5; ++y) EXPECT_EQ(pixelAt(b, 2, y), pixelAt(ref, 2, y + 1));
  vxmBitmapFree(b);
  vxmBitmapFree(ref);
}

TEST_F(BitmapTest, CopyFailures) {
  VxmBitmap* a = makeNumbered(4, 4, 1);
  VxmBitmap* b8 = vxmBitmapCreate(4, 4, 8);
  EXPECT_FALSE(vxmBitmapCopy(nullptr, 0, 0, 1, 1, a, 0, 0));
  EXPECT_FALSE(vxmBitmapCopy(a, 0, 0, 1, 1, nullptr, 0, 0));
  EXPECT_FALSE(vxmBitmapCopy(a, 0, 0, 1, 1, b8, 0, 0));  // rows of one byte a pixel
  EXPECT_FALSE(vxmBitmapCopy(b8, 0, 0, 1, 1, a, 0, 0));
  EXPECT_EQ(trace.messages(), Messages(4, "Invalid Parameters"));
  trace.clear();
  uint8_t** table = a->lineTable;
  a->lineTable = nullptr;
  VxmBitmap* c = makeNumbered(4, 4, 2);
  EXPECT_FALSE(vxmBitmapCopy(c, 0, 0, 2, 2, a, 0, 0));
  EXPECT_FALSE(vxmBitmapCopy(a, 0, 0, 2, 2, c, 0, 0));
  EXPECT_TRUE(vxmBitmapCopy(a, 9, 0, 2, 2, c, 0, 0)) << "nothing to copy is checked first";
  EXPECT_EQ(trace.messages(), Messages(2, "Invalid bitmap line addresses"));
  a->lineTable = table;
  // Extreme rectangles neither wrap round nor reach outside.
  trace.clear();
  EXPECT_TRUE(vxmBitmapCopy(c, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, a, INT32_MAX, 0));
  EXPECT_TRUE(vxmBitmapCopy(c, -2, -2, INT32_MAX, INT32_MAX, a, INT32_MIN + 1, INT32_MIN + 1));
  EXPECT_TRUE(vxmBitmapCopy(c, INT32_MAX, 0, INT32_MAX, INT32_MAX, a, 0, 0));
  EXPECT_TRUE(vxmBitmapCopy(c, 1, 1, INT32_MAX, INT32_MAX, a, 2, 2));
  EXPECT_EQ(pixelAt(c, 1, 1), pixelAt(a, 2, 2));
  EXPECT_EQ(pixelAt(c, 2, 2), pixelAt(a, 3, 3));
  EXPECT_EQ(pixelAt(c, 3, 3), 0x020303u) << "beyond the source";
  EXPECT_TRUE(trace.lines.empty());
  vxmBitmapFree(a);
  vxmBitmapFree(b8);
  vxmBitmapFree(c);
}

// --- Stretch ------------------------------------------------------------------------------------------------

TEST_F(BitmapTest, StretchTwoByTwoToFourByFourRepeatsBlocks) {
  VxmBitmap* src = makeNumbered(2, 2, 0xA0);
  VxmBitmap* dst = makeNumbered(6, 6, 0xB0);
  ASSERT_TRUE(vxmBitmapStretch(dst, 1, 1, 4, 4, src, 0, 0, 2, 2));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      bool inside = x >= 1 && x < 5 && y >= 1 && y < 5;
      EXPECT_EQ(pixelAt(dst, x, y), inside ? pixelAt(src, (x - 1) / 2, (y - 1) / 2) : (0xB00000u | y << 8 | x)) << x << "," << y;
    }
  vxmBitmapFree(dst);
  vxmBitmapFree(src);
}

TEST_F(BitmapTest, StretchPicksNearestByTruncatedTwelveBitSteps) {
  // Three columns over seven: step 3 * 4096 / 7 = 1755, so column j takes floor(j * 1755 / 4096).
  VxmBitmap* src = makeNumbered(3, 1, 0xA0);
  VxmBitmap* dst = vxmBitmapCreate(7, 1, 24);
  ASSERT_TRUE(vxmBitmapStretch(dst, 0, 0, 7, 1, src, 0, 0, 3, 1));
  const int columns[7] = {0, 0, 0, 1, 1, 2, 2};
  for (int j = 0; j < 7; ++j) EXPECT_EQ(pixelAt(dst, j, 0), pixelAt(src, columns[j], 0)) << j;
  // Shrinking four to three: step 5461, so columns 0, 1, 2 (not 0, 1, 3).
  VxmBitmap* wide = makeNumbered(4, 1, 0xC0);
  VxmBitmap* narrow = vxmBitmapCreate(3, 1, 24);
  ASSERT_TRUE(vxmBitmapStretch(narrow, 0, 0, 3, 1, wide, 0, 0, 4, 1));
  for (int j = 0; j < 3; ++j) EXPECT_EQ(pixelAt(narrow, j, 0), pixelAt(wide, j, 0));
  // A source window starts where it says.
  ASSERT_TRUE(vxmBitmapStretch(narrow, 0, 0, 3, 1, wide, 1, 0, 3, 1));
  for (int j = 0; j < 3; ++j) EXPECT_EQ(pixelAt(narrow, j, 0), pixelAt(wide, j + 1, 0));
  vxmBitmapFree(src);
  vxmBitmapFree(dst);
  vxmBitmapFree(wide);
  vxmBitmapFree(narrow);
}

TEST_F(BitmapTest, StretchClippedOnTheLeftRestartsItsAccumulator) {
  // Dropping two destination columns moves the source start by trunc(1755 * 2 / 4096) = 0
  // columns; the visible columns then count from 0 again.
  VxmBitmap* src = makeNumbered(3, 1, 0xA0);
  VxmBitmap* dst = makeNumbered(5, 1, 0xB0);
  ASSERT_TRUE(vxmBitmapStretch(dst, -2, 0, 7, 1, src, 0, 0, 3, 1));
  const int columns[5] = {0, 0, 0, 1, 1};
  for (int j = 0; j < 5; ++j) EXPECT_EQ(pixelAt(dst, j, 0), pixelAt(src, columns[j], 0)) << j;
  // Rows: two rows over six, clipped by four below: start row + trunc(1365 * 4 / 4096) = 1.
  VxmBitmap* tall = makeNumbered(1, 2, 0xC0);
  VxmBitmap* out = makeNumbered(1, 3, 0xD0);
  ASSERT_TRUE(vxmBitmapStretch(out, 0, -4, 1, 6, tall, 0, 0, 1, 2));
  EXPECT_EQ(pixelAt(out, 0, 0), pixelAt(tall, 0, 1));
  EXPECT_EQ(pixelAt(out, 0, 1), pixelAt(tall, 0, 1));
  EXPECT_EQ(pixelAt(out, 0, 2), 0xD00200u) << "the stretch was two rows high on screen";
  vxmBitmapFree(src);
  vxmBitmapFree(dst);
  vxmBitmapFree(tall);
  vxmBitmapFree(out);
}

TEST_F(BitmapTest, StretchStopsAtTheDestinationEdges) {
  VxmBitmap* src = makeNumbered(4, 4, 0xA0);
  VxmBitmap* dst = makeNumbered(5, 5, 0xB0);
  ASSERT_TRUE(vxmBitmapStretch(dst, 3, 2, 8, 8, src, 0, 0, 4, 4));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      bool inside = x >= 3 && y >= 2;
      EXPECT_EQ(pixelAt(dst, x, y), inside ? pixelAt(src, (x - 3) / 2, (y - 2) / 2) : (0xB00000u | y << 8 | x));
    }
  // The whole destination from a huge rectangle, without reading past the source.
  ASSERT_TRUE(vxmBitmapStretch(dst, -1000000, -1000000, INT32_MAX, INT32_MAX, src, 0, 0, 4, 4));
  EXPECT_EQ(pixelAt(dst, 0, 0), pixelAt(src, 0, 0));
  vxmBitmapFree(src);
  vxmBitmapFree(dst);
}

TEST_F(BitmapTest, StretchNothingToDo) {
  VxmBitmap* src = makeNumbered(2, 2, 0xA0);
  VxmBitmap* dst = makeNumbered(3, 3, 0xB0);
  VxmBitmap* ref = makeNumbered(3, 3, 0xB0);
  struct {
    int dx, dy, dw, dh;
  } cases[] = {{0, 0, 0, 3}, {0, 0, 3, 0}, {-4, 0, 3, 3}, {0, -4, 3, 3}, {3, 0, 3, 3}, {0, 3, 3, 3},
               {-3, 0, 3, 3}, {0, -3, 3, 3}, {INT32_MIN, 0, 5, 5}};
  for (auto c : cases) {
    EXPECT_TRUE(vxmBitmapStretch(dst, c.dx, c.dy, c.dw, c.dh, src, 0, 0, 2, 2));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x)
        EXPECT_EQ(pixelAt(dst, x, y), pixelAt(ref, x, y)) << c.dx << "," << c.dy << "," << c.dw << "," << c.dh;
  }
  EXPECT_TRUE(trace.lines.empty());
  vxmBitmapFree(src);
  vxmBitmapFree(dst);
  vxmBitmapFree(ref);
}

TEST_F(BitmapTest, StretchFailures) {
  VxmBitmap* src = makeNumbered(4, 3, 0xA0);
  VxmBitmap* dst = makeNumbered(4, 4, 0xB0);
  EXPECT_FALSE(vxmBitmapStretch(nullptr, 0, 0, 1, 1, src, 0, 0, 1, 1));
  EXPECT_FALSE(vxmBitmapStretch(dst, 0, 0, 1, 1, nullptr, 0, 0, 1, 1));
  EXPECT_EQ(trace.messages(), Messages(2, "Invalid Parameters"));
  trace.clear();
  struct {
    int sx, sy, sw, sh;
  } bad[] = {{-1, 0, 1, 1}, {0, -1, 1, 1}, {0, 0, 0, 1}, {0, 0, 1, 0}, {1, 0, 4, 1}, {0, 1, 1, 3},
             {3, 0, INT32_MAX, 1}, {0, 2, 1, INT32_MAX}};
  for (auto c : bad) EXPECT_FALSE(vxmBitmapStretch(dst, 0, 0, 4, 4, src, c.sx, c.sy, c.sw, c.sh));
  EXPECT_EQ(trace.messages(), Messages(8, "Attempt to stretch blit bitmap with invalid source parameters"));
  trace.clear();
  EXPECT_TRUE(vxmBitmapStretch(dst, 0, 0, 4, 4, src, 0, 0, 4, 3)) << "the whole source is a valid window";
  uint8_t** table = dst->lineTable;
  dst->lineTable = nullptr;
  EXPECT_FALSE(vxmBitmapStretch(dst, 0, 0, 4, 4, src, 0, 0, 4, 3));
  EXPECT_EQ(trace.messages(), Messages{"Invalid bitmap line addresses"});
  dst->lineTable = table;
  vxmBitmapFree(src);
  vxmBitmapFree(dst);
}

}  // namespace
